#include "FileStoreTestSupport.h"

#include "store/FileStore.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace velmora;
using namespace velmora::test;

namespace {

OEMessagePtr messageWithSubject(const OEFolderPtr& folder, const QString& subject)
{
    for (OEMessagePtr m = folder->GetFirstMessage(); m; m = folder->GetNextMessage()) {
        if (m->GetSubject() == subject) {
            return m;
        }
    }
    return nullptr;
}

// Everything but `changed` must be byte for byte what it was.
void expectOnlyChanged(std::map<QString, QByteArray> before, std::map<QString, QByteArray> after,
                       const QStringList& removed, const std::map<QString, QByteArray>& added)
{
    for (const QString& path : removed) {
        EXPECT_EQ(after.count(path), 0U) << "still there: " << path.toStdString();
        before.erase(path);
    }
    for (const auto& [path, digest] : added) {
        ASSERT_EQ(after.count(path), 1U) << "missing: " << path.toStdString();
        EXPECT_EQ(after.at(path), digest) << path.toStdString();
        after.erase(path);
    }
    EXPECT_EQ(before, after);
}

class FileStoreRemoval : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = dir.path();
        writeFile(root, QStringLiteral("cur/1600000001.keep.host:2,S"), simpleMessage("keep"));
        writeFile(root, QStringLiteral("cur/1600000002.gone.host:2,S"), simpleMessage("gone"));
        writeFile(root, QStringLiteral("new/1600000003.fresh.host"), simpleMessage("fresh"));
        writeFile(root, QStringLiteral(".Sent/cur/1600000004.sent.host:2,S"), simpleMessage("sent"));
        writeFile(root, QStringLiteral("dovecot-uidlist"), "3 V1 N4\n");
    }

    QTemporaryDir dir;
    QString root;
};

TEST_F(FileStoreRemoval, DeleteForGoodRemovesOnlyThatFile)
{
    const auto before = treeDigest(root);
    const MailStorePtr store = openFileStore(root);
    const OEFolderPtr top = store->GetFirstFolder();
    const OEMessagePtr gone = messageWithSubject(top, QStringLiteral("gone"));
    const OEId id = gone->GetID();
    gone->Delete(1);
    expectOnlyChanged(before, treeDigest(root), { QStringLiteral("cur/1600000002.gone.host:2,S") }, {});
    EXPECT_FALSE(top->GetMessage(id));
    EXPECT_THROW(gone->Delete(1), StoreError) << "a second removal must not count";
    EXPECT_EQ(top->GetMessageCount(), 2);
}

TEST_F(FileStoreRemoval, MoveCreatesAMaildirDeletedItemsAndKeepsTheBytes)
{
    const auto before = treeDigest(root);
    const MailStorePtr store = openFileStore(root);
    const OEFolderPtr top = store->GetFirstFolder();
    messageWithSubject(top, QStringLiteral("gone"))->Delete(0);
    messageWithSubject(top, QStringLiteral("fresh"))->Delete(0);
    expectOnlyChanged(before, treeDigest(root),
                      { QStringLiteral("cur/1600000002.gone.host:2,S"), QStringLiteral("new/1600000003.fresh.host") },
                      { { QStringLiteral(".Deleted Items/cur/1600000002.gone.host:2,S"),
                          before.at(QStringLiteral("cur/1600000002.gone.host:2,S")) },
                        { QStringLiteral(".Deleted Items/new/1600000003.fresh.host"),
                          before.at(QStringLiteral("new/1600000003.fresh.host")) } });
    const OEFolderPtr trash = child(store->GetFirstFolder(), QStringLiteral("Deleted Items"));
    ASSERT_TRUE(trash);
    EXPECT_EQ(trash->GetMessageCount(), 2);
    // Moving out of Deleted Items again is refused rather than counted.
    const OEMessagePtr inTrash = trash->GetFirstMessage();
    EXPECT_THROW(inTrash->Delete(0), StoreError);
    EXPECT_EQ(trash->GetMessageCount(), 2);
}

TEST_F(FileStoreRemoval, AnExistingTrashIsUsedAndANameClashOverwritesNothing)
{
    const QByteArray occupant = simpleMessage("someone else");
    writeFile(root, QStringLiteral(".Trash/cur/1600000002.gone.host:2,S"), occupant);
    const auto before = treeDigest(root);
    const MailStorePtr store = openFileStore(root);
    messageWithSubject(store->GetFirstFolder(), QStringLiteral("gone"))->Delete(0);
    const auto after = treeDigest(root);
    EXPECT_EQ(readAll(root + "/.Trash/cur/1600000002.gone.host:2,S"), occupant);
    EXPECT_EQ(readAll(root + "/.Trash/cur/1600000002.gone.host.velmora1:2,S"), simpleMessage("gone"));
    EXPECT_FALSE(QFileInfo::exists(root + "/.Deleted Items"));
    EXPECT_EQ(after.size(), before.size());
}

