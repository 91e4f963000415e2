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
    const auto it = std::upper_bound(m_blocks.begin(), m_blocks.end(), pos,
                                     [](int p, const Block& block) { return p < block.start; });
    return static_cast<int>(it - m_blocks.begin()) - 1;
}

ChildList::Entry& ChildList::slot(int pos)
{
    assert(pos >= 0 && pos < m_size);
    Block& block = m_blocks[static_cast<size_t>(blockOf(pos))];
    return block.items[static_cast<size_t>(pos - block.start)];
}

const ChildList::Entry& ChildList::entryAt(int pos) const
{
    assert(pos >= 0 && pos < m_size);
    const Block& block = m_blocks[static_cast<size_t>(blockOf(pos))];
    return block.items[static_cast<size_t>(pos - block.start)];
}

void ChildList::setPrefix(int pos, const SortPrefix& prefix)
{
    slot(pos).prefix = prefix;
}

void ChildList::shiftStarts(int fromBlock, int delta)
{
    for (size_t b = static_cast<size_t>(fromBlock); b < m_blocks.size(); ++b) {
        m_blocks[b].start += delta;
    }
}

void ChildList::push_back(const Entry& entry)
{
    if (m_blocks.empty() || static_cast<int>(m_blocks.back().items.size()) >= MaxBlock) {
        m_blocks.push_back(Block { m_size, {} });
        // Most lists are a group's few rows: one allocation serves them.
        m_blocks.back().items.reserve(4);
    }
    m_blocks.back().items.push_back(entry);
    // A new row's cached index must never claim a wrong position.
    entry.node->m_row = m_size;
    if (m_rowsValid == m_size) {
        ++m_rowsValid;
    }
    ++m_size;
}

void ChildList::insert(int pos, const Entry& entry)
{
    if (pos == m_size) {
        push_back(entry);
        return;
    }
    const int index = blockOf(pos);
    auto& items = m_blocks[static_cast<size_t>(index)].items;
    items.insert(items.begin() + (pos - m_blocks[static_cast<size_t>(index)].start), entry);
    shiftStarts(index + 1, 1);
    ++m_size;
    invalidateFrom(pos);
    entry.node->m_row = pos;
    if (static_cast<int>(items.size()) > MaxBlock) {
        // Split in halves so that later insertions near here stay cheap.
        const size_t half = items.size() / 2;
        Block tail { m_blocks[static_cast<size_t>(index)].start + static_cast<int>(half),
                     std::vector<Entry>(items.begin() + static_cast<std::ptrdiff_t>(half), items.end()) };
        items.resize(half);
        m_blocks.insert(m_blocks.begin() + index + 1, std::move(tail));
    }
}

void ChildList::erase(int pos)
{
    assert(pos >= 0 && pos < m_size);
    const int index = blockOf(pos);
    auto& items = m_blocks[static_cast<size_t>(index)].items;
    items.erase(items.begin() + (pos - m_blocks[static_cast<size_t>(index)].start));
    shiftStarts(index + 1, -1);
    --m_size;
    invalidateFrom(pos);
    if (items.empty()) {
        m_blocks.erase(m_blocks.begin() + index);
    }
}

void ChildList::move(int from, int to)
{
    if (from == to) {
        return;
    }
    const Entry entry = entryAt(from);
    erase(from);
    insert(to, entry);
}

void ChildList::clear()
{
    m_blocks.clear();
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
    const int first = m_size > 0 ? blockOf(pos) : 0;
    for (size_t b = static_cast<size_t>(first); b < m_blocks.size(); ++b) {
        const auto& items = m_blocks[b].items;
        for (size_t i = static_cast<size_t>(pos - m_blocks[b].start); i < items.size(); ++i) {
            items[i].node->m_row = pos++;
        }
    }
    m_rowsValid = m_size;
    assert(node->m_row < m_size && at(node->m_row) == node);
    return node->m_row;
}

void ChildList::prefetchRows(int count) const
{
    if (m_blocks.empty()) {
        return;
    }
    const auto& items = m_blocks.front().items;
    const size_t rows = std::min(items.size(), static_cast<size_t>(count));
    for (size_t i = 0; i < rows; ++i) {
        prefetch(items[i].node);
    }
}

std::vector<TreeNode*> ChildList::toVector() const
{
    std::vector<TreeNode*> nodes;
    nodes.reserve(static_cast<size_t>(m_size));
    for (const Block& block : m_blocks) {
        for (const Entry& entry : block.items) {
            nodes.push_back(entry.node);
        }
    }
    return nodes;
}

std::vector<ChildList::Entry> ChildList::entries() const
{
    std::vector<Entry> result;
    result.reserve(static_cast<size_t>(m_size));
    for (const Block& block : m_blocks) {
        result.insert(result.end(), block.items.begin(), block.items.end());
    }
    return result;
}

void ChildList::assign(const std::vector<Entry>& entries)
{
    clear();
    for (const Entry& entry : entries) {
        push_back(entry);
    }
}

void ChildList::setPrefixes(const std::vector<Entry>& entries)
{
    assert(static_cast<int>(entries.size()) == m_size);
    auto source = entries.begin();
    for (Block& block : m_blocks) {
        for (Entry& entry : block.items) {
            assert(entry.node == source->node);
            entry.prefix = (source++)->prefix;
        }
    }
}

} // namespace velmora
