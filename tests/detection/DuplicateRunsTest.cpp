#include "RecordingHost.h"

#include "detection/DuplicateRuns.h"
#include "store/MemoryStore.h"

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::RecordingHost;

namespace {

// A memory store, both trees and the runs, as the window wires them.
class Runs : public ::testing::Test
{
protected:
    Runs()
    {
        folders.setFolderManager(store.get());
        results.setFolderManager(store.get());
    }

    OEId folder(const QString& name, OEId parent = 0)
    {
        return store->addFolder(parent ? parent : store->rootId(), name);
    }
    OEId message(OEId folderId, const QString& subject, const QString& body = QStringLiteral("body"), int size = 100)
    {
        return store->addMessage(folderId, { .subject = subject, .body = body, .size = size });
    }

    // Fills the folder tree and ticks the named folders (each with what is below it).
    void tick(const QStringList& names)
    {
        folders.FillFolderTree();
        for (TreeNode* row = folders.model().firstNode(); row; row = folders.model().nextNode(row)) {
            if (names.contains(row->data().Subject)) {
                folders.model().setCheckState(row, CheckState::Checked);
            }
        }
    }

    void search() { runs.SearchButtonClick(); }

    // "subject [x]" per row in tree order, groups as "# subject (folder)".
    QStringList rows()
    {
        QStringList out;
        const TreeModel& model = results.model();
        for (TreeNode* row = model.firstNode(); row; row = model.nextNode(row)) {
            if (row->level() == 0) {
                out << QStringLiteral("# %1 (%2)").arg(row->data().Subject, row->data().Folder);
            } else {
                out << QStringLiteral("%1 %2 [%3]")
                           .arg(row->data().Subject, row->data().EntryID,
                                row->checkState() == CheckState::Checked ? QStringLiteral("x") : QStringLiteral(" "));
            }
        }
        return out;
    }

    std::shared_ptr<MemoryStore> store = MemoryStore::create(QStringLiteral("Local Folders"));
    RecordingHost host;
    ResultsTree results;
    FolderTree folders;
    FieldTicks ticks;
    KeyCollator collator { QStringLiteral("en_US") };
    DuplicateRuns runs { host, *store, results, folders, ticks, collator };
};

} // namespace

TEST_F(Runs, EqualItemsOfOneFolderFormOneGroupInFolderOrder)
{
    const OEId inbox = folder(QStringLiteral("Inbox"));
    const OEId a = message(inbox, QStringLiteral("Hello"));
    message(inbox, QStringLiteral("Other"));
    const OEId b = message(inbox, QStringLiteral("Hello"));
    const OEId c = message(inbox, QStringLiteral("Hello"));
    tick({ QStringLiteral("Inbox") });
    search();
    // "Oldest Items" are marked as duplicates: the newest copy stays unticked.
    EXPECT_EQ(rows(),
              (QStringList { QStringLiteral("# Hello (Inbox)"), QStringLiteral("Hello %1 [x]").arg(a),
                             QStringLiteral("Hello %1 [x]").arg(b), QStringLiteral("Hello %1 [ ]").arg(c) }));
    EXPECT_EQ(host.panel1, QStringLiteral("2 duplicates and 1 original items found."));
    EXPECT_EQ(host.hint, DuplicateRuns::SettingsHint);
    EXPECT_EQ(host.page, 0);
    EXPECT_EQ(host.progressMaximum, 5);
    EXPECT_EQ(host.progressPosition, 4);
    EXPECT_TRUE(host.idle());
}

TEST_F(Runs, FoldersAreSearchedOnTheirOwn)
{
    const OEId inbox = folder(QStringLiteral("Inbox"));
    const OEId sent = folder(QStringLiteral("Sent"));
    const OEId empty = folder(QStringLiteral("Empty"));
    message(inbox, QStringLiteral("Same"));
    message(sent, QStringLiteral("Same"));
    Q_UNUSED(empty);
    tick({ QStringLiteral("Local Folders") });
    std::vector<int> maxima;
    host.onPump = [&](int) { maxima.push_back(host.progressMaximum); };
    search();
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(host.panel1, QStringLiteral("0 duplicates and 0 original items found."));
    // The empty folder still names itself and sets the bar to 1.
    EXPECT_TRUE(host.panel1History.contains(QStringLiteral("Searching for duplicates in Empty")));
}

