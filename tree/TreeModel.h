#pragma once

#include "tree/ChildList.h"
#include "tree/TreeData.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace velmora {

class TreeModel;

enum class CheckType : quint8 {
    None, // no tick box
    CheckBox, // two states; a tick stays on its row
    TriState, // ticks go to the rows below and are summed up in the rows above
};

enum class CheckState : quint8 {
    Unchecked,
    Checked,
    Mixed,
};

enum class SortDirection : quint8 {
    Ascending,
    Descending,
};

// A column of the tree-grid header. Trees without columns ask for texts with column -1.
struct TreeColumn
{
    QString title;
    int width = 50;
    bool hidden = false;
};

// One row of a TreeModel. Rows are created, moved and deleted by the model only; a pointer stays valid until
// its row is deleted (or the model cleared).
class TreeNode
{
public:
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    TTreeData& data() { return m_data; }
    const TTreeData& data() const { return m_data; }

    // The parent row, or null for a top-level row.
    TreeNode* parent() const;
    // 0 for a top-level row.
    int level() const;
    // The position among the siblings in their present order.
    int index() const;
    int childCount() const { return m_children.size(); }
    TreeNode* child(int row) const { return m_children.at(row); }

    CheckType checkType() const { return m_checkType; }
    CheckState checkState() const { return m_checkState; }
    bool isExpanded() const { return m_expanded; }
    bool isInitialized() const { return m_initialized; }

private:
    friend class TreeModel;
    friend class ChildList;
    TreeNode() = default;

    // The fields that walks and sorts read come first, ending next to the record's subject, so that a row
    // costs them as few cache lines as possible.
    TreeNode* m_parent = nullptr; // the invisible root for top-level rows
    ChildList m_children;
    mutable int m_row = 0; // cached index(), checked against the parent's list
    // Leading children known to be in the automatic order of m_sortedGeneration; while that generation is
    // current they carry their sort prefixes in the sort column.
    int m_sortedCount = 0;
    quint64 m_sortedGeneration = 0;
    CheckType m_checkType = CheckType::None;
    CheckState m_checkState = CheckState::Unchecked;
    bool m_expanded = false;
    bool m_initialized = false;
    bool m_pendingSort = false; // listed in TreeModel::m_pendingSort
    TTreeData m_data;
};

// Learns about every change of a TreeModel's rows, one by one, in the order of QAbstractItemModel's
// notifications. A null parent stands for the top level.
class TreeModelObserver
{
public:
    virtual ~TreeModelObserver() = default;

    virtual void beginInsertRows(TreeNode* parent, int first, int last) = 0;
    virtual void endInsertRows() = 0;
    virtual void beginRemoveRows(TreeNode* parent, int first, int last) = 0;
    virtual void endRemoveRows() = 0;
    // One row moves among its siblings: from row `from` to row `to` (its row after the move).
    virtual void beginMoveRow(TreeNode* parent, int from, int to) = 0;
    virtual void endMoveRow() = 0;
    // Rows were reordered wholesale (a sort): every row keeps its node, only positions change.
    virtual void layoutAboutToBeChanged() = 0;
    virtual void layoutChanged() = 0;
    // Texts, images or the tick of one row changed.
    virtual void nodeChanged(TreeNode* node) = 0;
    virtual void beginReset() = 0;
    virtual void endReset() = 0;
    // The model expanded or collapsed a row (a view may follow).
    virtual void expandedChanged(TreeNode* node, bool expanded) { (void)node, (void)expanded; }
    virtual void focusChanged(TreeNode* node) { (void)node; }
};

