#include "tree/TreeModel.h"
#include "tree/VSTHandlers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using namespace velmora;

namespace {

// Rows ordered by Size; the subject names the row.
TreeModel::CompareEvent bySize()
{
    return [](const TreeNode* a, const TreeNode* b, int) { return a->data().Size - b->data().Size; };
}

TTreeData row(const QString& name, int key = 0)
{
    TTreeData data;
    data.Subject = name;
    data.Size = key;
    return data;
}

QStringList names(const TreeModel& model, const TreeNode* parent)
{
    QStringList result;
    for (int i = 0; i < model.childCount(parent); ++i) {
        result << model.child(parent, i)->data().Subject;
    }
    return result;
}

// Rebuilds the tree's shape from the observer's notifications alone, as a view would.
class MirrorObserver : public TreeModelObserver
{
public:
    explicit MirrorObserver(TreeModel& model)
        : m_model(model)
    {
    }

    std::map<const TreeNode*, std::vector<TreeNode*>> lists;

    void beginInsertRows(TreeNode* parent, int first, int last) override { m_pending = { parent, first, last }; }
    void endInsertRows() override
    {
        auto& list = lists[m_pending.parent];
        for (int row = m_pending.first; row <= m_pending.last; ++row) {
            list.insert(list.begin() + row, m_model.child(m_pending.parent, row));
        }
    }
    void beginRemoveRows(TreeNode* parent, int first, int last) override
    {
        auto& list = lists[parent];
        list.erase(list.begin() + first, list.begin() + last + 1);
    }
    void endRemoveRows() override { }
    void beginMoveRow(TreeNode* parent, int from, int to) override
    {
        auto& list = lists[parent];
        TreeNode* moved = list[static_cast<size_t>(from)];
        list.erase(list.begin() + from);
        list.insert(list.begin() + to, moved);
    }
    void endMoveRow() override { }
    void layoutAboutToBeChanged() override { }
    void layoutChanged() override { reread(); }
    void nodeChanged(TreeNode*) override { ++changes; }
    void beginReset() override { }
    void endReset() override { reread(); }

    void reread()
    {
        lists.clear();
        std::vector<TreeNode*> stack { nullptr };
        while (!stack.empty()) {
            TreeNode* parent = stack.back();
            stack.pop_back();
            auto& list = lists[parent];
            for (int i = 0; i < m_model.childCount(parent); ++i) {
                list.push_back(m_model.child(parent, i));
                stack.push_back(list.back());
            }
        }
    }

    int changes = 0;

private:
    struct Pending
    {
        TreeNode* parent = nullptr;
        int first = 0;
        int last = 0;
    };
    TreeModel& m_model;
    Pending m_pending;
};

} // namespace

// Ticking a tri-state row goes down to every row below it; the rows above sum up their children.
TEST(TreeModelTest, TriStateTicksGoDownAndUp)
{
    TreeModel model;
    TreeNode* top = model.appendChild(nullptr, row("top"));
    TreeNode* a = model.appendChild(top, row("a"));
    TreeNode* a1 = model.appendChild(a, row("a1"));
    TreeNode* a2 = model.appendChild(a, row("a2"));
    TreeNode* b = model.appendChild(top, row("b"));
    for (TreeNode* n : { top, a, a1, a2, b }) {
        model.setCheckType(n, CheckType::TriState);
    }
    int checkedEvents = 0;
    model.setOnChecked([&](TreeNode*) { ++checkedEvents; });

    model.setCheckState(top, CheckState::Checked);
    EXPECT_EQ(model.checkedCount(), 5);
    EXPECT_EQ(checkedEvents, 1);

    model.toggleCheckState(a2);
    EXPECT_EQ(a->checkState(), CheckState::Mixed);
    EXPECT_EQ(top->checkState(), CheckState::Mixed);
    EXPECT_EQ(model.checkedNodes(), (std::vector<TreeNode*> { a1, b }));

    model.toggleCheckState(a1); // a now has nothing ticked: unticked; top still has b
    EXPECT_EQ(a->checkState(), CheckState::Unchecked);
    EXPECT_EQ(top->checkState(), CheckState::Mixed);

    model.toggleCheckState(a); // ticking the last unticked child ticks the parent as well
    EXPECT_EQ(top->checkState(), CheckState::Checked);
    EXPECT_EQ(model.checkedCount(), 5);

    model.toggleCheckState(top); // clicking a mixed row would tick it; a ticked one unticks everything
    EXPECT_EQ(model.checkedCount(), 0);

    // A direct change touches one row and raises no event.
    checkedEvents = 0;
    model.setCheckStateDirect(a, CheckState::Checked);
    EXPECT_EQ(a1->checkState(), CheckState::Unchecked);
    EXPECT_EQ(top->checkState(), CheckState::Unchecked);
    EXPECT_EQ(model.checkedCount(), 1);
    EXPECT_EQ(checkedEvents, 0);
}

