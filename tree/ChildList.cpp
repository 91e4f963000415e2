#include "tree/ChildList.h"

#include "tree/TreeModel.h"

#include <algorithm>
#include <cassert>

namespace velmora {

int ChildList::blockOf(int pos) const
{
    if (m_blocks.size() == 1) {
        return 0;
    }
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), pos);
    return static_cast<int>(it - m_starts.begin()) - 1;
}

TreeNode* ChildList::at(int pos) const
{
    assert(pos >= 0 && pos < m_size);
    const int block = blockOf(pos);
    return m_blocks[static_cast<size_t>(block)][static_cast<size_t>(pos - m_starts[static_cast<size_t>(block)])];
}

void ChildList::shiftStarts(int fromBlock, int delta)
{
    for (size_t b = static_cast<size_t>(fromBlock); b < m_starts.size(); ++b) {
        m_starts[b] += delta;
    }
}

void ChildList::push_back(TreeNode* node)
{
    if (m_blocks.empty() || static_cast<int>(m_blocks.back().size()) >= MaxBlock) {
        m_blocks.emplace_back();
        m_starts.push_back(m_size);
    }
    m_blocks.back().push_back(node);
    // A new row's cached index must never claim a wrong position.
    node->m_row = m_size;
    if (m_rowsValid == m_size) {
        ++m_rowsValid;
    }
    ++m_size;
}

void ChildList::insert(int pos, TreeNode* node)
{
    if (pos == m_size) {
        push_back(node);
        return;
    }
    const int block = blockOf(pos);
    auto& items = m_blocks[static_cast<size_t>(block)];
    items.insert(items.begin() + (pos - m_starts[static_cast<size_t>(block)]), node);
    shiftStarts(block + 1, 1);
    ++m_size;
    invalidateFrom(pos);
    node->m_row = pos;
    if (static_cast<int>(items.size()) > MaxBlock) {
        // Split in halves so that later insertions near here stay cheap.
        const size_t half = items.size() / 2;
        std::vector<TreeNode*> tail(items.begin() + static_cast<std::ptrdiff_t>(half), items.end());
        items.resize(half);
        const int tailStart = m_starts[static_cast<size_t>(block)] + static_cast<int>(half);
        m_blocks.insert(m_blocks.begin() + block + 1, std::move(tail));
        m_starts.insert(m_starts.begin() + block + 1, tailStart);
    }
}

void ChildList::erase(int pos)
{
    assert(pos >= 0 && pos < m_size);
    const int block = blockOf(pos);
    auto& items = m_blocks[static_cast<size_t>(block)];
    items.erase(items.begin() + (pos - m_starts[static_cast<size_t>(block)]));
    shiftStarts(block + 1, -1);
    --m_size;
    invalidateFrom(pos);
    if (items.empty()) {
        m_blocks.erase(m_blocks.begin() + block);
        m_starts.erase(m_starts.begin() + block);
    }
}

void ChildList::move(int from, int to)
{
    if (from == to) {
        return;
    }
    TreeNode* node = at(from);
    erase(from);
    insert(to, node);
}

void ChildList::clear()
{
    m_blocks.clear();
    m_starts.clear();
    m_size = 0;
    m_rowsValid = 0;
}

int ChildList::indexOf(const TreeNode* node) const
{
    const int cached = node->m_row;
    if (cached < m_rowsValid) {
        return cached;
    }
    // Renumber the rows whose cached index may be stale.
    int pos = m_rowsValid;
    int block = m_size > 0 ? blockOf(pos) : 0;
    for (size_t b = static_cast<size_t>(block); b < m_blocks.size(); ++b) {
        const auto& items = m_blocks[b];
        for (size_t i = static_cast<size_t>(pos - m_starts[b]); i < items.size(); ++i) {
            items[i]->m_row = pos++;
        }
    }
    m_rowsValid = m_size;
    assert(node->m_row < m_size && at(node->m_row) == node);
    return node->m_row;
}

std::vector<TreeNode*> ChildList::toVector() const
{
    std::vector<TreeNode*> nodes;
    nodes.reserve(static_cast<size_t>(m_size));
    for (const auto& items : m_blocks) {
        nodes.insert(nodes.end(), items.begin(), items.end());
    }
    return nodes;
}

void ChildList::assign(const std::vector<TreeNode*>& nodes)
{
    clear();
    for (TreeNode* node : nodes) {
        push_back(node);
    }
}

} // namespace velmora
