#pragma once

#include <vector>

namespace velmora {

class TreeNode;

// The children of one tree row, kept in blocks so that placing a row in the middle of tens of thousands of
// siblings costs a block's worth of moves instead of the whole list's. Positions are resolved through the
// blocks' start offsets.
class ChildList
{
public:
    int size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    TreeNode* at(int pos) const;
    TreeNode* back() const { return m_blocks.back().back(); }

    void push_back(TreeNode* node);
    void insert(int pos, TreeNode* node);
    // Moves the row at `from` to `to` (its position afterwards).
    void move(int from, int to);
    void erase(int pos);
    void clear();

    // The position of `node`, which must be in this list. Cached per row and renumbered lazily after changes
    // in the middle.
    int indexOf(const TreeNode* node) const;

    std::vector<TreeNode*> toVector() const;
    void assign(const std::vector<TreeNode*>& nodes);

    // The first position in [0, count) whose row `less(node, row)` holds, i.e. after every row equal to it.
    template <typename Less> int upperBound(int count, const TreeNode* node, Less less) const
    {
        int first = 0;
        while (count > 0) {
            const int half = count / 2;
            if (less(node, at(first + half))) {
                count = half;
            } else {
                first += half + 1;
                count -= half + 1;
            }
        }
        return first;
    }

private:
    static constexpr int MaxBlock = 512;

    int blockOf(int pos) const;
    void shiftStarts(int fromBlock, int delta);
    void invalidateFrom(int pos) const
    {
        if (pos < m_rowsValid) {
            m_rowsValid = pos;
        }
    }

    std::vector<std::vector<TreeNode*>> m_blocks;
    std::vector<int> m_starts; // position of each block's first row
    int m_size = 0;
    mutable int m_rowsValid = 0; // rows below this position carry their correct cached index
};

} // namespace velmora