TEST(TreeModelTest, ToggleOnMixedRowTicksIt)
{
    TreeModel model;
    TreeNode* top = model.appendChild(nullptr, row("top"));
    TreeNode* a = model.appendChild(top, row("a"));
    TreeNode* b = model.appendChild(top, row("b"));
    for (TreeNode* n : { top, a, b }) {
        model.setCheckType(n, CheckType::TriState);
    }
    model.toggleCheckState(a);
    ASSERT_EQ(top->checkState(), CheckState::Mixed);
    model.toggleCheckState(top);
    EXPECT_EQ(model.checkedCount(), 3);
}

TEST(TreeModelTest, DeletingRowsFreesTheSubtreeAndKeepsCountsAndFocus)
{
    TreeModel model;
    TreeNode* g1 = model.appendChild(nullptr, row("g1"));
    TreeNode* r1 = model.appendChild(g1, row("r1"));
    TreeNode* r2 = model.appendChild(g1, row("r2"));
    TreeNode* g2 = model.appendChild(nullptr, row("g2"));
    TreeNode* r3 = model.appendChild(g2, row("r3"));
    for (TreeNode* n : { r1, r2, r3 }) {
        model.setCheckType(n, CheckType::CheckBox);
        model.setCheckState(n, CheckState::Checked);
    }
    QStringList freed;
    model.setOnFreeNode([&](TreeNode* n) { freed << n->data().Subject; });
    std::vector<TreeNode*> focusEvents;
    model.setOnFocusChanged([&](TreeNode* n) { focusEvents.push_back(n); });
    model.setFocusedNode(r1);
    MirrorObserver mirror(model);
    mirror.reread();
    model.addObserver(&mirror);

    // The removal run takes the next ticked row before it deletes the present one.
    TreeNode* next = model.nextChecked(r1);
    model.deleteNode(g1);
    freed.sort();
    EXPECT_EQ(freed, (QStringList { "g1", "r1", "r2" }));
    EXPECT_EQ(next, r2);
    EXPECT_EQ(model.checkedCount(), 1);
    EXPECT_EQ(model.firstChecked(), r3);
    EXPECT_EQ(model.focusedNode(), nullptr);
    EXPECT_EQ(focusEvents, (std::vector<TreeNode*> { r1, nullptr }));
    EXPECT_EQ(mirror.lists[nullptr], (std::vector<TreeNode*> { g2 }));

    model.clear();
    EXPECT_EQ(model.rootCount(), 0);
    EXPECT_EQ(model.checkedCount(), 0);
    EXPECT_EQ(freed.size(), 5);
    model.removeObserver(&mirror);
}

TEST(TreeModelTest, InitEventFiresOnceAndPreOrderVisitsEveryRow)
{
    TreeModel model;
    int inits = 0;
    model.setOnInitNode([&](TreeNode*) { ++inits; });
    TreeNode* a = model.appendChild(nullptr, row("a"));
    TreeNode* a1 = model.appendChild(a, row("a1"));
    model.appendChild(a1, row("a1x"));
    model.appendChild(nullptr, row("b"));
    EXPECT_EQ(inits, 0);
    model.initializeNode(a1);
    model.initializeNode(a1);
    EXPECT_EQ(inits, 1);
    EXPECT_TRUE(a1->isInitialized());

    QStringList order;
    for (TreeNode* n = model.firstNode(); n; n = model.nextNode(n)) {
        order << n->data().Subject;
    }
    EXPECT_EQ(order, (QStringList { "a", "a1", "a1x", "b" })); // collapsed rows are visited as well
}

// Sorting waits for the outermost end of an update, and collapsed rows keep their order until expanded.
TEST(TreeModelTest, AutomaticOrderAtOutermostEndAndOnExpand)
{
    TreeModel model;
    model.setOnCompareNodes(bySize());
    model.beginUpdate();
    model.beginUpdate();
    TreeNode* g = model.appendChild(nullptr, row("g", 3));
    model.appendChild(nullptr, row("f", 1));
    model.appendChild(g, row("y", 2));
    model.appendChild(g, row("x", 1));
    model.endUpdate();
    EXPECT_EQ(names(model, nullptr), (QStringList { "g", "f" }));
    model.endUpdate();
    EXPECT_EQ(names(model, nullptr), (QStringList { "f", "g" }));
    EXPECT_EQ(names(model, g), (QStringList { "y", "x" }));
    model.setExpanded(g, true);
    EXPECT_EQ(names(model, g), (QStringList { "x", "y" }));

    model.setSortDirection(SortDirection::Descending); // no sort by itself
    EXPECT_EQ(names(model, nullptr), (QStringList { "f", "g" }));
    model.beginUpdate();
    model.endUpdate();
    EXPECT_EQ(names(model, nullptr), (QStringList { "g", "f" }));
    EXPECT_EQ(names(model, g), (QStringList { "y", "x" }));
}

