#include "FileStoreTestSupport.h"

#include "store/FileStore.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace velmora;
using namespace velmora::test;

namespace {

// "Name(count)[child child]" for a folder and everything below it.
QString describe(const OEFolderPtr& folder)
{
    QString text = folder->GetName() + QStringLiteral("(%1)").arg(folder->GetMessageCount());
    QStringList children;
    for (OEFolderPtr child = folder->GetFirstChild(); child; child = folder->GetNextChild()) {
        children << describe(child);
    }
    if (!children.isEmpty()) {
        text += QLatin1Char('[') + children.join(QLatin1Char(' ')) + QLatin1Char(']');
    }
    return text;
}

QStringList subjects(const OEFolderPtr& folder)
{
    QStringList list;
    for (OEMessagePtr m = folder->GetFirstMessage(); m; m = folder->GetNextMessage()) {
        list << m->GetSubject();
    }
    return list;
}

struct LayoutCase
{
    const char* name;
    std::vector<const char*> messageFiles; // relative paths holding a message
    std::vector<const char*> otherFiles; // relative paths holding something that is not a message
    std::vector<const char*> emptyDirs;
    const char* tree;
};

class FileStoreLayout : public ::testing::TestWithParam<LayoutCase>
{
};

TEST_P(FileStoreLayout, ShowsFoldersAndCountsOnlyMessageFiles)
{
    const LayoutCase& layout = GetParam();
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/store");
    QDir().mkpath(root);
    for (const char* path : layout.messageFiles) {
        writeFile(root, QString::fromUtf8(path), simpleMessage(path));
    }
    for (const char* path : layout.otherFiles) {
        writeFile(root, QString::fromUtf8(path), "not a message\n");
    }
    for (const char* path : layout.emptyDirs) {
        QDir().mkpath(root + QLatin1Char('/') + QString::fromUtf8(path));
    }
    const MailStorePtr store = openFileStore(root);
    const OEFolderPtr top = store->GetFirstFolder();
    ASSERT_TRUE(top);
    EXPECT_EQ(describe(top), QString::fromUtf8(layout.tree));
    EXPECT_EQ(store->identity(), QFileInfo(root).canonicalFilePath());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FileStoreLayout,
    ::testing::Values(
        LayoutCase { "Maildir",
                     { "cur/1600000001.a.host:2,S", "new/1600000002.b.host", "cur/1600000003.c.host:2," },
                     { "tmp/1600000004.d.host", "cur/.hidden", "dovecot.index", "dovecot-uidlist", "maildirfolder",
                       ".notmuch/xapian/record.glass", ".mu/cache" },
                     {},
                     "store(3)" },
        LayoutCase { "MaildirPlusPlus",
                     { "cur/1.a:2,S", ".Sent/cur/2.b:2,S", ".Archive/new/3.c", ".Archive.2023/cur/4.d:2,",
                       ".Archive.2023/cur/5.e:2,", ".Lists.dev/cur/6.f:2," },
                     { ".Archive/dovecot.index.cache", ".Archive/maildirfolder", "courierimapuiddb" },
                     { "new", "tmp", ".Sent/new", ".Trash/cur", ".notafolder", "courierimapkeywords" },
                     "store(1)[Archive(1)[2023(2)] Lists.dev(1) Sent(1) Trash(0)]" },
        LayoutCase { "NestedMaildir",
                     { "cur/1.a:2,S", "Archive/cur/2.b:2,S", "Archive/2023/new/3.c", "Archive/2023/new/4.d" },
                     { "Archive/2023/tmp/5.e" },
                     { "Archive/new", "Archive/2023/cur" },
                     "store(1)[Archive(1)[2023(2)]]" },
        LayoutCase { "EmlTree",
                     { "Inbox/a.eml", "Inbox/b.EML", "Inbox/Family/c.eml", "Sent Items/d.eml", "Projects/Alpha/e.eml",
                       "Projects/Beta/f.eml", "Projects/Beta/g.eml" },
                     { "Inbox/notes.txt", "Inbox/.hidden.eml", ".hidden/x.eml", "Inbox/winmail.dat", "folders.db" },
                     { "Deleted Items", "Inbox/.cache" },
                     "store(0)[Deleted Items(0) Inbox(2)[Family(1)] Projects(0)[Alpha(1) Beta(2)] Sent Items(1)]" }),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(FileStore, OpeningWhatIsNoFolderThrows)
{
    QTemporaryDir dir;
    EXPECT_THROW(openFileStore(dir.path() + QStringLiteral("/missing")), StoreError);
    const QString file = writeFile(dir.path(), QStringLiteral("plain-file"), "x");
    EXPECT_THROW(openFileStore(file), StoreError);
}

TEST(FileStore, MessagesComeOldestFirstByDeliveryTimeThenName)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    // Names sort differently from delivery times; the .eml folder orders by modification time.
    writeFile(root, QStringLiteral("cur/1700000300.z.host:2,S"), simpleMessage("third"));
    writeFile(root, QStringLiteral("new/1700000100.y.host"), simpleMessage("first"), 1650000000);
    writeFile(root, QStringLiteral("cur/1700000200.b.host:2,"), simpleMessage("second b"));
    writeFile(root, QStringLiteral("cur/1700000200.a.host:2,"), simpleMessage("second a"));
    writeFile(root, QStringLiteral("cur/no-time-in-name:2,S"), simpleMessage("by mtime"), 1600000000);
    writeFile(root, QStringLiteral("Eml/zz.eml"), simpleMessage("old eml"), 1500000000);
    writeFile(root, QStringLiteral("Eml/aa.eml"), simpleMessage("new eml"), 1500000500);
    writeFile(root, QStringLiteral("Eml/bb.eml"), simpleMessage("new eml b"), 1500000500);

    const MailStorePtr store = openFileStore(root);
    const OEFolderPtr top = store->GetFirstFolder();
    EXPECT_EQ(subjects(top), (QStringList { "by mtime", "first", "second a", "second b", "third" }));
    EXPECT_EQ(subjects(child(top, QStringLiteral("Eml"))), (QStringList { "old eml", "new eml", "new eml b" }));

    OEMessagePtr first = top->GetFirstMessage();
    OEMessagePtr second = top->GetNextMessage();
    EXPECT_EQ(first->GetCreationTime(), QDateTime::fromSecsSinceEpoch(1600000000, Qt::UTC));
    EXPECT_EQ(second->GetCreationTime(), QDateTime::fromSecsSinceEpoch(1700000100, Qt::UTC));
    EXPECT_EQ(first->GetLastModificationTime(), QDateTime::fromSecsSinceEpoch(1600000000, Qt::UTC));
    // The listing takes the delivery time from the name without looking at the file; the modification time is
    // still the file's.
    EXPECT_EQ(second->GetLastModificationTime(), QDateTime::fromSecsSinceEpoch(1650000000, Qt::UTC));
}

TEST(FileStore, IdentifiersAreStableAndFindTheirObjects)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    writeFile(root, QStringLiteral("cur/1.a:2,S"), simpleMessage("one"));
    writeFile(root, QStringLiteral(".Work/cur/2.b:2,S"), simpleMessage("two"));
    writeFile(root, QStringLiteral(".Work/cur/3.c:2,S"), simpleMessage("three"));
    writeFile(root, QStringLiteral(".Work.Old/cur/4.d:2,S"), simpleMessage("four"));

