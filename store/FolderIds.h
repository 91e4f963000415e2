#pragma once

#include "OETypes.h"

#include <sys/types.h>

#include <map>
#include <set>
#include <utility>
#include <vector>

namespace velmora {

// Folder identifiers taken from where a directory lives on disk (device and inode), so that they survive a
// restart and a rename on the same file system. Two directories whose hashes collide are told apart by
// probing in the order of their (device, inode), which gives the same result every time the same set is seen.
class FolderIds
{
public:
    using Key = std::pair<dev_t, ino_t>;

    // Gives an identifier to every key not seen before; keys seen before keep theirs.
    void assign(std::vector<Key> keys);
    // 0 when the key has no identifier.
    OEId idOf(const Key& key) const;

    static OEId hashOf(const Key& key, unsigned probe);

private:
    std::map<Key, OEId> m_ids;
    std::set<OEId> m_taken;
};

} // namespace velmora