TEST_F(Runs, NoFieldTickedMakesEveryLaterItemADuplicateOfTheFirst)
{
    const OEId inbox = folder(QStringLiteral("Inbox"));
    message(inbox, QStringLiteral("One"));
    message(inbox, QStringLiteral("Two"));
    message(inbox, QStringLiteral("Three"));
    ticks.UncheckAll();
    tick({ QStringLiteral("Inbox") });
    search();
    EXPECT_EQ(rows().size(), 4);
    EXPECT_EQ(host.panel1, QStringLiteral("2 duplicates and 1 original items found."));
}

TEST_F(Runs, NothingTickedEndsAtOnce)
{
    message(folder(QStringLiteral("Inbox")), QStringLiteral("x"));
    folders.FillFolderTree();
    search();
    EXPECT_EQ(host.panel1, QStringLiteral("0 duplicates and 0 original items found."));
    EXPECT_EQ(host.pumps, 0);
    EXPECT_TRUE(host.idle());
}

TEST_F(Runs, PartlyTickedParentIsNotSearchedButItsTickedChildIs)
{
    const OEId parent = folder(QStringLiteral("Projects"));
    const OEId child = folder(QStringLiteral("Alpha"), parent);
    folder(QStringLiteral("Beta"), parent);
    message(parent, QStringLiteral("P"));
    message(parent, QStringLiteral("P"));
    message(child, QStringLiteral("C"));
    message(child, QStringLiteral("C"));
    tick({ QStringLiteral("Alpha") });
    search();
    EXPECT_EQ(rows().first(), QStringLiteral("# C (Alpha)"));
    EXPECT_EQ(results.rootCount(), 1);
}

TEST_F(Runs, CancelStopsBeforeTheNextItemAndKeepsWhatWasFound)
{
    const OEId inbox = folder(QStringLiteral("Inbox"));
    const OEId later = folder(QStringLiteral("Later"));
    for (int i = 0; i < 6; ++i) {
        message(inbox, QStringLiteral("Same"));
        message(later, QStringLiteral("Same"));
    }
    tick({ QStringLiteral("Local Folders") });
    host.onPump = [&](int pump) {
        if (pump == 4) {
            runs.CancelButtonClick();
        }
    };
    search();
    EXPECT_EQ(rows().size(), 4); // group, original, two duplicates
    EXPECT_EQ(host.panel1, QStringLiteral("2 duplicates and 1 original items found."));
    EXPECT_TRUE(host.idle());
    EXPECT_TRUE(runs.Cancel);
    // A new run clears the flag and the previous results.
    host.onPump = nullptr;
    search();
    EXPECT_FALSE(runs.Cancel);
    EXPECT_EQ(results.rootCount(), 2);
    EXPECT_EQ(host.panel1, QStringLiteral("10 duplicates and 2 original items found."));
}

TEST_F(Runs, FieldTicksChangedDuringARunApplyToLaterItems)
{
    const OEId inbox = folder(QStringLiteral("Inbox"));
    message(inbox, QStringLiteral("S"), QStringLiteral("one"));
    message(inbox, QStringLiteral("S"), QStringLiteral("two"));
    message(inbox, QStringLiteral("S"), QStringLiteral("three"));
    message(inbox, QStringLiteral("S"), QStringLiteral("four"));
    tick({ QStringLiteral("Inbox") });
    host.onPump = [&](int pump) {
        if (pump == 3) {
            ticks.setChecked(1, false); // Body: from the third item on, keys hold the subject only
        }
    };
    search();
    // Items 1 and 2 have keys "Sone", "Stwo"; items 3 and 4 both "S": one group of two.
    EXPECT_EQ(results.rootCount(), 1);
    EXPECT_EQ(rows().size(), 3);
}

