#include "tree/TreeModel.h"

#include <algorithm>

namespace velmora {

namespace {

    // Up to this many new rows are placed one by one (each a row move); more are merged in one pass.
    constexpr int SmallBatch = 8;

} // namespace

TreeNode* TreeNode::parent() const
{
    // The invisible root has no parent itself; top-level rows report none.
    return (m_parent && m_parent->m_parent) ? m_parent : nullptr;
}

int TreeNode::level() const
{
    int level = 0;
    for (const TreeNode* node = m_parent; node && node->m_parent; node = node->m_parent) {
        ++level;
    }
    return level;
}

int TreeNode::index() const
{
    return m_parent ? m_parent->m_children.indexOf(this) : 0;
}

TreeModel::TreeModel() = default;

TreeModel::~TreeModel()
{
    m_observers.clear();
    m_onFocusChanged = nullptr;
    clear();
}

void TreeModel::setOnCompareNodes(CompareEvent handler)
{
    m_onCompare = std::move(handler);
    invalidateOrder();
}

void TreeModel::setOnSortPrefix(SortPrefixEvent handler)
{
    m_onSortPrefix = std::move(handler);
    invalidateOrder();
}

void TreeModel::addObserver(TreeModelObserver* observer)
{
    m_observers.push_back(observer);
}

void TreeModel::removeObserver(TreeModelObserver* observer)
{
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

void TreeModel::setColumnWidth(int column, int width)
{
    if (column < 0 || column >= columnCount()) {
        return;
    }
    m_columns[static_cast<size_t>(column)].width = std::clamp(width, 10, 10000);
}

TreeNode* TreeModel::appendChild(TreeNode* parent, TTreeData data)
{
    TreeNode* owner = node(parent);
    auto* created = new TreeNode;
    created->m_data = std::move(data);
    created->m_parent = owner;
    const int row = owner->childCount();
    notify([&](TreeModelObserver& o) { o.beginInsertRows(observerParent(owner), row, row); });
    owner->m_children.push_back(created);
    notify([](TreeModelObserver& o) { o.endInsertRows(); });
    markPending(owner);
    return created;
}

void TreeModel::deleteNode(TreeNode* target)
{
    if (!target) {
        return;
    }
    TreeNode* owner = target->m_parent;
    const int row = owner->m_children.indexOf(target);
    const bool focusLost = [&] {
        for (const TreeNode* n = m_focused; n; n = n->m_parent) {
            if (n == target) {
                return true;
            }
        }
        return false;
    }();
    notify([&](TreeModelObserver& o) { o.beginRemoveRows(observerParent(owner), row, row); });
    forgetSubtree(target);
    owner->m_children.erase(row);
    if (row < owner->m_sortedCount) {
        --owner->m_sortedCount;
    }
    if (focusLost) {
        m_focused = nullptr;
    }
    notify([](TreeModelObserver& o) { o.endRemoveRows(); });
    freeSubtree(target);
    if (focusLost) {
        notify([](TreeModelObserver& o) { o.focusChanged(nullptr); });
        if (m_onFocusChanged) {
            m_onFocusChanged(nullptr);
        }
    }
}

void TreeModel::clear()
{
    const bool hadFocus = m_focused != nullptr;
    notify([](TreeModelObserver& o) { o.beginReset(); });
    const std::vector<TreeNode*> top = m_root.m_children.toVector();
    for (TreeNode* n : top) {
        forgetSubtree(n);
    }
    m_root.m_children.clear();
    m_root.m_sortedCount = 0;
    m_focused = nullptr;
    for (TreeNode* n : m_pendingSort) {
        n->m_pendingSort = false;
    }
    m_pendingSort.clear();
    m_checkedCount = 0;
    for (TreeNode* n : top) {
        freeSubtree(n);
    }
    notify([](TreeModelObserver& o) { o.endReset(); });
    if (hadFocus) {
        notify([](TreeModelObserver& o) { o.focusChanged(nullptr); });
        if (m_onFocusChanged) {
            m_onFocusChanged(nullptr);
        }
    }
}

TreeNode* TreeModel::child(const TreeNode* parent, int row) const
{
    const TreeNode* owner = node(parent);
    if (row < 0 || row >= owner->childCount()) {
        return nullptr;
    }
    return owner->m_children.at(row);
}

TreeNode* TreeModel::nextInPreOrder(const TreeNode* current, bool descend) const
{
    if (!current) {
        return nullptr;
    }
    if (descend && current->childCount() > 0) {
        return current->m_children.at(0);
    }
    for (const TreeNode* n = current; n != &m_root; n = n->m_parent) {
        const TreeNode* owner = n->m_parent;
        const int row = owner->m_children.indexOf(n);
        if (row + 1 < owner->childCount()) {
            return owner->m_children.at(row + 1);
        }
    }
    return nullptr;
}

TreeNode* TreeModel::nextNode(const TreeNode* current) const
{
    return nextInPreOrder(current, true);
}

TreeNode* TreeModel::nextSibling(const TreeNode* current) const
{
    if (!current) {
        return nullptr;
    }
    const TreeNode* owner = current->m_parent;
    const int row = owner->m_children.indexOf(current);
    return row + 1 < owner->childCount() ? owner->m_children.at(row + 1) : nullptr;
}

void TreeModel::notifyDataChanged(TreeNode* changed)
{
    TreeNode* owner = changed->m_parent;
    // The row may now be out of place among siblings that were in order.
    if (owner->m_children.indexOf(changed) < owner->m_sortedCount) {
        owner->m_sortedCount = 0;
    }
    markPending(owner);
    notify([&](TreeModelObserver& o) { o.nodeChanged(changed); });
}

void TreeModel::initializeNode(TreeNode* target)
{
    if (!target || target->m_initialized) {
        return;
    }
    target->m_initialized = true;
    if (m_onInit) {
        m_onInit(target);
    }
}

void TreeModel::setCheckType(TreeNode* target, CheckType type)
{
    if (target->m_checkType == type) {
        return;
    }
    target->m_checkType = type;
    notify([&](TreeModelObserver& o) { o.nodeChanged(target); });
}

void TreeModel::changeState(TreeNode* target, CheckState state)
{
    if (target->m_checkState == state) {
        return;
    }
    if (target->m_checkState == CheckState::Checked) {
        --m_checkedCount;
    }
    if (state == CheckState::Checked) {
        ++m_checkedCount;
    }
    target->m_checkState = state;
    notify([&](TreeModelObserver& o) { o.nodeChanged(target); });
}

void TreeModel::propagateDown(TreeNode* target, CheckState state)
{
    std::vector<TreeNode*> stack { target };
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        for (int i = 0; i < n->childCount(); ++i) {
            TreeNode* c = n->m_children.at(i);
            if (c->m_checkType != CheckType::None) {
                changeState(c, state);
            }
            stack.push_back(c);
        }
    }
}

void TreeModel::propagateUp(TreeNode* target)
{
    for (TreeNode* p = target->m_parent; p != &m_root && p->m_checkType == CheckType::TriState; p = p->m_parent) {
        int checkable = 0;
        int ticked = 0;
        int touched = 0; // ticked or mixed
        for (int i = 0; i < p->childCount(); ++i) {
            const TreeNode* c = p->m_children.at(i);
            if (c->m_checkType == CheckType::None) {
                continue;
            }
            ++checkable;
            ticked += c->m_checkState == CheckState::Checked ? 1 : 0;
            touched += c->m_checkState != CheckState::Unchecked ? 1 : 0;
        }
        if (checkable == 0) {
            return;
        }
        changeState(
            p, ticked == checkable ? CheckState::Checked : (touched == 0 ? CheckState::Unchecked : CheckState::Mixed));
    }
}

void TreeModel::setCheckState(TreeNode* target, CheckState state)
{
    if (!target || target->m_checkType == CheckType::None) {
        return;
    }
    changeState(target, state);
    if (target->m_checkType == CheckType::TriState && state != CheckState::Mixed) {
        propagateDown(target, state);
    }
    propagateUp(target);
    if (m_onChecked) {
        m_onChecked(target);
    }
}

void TreeModel::toggleCheckState(TreeNode* target)
{
    if (!target) {
        return;
    }
    setCheckState(target, target->m_checkState == CheckState::Checked ? CheckState::Unchecked : CheckState::Checked);
}

void TreeModel::setCheckStateDirect(TreeNode* target, CheckState state)
{
    if (target) {
        changeState(target, state);
    }
}

TreeNode* TreeModel::firstChecked() const
{
    if (m_checkedCount == 0) {
        return nullptr;
    }
    TreeNode* n = firstNode();
    while (n && n->m_checkState != CheckState::Checked) {
        n = nextNode(n);
    }
    return n;
}

TreeNode* TreeModel::nextChecked(const TreeNode* current) const
{
    if (m_checkedCount == 0) {
        return nullptr;
    }
    TreeNode* n = nextNode(current);
    while (n && n->m_checkState != CheckState::Checked) {
        n = nextNode(n);
    }
    return n;
}

std::vector<TreeNode*> TreeModel::checkedNodes() const
{
    std::vector<TreeNode*> nodes;
    for (TreeNode* n = firstChecked(); n; n = nextChecked(n)) {
        nodes.push_back(n);
    }
    return nodes;
}

void TreeModel::setExpanded(TreeNode* target, bool expanded)
{
    if (!target || target->m_expanded == expanded) {
        return;
    }
    target->m_expanded = expanded;
    notify([&](TreeModelObserver& o) { o.expandedChanged(target, expanded); });
    if (!expanded || !m_autoSort) {
        return;
    }
    if (needsSort(target)) {
        sortChildrenAutomatically(target);
    }
    // Expanded rows below it became reachable: the next end of an update orders them.
    std::vector<TreeNode*> stack { target };
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        for (int i = 0; i < n->childCount(); ++i) {
            TreeNode* c = n->m_children.at(i);
            if (c->m_expanded && c->childCount() > 0) {
                if (needsSort(c)) {
                    markPending(c);
                }
                stack.push_back(c);
            }
        }
    }
}