// Rows added in many small updates end up where a stable sort of all rows puts them, and an observer that
// follows the notifications sees the same order.
namespace {

using ExpectedOrders = std::map<const TreeNode*, std::vector<TreeNode*>>;

// Deletes a random row below `group` from the model and from the expected order.
void deleteRandomChild(TreeModel& model, TreeNode* group, ExpectedOrders& expected, std::mt19937& random)
{
    if (group->childCount() == 0) {
        return;
    }
    TreeNode* gone = group->child(static_cast<int>(random() % static_cast<unsigned>(group->childCount())));
    auto& list = expected[group];
    list.erase(std::find(list.begin(), list.end(), gone));
    model.deleteNode(gone);
}

// Every list is in the expected order, in the model, in the observer's mirror and in the rows' own positions.
void expectOrders(const TreeModel& model, const ExpectedOrders& expected, MirrorObserver& mirror, int round)
{
    for (const auto& [parent, list] : expected) {
        std::vector<TreeNode*> actual;
        for (int i = 0; i < model.childCount(parent); ++i) {
            actual.push_back(model.child(parent, i));
        }
        ASSERT_EQ(actual, list) << "round " << round;
        ASSERT_EQ(mirror.lists[parent], list) << "round " << round;
        for (int i = 0; i < static_cast<int>(actual.size()); ++i) {
            ASSERT_EQ(actual[static_cast<size_t>(i)]->index(), i);
        }
    }
}

} // namespace

TEST(TreeModelTest, IncrementalPlacementEqualsStableFullSort)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 20; ++round) {
        TreeModel model;
        model.setOnCompareNodes(bySize());
        const bool descending = round % 2 == 1;
        model.setSortDirection(descending ? SortDirection::Descending : SortDirection::Ascending);
        MirrorObserver mirror(model);
        model.addObserver(&mirror);
        std::map<const TreeNode*, std::vector<TreeNode*>> expected; // appended rows, stable-sorted when due
        auto stableSort = [&](const TreeNode* parent) {
            auto& list = expected[parent];
            std::stable_sort(list.begin(), list.end(), [&](const TreeNode* a, const TreeNode* b) {
                return descending ? a->data().Size > b->data().Size : a->data().Size < b->data().Size;
            });
        };
        std::vector<TreeNode*> groups;
        int counter = 0;
        for (int step = 0; step < 300; ++step) {
            model.beginUpdate();
            const int additions = std::uniform_int_distribution<int>(1, step % 10 == 0 ? 30 : 3)(random);
            for (int i = 0; i < additions; ++i) {
                TreeNode* parent = nullptr;
                if (!groups.empty() && random() % 2 == 0) {
                    parent = groups[random() % groups.size()];
                }
                const int key = static_cast<int>(random() % 7); // many equal keys
                TreeNode* added = model.appendChild(parent, row(QString::number(counter++), key));
                expected[parent].push_back(added);
                if (!parent) {
                    groups.push_back(added);
                }
            }
            model.endUpdate();
            stableSort(nullptr);
            for (TreeNode* g : groups) {
                if (g->isExpanded()) {
                    stableSort(g);
                }
            }
            if (random() % 5 == 0) {
                TreeNode* g = groups[random() % groups.size()];
                if (!g->isExpanded()) {
                    model.setExpanded(g, true);
                    stableSort(g);
                }
            }
            if (random() % 9 == 0 && groups.size() > 2) {
                // A deleted row leaves the others in order.
                deleteRandomChild(model, groups[random() % groups.size()], expected, random);
            }
        }
        expectOrders(model, expected, mirror, round);
        model.removeObserver(&mirror);
    }
}