// A tree-grid model without any window code: rows with a TTreeData record, lazy initialisation, tick boxes
// with tri-state tracking, expanded flags, focus, nested updates and stable comparison sorting. The owner
// supplies the behaviour through events. Parent arguments take null for the top level.
class TreeModel
{
public:
    using InitEvent = std::function<void(TreeNode* node)>;
    using FreeEvent = std::function<void(TreeNode* node)>;
    // Negative, zero or positive for a before, equal to or after b in `column`.
    using CompareEvent = std::function<int(const TreeNode* a, const TreeNode* b, int column)>;
    // Where two rows' prefixes in `column` differ, their order (as unsigned 128-bit integers) must be the
    // order the compare event gives them; equal prefixes leave the decision to the compare event.
    using SortPrefixEvent = std::function<SortPrefix(const TreeNode* node, int column)>;
    using TextEvent = std::function<QString(const TreeNode* node, int column)>;
    using ImageEvent = std::function<int(const TreeNode* node, int column)>;
    using CheckedEvent = std::function<void(TreeNode* node)>;
    using FocusChangedEvent = std::function<void(TreeNode* node)>;

    TreeModel();
    ~TreeModel();
    TreeModel(const TreeModel&) = delete;
    TreeModel& operator=(const TreeModel&) = delete;

    // Events. The init event fires once per row, when the row is first initialised. The free event fires for
    // every row that is deleted, before it goes. The checked event fires after a tick changes through the
    // tree's own check logic (setCheckState, toggleCheckState), never for a direct change.
    void setOnInitNode(InitEvent handler) { m_onInit = std::move(handler); }
    void setOnFreeNode(FreeEvent handler) { m_onFree = std::move(handler); }
    void setOnCompareNodes(CompareEvent handler);
    // Optional: sorting then compares rows by their prefixes first, which spares reading the rows themselves
    // in a long list, and calls the compare event only where prefixes tie.
    void setOnSortPrefix(SortPrefixEvent handler);
    void setOnGetText(TextEvent handler) { m_onText = std::move(handler); }
    void setOnGetImageIndex(ImageEvent handler) { m_onImage = std::move(handler); }
    void setOnChecked(CheckedEvent handler) { m_onChecked = std::move(handler); }
    void setOnFocusChanged(FocusChangedEvent handler) { m_onFocusChanged = std::move(handler); }

    void addObserver(TreeModelObserver* observer);
    void removeObserver(TreeModelObserver* observer);

    // Header.
    void setColumns(std::vector<TreeColumn> columns) { m_columns = std::move(columns); }
    const std::vector<TreeColumn>& columns() const { return m_columns; }
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    // Clamped to 10..10000 pixels, as the header keeps it.
    void setColumnWidth(int column, int width);

    // Structure.
    TreeNode* appendChild(TreeNode* parent, TTreeData data = {});
    // Deletes the row and everything below it; the free event fires for each of them.
    void deleteNode(TreeNode* node);
    // Deletes every row.
    void clear();
    int rootCount() const { return m_root.childCount(); }
    int childCount(const TreeNode* parent) const { return node(parent)->childCount(); }
    TreeNode* child(const TreeNode* parent, int row) const;
    // Pre-order over all rows, expanded or not: a row, the rows below it, then its next sibling.
    TreeNode* firstNode() const { return child(nullptr, 0); }
    TreeNode* nextNode(const TreeNode* node) const;
    TreeNode* nextSibling(const TreeNode* node) const;
    // Tells the model (and its observers) that the owner changed a row's record.
    void notifyDataChanged(TreeNode* node);

    // Lazy initialisation: fires the init event now unless it fired already.
    void initializeNode(TreeNode* node);

    // Ticks.
    void setCheckType(TreeNode* node, CheckType type);
    // A change through the tree's check logic: on a tri-state row the state goes to every row below it and the
    // rows above take ticked, unticked or mixed from their children; then the checked event fires.
    void setCheckState(TreeNode* node, CheckState state);
    // A click or Space: a ticked row becomes unticked, an unticked or mixed one ticked (through setCheckState).
    void toggleCheckState(TreeNode* node);
    // Only this row changes: nothing propagates and no checked event fires.
    void setCheckStateDirect(TreeNode* node, CheckState state);
    // Rows in the ticked state (not mixed), over the whole tree.
    int checkedCount() const { return m_checkedCount; }
    TreeNode* firstChecked() const;
    // The next ticked row after `node` in pre-order.
    TreeNode* nextChecked(const TreeNode* node) const;
    std::vector<TreeNode*> checkedNodes() const;

    // Expansion. Expanding a row puts its children in the automatic order.
    void setExpanded(TreeNode* node, bool expanded);
    // Expands every row that has children.
    void expandAll();