TEST_F(FileStoreRemoval, AFlagChangeByAnotherProgramDoesNotLoseTheMessage)
{
    const MailStorePtr store = openFileStore(root);
    const OEFolderPtr top = store->GetFirstFolder();
    const OEId id = messageWithSubject(top, QStringLiteral("gone"))->GetID();
    const OEMessagePtr fresh = top->GetMessage(id); // nothing read yet
    ASSERT_TRUE(fresh);
    ASSERT_TRUE(QFile::rename(root + "/cur/1600000002.gone.host:2,S", root + "/cur/1600000002.gone.host:2,RS"));
    EXPECT_EQ(fresh->GetSubject(), QStringLiteral("gone"));
    ASSERT_TRUE(QFile::rename(root + "/cur/1600000002.gone.host:2,RS", root + "/cur/1600000002.gone.host:2,FRS"));
    const OEMessagePtr found = top->GetMessage(id);
    ASSERT_TRUE(found);
    ASSERT_TRUE(QFile::rename(root + "/cur/1600000002.gone.host:2,FRS", root + "/cur/1600000002.gone.host:2,T"));
    found->Delete(1);
    EXPECT_FALSE(QFileInfo::exists(root + "/cur/1600000002.gone.host:2,T"));
    EXPECT_EQ(top->GetMessageCount(), 2);
}

TEST_F(FileStoreRemoval, AVanishedOrReplacedFileIsAnErrorNeverARemoval)
{
    const MailStorePtr store = openFileStore(root);
    const OEFolderPtr top = store->GetFirstFolder();
    const OEMessagePtr gone = messageWithSubject(top, QStringLiteral("gone"));
    const OEMessagePtr keep = messageWithSubject(top, QStringLiteral("keep"));
    const OEId goneId = gone->GetID();
    const OEMessagePtr fresh = top->GetMessage(messageWithSubject(top, QStringLiteral("fresh"))->GetID());

    ASSERT_TRUE(QFile::remove(root + "/cur/1600000002.gone.host:2,S"));
    EXPECT_FALSE(top->GetMessage(goneId));
    EXPECT_THROW(gone->Delete(0), StoreError);
    EXPECT_FALSE(QFileInfo::exists(root + "/.Deleted Items"));

    // A directory or a FIFO put where the file was: reading fails at once, removal refuses.
    ASSERT_TRUE(QFile::remove(root + "/new/1600000003.fresh.host"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + "/new/1600000003.fresh.host").constData(), 0600), 0);
    EXPECT_THROW(fresh->GetBody(100), StoreError);
    EXPECT_THROW(fresh->Delete(1), StoreError);
    EXPECT_TRUE(QFileInfo::exists(root + "/new/1600000003.fresh.host"));

    ASSERT_TRUE(QFile::remove(root + "/cur/1600000001.keep.host:2,S"));
    ASSERT_TRUE(QDir().mkpath(root + "/cur/1600000001.keep.host:2,S"));
    EXPECT_FALSE(top->GetMessage(keep->GetID()));
    EXPECT_THROW(keep->Delete(1), StoreError);
    EXPECT_TRUE(QFileInfo(root + "/cur/1600000001.keep.host:2,S").isDir());
}

TEST(FileStoreEmlRemoval, MovesIntoDeletedItemsWithoutOverwritingAndKeepsIdentifiersFresh)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    writeFile(root, QStringLiteral("Inbox/report.eml"), simpleMessage("report"));
    writeFile(root, QStringLiteral("Inbox/other.eml"), simpleMessage("other"));
    writeFile(root, QStringLiteral("Deleted Items/report.eml"), simpleMessage("older report"));
    const auto before = treeDigest(root);
    const MailStorePtr store = openFileStore(root);
    const OEFolderPtr inbox = child(store->GetFirstFolder(), QStringLiteral("Inbox"));
    const OEMessagePtr report = messageWithSubject(inbox, QStringLiteral("report"));
    const OEId reportId = report->GetID();
    report->Delete(0);
    expectOnlyChanged(
        before, treeDigest(root), { QStringLiteral("Inbox/report.eml") },
        { { QStringLiteral("Deleted Items/report (1).eml"), before.at(QStringLiteral("Inbox/report.eml")) } });

    // A new file under the old name is a new message with a new identifier.
    writeFile(root, QStringLiteral("Inbox/report.eml"), simpleMessage("report again"));
    const OEMessagePtr again = messageWithSubject(inbox, QStringLiteral("report again"));
    ASSERT_TRUE(again);
    EXPECT_NE(again->GetID(), reportId);
}

TEST(FileStoreEmlRemoval, CreatesAPlainDeletedItemsFolderInAnEmlTree)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    writeFile(root, QStringLiteral("Inbox/a.eml"), simpleMessage("a"));
    const MailStorePtr store = openFileStore(root);
    messageWithSubject(child(store->GetFirstFolder(), QStringLiteral("Inbox")), QStringLiteral("a"))->Delete(0);
    EXPECT_EQ(readAll(root + "/Deleted Items/a.eml"), simpleMessage("a"));
    EXPECT_FALSE(QFileInfo::exists(root + "/Inbox/a.eml"));
}

} // namespace
