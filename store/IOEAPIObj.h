#pragma once

namespace velmora {

class IOEAPIObj
{
public:
    virtual ~IOEAPIObj() = default;
    // Removes toolbars the mail client may carry for this program; stores on disk have none.
    virtual void RemoveAllToolbars() = 0;
};

} // namespace velmora
