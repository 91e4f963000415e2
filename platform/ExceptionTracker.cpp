#include "platform/ExceptionTracker.h"

#include "platform/FatalSignals.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace velmora {

namespace {

    struct Registration
    {
        ExceptionTracker::NotifierId id;
        NotifierPriority priority;
        ExceptionNotifier notifier;
    };

    // Never destroyed: exceptions can be raised while static objects are torn down.
    struct TrackerState
    {
        std::recursive_mutex mutex;
        std::vector<Registration> notifiers;
        ExceptionTracker::NotifierId nextId = 1;
        ExceptionTracker::NotifierId recorderId = 0;
    };

    TrackerState& state()
    {
        static TrackerState* instance = new TrackerState;
        return *instance;
    }

    std::atomic<bool> g_active { false };

    thread_local bool t_notifying = false;
    thread_local ExceptionFrameList t_frames;
    thread_local bool t_hasFrames = false;

    void recordFrames(const RaisedException& exception)
    {
        if (exception.fromOs) {
            return;
        }
        t_frames = recordExceptionFrames(exception.raiseAddress);
        t_hasFrames = true;
    }

} // namespace

void ExceptionTracker::start()
{
    {
        TrackerState& s = state();
        const std::lock_guard lock(s.mutex);
        if (s.recorderId == 0) {
            s.recorderId = registerNotifier(&recordFrames, NotifierPriority::First);
        }
    }
    FatalSignals::install();
    g_active.store(true);
}

void ExceptionTracker::stop()
{
    g_active.store(false);
    FatalSignals::uninstall();
    TrackerState& s = state();
    const std::lock_guard lock(s.mutex);
    if (s.recorderId != 0) {
        unregisterNotifier(s.recorderId);
        s.recorderId = 0;
    }
}

bool ExceptionTracker::isActive() noexcept
{
    return g_active.load();
}

ExceptionTracker::NotifierId ExceptionTracker::registerNotifier(ExceptionNotifier notifier, NotifierPriority priority)
{
    TrackerState& s = state();
    const std::lock_guard lock(s.mutex);
    const NotifierId id = s.nextId++;
    // Kept in priority order, registration order within one priority.
    const auto at = std::find_if(s.notifiers.begin(), s.notifiers.end(),
                                 [priority](const Registration& r) { return r.priority > priority; });
    s.notifiers.insert(at, Registration { id, priority, std::move(notifier) });
    return id;
}

void ExceptionTracker::unregisterNotifier(NotifierId id)
{
    TrackerState& s = state();
    const std::lock_guard lock(s.mutex);
    std::erase_if(s.notifiers, [id](const Registration& r) { return r.id == id; });
}

const ExceptionFrameList* ExceptionTracker::threadFrames() noexcept
{
    return t_hasFrames ? &t_frames : nullptr;
}

void ExceptionTracker::notify(const RaisedException& exception) noexcept
{
    if (!g_active.load() || t_notifying) {
        return;
    }
    t_notifying = true;
    try {
        TrackerState& s = state();
        const std::lock_guard lock(s.mutex);
        // A notifier may unregister itself or others while it runs; walk a copy.
        const std::vector<Registration> notifiers = s.notifiers;
        for (const Registration& r : notifiers) {
            try {
                r.notifier(exception);
            } catch (...) {
                // A failing notifier must not replace the exception being raised.
            }
        }
    } catch (...) {
    }
    t_notifying = false;
}

} // namespace velmora