    OEId workId = 0;
    OEId oldId = 0;
    {
        const MailStorePtr store = openFileStore(root);
        const OEFolderPtr top = store->GetFirstFolder();
        const OEFolderPtr work = child(top, QStringLiteral("Work"));
        ASSERT_TRUE(work);
        workId = work->GetID();
        oldId = child(work, QStringLiteral("Old"))->GetID();
        QSet<OEId> folderIds { top->GetID(), workId, oldId };
        EXPECT_EQ(folderIds.size(), 3);
        for (const OEId id : folderIds) {
            EXPECT_GT(id, 0);
        }

        // Message identifiers: positive, distinct, and the same on a second walk of a fresh handle.
        std::vector<OEId> ids;
        for (OEMessagePtr m = work->GetFirstMessage(); m; m = work->GetNextMessage()) {
            ids.push_back(m->GetID());
        }
        ASSERT_EQ(ids.size(), 2U);
        EXPECT_NE(ids[0], ids[1]);
        const OEFolderPtr again = store->GetFolder(workId);
        EXPECT_EQ(again->GetFirstMessage()->GetID(), ids[0]);
        EXPECT_EQ(again->GetNextMessage()->GetID(), ids[1]);
        EXPECT_EQ(again->GetMessage(ids[1])->GetSubject(), QStringLiteral("three"));
        EXPECT_FALSE(top->GetMessage(ids[1])) << "a message is found only in its own folder";
        EXPECT_FALSE(again->GetMessage(987654));
        EXPECT_FALSE(store->GetFolder(12345));

        // Renamed while open: the same identifier finds the folder under its new name.
        ASSERT_TRUE(QDir(root).rename(QStringLiteral(".Work.Old"), QStringLiteral(".Work.Older")));
        const OEFolderPtr renamed = store->GetFolder(oldId);
        ASSERT_TRUE(renamed);
        EXPECT_EQ(renamed->GetName(), QStringLiteral("Older"));
    }
    // After a restart and another rename the folders keep their identifiers.
    ASSERT_TRUE(QDir(root).rename(QStringLiteral(".Work"), QStringLiteral(".Job")));
    ASSERT_TRUE(QDir(root).rename(QStringLiteral(".Work.Older"), QStringLiteral(".Job.Old")));
    const MailStorePtr reopened = openFileStore(root);
    reopened->GetFirstFolder();
    ASSERT_TRUE(reopened->GetFolder(workId));
    EXPECT_EQ(reopened->GetFolder(workId)->GetName(), QStringLiteral("Job"));
    EXPECT_EQ(reopened->GetFolder(oldId)->GetName(), QStringLiteral("Old"));
}

