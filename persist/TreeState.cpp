#include "TreeState.h"

#include "persist/FormStorage.h"
#include "tree/TreeModel.h"

#include <QCryptographicHash>
#include <QSet>
#include <QStringList>

#include <algorithm>

namespace velmora {

namespace {

    // Every row below `top`, in pre-order and the tree's present order. The whole subtree counts: stopping at
    // the top row's last child would drop the ticks of every folder below that child at each restart.
    std::vector<TreeNode*> rowsBelow(TreeNode& top)
    {
        std::vector<TreeNode*> rows;
        std::vector<TreeNode*> stack { &top };
        while (!stack.empty()) {
            TreeNode* node = stack.back();
            stack.pop_back();
            if (node != &top) {
                rows.push_back(node);
            }
            for (int i = node->childCount() - 1; i >= 0; --i) {
                stack.push_back(node->child(i));
            }
        }
        return rows;
    }

    QString widthKey(const QString& name, int column)
    {
        return QStringLiteral("%1\\Column%2Width").arg(name).arg(column);
    }

} // namespace

QString FolderKeyHash(const QString& text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Md5).toHex().toUpper());
}

QString FolderTicksKey(const QString& name, const TreeNode& topRow)
{
    return name + QStringLiteral("\\CheckedFolders-") + FolderKeyHash(topRow.data().EntryID);
}

void SaveFolderTicks(FormStorage& storage, const TreeModel& tree, const QString& name)
{
    for (int t = 0; t < tree.rootCount(); ++t) {
        TreeNode& top = *tree.child(nullptr, t);
        QStringList digests;
        for (const TreeNode* row : rowsBelow(top)) {
            if (!row->data().EntryID.isEmpty() && row->checkState() == CheckState::Checked) {
                digests.append(FolderKeyHash(row->data().EntryID));
            }
        }
        std::sort(digests.begin(), digests.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        digests.removeDuplicates();
        storage.writeString(FolderTicksKey(name, top), digests.join(QLatin1Char(',')));
    }
}

void RestoreFolderTicks(FormStorage& storage, TreeModel& tree, TreeNode* topRow, const QString& name)
{
    if (!topRow) {
        return;
    }
    QSet<QString> saved;
    for (const QString& item : storage.readString(FolderTicksKey(name, *topRow), {}).split(QLatin1Char(','))) {
        const QString digest = item.trimmed().toUpper();
        if (!digest.isEmpty()) {
            saved.insert(digest);
        }
    }
    if (saved.isEmpty()) {
        return;
    }
    // Expanding a row may re-sort its children, so the rows are chosen before anything changes.
    std::vector<TreeNode*> ticked;
    for (TreeNode* row : rowsBelow(*topRow)) {
        if (saved.contains(FolderKeyHash(row->data().EntryID))) {
            ticked.push_back(row);
        }
    }
    tree.beginUpdate();
    for (TreeNode* row : ticked) {
        tree.setCheckStateDirect(row, CheckState::Checked);
        tree.setExpanded(row->parent(), true);
    }
    tree.endUpdate();
}

void SaveColumnWidths(FormStorage& storage, const QString& name, const std::vector<int>& widths)
{
    for (size_t i = 0; i < widths.size(); ++i) {
        storage.writeInteger(widthKey(name, static_cast<int>(i)), widths[i]);
    }
}

std::vector<int> RestoreColumnWidths(const FormStorage& storage, const QString& name, std::vector<int> present)
{
    for (size_t i = 0; i < present.size(); ++i) {
        const qint64 width = storage.readInteger(widthKey(name, static_cast<int>(i)), present[i]);
        present[i] = static_cast<int>(std::clamp<qint64>(width, kMinColumnWidth, kMaxColumnWidth));
    }
    return present;
}

void SaveColumnWidths(FormStorage& storage, const TreeModel& tree, const QString& name)
{
    std::vector<int> widths;
    for (const TreeColumn& column : tree.columns()) {
        widths.push_back(column.width);
    }
    SaveColumnWidths(storage, name, widths);
}

void RestoreColumnWidths(const FormStorage& storage, TreeModel& tree, const QString& name)
{
    std::vector<int> widths;
    for (const TreeColumn& column : tree.columns()) {
        widths.push_back(column.width);
    }
    widths = RestoreColumnWidths(storage, name, std::move(widths));
    for (size_t i = 0; i < widths.size(); ++i) {
        tree.setColumnWidth(static_cast<int>(i), widths[i]);
    }
}

} // namespace velmora
