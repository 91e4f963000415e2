#pragma once

#include <functional>
#include <memory>

namespace velmora {

class IOEMessage;

// What read-ahead work leaves for the walker; the work defines what it holds.
class ReadAheadResult
{
public:
    virtual ~ReadAheadResult() = default;
};

// Work done for each message of a folder walk on worker threads, ahead of the walker and in folder order. It gets
// a message object of its own, which reads the message's file without touching the store, and may throw: the
// walker then does the work itself and meets the failure there.
using ReadAheadWork = std::function<std::shared_ptr<const ReadAheadResult>(IOEMessage& message)>;

// Called while the walker waits for a worker, every few milliseconds, so a window stays responsive.
using ReadAheadWait = std::function<void()>;

} // namespace velmora