// The same through sort prefixes: rows whose texts share long beginnings, are equal in their first 18 units,
// mix cases, hold units the prefix cannot keep, or are empty, in both directions, with header clicks on other
// columns and rows changed between fills. The expected order comes from the comparison alone.
TEST(TreeModelTest, PrefixPlacementEqualsStableFullSortByComparison)
{
    const QStringList stems = { QString(),
                                QStringLiteral("Re: message "),
                                QStringLiteral("RE: MESSAGE "),
                                QStringLiteral("Re: weekly report"),
                                QStringLiteral("Re: weekly report for "),
                                QStringLiteral("\u00C4rger ") };
    const std::vector<char16_t> alphabet = { 0, u'1', u'2', u'a', u'A', u'z', u'[', u'_', 0x7E, 0x7F, 0xE4, 0xFFFF };
    const std::vector<int> columns = { -1, 0, 1, 2, 4 };
    std::mt19937 random(77);
    auto pick = [&](const auto& list) { return list[random() % list.size()]; };
    auto randomRow = [&](int counter) {
        TTreeData data;
        data.Subject = pick(stems);
        for (int i = static_cast<int>(random() % 4); i > 0; --i) {
            data.Subject.append(QChar(pick(alphabet)));
        }
        data.Folder = random() % 2 ? QStringLiteral("Inbox") : QStringLiteral("inbox/") + QChar(pick(alphabet));
        data.Size = static_cast<qint32>(random() % 5) - 2;
        if (random() % 3) {
            data.CreationTime = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(random() % 4) - 2, Qt::UTC);
        }
        data.EntryID = QString::number(counter);
        return data;
    };
    for (int round = 0; round < 12; ++round) {
        TreeModel model;
        model.setOnCompareNodes(VSTCompareNodes);
        model.setOnSortPrefix(VSTSortPrefix);
        model.setSortColumn(pick(columns));
        model.setSortDirection(round % 2 ? SortDirection::Descending : SortDirection::Ascending);
        MirrorObserver mirror(model);
        model.addObserver(&mirror);
        std::map<const TreeNode*, std::vector<TreeNode*>> expected;
        auto stableSort = [&](const TreeNode* parent, int column, SortDirection direction) {
            auto& list = expected[parent];
            std::stable_sort(list.begin(), list.end(), [&](const TreeNode* a, const TreeNode* b) {
                const int result = VSTCompareNodes(a, b, column);
                return direction == SortDirection::Ascending ? result < 0 : result > 0;
            });
        };
        auto sortReachable = [&](const std::vector<TreeNode*>& groups, int column, SortDirection direction) {
            stableSort(nullptr, column, direction);
            for (TreeNode* g : groups) {
                if (g->isExpanded()) {
                    stableSort(g, column, direction);
                }
            }
        };
        std::vector<TreeNode*> groups;
        int counter = 0;
        for (int step = 0; step < 400; ++step) {
            model.beginUpdate();
            const int additions = std::uniform_int_distribution<int>(1, step % 10 == 0 ? 30 : 3)(random);
            for (int i = 0; i < additions; ++i) {
                TreeNode* parent = !groups.empty() && random() % 2 ? pick(groups) : nullptr;
                TreeNode* added = model.appendChild(parent, randomRow(counter++));
                expected[parent].push_back(added);
                if (!parent) {
                    groups.push_back(added);
                }
            }
            if (random() % 6 == 0) {
                // A changed row may now be out of place.
                TreeNode* changed = pick(groups);
                changed->data().Subject = randomRow(counter).Subject;
                model.notifyDataChanged(changed);
            }
            model.endUpdate();
            sortReachable(groups, model.sortColumn(), model.sortDirection());
            if (random() % 4 == 0) {
                TreeNode* g = pick(groups);
                if (!g->isExpanded()) {
                    model.setExpanded(g, true);
                    stableSort(g, model.sortColumn(), model.sortDirection());
                }
            }
            if (random() % 15 == 0) {
                // A header click sorts by its column at once; then the automatic order may change as well.
                const int column = pick(columns);
                const SortDirection direction = random() % 2 ? SortDirection::Descending : SortDirection::Ascending;
                model.sortTree(column, direction);
                sortReachable(groups, column, direction);
                if (random() % 2) {
                    model.setSortColumn(pick(columns));
                }
                if (random() % 2) {
                    model.setSortDirection(direction);
                }
            }
            if (random() % 9 == 0) {
                deleteRandomChild(model, pick(groups), expected, random);
            }
        }
        expectOrders(model, expected, mirror, round);
        model.removeObserver(&mirror);
    }
}

// A list longer than one block keeps positions and cached indexes right through moves and deletions.
TEST(TreeModelTest, LongSiblingListsKeepPositions)
{
    TreeModel model;
    model.setOnCompareNodes(bySize());
    std::vector<int> keys;
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        model.beginUpdate();
        const int key = static_cast<int>(random() % 100000);
        model.appendChild(nullptr, row(QString::number(i), key));
        keys.push_back(key);
        model.endUpdate();
        if (i % 700 == 0 && i > 0) {
            TreeNode* gone = model.child(nullptr, i / 2);
            keys.erase(std::find(keys.begin(), keys.end(), gone->data().Size));
            model.deleteNode(gone);
        }
    }
    std::sort(keys.begin(), keys.end());
    ASSERT_EQ(model.rootCount(), static_cast<int>(keys.size()));
    for (int i = 0; i < model.rootCount(); ++i) {
        ASSERT_EQ(model.child(nullptr, i)->data().Size, keys[static_cast<size_t>(i)]);
        ASSERT_EQ(model.child(nullptr, i)->index(), i);
    }
}
