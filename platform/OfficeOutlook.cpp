#include "OfficeOutlook.h"

namespace velmora {

bool IsOfficeOutlookInstalled()
{
    return false;
}

} // namespace velmora
