#pragma once

#include "platform/ExceptionFrames.h"

#include <cstdint>
#include <functional>
#include <typeinfo>

namespace velmora {

// One raised exception as the tracker reports it.
struct RaisedException
{
    // The exception object (as thrown, before any conversion to a handler's type).
    void* object = nullptr;
    const std::type_info* type = nullptr;
    // The return address of the raise: the code right after the throw.
    std::uintptr_t raiseAddress = 0;
    // Whether the exception came from the operating system (a fatal signal).
    bool fromOs = false;
};

enum class NotifierPriority {
    First,
    Normal,
};

using ExceptionNotifier = std::function<void(const RaisedException&)>;

// Tells registered notifiers of every C++ exception at the moment it is raised, whether some handler catches it
// later or not. It hooks the run-time's throw entry point, so it sees exceptions raised in the program and in the
// libraries it calls. Notifiers run in the raising thread, one thread at a time, under the tracker's lock; an
// exception raised while a thread is notifying is not reported again in that thread. A notifier must not let an
// exception escape (the tracker swallows it if one does).
class ExceptionTracker
{
public:
    using NotifierId = int;

    // Starts reporting: registers the frame recorder at first priority and installs the fatal signal handlers.
    static void start();
    // Stops reporting and restores the previous signal handlers. Registered notifiers stay registered.
    static void stop();
    static bool isActive() noexcept;

    static NotifierId registerNotifier(ExceptionNotifier notifier,
                                       NotifierPriority priority = NotifierPriority::Normal);
    static void unregisterNotifier(NotifierId id);

    // The exception frames recorded in this thread for its latest raise; nullptr before any.
    static const ExceptionFrameList* threadFrames() noexcept;

    // Entry point of the throw hook; also usable to report an exception raised by other means.
    static void notify(const RaisedException& exception) noexcept;
};

} // namespace velmora
