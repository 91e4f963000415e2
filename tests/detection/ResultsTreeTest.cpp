#include "detection/ResultsTree.h"

#include "store/MemoryStore.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

QDateTime at(int minute)
{
    return QDateTime(QDate(2024, 5, 1), QTime(10, minute), Qt::UTC);
}

TTreeData item(const QString& subject, int size = 0, QDateTime created = {}, const QString& folder = "Inbox")
{
    TTreeData data;
    data.Subject = subject;
    data.Folder = folder;
    data.Size = size;
    data.CreationTime = created;
    return data;
}

// Adds one group the way the search run does: one update per duplicate, every row initialised at once.
TreeNode* addGroup(ResultsTree& tree, const std::vector<TTreeData>& rows, const QString& folderId = "7")
{
    TTreeData groupData = rows.front();
    groupData.Size = 0;
    groupData.EntryID = QString::number(rows.size());
    TreeNode* group = nullptr;
    for (size_t i = 1; i < rows.size(); ++i) {
        tree.beginUpdate();
        if (!group) {
            group = tree.appendGroupRow(groupData, folderId);
            tree.initializeRow(group);
            tree.initializeRow(tree.appendItemRow(group, rows[0]));
        }
        tree.initializeRow(tree.appendItemRow(group, rows[i]));
        tree.endUpdate();
    }
    return group;
}

std::vector<bool> ticks(const TreeNode* group)
{
    std::vector<bool> result;
    for (int i = 0; i < group->childCount(); ++i) {
        result.push_back(group->child(i)->checkState() == CheckState::Checked);
    }
    return result;
}

QStringList subjects(const TreeModel& model, const TreeNode* parent)
{
    QStringList result;
    for (int i = 0; i < model.childCount(parent); ++i) {
        result << model.child(parent, i)->data().Subject;
    }
    return result;
}

} // namespace

TEST(ResultsTreeTest, MarkingRulesTickAllButOneRowOfAGroup)
{
    struct Case
    {
        int rule;
        std::vector<int> sizes;
        std::vector<int> minutes; // creation times
        std::vector<bool> ticked;
    };
    const std::vector<Case> cases = {
        { ResultsTree::SmallestItems, { 5, 3, 5 }, { 0, 0, 0 }, { false, true, true } },
        { ResultsTree::SmallestItems, { 3, 5, 4 }, { 0, 0, 0 }, { true, false, true } },
        { ResultsTree::LargestItems, { 5, 3, 3 }, { 0, 0, 0 }, { true, false, true } },
        { ResultsTree::LargestItems, { 4, 4, 4 }, { 0, 0, 0 }, { false, true, true } },
        { ResultsTree::SmallestItems, { 4, 4, 4 }, { 0, 0, 0 }, { false, true, true } },
        // "Oldest" ticks the older rows and keeps the newest; "Newest" the other way round.
        { ResultsTree::OldestItems, { 1, 1, 1 }, { 5, 9, 2 }, { true, false, true } },
        { ResultsTree::NewestItems, { 1, 1, 1 }, { 5, 9, 2 }, { true, true, false } },
        { ResultsTree::OldestItems, { 1, 1, 1 }, { 5, 5, 5 }, { false, true, true } },
        { ResultsTree::NewestItems, { 1, 2, 3 }, { 5, 5, 5 }, { false, true, true } },
        { -1, { 5, 3, 3 }, { 0, 0, 0 }, { true, false, true } }, // no selection counts as "Largest"
    };
    for (const Case& c : cases) {
        ResultsTree tree;
        tree.setMarkAsDuplicates(c.rule);
        std::vector<TTreeData> rows;
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            rows.push_back(item("same", c.sizes[i], at(c.minutes[i])));
        }
        const TreeNode* group = addGroup(tree, rows);
        EXPECT_EQ(ticks(group), c.ticked) << "rule " << c.rule << " first size " << c.sizes[0];
        EXPECT_EQ(group->checkType(), CheckType::None);
        EXPECT_EQ(group->child(0)->checkType(), CheckType::CheckBox);
    }
}

