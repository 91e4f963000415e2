#pragma once

#include "tree/TreeModel.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <functional>
#include <memory>

namespace velmora {

// A QAbstractItemModel over a TreeModel for a QTreeView: texts and pictures through the tree's events, tick
// boxes routed through the tree's check logic, the tree's columns as header, and every change of the tree
// passed on row by row.
class TreeItemModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    // The picture of an image index (the image list of the window).
    using IconProvider = std::function<QIcon(int imageIndex)>;

    explicit TreeItemModel(TreeModel& tree, QObject* parent = nullptr);
    ~TreeItemModel() override;

    TreeModel& tree() const { return m_tree; }
    void setIconProvider(IconProvider provider) { m_icons = std::move(provider); }

    TreeNode* nodeFromIndex(const QModelIndex& index) const;
    QModelIndex indexFromNode(const TreeNode* node, int column = 0) const;

    // What the view did: passed on to the tree (expanding sorts the row's children; the current row is the
    // tree's focus).
    void setExpandedFromView(const QModelIndex& index, bool expanded);
    void setCurrentFromView(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The tree expanded or collapsed a row by itself (expand all, restored ticks); the view should follow.
    void expandRequested(const QModelIndex& index, bool expanded);
    // The tree's focused row changed (for example it was deleted).
    void focusRequested(const QModelIndex& index);

private:
    class Observer;
    friend class Observer;

    // The column the tree's events are asked with: -1 when the tree has no columns.
    int treeColumn(int column) const { return m_tree.columnCount() == 0 ? -1 : column; }

    TreeModel& m_tree;
    IconProvider m_icons;
    std::unique_ptr<Observer> m_observer;
    QModelIndexList m_layoutIndexes;
    std::vector<std::pair<TreeNode*, int>> m_layoutNodes;
};

} // namespace velmora
