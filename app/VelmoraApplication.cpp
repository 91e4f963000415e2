#include "VelmoraApplication.h"

namespace velmora {

VelmoraApplication::VelmoraApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        return false;
    }
}

} // namespace velmora
