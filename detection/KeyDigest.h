#pragma once

#include "platform/EqualityForm.h"

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

// Turns keys into digests under the key equality. Holds scratch buffers, so one maker serves one thread.
class KeyDigestMaker
{
public:
    explicit KeyDigestMaker(const KeyCollator& collator)
        : m_forms(collator)
    {
    }

    KeyDigest digest(const QString& key);

private:
    EqualityFormBuilder m_forms;
};

} // namespace velmora