TEST_F(Runs, StoreFailuresSkipTheItemOrTheFolder)
{
    const OEId broken = folder(QStringLiteral("Broken"));
    const OEId inbox = folder(QStringLiteral("Inbox"));
    message(broken, QStringLiteral("B"));
    message(broken, QStringLiteral("B"));
    const OEId a = message(inbox, QStringLiteral("A"));
    const OEId unreadable = message(inbox, QStringLiteral("A"));
    const OEId b = message(inbox, QStringLiteral("A"));
    const OEId empty1 = message(inbox, QStringLiteral("E"));
    const OEId empty2 = message(inbox, QStringLiteral("E"));
    store->failOn(StoreOp::GetFirstMessage, broken);
    store->failOn(StoreOp::GetBody, unreadable);
    // Two messages whose body cannot be read must not become duplicates of each other.
    store->failOn(StoreOp::GetBody, empty1);
    store->failOn(StoreOp::GetBody, empty2);
    tick({ QStringLiteral("Local Folders") });
    search();
    EXPECT_EQ(rows(),
              (QStringList { QStringLiteral("# A (Inbox)"), QStringLiteral("A %1 [x]").arg(a),
                             QStringLiteral("A %1 [ ]").arg(b) }));
    EXPECT_EQ(host.progressPosition, 2); // skipped items do not advance the bar
}

TEST_F(Runs, AMessageGoneBeforeItsRowIsAddedLeavesTheGroupWithItsOriginal)
{
    const OEId inbox = folder(QStringLiteral("Inbox"));
    const OEId a = message(inbox, QStringLiteral("A"));
    const OEId b = message(inbox, QStringLiteral("A"));
    store->failOn(StoreOp::GetMessage, b, Failure::Nothing);
    tick({ QStringLiteral("Inbox") });
    search();
    EXPECT_EQ(rows(), (QStringList { QStringLiteral("# A (Inbox)"), QStringLiteral("A %1 [ ]").arg(a) }));
    EXPECT_EQ(host.panel1, QStringLiteral("0 duplicates and 1 original items found."));
}

TEST_F(Runs, FoldersOfTheSameNameNeverShareAGroup)
{
    const OEId work = folder(QStringLiteral("Work"));
    const OEId home = folder(QStringLiteral("Home"));
    const OEId inbox1 = folder(QStringLiteral("Inbox"), work);
    const OEId inbox2 = folder(QStringLiteral("Inbox"), home);
    for (const OEId f : { inbox1, inbox2 }) {
        message(f, QStringLiteral("Same"));
        message(f, QStringLiteral("Same"));
    }
    tick({ QStringLiteral("Local Folders") });
    search();
    EXPECT_EQ(results.rootCount(), 2);
    // Each group keeps its original unticked.
    EXPECT_EQ(host.panel1, QStringLiteral("2 duplicates and 2 original items found."));
}

TEST_F(Runs, BusyStateEndsAlsoWhenTheRunRaises)
{
    const OEId inbox = folder(QStringLiteral("Inbox"));
    message(inbox, QStringLiteral("A"));
    tick({ QStringLiteral("Inbox") });
    host.failOnShowPage = true;
    EXPECT_THROW(search(), std::runtime_error);
    EXPECT_TRUE(host.idle());
    EXPECT_FALSE(runs.isBusy());
    EXPECT_FALSE(folders.isBusy());
    EXPECT_EQ(host.panel1, QStringLiteral("0 duplicates and 0 original items found."));
}

namespace {

class Removal : public Runs
{
protected:
    // One folder with groups of two: five ticked duplicates in all, the later copies ("Newest Items").
    void fiveTicked()
    {
        results.setMarkAsDuplicates(ResultsTree::NewestItems);
        inbox = folder(QStringLiteral("Inbox"));
        for (int i = 0; i < 5; ++i) {
            const QString subject = QStringLiteral("Subject %1").arg(i);
            originals.push_back(message(inbox, subject));
            duplicates.push_back(message(inbox, subject));
        }
        tick({ QStringLiteral("Inbox") });
        search();
        ASSERT_EQ(results.checkedCount(), 5);
    }