TEST(ResultsTreeTest, ChangingTheRuleLaterLeavesTicksAlone)
{
    ResultsTree tree;
    tree.setMarkAsDuplicates(ResultsTree::SmallestItems);
    TreeNode* group = addGroup(tree, { item("s", 5), item("s", 3) });
    tree.setMarkAsDuplicates(ResultsTree::LargestItems);
    tree.expandAll();
    tree.ItemsVSTHeaderClick(ResultsTree::SizeColumn);
    EXPECT_EQ(tree.checkedCount(), 1);
    for (int i = 0; i < group->childCount(); ++i) {
        EXPECT_EQ(group->child(i)->checkState() == CheckState::Checked, group->child(i)->data().Size == 3);
    }
}

TEST(ResultsTreeTest, CellTexts)
{
    ResultsTree tree;
    tree.setLocale(QLocale(QLocale::German, QLocale::Germany));
    TTreeData first = item("Hello", 1023, QDateTime(QDate(2024, 3, 5), QTime(13, 4, 5)));
    first.LastModificationTime = QDateTime(QDate(2024, 3, 6), QTime(0, 0));
    TreeNode* group = addGroup(tree, { first, item("Hello", 1024), item("Hello", 2047) });
    struct Case
    {
        const TreeNode* node;
        int column;
        QString text;
    };
    const std::vector<Case> cases = {
        { group, -1, "Hello" },
        { group, 1, "Inbox" },
        { group, 4, "" }, // a group row shows no size
        { group, 2, "" },
        { group->child(0), 4, "0 kb" },
        { group->child(1), 4, "1 kb" },
        { group->child(2), 4, "1 kb" },
        { group->child(0), 2, "05.03.24 13:04:05" },
        { group->child(0), 3, "06.03.24" }, // the time is left out at midnight
        { group->child(1), 2, "" },
        { group->child(0), 5, "" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tree.VSTGetText(c.node, c.column), c.text) << "column " << c.column;
    }
    EXPECT_EQ(tree.VSTGetImageIndex(group, 0), 0);
    EXPECT_EQ(tree.VSTGetImageIndex(group, 1), -1);

    const auto columns = ResultsTree::columnDefinitions();
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[3].title, "Last Modification Time");
    EXPECT_TRUE(columns[2].hidden && columns[3].hidden && !columns[4].hidden);
    EXPECT_EQ(columns[0].width, 184);
}

// Groups appear by subject; rows of equal subject keep the order in which they were added.
TEST(ResultsTreeTest, AutomaticOrderIsStableBySubject)
{
    ResultsTree tree;
    addGroup(tree, { item("zeta", 1), item("zeta", 2) }, "1");
    TreeNode* alpha = addGroup(tree, { item("Alpha", 3), item("Alpha", 1), item("Alpha", 2) }, "1");
    addGroup(tree, { item("beta", 1), item("beta", 1) }, "1");
    tree.expandAll();
    EXPECT_EQ(subjects(tree.model(), nullptr), (QStringList { "Alpha", "beta", "zeta" }));
    std::vector<int> sizes;
    for (int i = 0; i < alpha->childCount(); ++i) {
        sizes.push_back(alpha->child(i)->data().Size);
    }
    EXPECT_EQ(sizes, (std::vector<int> { 3, 1, 2 }));
    EXPECT_EQ(tree.model().sortColumn(), -1);
}

TEST(ResultsTreeTest, HeaderClicksFlipOneSharedDirection)
{
    ResultsTree tree;
    addGroup(tree, { item("b", 30), item("b", 30) });
    addGroup(tree, { item("c", 10), item("c", 10) });
    addGroup(tree, { item("a", 20), item("a", 20) });
    tree.expandAll();
    // The group rows carry size 0; their item rows show the order by size.
    tree.ItemsVSTHeaderClick(ResultsTree::SubjectColumn);
    EXPECT_EQ(subjects(tree.model(), nullptr), (QStringList { "a", "b", "c" }));
    tree.ItemsVSTHeaderClick(ResultsTree::SubjectColumn);
    EXPECT_EQ(subjects(tree.model(), nullptr), (QStringList { "c", "b", "a" }));
    EXPECT_EQ(tree.model().sortDirection(), SortDirection::Ascending);
    TreeNode* c = tree.model().child(nullptr, 0);
    tree.model().child(c, 0)->data().Size = 50; // the Size sort must go by what the rows hold now
    tree.ItemsVSTHeaderClick(ResultsTree::SizeColumn);
    EXPECT_EQ(subjects(tree.model(), c), (QStringList { "c", "c" }));
    EXPECT_EQ(tree.model().child(c, 0)->data().Size, 10);
    EXPECT_EQ(tree.model().sortDirection(), SortDirection::Descending);

    // The next automatic sort orders by subject again, in the direction the header holds now.
    addGroup(tree, { item("d", 1), item("d", 1) });
    EXPECT_EQ(subjects(tree.model(), nullptr), (QStringList { "d", "c", "b", "a" }));
}

