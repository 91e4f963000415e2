#include "KeyReadAhead.h"

#include "detection/SearchString.h"

namespace velmora {
namespace {

    // One collator and digest maker per worker thread: collators are not shared between threads.
    KeyDigestMaker& threadMaker(const KeyCollator& collator)
    {
        struct PerThread
        {
            const KeyCollator* source = nullptr;
            std::unique_ptr<KeyCollator> collator;
            std::unique_ptr<KeyDigestMaker> maker;
        };
        thread_local PerThread perThread;
        if (perThread.source != &collator) {
            perThread.maker.reset();
            perThread.collator = collator.clone();
            perThread.maker = std::make_unique<KeyDigestMaker>(*perThread.collator);
            perThread.source = &collator;
        }
        return *perThread.maker;
    }

} // namespace

ReadAheadWork KeyReadAhead::work(const KeyCollator& collator, const FieldTicks::Values& ticks)
{
    return [&collator, ticks](IOEMessage& message) -> std::shared_ptr<const ReadAheadResult> {
        auto result = std::make_shared<KeyReadAhead>();
        result->ticks = ticks;
        result->digest = threadMaker(collator).digest(BuildKey(message, FieldTicks(ticks)));
        return result;
    };
}

} // namespace velmora
