#pragma once

#include "detection/FieldTicks.h"
#include "detection/KeyDigest.h"
#include "store/ReadAhead.h"

namespace velmora {

// A message's key digest built ahead on a worker thread, with the field ticks it was built with. The search uses
// it only when the ticks are still the same when the message's turn comes.
class KeyReadAhead : public ReadAheadResult
{
public:
    FieldTicks::Values ticks {};
    KeyDigest digest;

    // Work for IOEFolder::SetReadAhead: builds the digest of each message's key with `ticks` under a copy of
    // `collator` kept per worker thread. `collator` must outlive the walk.
    static ReadAheadWork work(const KeyCollator& collator, const FieldTicks::Values& ticks);
};

} // namespace velmora
