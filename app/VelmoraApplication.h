#pragma once

#include <QApplication>

namespace velmora {

// The application object. An exception that escapes a command or any other event handler ends here and is
// dropped: the tracker logged it when it was raised, and the program goes on with the next event.
class VelmoraApplication : public QApplication
{
    Q_OBJECT
public:
    VelmoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace velmora
