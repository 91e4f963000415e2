#pragma once

#include "platform/KeyCollator.h"

#include <cstdint>
#include <vector>

namespace velmora {

// 128 bits of a strong digest of a key's sort key. Equal keys give equal digests; different keys collide with
// a probability far below that of a disk error.
struct KeyDigest
{
    std::uint64_t high = 0;
    std::uint64_t low = 0;

    bool operator==(const KeyDigest&) const = default;
};

// Turns keys into digests under the key equality. Holds a scratch buffer, so one maker serves one thread.
class KeyDigestMaker
{
public:
    explicit KeyDigestMaker(const KeyCollator& collator)
        : m_collator(collator)
    {
    }

    KeyDigest digest(const QString& key);

private:
    const KeyCollator& m_collator;
    std::vector<std::uint8_t> m_sortKey;
};

} // namespace velmora
