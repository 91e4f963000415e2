#pragma once

#include "detection/KeyDigest.h"
#include "store/OETypes.h"

#include <optional>
#include <vector>

namespace velmora {

// The per-folder index of keys: for each distinct key, the identifier of the first message that had it. It keeps
// 128-bit digests, never the key text, in an open-addressing table: lookups cost the same whatever the number of
// keys, and a key takes at most 64 bytes.
class KeyIndex
{
public:
    // The identifier of the original whose key equals `digest`; or nothing, after entering `digest` for `id`.
    std::optional<OEId> addOrFind(const KeyDigest& digest, OEId id);
    void clear();

    std::size_t size() const { return m_count; }
    std::size_t memoryBytes() const { return m_slots.capacity() * sizeof(Slot); }

private:
    struct Slot
    {
        KeyDigest digest;
        OEId id = 0;
        bool used = false;
    };

    void grow();

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

} // namespace velmora