TEST(ResultsTreeTest, OrderFoldsOnlyAToZ)
{
    struct Case
    {
        QString a;
        QString b;
        int expected;
    };
    const std::vector<Case> cases = {
        { "inbox", "Inbox", 0 }, { "Ä", "ä", -1 }, { "Sent", "Sent Items", -1 }, { "_x", "a", 1 }, { "abc", "ABD", -1 },
    };
    ResultsTree tree;
    for (const Case& c : cases) {
        TreeNode* g = tree.appendGroupRow(item("s", 0, {}, c.a), "1");
        TreeNode* h = tree.appendGroupRow(item("s", 0, {}, c.b), "1");
        EXPECT_EQ(tree.VSTCompareNodes(g, h, ResultsTree::FolderColumn), c.expected) << c.a.toStdString();
        EXPECT_EQ(tree.VSTCompareNodes(h, g, ResultsTree::FolderColumn), -c.expected) << c.a.toStdString();
    }
}

TEST(ResultsTreeTest, GroupsAreFoundByOriginAndFolder)
{
    ResultsTree tree;
    TreeNode* first = tree.appendGroupRow(item("s"), "10");
    first->data().EntryID = "5"; // what appendGroupRow indexed was the record given to it
    TTreeData data = item("s");
    data.EntryID = "5";
    TreeNode* inTen = tree.appendGroupRow(data, "10");
    TreeNode* inEleven = tree.appendGroupRow(data, "11");
    EXPECT_EQ(tree.findGroupRow("5", "10"), inTen);
    EXPECT_EQ(tree.findGroupRow("5", "11"), inEleven);
    EXPECT_EQ(tree.findGroupRow("5", "12"), nullptr);
    tree.deleteRow(inTen);
    EXPECT_EQ(tree.findGroupRow("5", "10"), nullptr);
    tree.clear();
    EXPECT_EQ(tree.findGroupRow("5", "11"), nullptr);
    EXPECT_EQ(tree.rootCount(), 0);
}

TEST(ResultsTreeTest, PreviewOfTheFocusedRow)
{
    auto store = MemoryStore::create();
    const OEId folder = store->addFolder(store->rootId(), "Inbox");
    MemoryMessage message;
    message.subject = "s";
    message.htmlBody = "<p>one</p>";
    const OEId id = store->addMessage(folder, message);

    ResultsTree tree;
    tree.setFolderManager(store.get());
    QStringList shown;
    tree.setPreviewHandler([&](const QString& html, const OEMessagePtr&) { shown << html; });
    TTreeData row = item("s");
    row.StoreID = idToText(folder);
    row.EntryID = idToText(id);
    TTreeData gone = row;
    gone.EntryID = idToText(id + 500);
    TTreeData garbage = row;
    garbage.StoreID = "x";
    TreeNode* group = addGroup(tree, { row, gone, garbage });

    TreeModel& model = tree.model();
    model.setFocusedNode(group->child(0));
    model.setFocusedNode(group->child(1)); // the store no longer holds it: the preview stays
    model.setFocusedNode(group->child(2)); // no number: likewise
    store->failOn(StoreOp::GetHTMLBody);
    model.setFocusedNode(group->child(0));
    model.setFocusedNode(group);
    model.setFocusedNode(nullptr);
    EXPECT_EQ(shown, (QStringList { "<p>one</p>", "&nbsp", "&nbsp" }));
}
