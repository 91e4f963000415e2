#include "KeyIndex.h"

namespace velmora {
namespace {
    constexpr std::size_t kInitialSlots = 64;
}

std::optional<OEId> KeyIndex::addOrFind(const KeyDigest& digest, OEId id)
{
    // Grow at three quarters full, so that a key costs between 32 and 64 bytes.
    if ((m_count + 1) * 4 > m_slots.size() * 3) {
        grow();
    }
    const std::size_t mask = m_slots.size() - 1;
    // The digest is uniformly distributed already; its bits are the hash.
    for (std::size_t i = digest.low & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (!slot.used) {
            slot = Slot { digest, id, true };
            ++m_count;
            return std::nullopt;
        }
        if (slot.digest == digest) {
            return slot.id;
        }
    }
}

void KeyIndex::clear()
{
    std::vector<Slot>().swap(m_slots);
    m_count = 0;
}

void KeyIndex::grow()
{
    std::vector<Slot> old;
    old.swap(m_slots);
    m_slots.resize(old.empty() ? kInitialSlots : old.size() * 2);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.used) {
            continue;
        }
        std::size_t i = slot.digest.low & mask;
        while (m_slots[i].used) {
            i = (i + 1) & mask;
        }
        m_slots[i] = slot;
    }
}

} // namespace velmora
