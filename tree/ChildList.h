#pragma once

#include <QtGlobal>

#include <algorithm>
#include <vector>

namespace velmora {

class TreeNode;

// The leading part of a row's sort key in one column, compared as an unsigned 128-bit integer (high word
// first). Two different prefixes order their rows as the full comparison would; equal ones decide nothing.
struct SortPrefix
{
    quint64 high = 0;
    quint64 low = 0;

    friend bool operator==(const SortPrefix& a, const SortPrefix& b) = default;
    friend bool operator<(const SortPrefix& a, const SortPrefix& b)
    {
        return a.high != b.high ? a.high < b.high : a.low < b.low;
    }
};

// The children of one tree row, kept in blocks so that placing a row in the middle of tens of thousands of
// siblings costs a block's worth of moves instead of the whole list's. Positions are resolved through the
// blocks' start offsets. Each row's sort prefix sits beside its pointer, so that a binary search over the
// list reads no row unless two prefixes tie.
class ChildList
{
public:
    struct Entry
    {
        TreeNode* node = nullptr;
        SortPrefix prefix;
    };

    int size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    TreeNode* at(int pos) const { return entryAt(pos).node; }
    const Entry& entryAt(int pos) const;
    TreeNode* back() const { return m_blocks.back().items.back().node; }
    void setPrefix(int pos, const SortPrefix& prefix);

    // A new row carries an empty prefix until it is placed.
    void push_back(TreeNode* node) { push_back(Entry { node, {} }); }
    void push_back(const Entry& entry);
    void insert(int pos, const Entry& entry);
    // Moves the row at `from`, with its prefix, to `to` (its position afterwards).
    void move(int from, int to);
    void erase(int pos);
    void clear();

    // The position of `node`, which must be in this list. Cached per row and renumbered lazily after changes
    // in the middle.
    int indexOf(const TreeNode* node) const;

    // Walks over many rows stall on memory one row after another. These ask the processor to start loading,
    // in stages, what a walk will read of a list a few steps ahead: the block table, then the entries, then
    // the rows themselves. Each stage reads only what the previous one asked for earlier.
    void prefetchBlocks() const { prefetch(m_blocks.data()); }
    void prefetchEntries() const
    {
        if (!m_blocks.empty()) {
            prefetch(m_blocks.front().items.data());
        }
    }
    void prefetchRows(int count) const;

    std::vector<TreeNode*> toVector() const;
    std::vector<Entry> entries() const;
    void assign(const std::vector<Entry>& entries);
    // Takes the prefixes of `entries`, which hold this list's rows in their present order.
    void setPrefixes(const std::vector<Entry>& entries);

    // The first position in [0, count) whose entry `before(entry)` holds, where `before` is false for a
    // leading run of the rows and true for the rest (the rows a new one sorts before). Searches the blocks by
    // their first rows, then one block, which reads fewer scattered entries than going through at().
    template <typename Before> int upperBound(int count, Before before) const
    {
        if (count <= 0) {
            return 0;
        }
        int blocks = blockOf(count - 1) + 1;
        int firstBlock = 0;
        while (blocks > 0) {
            const int half = blocks / 2;
            if (before(m_blocks[static_cast<size_t>(firstBlock + half)].items.front())) {
                blocks = half;
            } else {
                firstBlock += half + 1;
                blocks -= half + 1;
            }
        }
        if (firstBlock == 0) {
            return 0;
        }
        // The block holding the answer: its first row is not after the new one.
        const Block& block = m_blocks[static_cast<size_t>(firstBlock - 1)];
        const Entry* items = block.items.data();
        int first = 1;
        int left = std::min(static_cast<int>(block.items.size()), count - block.start) - 1;
        while (left > 0) {
            const int half = left / 2;
            if (before(items[first + half])) {
                left = half;
            } else {
                first += half + 1;
                left -= half + 1;
            }
        }
        return block.start + first;
    }

    static void prefetch(const void* address)
    {
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(address);
#else
        (void)address;
#endif
    }

private:
    static constexpr int MaxBlock = 512;

    struct Block
    {
        int start = 0; // position of the block's first row
        std::vector<Entry> items;
    };

    int blockOf(int pos) const;
    Entry& slot(int pos);
    void shiftStarts(int fromBlock, int delta);
    void invalidateFrom(int pos) const
    {
        if (pos < m_rowsValid) {
            m_rowsValid = pos;
        }
    }

    std::vector<Block> m_blocks; // never an empty one
    int m_size = 0;
    mutable int m_rowsValid = 0; // rows below this position carry their correct cached index
};

} // namespace velmora
