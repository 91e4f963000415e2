#include "app/models/TreeItemModel.h"

namespace velmora {

class TreeItemModel::Observer : public TreeModelObserver
{
public:
    explicit Observer(TreeItemModel& model)
        : m(model)
    {
    }

    void beginInsertRows(TreeNode* parent, int first, int last) override
    {
        m.beginInsertRows(m.indexFromNode(parent), first, last);
    }
    void endInsertRows() override { m.endInsertRows(); }
    void beginRemoveRows(TreeNode* parent, int first, int last) override
    {
        m.beginRemoveRows(m.indexFromNode(parent), first, last);
    }
    void endRemoveRows() override { m.endRemoveRows(); }
    void beginMoveRow(TreeNode* parent, int from, int to) override
    {
        // Qt counts the destination before the move: a row going down lands before the row after `to`.
        const QModelIndex index = m.indexFromNode(parent);
        m.beginMoveRows(index, from, from, index, to > from ? to + 1 : to);
    }
    void endMoveRow() override { m.endMoveRows(); }
    void layoutAboutToBeChanged() override
    {
        Q_EMIT m.layoutAboutToBeChanged();
        m.m_layoutIndexes = m.persistentIndexList();
        m.m_layoutNodes.clear();
        for (const QModelIndex& index : m.m_layoutIndexes) {
            m.m_layoutNodes.emplace_back(m.nodeFromIndex(index), index.column());
        }
    }
    void layoutChanged() override
    {
        QModelIndexList moved;
        moved.reserve(m.m_layoutIndexes.size());
        for (const auto& [node, column] : m.m_layoutNodes) {
            moved.append(m.indexFromNode(node, column));
        }
        m.changePersistentIndexList(m.m_layoutIndexes, moved);
        m.m_layoutIndexes.clear();
        m.m_layoutNodes.clear();
        Q_EMIT m.layoutChanged();
    }
    void nodeChanged(TreeNode* node) override
    {
        Q_EMIT m.dataChanged(m.indexFromNode(node, 0), m.indexFromNode(node, m.columnCount() - 1));
    }
    void beginReset() override { m.beginResetModel(); }
    void endReset() override { m.endResetModel(); }
    void expandedChanged(TreeNode* node, bool expanded) override
    {
        Q_EMIT m.expandRequested(m.indexFromNode(node), expanded);
    }
    void focusChanged(TreeNode* node) override { Q_EMIT m.focusRequested(m.indexFromNode(node)); }

private:
    TreeItemModel& m;
};

TreeItemModel::TreeItemModel(TreeModel& tree, QObject* parent)
    : QAbstractItemModel(parent)
    , m_tree(tree)
    , m_observer(std::make_unique<Observer>(*this))
{
    m_tree.addObserver(m_observer.get());
}

TreeItemModel::~TreeItemModel()
{
    m_tree.removeObserver(m_observer.get());
}

TreeNode* TreeItemModel::nodeFromIndex(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<TreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TreeItemModel::indexFromNode(const TreeNode* node, int column) const
{
    if (!node) {
        return {};
    }
    return createIndex(node->index(), column, const_cast<TreeNode*>(node));
}

void TreeItemModel::setExpandedFromView(const QModelIndex& index, bool expanded)
{
    if (TreeNode* node = nodeFromIndex(index)) {
        m_tree.setExpanded(node, expanded);
    }
}

void TreeItemModel::setCurrentFromView(const QModelIndex& index)
{
    m_tree.setFocusedNode(nodeFromIndex(index));
}

QModelIndex TreeItemModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= columnCount(parent) || (parent.isValid() && parent.column() != 0)) {
        return {};
    }
    TreeNode* node = m_tree.child(nodeFromIndex(parent), row);
    return node ? createIndex(row, column, node) : QModelIndex();
}

QModelIndex TreeItemModel::parent(const QModelIndex& child) const
{
    const TreeNode* node = nodeFromIndex(child);
    return node ? indexFromNode(node->parent()) : QModelIndex();
}

int TreeItemModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0) {
        return 0;
    }
    return m_tree.childCount(nodeFromIndex(parent));
}

int TreeItemModel::columnCount(const QModelIndex& parent) const
{
    Q_UNUSED(parent);
    return std::max(1, m_tree.columnCount());
}

bool TreeItemModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant TreeItemModel::data(const QModelIndex& index, int role) const
{
    const TreeNode* node = nodeFromIndex(index);
    if (!node) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return m_tree.text(node, treeColumn(index.column()));
    case Qt::DecorationRole: {
        const int image = m_tree.imageIndex(node, treeColumn(index.column()));
        if (image >= 0 && m_icons) {
            return m_icons(image);
        }
        return {};
    }
    case Qt::CheckStateRole:
        if (index.column() != 0 || node->checkType() == CheckType::None) {
            return {};
        }
        switch (node->checkState()) {
        case CheckState::Checked:
            return Qt::Checked;
        case CheckState::Mixed:
            return Qt::PartiallyChecked;
        case CheckState::Unchecked:
            return Qt::Unchecked;
        }
        return {};
    default:
        return {};
    }
}

bool TreeItemModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TreeNode* node = nodeFromIndex(index);
    if (!node || role != Qt::CheckStateRole || index.column() != 0 || node->checkType() == CheckType::None) {
        return false;
    }
    const auto state = static_cast<Qt::CheckState>(value.toInt());
    // Through the tree's check logic, so that ticks spread and the checked event fires.
    m_tree.setCheckState(node,
                         state == Qt::Checked                ? CheckState::Checked
                             : state == Qt::PartiallyChecked ? CheckState::Mixed
                                                             : CheckState::Unchecked);
    return true;
}

Qt::ItemFlags TreeItemModel::flags(const QModelIndex& index) const
{
    const TreeNode* node = nodeFromIndex(index);
    if (!node) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0 && node->checkType() != CheckType::None) {
        result |= Qt::ItemIsUserCheckable;
    }
    return result;
}

QVariant TreeItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_tree.columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_tree.columns()[static_cast<size_t>(section)].title;
    }
    return {};
}

} // namespace velmora
