#include "FolderIds.h"

#include <algorithm>
#include <cstdint>

namespace velmora {
namespace {

    std::uint64_t mix(std::uint64_t x)
    {
        // splitmix64's finaliser: every input bit reaches every output bit.
        x += 0x9E3779B97F4A7C15ULL;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
        return x ^ (x >> 31);
    }

} // namespace

OEId FolderIds::hashOf(const Key& key, unsigned probe)
{
    const std::uint64_t h = mix(mix(static_cast<std::uint64_t>(key.first)) ^ static_cast<std::uint64_t>(key.second)
                                ^ (static_cast<std::uint64_t>(probe) << 48));
    const auto id = static_cast<OEId>(h & 0x7FFFFFFFU);
    return id == 0 ? 1 : id;
}

void FolderIds::assign(std::vector<Key> keys)
{
    std::sort(keys.begin(), keys.end());
    for (const Key& key : keys) {
        if (m_ids.count(key) != 0) {
            continue;
        }
        for (unsigned probe = 0;; ++probe) {
            const OEId id = hashOf(key, probe);
            if (m_taken.insert(id).second) {
                m_ids.emplace(key, id);
                break;
            }
        }
    }
}

OEId FolderIds::idOf(const Key& key) const
{
    const auto it = m_ids.find(key);
    return it == m_ids.end() ? 0 : it->second;
}

} // namespace velmora
