#pragma once

#include <functional>

namespace velmora {

// Tells whether a store is open and notifies when one is opened (start) or closed (stop).
class IOEAPIInit
{
public:
    using Notification = std::function<void()>;

    virtual ~IOEAPIInit() = default;

    virtual int IsOEAPIActive() = 0;
    virtual void setOnInitOEAPI(Notification handler) = 0;
    virtual void setOnShutdownOEAPI(Notification handler) = 0;
};

} // namespace velmora
