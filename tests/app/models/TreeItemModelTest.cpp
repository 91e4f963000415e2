#include "app/models/TreeItemModel.h"

#include "detection/ResultsTree.h"
#include "store/FolderTree.h"
#include "store/MemoryStore.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QPixmap>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace velmora;

namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "tree_item_model_tests";
    static char* argv[] = { name, nullptr };
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Never destroyed: tearing it down among the exit handlers would outlive Qt's own globals.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

TTreeData item(const QString& subject, int size, const QString& id)
{
    TTreeData data;
    data.Subject = subject;
    data.Folder = "Inbox";
    data.Size = size;
    data.EntryID = id;
    data.StoreID = "7";
    return data;
}

} // namespace

// The adapter stays a consistent item model while the results tree grows, is sorted, ticked and shrinks,
// with a view attached that follows the tree's expansion.
TEST(TreeItemModelTest, ResultsTreeChangesPassTheModelTester)
{
    application();
    ResultsTree results;
    TreeItemModel model(results.model());
    model.setIconProvider([](int) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::yellow);
        return QIcon(pixmap);
    });
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QTreeView view;
    view.setModel(&model);
    QObject::connect(&model, &TreeItemModel::expandRequested,
                     [&](const QModelIndex& index, bool expanded) { view.setExpanded(index, expanded); });
    view.show();

    const QStringList subjects = { "delta", "alpha", "charlie", "bravo", "alpha", "echo", "Alpha" };
    int id = 1;
    for (int g = 0; g < subjects.size(); ++g) {
        TreeNode* group = nullptr;
        for (int d = 0; d < 2 + g % 2; ++d) {
            results.beginUpdate();
            if (!group) {
                group = results.appendGroupRow(item(subjects[g], 0, QString::number(id)), "7");
                results.initializeRow(group);
                results.initializeRow(results.appendItemRow(group, item(subjects[g], 100 * g, QString::number(id++))));
            }
            results.initializeRow(results.appendItemRow(group, item(subjects[g], 50 * d, QString::number(id++))));
            results.endUpdate();
            QCoreApplication::processEvents();
        }
        if (g == 3) {
            results.expandAll();
        }
    }
    results.expandAll();
    ASSERT_EQ(model.rowCount(), subjects.size());
    EXPECT_EQ(model.index(0, 0).data().toString(), "alpha");
    EXPECT_EQ(model.headerData(4, Qt::Horizontal).toString(), "Size");
    const QModelIndex firstGroup = model.index(0, 0);
    const QModelIndex firstItem = model.index(0, 0, firstGroup);
    EXPECT_FALSE(firstGroup.data(Qt::CheckStateRole).isValid());
    EXPECT_TRUE(model.flags(firstItem) & Qt::ItemIsUserCheckable);
    EXPECT_EQ(model.index(0, 4, firstGroup).data().toString(), "0 kb");
    EXPECT_TRUE(firstItem.data(Qt::DecorationRole).canConvert<QIcon>());
    EXPECT_FALSE(model.index(0, 1, firstGroup).data(Qt::DecorationRole).isValid());
    EXPECT_TRUE(view.isExpanded(firstGroup));

    results.ItemsVSTHeaderClick(ResultsTree::SizeColumn);
    results.ItemsVSTHeaderClick(ResultsTree::SubjectColumn);
    QCoreApplication::processEvents();

    // A tick given through the view's model reaches the tree.
    const int before = results.checkedCount();
    const QModelIndex row = model.index(0, 0, model.index(0, 0));
    const bool wasTicked = row.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    ASSERT_TRUE(model.setData(row, wasTicked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(results.checkedCount(), before + (wasTicked ? -1 : 1));

    // The removal run deletes ticked rows one by one.
    for (TreeNode* ticked = results.firstChecked(); ticked;) {
        TreeNode* next = results.nextChecked(ticked);
        results.deleteRow(ticked);
        QCoreApplication::processEvents();
        ticked = next;
    }
    EXPECT_EQ(results.checkedCount(), 0);
    EXPECT_EQ(model.rowCount(), subjects.size());
    results.clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(TreeItemModelTest, FolderTicksThroughTheModelSpreadAndGiveTheHint)
{
    application();
    auto store = MemoryStore::create("Local Folders");
    const OEId inbox = store->addFolder(store->rootId(), "Inbox");
    store->addFolder(inbox, "Work");
    store->addFolder(store->rootId(), "Archive");
    FolderTree folders;
    folders.setFolderManager(store.get());
    QStringList hints;
    folders.setHintHandler([&](const QString& hint) { hints << hint; });
    TreeItemModel model(folders.model());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    folders.FillFolderTree();

    EXPECT_EQ(model.columnCount(), 1);
    EXPECT_FALSE(model.headerData(0, Qt::Horizontal).isValid());
    const QModelIndex root = model.index(0, 0);
    const QModelIndex inboxIndex = model.index(1, 0, root);
    ASSERT_EQ(inboxIndex.data().toString(), "Inbox");
    ASSERT_TRUE(model.setData(inboxIndex, Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(model.index(0, 0, inboxIndex).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(root.data(Qt::CheckStateRole).toInt(), Qt::PartiallyChecked);
    EXPECT_EQ(hints, (QStringList { FolderTree::InsertHint }));

    model.setExpandedFromView(inboxIndex, true);
    model.setCurrentFromView(inboxIndex);
    folders.HandleFolderCheckKeys(FolderTree::Key::Insert);
    EXPECT_EQ(inboxIndex.data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    folders.FillFolderTree();
    EXPECT_EQ(model.rowCount(), 1);
}