void TreeModel::prefetchAhead(const ChildList& list, int pos)
{
    // Expanding a row reads the row, its children's entries and its children. Rows of a long list lie all
    // over memory; loading them a few rows ahead overlaps those waits instead of queueing them.
    const int size = list.size();
    if (size < 64) {
        return;
    }
    if (pos + 4 < size) {
        ChildList::prefetch(list.at(pos + 4));
    }
    if (pos + 3 < size) {
        list.at(pos + 3)->m_children.prefetchBlocks();
    }
    if (pos + 2 < size) {
        list.at(pos + 2)->m_children.prefetchEntries();
    }
    if (pos + 1 < size) {
        list.at(pos + 1)->m_children.prefetchRows(8);
    }
}

void TreeModel::expandAll()
{
    // Pre-order, walking each list by position: going through nextNode would look up every row's position
    // again. Expanding a row reorders only its own children, never the list being walked.
    struct Frame
    {
        TreeNode* parent;
        int next;
    };
    std::vector<Frame> stack { { &m_root, 0 } };
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.parent->childCount()) {
            stack.pop_back();
            continue;
        }
        const ChildList& siblings = top.parent->m_children;
        prefetchAhead(siblings, top.next);
        TreeNode* n = siblings.at(top.next++);
        if (n->childCount() > 0) {
            if (!n->m_expanded) {
                setExpanded(n, true);
            }
            stack.push_back({ n, 0 });
        }
    }
}

