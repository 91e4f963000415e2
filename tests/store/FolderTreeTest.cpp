#include "store/FolderTree.h"

#include "store/MemoryStore.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

class FakeIdentity : public IOEIdentity
{
public:
    QString identity;
    bool fail = false;
    QString GetCurrentIdentity() override
    {
        if (fail) {
            throw StoreError("no identity");
        }
        return identity;
    }
};

QStringList names(const TreeModel& model, const TreeNode* parent)
{
    QStringList result;
    for (int i = 0; i < model.childCount(parent); ++i) {
        result << model.child(parent, i)->data().Subject;
    }
    return result;
}

TreeNode* rowNamed(const TreeModel& model, const QString& name)
{
    for (TreeNode* n = model.firstNode(); n; n = model.nextNode(n)) {
        if (n->data().Subject == name) {
            return n;
        }
    }
    return nullptr;
}

struct Fixture
{
    std::shared_ptr<MemoryStore> store = MemoryStore::create("Local Folders");
    FolderTree tree;
    QStringList hints;

    Fixture()
    {
        tree.setFolderManager(store.get());
        tree.setHintHandler([this](const QString& hint) { hints << hint; });
    }
    OEId add(const QString& name, OEId parent = 0) { return store->addFolder(parent ? parent : store->rootId(), name); }
    TreeNode* row(const QString& name) { return rowNamed(tree.model(), name); }
};

} // namespace

TEST(FolderTreeTest, RowsAreOrderedByNameFoldingOnlyAToZ)
{
    Fixture f;
    const OEId inbox = f.add("Inbox");
    for (const char* name : { "bills", "Sent Items", "_drafts", "Archive", "Sent", "inbox" }) {
        f.add(name);
    }
    f.add("zz", inbox);
    f.add("aa", inbox);
    f.tree.FillFolderTree();
    const TreeModel& model = f.tree.model();
    ASSERT_EQ(model.rootCount(), 1);
    TreeNode* root = model.firstNode();
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(root->data().EntryID, idToText(f.store->rootId()));
    EXPECT_EQ(names(model, root),
              (QStringList { "Archive", "bills", "Inbox", "inbox", "Sent", "Sent Items", "_drafts" }));
    // A collapsed branch keeps the store's order until it is expanded.
    EXPECT_EQ(names(model, f.row("Inbox")), (QStringList { "zz", "aa" }));
    f.tree.model().setExpanded(f.row("Inbox"), true);
    EXPECT_EQ(names(model, f.row("Inbox")), (QStringList { "aa", "zz" }));
}

TEST(FolderTreeTest, ARootWithoutSubfoldersAndARootThatCannotBeRead)
{
    Fixture f;
    f.tree.FillFolderTree();
    ASSERT_EQ(f.tree.model().rootCount(), 1);
    EXPECT_EQ(f.tree.model().firstNode()->childCount(), 0);
    EXPECT_EQ(f.tree.model().firstNode()->data().Subject, "Local Folders");

    f.store->failOn(StoreOp::GetFirstFolder);
    f.tree.FillFolderTree();
    EXPECT_EQ(f.tree.model().rootCount(), 0);
    EXPECT_TRUE(f.tree.tickedFolderIds().empty());
}

TEST(FolderTreeTest, FailingSubfoldersAreSkippedOrKeptWithWhatWasRead)
{
    Fixture f;
    const OEId a = f.add("A");
    const OEId broken = f.add("Broken");
    const OEId c = f.add("C");
    f.add("A1", a);
    f.add("A2", a);
    f.add("C1", c);
    f.store->failOn(StoreOp::GetName, broken); // before its row exists: skipped
    f.store->failOn(StoreOp::GetNextChild, a); // A keeps its first subfolder
    f.tree.FillFolderTree();
    const TreeModel& model = f.tree.model();
    EXPECT_EQ(names(model, model.firstNode()), (QStringList { "A", "C" }));
    EXPECT_EQ(names(model, f.row("A")), (QStringList { "A1" }));
    EXPECT_EQ(names(model, f.row("C")), (QStringList { "C1" }));
}

TEST(FolderTreeTest, TicksSpreadAndTheSearchTakesFullyTickedRowsInPreOrder)
{
    Fixture f;
    const OEId inbox = f.add("Inbox");
    const OEId work = f.add("Work", inbox);
    const OEId home = f.add("Home", inbox);
    const OEId sent = f.add("Sent");
    f.tree.FillFolderTree();
    TreeModel& model = f.tree.model();

    model.toggleCheckState(f.row("Inbox"));
    // Inbox is collapsed, so its subfolders are still in the store's order.
    EXPECT_EQ(f.tree.tickedFolderIds(), (std::vector<OEId> { inbox, work, home }));
    EXPECT_EQ(f.hints, (QStringList { FolderTree::InsertHint }));

    model.toggleCheckState(f.row("Work"));
    EXPECT_EQ(f.row("Inbox")->checkState(), CheckState::Mixed);
    EXPECT_EQ(model.firstNode()->checkState(), CheckState::Mixed);
    EXPECT_EQ(f.tree.tickedFolderIds(), (std::vector<OEId> { home }));

    model.toggleCheckState(f.row("Work"));
    model.toggleCheckState(f.row("Sent")); // every subfolder ticked: the root is ticked and searched too
    EXPECT_EQ(f.tree.tickedFolderIds(), (std::vector<OEId> { f.store->rootId(), inbox, work, home, sent }));
}