    // Focus.
    TreeNode* focusedNode() const { return m_focused; }
    // Fires the focus-changed event when the focused row changes.
    void setFocusedNode(TreeNode* node);

    // Updates nest; the automatic order is applied when the outermost update ends.
    void beginUpdate();
    void endUpdate();
    int updateCount() const { return m_updateCount; }

    // Sorting. The automatic order sorts by the header's sort column in the header's direction, the top level
    // and the children of expanded rows (going down through expanded rows only) at the end of an update, and
    // the children of a row when it is expanded. Every sort is stable.
    void setAutoSort(bool on) { m_autoSort = on; }
    bool autoSort() const { return m_autoSort; }
    int sortColumn() const { return m_sortColumn; }
    // Neither setter sorts; the next automatic sort uses the new order.
    void setSortColumn(int column);
    SortDirection sortDirection() const { return m_sortDirection; }
    void setSortDirection(SortDirection direction);
    // Sorts the top level and the children of expanded rows by `column` in `direction`, initialising rows that
    // are not initialised yet.
    void sortTree(int column, SortDirection direction);

    // Cell contents through the text and image events (empty text and -1 without a handler).
    QString text(const TreeNode* node, int column) const;
    int imageIndex(const TreeNode* node, int column) const;

private:
    TreeNode* node(const TreeNode* parent) const { return parent ? const_cast<TreeNode*>(parent) : &m_root; }
    TreeNode* observerParent(TreeNode* node) const { return node == &m_root ? nullptr : node; }
    bool lessInOrder(const TreeNode* a, const TreeNode* b, int column, SortDirection direction) const;
    bool lessInOrder(const ChildList::Entry& a, const ChildList::Entry& b, int column, SortDirection direction) const
    {
        if (a.prefix != b.prefix) {
            return direction == SortDirection::Ascending ? a.prefix < b.prefix : b.prefix < a.prefix;
        }
        return lessInOrder(a.node, b.node, column, direction);
    }
    SortPrefix sortPrefix(const TreeNode* node, int column) const
    {
        return m_onSortPrefix ? m_onSortPrefix(node, column) : SortPrefix {};
    }
    bool isReachable(const TreeNode* node) const;
    bool needsSort(const TreeNode* node) const;
    void markPending(TreeNode* node);
    void applyAutomaticOrder();
    void sortChildrenAutomatically(TreeNode* parent);
    void sortChildrenFully(TreeNode* parent, int column, SortDirection direction);
    void assignSorted(TreeNode* parent, const std::vector<ChildList::Entry>& sorted);
    void invalidateOrder();
    void freeSubtree(TreeNode* node);
    void forgetSubtree(TreeNode* node);
    void changeState(TreeNode* node, CheckState state);
    void propagateDown(TreeNode* node, CheckState state);
    void propagateUp(TreeNode* node);
    TreeNode* nextInPreOrder(const TreeNode* node, bool descend) const;
    static void prefetchAhead(const ChildList& list, int pos);

    template <typename F> void notify(F&& f)
    {
        for (TreeModelObserver* observer : m_observers) {
            f(*observer);
        }
    }

    mutable TreeNode m_root;
    std::vector<TreeColumn> m_columns;
    std::vector<TreeModelObserver*> m_observers;
    std::vector<TreeNode*> m_pendingSort;
    InitEvent m_onInit;
    FreeEvent m_onFree;
    CompareEvent m_onCompare;
    SortPrefixEvent m_onSortPrefix;
    TextEvent m_onText;
    ImageEvent m_onImage;
    CheckedEvent m_onChecked;
    FocusChangedEvent m_onFocusChanged;
    TreeNode* m_focused = nullptr;
    quint64 m_generation = 1; // bumped whenever the automatic order changes meaning
    bool m_allStale = false; // the next end of an update re-sorts everything reachable
    int m_updateCount = 0;
    int m_checkedCount = 0;
    int m_sortColumn = -1;
    SortDirection m_sortDirection = SortDirection::Ascending;
    bool m_autoSort = true;
};

} // namespace velmora