void TreeModel::setFocusedNode(TreeNode* target)
{
    if (m_focused == target) {
        return;
    }
    m_focused = target;
    notify([&](TreeModelObserver& o) { o.focusChanged(target); });
    if (m_onFocusChanged) {
        m_onFocusChanged(target);
    }
}

void TreeModel::beginUpdate()
{
    ++m_updateCount;
}

void TreeModel::endUpdate()
{
    if (m_updateCount == 0) {
        return;
    }
    if (--m_updateCount == 0) {
        applyAutomaticOrder();
    }
}

void TreeModel::setSortColumn(int column)
{
    if (m_sortColumn != column) {
        m_sortColumn = column;
        invalidateOrder();
    }
}

void TreeModel::setSortDirection(SortDirection direction)
{
    if (m_sortDirection != direction) {
        m_sortDirection = direction;
        invalidateOrder();
    }
}

void TreeModel::invalidateOrder()
{
    ++m_generation;
    m_allStale = true;
}

bool TreeModel::lessInOrder(const TreeNode* a, const TreeNode* b, int column, SortDirection direction) const
{
    if (!m_onCompare) {
        return false;
    }
    const int result = m_onCompare(a, b, column);
    return direction == SortDirection::Ascending ? result < 0 : result > 0;
}

bool TreeModel::isReachable(const TreeNode* target) const
{
    for (const TreeNode* n = target; n != &m_root; n = n->m_parent) {
        if (!n->m_expanded) {
            return false;
        }
    }
    return true;
}