TEST(FileStore, NeverFollowsSymbolicLinksOutOfTheStore)
{
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/store");
    const QString outside = dir.path() + QStringLiteral("/outside");
    writeFile(root, QStringLiteral("Inbox/inside.eml"), simpleMessage("inside"));
    const QString secret = writeFile(outside, QStringLiteral("secret.eml"), simpleMessage("secret"));
    writeFile(outside, QStringLiteral("cur/1.x:2,S"), simpleMessage("secret maildir"));
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(root + "/Linked").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(root + "/.Linked").constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(secret).constData(), QFile::encodeName(root + "/Inbox/link.eml").constData()),
              0);

    const MailStorePtr store = openFileStore(root);
    EXPECT_EQ(describe(store->GetFirstFolder()), QStringLiteral("store(0)[Inbox(1)]"));
}

TEST(FileStore, AFolderThatCannotBeListedFailsItsMessageWalk)
{
    QTemporaryDir dir;
    const QString root = dir.path();
    writeFile(root, QStringLiteral("cur/1.a:2,S"), simpleMessage("one"));
    writeFile(root, QStringLiteral(".Box/cur/2.b:2,S"), simpleMessage("two"));
    const MailStorePtr store = openFileStore(root);
    const OEFolderPtr box = child(store->GetFirstFolder(), QStringLiteral("Box"));
    ASSERT_TRUE(box);
    // Running as root, permissions stop nothing: make the listing fail by putting a file where cur/ was.
    ASSERT_TRUE(QDir(root + "/.Box/cur").removeRecursively());
    writeFile(root, QStringLiteral(".Box/cur"), "not a directory");
    EXPECT_THROW(box->GetFirstMessage(), StoreError);
    EXPECT_THROW(box->GetMessageCount(), StoreError);
    EXPECT_EQ(subjects(store->GetFirstFolder()), QStringList { "one" });
}

} // namespace

namespace {

int readAllMessages(const OEFolderPtr& folder, int& inlineImages)
{
    int count = 0;
    for (OEMessagePtr m = folder->GetFirstMessage(); m; m = folder->GetNextMessage()) {
        EXPECT_FALSE(m->GetSubject().isEmpty());
        EXPECT_FALSE(m->GetBody(102400).isEmpty()) << m->GetSubject().toStdString();
        EXPECT_FALSE(m->GetDisplayFrom().isEmpty());
        EXPECT_GT(m->GetSize(), 0);
        const QString html = m->GetHTMLBody();
        const qsizetype cid = html.indexOf(QStringLiteral("cid:"));
        if (cid >= 0) {
            const QString id = html.mid(cid + 4, html.indexOf(u'"', cid) - cid - 4);
            const auto part = m->GetInlinePart(id);
            EXPECT_TRUE(part && part->mimeType == "image/png") << id.toStdString();
            ++inlineImages;
        }
        ++count;
    }
    for (OEFolderPtr c = folder->GetFirstChild(); c; c = folder->GetNextChild()) {
        count += readAllMessages(c, inlineImages);
    }
    return count;
}

TEST(FileStore, DemoStoreReadsCompletely)
{
    const MailStorePtr store = openFileStore(QStringLiteral(VELMORA_SOURCE_DIR "/examples/demo-store"));
    const OEFolderPtr top = store->GetFirstFolder();
    EXPECT_EQ(top->GetName(), QStringLiteral("demo-store"));
    EXPECT_EQ(describe(top).remove(QRegularExpression(QStringLiteral("\\(\\d+\\)"))),
              QStringLiteral("demo-store[Deleted Items Inbox[Family Newsletters] Projects[Alpha Beta] Sent Items]"));
    int inlineImages = 0;
    EXPECT_EQ(readAllMessages(top, inlineImages), 66);
    EXPECT_EQ(inlineImages, 2);
}

} // namespace