TEST(FolderTreeTest, InsertTogglesOneRowAndDeleteUnticksTickedRowsAlone)
{
    struct Case
    {
        QString setup; // how Inbox and its subfolders start
        CheckState inboxAfter;
        std::vector<CheckState> childrenAfter;
    };
    const std::vector<Case> cases = {
        { "unticked", CheckState::Checked, { CheckState::Unchecked, CheckState::Unchecked } },
        { "ticked", CheckState::Unchecked, { CheckState::Checked, CheckState::Checked } },
        { "mixed", CheckState::Unchecked, { CheckState::Checked, CheckState::Unchecked } },
    };
    for (const Case& c : cases) {
        Fixture f;
        const OEId inbox = f.add("Inbox");
        f.add("Home", inbox);
        f.add("Work", inbox);
        f.tree.FillFolderTree();
        TreeModel& model = f.tree.model();
        if (c.setup == "ticked") {
            model.toggleCheckState(f.row("Inbox"));
        } else if (c.setup == "mixed") {
            model.toggleCheckState(f.row("Home"));
        }
        f.hints.clear();
        model.setFocusedNode(f.row("Inbox"));
        f.tree.HandleFolderCheckKeys(FolderTree::Key::Insert);
        EXPECT_EQ(f.row("Inbox")->checkState(), c.inboxAfter) << c.setup.toStdString();
        EXPECT_EQ(f.row("Home")->checkState(), c.childrenAfter[0]) << c.setup.toStdString();
        EXPECT_EQ(f.row("Work")->checkState(), c.childrenAfter[1]) << c.setup.toStdString();
        EXPECT_TRUE(f.hints.isEmpty());
    }

    // Delete: ticked rows become unticked one by one; mixed rows stay mixed.
    Fixture f;
    const OEId inbox = f.add("Inbox");
    f.add("Home", inbox);
    f.add("Work", inbox);
    f.tree.FillFolderTree();
    TreeModel& model = f.tree.model();
    model.toggleCheckState(f.row("Home"));
    model.setFocusedNode(nullptr);
    f.tree.HandleFolderCheckKeys(FolderTree::Key::Insert); // nothing focused: nothing happens
    f.tree.HandleFolderCheckKeys(FolderTree::Key::Delete);
    EXPECT_EQ(model.checkedCount(), 0);
    EXPECT_EQ(f.row("Inbox")->checkState(), CheckState::Mixed);
    EXPECT_TRUE(f.tree.tickedFolderIds().empty());
}

TEST(FolderTreeTest, IdentityCheckRefillsOnlyForAnotherIdentity)
{
    Fixture f;
    f.add("Inbox");
    FakeIdentity identity;
    identity.identity = "/home/u/Mail";
    int reconnects = 0;
    f.tree.setReconnectHandler([&] { ++reconnects; });

    // First identity (the read at start failed): the tree is filled.
    f.tree.zOEAPIInitInitOEAPI(identity);
    ASSERT_EQ(f.tree.model().rootCount(), 1);
    EXPECT_EQ(f.tree.prevIdentity(), "/home/u/Mail");
    f.tree.model().toggleCheckState(f.row("Inbox"));

    f.add("New");
    f.tree.zOEAPIInitInitOEAPI(identity); // same identity: ticks and rows stay
    EXPECT_EQ(f.tree.model().checkedCount(), 2); // Inbox and the root above it
    EXPECT_EQ(f.row("New"), nullptr);
    EXPECT_EQ(reconnects, 1);

    identity.identity = "/home/u/mail"; // differs in case only: refilled, ticks gone
    f.tree.zOEAPIInitInitOEAPI(identity);
    EXPECT_EQ(f.tree.model().checkedCount(), 0);
    EXPECT_NE(f.row("New"), nullptr);
    EXPECT_EQ(reconnects, 2);

    // A failure leaves the tree and the remembered identity as they were.
    f.tree.model().toggleCheckState(f.row("Inbox"));
    ASSERT_EQ(f.tree.model().checkedCount(), 1);
    identity.fail = true;
    EXPECT_THROW(f.tree.zOEAPIInitInitOEAPI(identity), StoreError);
    identity.fail = false;
    identity.identity = "/other";
    f.store->failOn(StoreOp::GetFirstFolder);
    EXPECT_THROW(f.tree.zOEAPIInitInitOEAPI(identity), StoreError);
    EXPECT_EQ(f.tree.model().checkedCount(), 1);
    EXPECT_EQ(f.tree.prevIdentity(), "/home/u/mail");
}

// A refill asked for while a run walks the ticks waits for the run's end, so the run never holds a freed row.
TEST(FolderTreeTest, RefillWaitsWhileBusy)
{
    Fixture f;
    f.add("Inbox");
    f.tree.FillFolderTree();
    f.tree.model().toggleCheckState(f.row("Inbox"));
    TreeNode* walked = f.tree.firstTickedFolder();
    FakeIdentity identity;
    identity.identity = "/another";

    f.tree.setBusy(true);
    f.tree.zOEAPIInitInitOEAPI(identity);
    f.tree.FillFolderTree();
    EXPECT_TRUE(f.tree.refillPending());
    EXPECT_EQ(f.tree.nextTickedFolder(walked), f.row("Inbox"));
    f.tree.setBusy(false);
    EXPECT_FALSE(f.tree.refillPending());
    EXPECT_EQ(f.tree.model().checkedCount(), 0);
    EXPECT_EQ(f.tree.prevIdentity(), "/another");
}