bool TreeModel::needsSort(const TreeNode* target) const
{
    return target->m_sortedGeneration != m_generation || target->m_sortedCount < target->childCount();
}

void TreeModel::markPending(TreeNode* target)
{
    if (!target->m_pendingSort) {
        target->m_pendingSort = true;
        m_pendingSort.push_back(target);
    }
}

void TreeModel::applyAutomaticOrder()
{
    if (m_autoSort && m_allStale) {
        m_allStale = false;
        std::vector<TreeNode*> stack { &m_root };
        while (!stack.empty()) {
            TreeNode* n = stack.back();
            stack.pop_back();
            if (needsSort(n)) {
                sortChildrenAutomatically(n);
            }
            for (int i = 0; i < n->childCount(); ++i) {
                TreeNode* c = n->m_children.at(i);
                if (c->m_expanded && c->childCount() > 0) {
                    stack.push_back(c);
                }
            }
        }
    }
    // Lists that got rows and can be seen now are placed; the others wait until their row is expanded, which
    // keeps this cheap however many collapsed rows received children.
    std::vector<TreeNode*> pending;
    pending.swap(m_pendingSort);
    for (TreeNode* n : pending) {
        n->m_pendingSort = false;
    }
    if (!m_autoSort) {
        return;
    }
    for (TreeNode* n : pending) {
        if (needsSort(n) && isReachable(n)) {
            sortChildrenAutomatically(n);
        }
    }
}

void TreeModel::sortChildrenAutomatically(TreeNode* parent)
{
    const int column = m_sortColumn;
    const SortDirection direction = m_sortDirection;
    ChildList& children = parent->m_children;
    const int size = children.size();
    if (parent->m_sortedGeneration != m_generation) {
        sortChildrenFully(parent, column, direction);
    } else if (size - parent->m_sortedCount <= SmallBatch) {
        // Each new row goes after every row that compares equal to it, which is what a stable sort of the
        // whole list would give.
        for (int from = parent->m_sortedCount; from < size; ++from) {
            const ChildList::Entry placed { children.at(from), sortPrefix(children.at(from), column) };
            children.setPrefix(from, placed.prefix);
            const int to = children.upperBound(
                from, [&](const ChildList::Entry& e) { return lessInOrder(placed, e, column, direction); });
            if (to == from) {
                continue;
            }
            notify([&](TreeModelObserver& o) { o.beginMoveRow(observerParent(parent), from, to); });
            children.move(from, to);
            notify([](TreeModelObserver& o) { o.endMoveRow(); });
        }
    } else {
        std::vector<ChildList::Entry> entries = children.entries();
        for (auto it = entries.begin() + parent->m_sortedCount; it != entries.end(); ++it) {
            it->prefix = sortPrefix(it->node, column);
        }
        const auto middle = entries.begin() + parent->m_sortedCount;
        auto less = [&](const ChildList::Entry& a, const ChildList::Entry& b) {
            return lessInOrder(a, b, column, direction);
        };
        if (!std::is_sorted(middle, entries.end(), less)) {
            std::stable_sort(middle, entries.end(), less);
        }
        std::inplace_merge(entries.begin(), middle, entries.end(), less);
        assignSorted(parent, entries);
    }
    parent->m_sortedGeneration = m_generation;
    parent->m_sortedCount = size;
}

