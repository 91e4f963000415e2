#include "persist/TreeState.h"

#include "persist/FormStorage.h"
#include "persist/XmlStorage.h"
#include "store/FolderTree.h"
#include "store/MemoryStore.h"

#include <QStringList>

#include <algorithm>
#include <map>

#include <gtest/gtest.h>

using namespace velmora;

namespace {

const QString kName = QStringLiteral("FoldersVST");

// Local Folders
//   Inbox > Work > Projects
//   Sent Items
//   Zeta > Below Last        (Zeta is the top row's last child in sorted order)
struct Store
{
    Store()
    {
        inbox = store->addFolder(store->rootId(), QStringLiteral("Inbox"));
        work = store->addFolder(inbox, QStringLiteral("Work"));
        projects = store->addFolder(work, QStringLiteral("Projects"));
        sent = store->addFolder(store->rootId(), QStringLiteral("Sent Items"));
        zeta = store->addFolder(store->rootId(), QStringLiteral("Zeta"));
        belowLast = store->addFolder(zeta, QStringLiteral("Below Last"));
    }
    std::shared_ptr<MemoryStore> store = MemoryStore::create();
    OEId inbox, work, projects, sent, zeta, belowLast;
};

// A folder tree filled from the store, as the window has it before it is shown.
struct Window
{
    explicit Window(MemoryStore& store)
    {
        tree.setFolderManager(&store);
        tree.setHintHandler([this](const QString&) { ++checkedEvents; });
        tree.FillFolderTree();
    }
    TreeModel& model() { return tree.model(); }
    TreeNode* row(OEId id)
    {
        for (TreeNode* n = model().firstNode(); n; n = model().nextNode(n)) {
            if (n->data().EntryID == QString::number(id)) {
                return n;
            }
        }
        return nullptr;
    }
    std::map<QString, CheckState> states()
    {
        std::map<QString, CheckState> out;
        for (TreeNode* n = model().firstNode(); n; n = model().nextNode(n)) {
            out[n->data().Subject] = n->checkState();
        }
        return out;
    }
    FolderTree tree;
    int checkedEvents = 0;
};

struct TreeStateTest : ::testing::Test
{
    TreeStateTest() { xml.setFlushOnDestroy(false); }
    XmlStorage xml;
    FormStorage form { xml };
    Store s;
};

TEST(FolderKeyHashTest, IsUpperCaseMd5OfTheIdentifier)
{
    EXPECT_EQ(FolderKeyHash(QStringLiteral("101")), QStringLiteral("38B3EFF8BAF56627478EC76A704E9B52"));
    EXPECT_EQ(FolderKeyHash(QString()), QStringLiteral("D41D8CD98F00B204E9800998ECF8427E"));
}

TEST_F(TreeStateTest, TicksComeBackByDigestAfterARestart)
{
    {
        Window before(*s.store);
        before.model().setCheckState(before.row(s.inbox), CheckState::Checked); // passes to Work and Projects
        before.model().setCheckStateDirect(before.row(s.belowLast), CheckState::Checked);
        SaveFolderTicks(form, before.model(), kName);
    }
    QStringList digests { FolderKeyHash(QString::number(s.inbox)), FolderKeyHash(QString::number(s.work)),
                          FolderKeyHash(QString::number(s.projects)), FolderKeyHash(QString::number(s.belowLast)) };
    digests.sort();
    const QString key
        = QStringLiteral("FoldersVST\\CheckedFolders-") + FolderKeyHash(QString::number(s.store->rootId()));
    EXPECT_EQ(form.readString(key, {}), digests.join(QLatin1Char(',')));

    Window after(*s.store);
    RestoreFolderTicks(form, after.model(), after.model().firstNode(), kName);
    const std::map<QString, CheckState> expected {
        { QStringLiteral("Local Folders"), CheckState::Unchecked },
        { QStringLiteral("Inbox"), CheckState::Checked },
        { QStringLiteral("Work"), CheckState::Checked },
        { QStringLiteral("Projects"), CheckState::Checked },
        { QStringLiteral("Sent Items"), CheckState::Unchecked },
        { QStringLiteral("Zeta"), CheckState::Unchecked },
        { QStringLiteral("Below Last"), CheckState::Checked },
    };
    EXPECT_EQ(after.states(), expected);
    // Each ticked row's parent is opened; the tick event never fired.
    EXPECT_TRUE(after.row(s.inbox)->isExpanded());
    EXPECT_TRUE(after.row(s.work)->isExpanded());
    EXPECT_TRUE(after.row(s.zeta)->isExpanded());
    EXPECT_FALSE(after.row(s.sent)->isExpanded());
    EXPECT_EQ(after.checkedEvents, 0);
}

TEST_F(TreeStateTest, FolderTickedAloneComesBackAloneAndRenamedFolderKeepsItsTick)
{
    {
        Window before(*s.store);
        before.model().setCheckStateDirect(before.row(s.work), CheckState::Checked); // Insert: Work alone
        before.model().setCheckState(before.row(s.sent), CheckState::Checked);
        SaveFolderTicks(form, before.model(), kName);
    }
    s.store->renameFolder(s.sent, QStringLiteral("AAA Sent"));
    Window after(*s.store);
    RestoreFolderTicks(form, after.model(), after.model().firstNode(), kName);
    EXPECT_EQ(after.row(s.work)->checkState(), CheckState::Checked);
    EXPECT_EQ(after.row(s.projects)->checkState(), CheckState::Unchecked);
    EXPECT_EQ(after.row(s.inbox)->checkState(), CheckState::Unchecked) << "the rows above are not recomputed";
    EXPECT_EQ(after.row(s.sent)->checkState(), CheckState::Checked);
    EXPECT_EQ(after.row(s.sent)->data().Subject, QStringLiteral("AAA Sent"));
    EXPECT_EQ(after.model().checkedCount(), 2);
}

TEST_F(TreeStateTest, NothingStoredTicksNothingAndSavedTextIsReadLeniently)
{
    Window first(*s.store);
    RestoreFolderTicks(form, first.model(), first.model().firstNode(), kName);
    EXPECT_EQ(first.model().checkedCount(), 0);
    RestoreFolderTicks(form, first.model(), nullptr, kName);

    // Lower-case digests, blanks around items and a digest of a deleted folder.
    const QString key
        = QStringLiteral("FoldersVST\\CheckedFolders-") + FolderKeyHash(QString::number(s.store->rootId()));
    form.writeString(key,
                     QStringLiteral(" %1 ,,%2")
                         .arg(FolderKeyHash(QString::number(s.sent)).toLower(), FolderKeyHash(QStringLiteral("999"))));
    Window second(*s.store);
    RestoreFolderTicks(form, second.model(), second.model().firstNode(), kName);
    EXPECT_EQ(second.model().checkedNodes(), std::vector<TreeNode*> { second.row(s.sent) });

    // Nothing ticked: the key holds the empty list.
    SaveFolderTicks(form, first.model(), kName);
    EXPECT_TRUE(form.valueStored(key));
    EXPECT_EQ(form.readString(key, QStringLiteral("x")), QString());
}

TEST_F(TreeStateTest, EachTopRowHasItsOwnKey)
{
    TreeModel tree;
    auto addRow = [&](TreeNode* parent, const char* id) {
        TTreeData data;
        data.EntryID = QString::fromLatin1(id);
        TreeNode* row = tree.appendChild(parent, data);
        tree.setCheckType(row, CheckType::TriState);
        return row;
    };
    TreeNode* rootA = addRow(nullptr, "7");
    TreeNode* a1 = addRow(rootA, "71");
    TreeNode* rootB = addRow(nullptr, "8");
    TreeNode* b1 = addRow(rootB, "81");
    addRow(rootB, "82");
    tree.setCheckStateDirect(a1, CheckState::Checked);
    tree.setCheckStateDirect(b1, CheckState::Checked);
    tree.setCheckStateDirect(rootB, CheckState::Checked);
    SaveFolderTicks(form, tree, kName);
    EXPECT_EQ(form.readString(QStringLiteral("FoldersVST\\CheckedFolders-") + FolderKeyHash(QStringLiteral("7")), {}),
              FolderKeyHash(QStringLiteral("71")));
    EXPECT_EQ(form.readString(QStringLiteral("FoldersVST\\CheckedFolders-") + FolderKeyHash(QStringLiteral("8")), {}),
              FolderKeyHash(QStringLiteral("81")));

    // A second key that holds A's folder under B's root must not tick A's folder through B.
    tree.setCheckStateDirect(a1, CheckState::Unchecked);
    tree.setCheckStateDirect(b1, CheckState::Unchecked);
    RestoreFolderTicks(form, tree, rootB, kName);
    EXPECT_EQ(a1->checkState(), CheckState::Unchecked);
    EXPECT_EQ(b1->checkState(), CheckState::Checked);
}

TEST_F(TreeStateTest, ColumnWidthsAreKeptWithinTheHeaderLimits)
{
    const std::vector<int> designed { 184, 48, 120, 120, 48 };
    form.writeString(QStringLiteral("ItemsVST\\Column0Width"), QStringLiteral("5"));
    form.writeString(QStringLiteral("ItemsVST\\Column1Width"), QStringLiteral("20000"));
    form.writeString(QStringLiteral("ItemsVST\\Column2Width"), QStringLiteral("abc"));
    form.writeString(QStringLiteral("ItemsVST\\Column3Width"), QStringLiteral("300"));
    const std::vector<int> expected { 10, 10000, 10, 300, 48 };
    EXPECT_EQ(RestoreColumnWidths(form, QStringLiteral("ItemsVST"), designed), expected);

    TreeModel tree;
    std::vector<TreeColumn> columns;
    for (int width : designed) {
        columns.push_back({ QStringLiteral("c"), width, false });
    }
    columns[4].hidden = true;
    tree.setColumns(columns);
    RestoreColumnWidths(form, tree, QStringLiteral("ItemsVST"));
    std::vector<int> restored;
    for (const TreeColumn& column : tree.columns()) {
        restored.push_back(column.width);
    }
    EXPECT_EQ(restored, expected);

    tree.setColumnWidth(4, 77);
    SaveColumnWidths(form, tree, QStringLiteral("ItemsVST"));
    EXPECT_EQ(form.readString(QStringLiteral("ItemsVST\\Column0Width"), {}), QStringLiteral("10"));
    EXPECT_EQ(form.readString(QStringLiteral("ItemsVST\\Column4Width"), {}), QStringLiteral("77"));
}

} // namespace