    OEId inbox = 0;
    std::vector<OEId> originals;
    std::vector<OEId> duplicates;
};

} // namespace

TEST_F(Removal, DeletesTickedRowsForGoodOrMovesThem)
{
    fiveTicked();
    runs.setDeleteForGood(false);
    host.panel1.clear();
    runs.RemoveButtonClick();
    EXPECT_EQ(host.panel1, QStringLiteral("5 duplicates out of 5 were removed successfully"));
    EXPECT_EQ(store->messageIds(inbox), originals);
    for (const auto& call : store->deleteCalls()) {
        EXPECT_EQ(call.flag, 0);
    }
    EXPECT_EQ(store->messageIds(*store->findFolder(QStringLiteral("Deleted Items"))), duplicates);
    // Group rows stay with their originals.
    EXPECT_EQ(results.rootCount(), 5);
    EXPECT_EQ(results.checkedCount(), 0);
    EXPECT_TRUE(host.idle());
}

TEST_F(Removal, AnsweringNoChangesNothing)
{
    fiveTicked();
    host.answer = false;
    const QString before = host.panel1;
    host.page = 2;
    runs.RemoveButtonClick();
    EXPECT_EQ(host.confirmations, 1);
    EXPECT_TRUE(store->deleteCalls().empty());
    EXPECT_EQ(host.panel1, before);
    EXPECT_EQ(host.page, 2);
    EXPECT_EQ(results.checkedCount(), 5);
}

TEST_F(Removal, CancelTakesEffectAfterTheRowInHand)
{
    fiveTicked();
    host.onPump = [&](int) {
        if (host.progressPosition == 2) {
            runs.CancelButtonClick(); // given just before the third row is handled
        }
    };
    runs.RemoveButtonClick();
    EXPECT_EQ(host.panel1, QStringLiteral("3 duplicates out of 5 were removed successfully"));
    EXPECT_EQ(results.checkedCount(), 2);
    EXPECT_EQ(store->deleteCalls().size(), 3u);
    EXPECT_TRUE(host.idle());
}

TEST_F(Removal, AFailedRowStaysTickedAndUncounted)
{
    fiveTicked();
    store->failOn(StoreOp::Delete, duplicates[1]);
    store->failOn(StoreOp::GetMessage, duplicates[3], Failure::Nothing); // removed meanwhile by another program
    runs.RemoveButtonClick();
    EXPECT_EQ(host.panel1, QStringLiteral("3 duplicates out of 5 were removed successfully"));
    EXPECT_EQ(results.checkedCount(), 2);
    EXPECT_TRUE(store->hasMessage(duplicates[1]));
    EXPECT_TRUE(store->hasMessage(duplicates[3]));
}

TEST_F(Removal, AWholeTickedGroupLeavesAnEmptyGroupRow)
{
    fiveTicked();
    TreeNode* group = results.model().firstNode();
    results.model().setCheckState(group->child(0), CheckState::Checked);
    runs.RemoveButtonClick();
    EXPECT_EQ(host.panel1, QStringLiteral("6 duplicates out of 6 were removed successfully"));
    EXPECT_EQ(results.rootCount(), 5);
    EXPECT_EQ(results.model().firstNode()->childCount(), 0);
    EXPECT_FALSE(store->hasMessage(originals[0]));
}

TEST_F(Removal, ARowUntickedDuringTheRunIsKept)
{
    fiveTicked();
    host.onPump = [&](int) {
        // After the first row is handled, the user unticks the last ticked row.
        if (host.progressPosition == 1) {
            TreeNode* last = nullptr;
            for (TreeNode* row = results.firstChecked(); row; row = results.nextChecked(row)) {
                last = row;
            }
            results.model().setCheckState(last, CheckState::Unchecked);
        }
    };
    runs.RemoveButtonClick();
    EXPECT_EQ(host.panel1, QStringLiteral("4 duplicates out of 5 were removed successfully"));
    EXPECT_EQ(store->deleteCalls().size(), 4u);
}