void TreeModel::sortChildrenFully(TreeNode* parent, int column, SortDirection direction)
{
    std::vector<ChildList::Entry> entries = parent->m_children.entries();
    for (ChildList::Entry& entry : entries) {
        entry.prefix = sortPrefix(entry.node, column);
    }
    auto less
        = [&](const ChildList::Entry& a, const ChildList::Entry& b) { return lessInOrder(a, b, column, direction); };
    // Most lists are in order already (a group's rows in the order they were found): no buffer, no moves.
    if (!std::is_sorted(entries.begin(), entries.end(), less)) {
        std::stable_sort(entries.begin(), entries.end(), less);
    }
    assignSorted(parent, entries);
}

void TreeModel::assignSorted(TreeNode* parent, const std::vector<ChildList::Entry>& sorted)
{
    ChildList& children = parent->m_children;
    bool moved = false;
    for (int pos = 0; pos < children.size() && !moved; ++pos) {
        moved = children.at(pos) != sorted[static_cast<size_t>(pos)].node;
    }
    if (!moved) {
        // The rows keep their places and take their new prefixes.
        children.setPrefixes(sorted);
        return;
    }
    notify([](TreeModelObserver& o) { o.layoutAboutToBeChanged(); });
    children.assign(sorted);
    notify([](TreeModelObserver& o) { o.layoutChanged(); });
}

void TreeModel::sortTree(int column, SortDirection direction)
{
    const bool automatic = column == m_sortColumn && direction == m_sortDirection;
    std::vector<TreeNode*> lists;
    std::vector<TreeNode*> stack { &m_root };
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        lists.push_back(n);
        for (int i = 0; i < n->childCount(); ++i) {
            TreeNode* c = n->m_children.at(i);
            initializeNode(c);
            if (c->m_expanded && c->childCount() > 0) {
                stack.push_back(c);
            }
        }
    }
    for (TreeNode* n : lists) {
        sortChildrenFully(n, column, direction);
        if (automatic) {
            n->m_sortedGeneration = m_generation;
            n->m_sortedCount = n->childCount();
        }
    }
    if (!automatic) {
        // Lists now follow another order; the next automatic sort starts afresh.
        invalidateOrder();
    }
}

QString TreeModel::text(const TreeNode* target, int column) const
{
    return m_onText ? m_onText(target, column) : QString();
}

int TreeModel::imageIndex(const TreeNode* target, int column) const
{
    return m_onImage ? m_onImage(target, column) : -1;
}

void TreeModel::forgetSubtree(TreeNode* target)
{
    std::vector<TreeNode*> stack { target };
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        if (n->m_checkState == CheckState::Checked) {
            --m_checkedCount;
        }
        if (n->m_pendingSort) {
            m_pendingSort.erase(std::remove(m_pendingSort.begin(), m_pendingSort.end(), n), m_pendingSort.end());
            n->m_pendingSort = false;
        }
        if (m_onFree) {
            m_onFree(n);
        }
        for (int i = 0; i < n->childCount(); ++i) {
            stack.push_back(n->m_children.at(i));
        }
    }
}

void TreeModel::freeSubtree(TreeNode* target)
{
    std::vector<TreeNode*> stack { target };
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        for (int i = 0; i < n->childCount(); ++i) {
            stack.push_back(n->m_children.at(i));
        }
        delete n;
    }
}

} // namespace velmora
