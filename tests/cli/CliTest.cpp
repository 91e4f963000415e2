#include "cli/CliApp.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using velmora::cli::runCli;

namespace {

struct CliResult
{
    int status = 0;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

CliResult run(const QStringList& args)
{
    CliResult result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = runCli(args, out, err, false);
    return result;
}

// Every file of the tree with the digest of its bytes.
std::map<QString, QByteArray> snapshot(const QString& root)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        files[QDir(root).relativeFilePath(path)] = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }
    return files;
}

class DemoStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.path() + QStringLiteral("/demo");
        ASSERT_EQ(QProcess::execute(
                      QStringLiteral("cp"),
                      { QStringLiteral("-a"), QStringLiteral(VELMORA_SOURCE_DIR "/examples/demo-store"), root }),
                  0);
    }

    QStringList args(const QStringList& rest) const { return QStringList { QStringLiteral("--store"), root } + rest; }

    QTemporaryDir dir;
    QString root;
};

QStringList tickedPaths(const QJsonObject& report)
{
    QStringList paths;
    for (const auto group : report[QStringLiteral("groups")].toArray()) {
        for (const auto item : group.toObject()[QStringLiteral("items")].toArray()) {
            if (item.toObject()[QStringLiteral("ticked")].toBool()) {
                paths << item.toObject()[QStringLiteral("path")].toString();
            }
        }
    }
    return paths;
}

} // namespace

TEST_F(DemoStore, RemoveLeavesNoDuplicatesAndEveryOtherFileUnchanged)
{
    const CliResult search = run(args({ QStringLiteral("search"), QStringLiteral("--json") }));
    ASSERT_EQ(search.status, 0) << qPrintable(search.err);
    const QJsonObject found = search.json();
    const QStringList ticked = tickedPaths(found);
    ASSERT_GE(found[QStringLiteral("originals")].toInt(), 5);
    EXPECT_EQ(found[QStringLiteral("duplicates")].toInt(), ticked.size());
    EXPECT_EQ(found[QStringLiteral("status")].toString(),
              QStringLiteral("%1 duplicates and %2 original items found.")
                  .arg(ticked.size())
                  .arg(found[QStringLiteral("originals")].toInt()));

    const auto before = snapshot(root);
    // Without --yes nothing changes.
    EXPECT_EQ(run(args({ QStringLiteral("remove") })).status, 0);
    EXPECT_EQ(snapshot(root), before);

    const CliResult removal
        = run(args({ QStringLiteral("remove"), QStringLiteral("--yes"), QStringLiteral("--json") }));
    ASSERT_EQ(removal.status, 0) << qPrintable(removal.err);
    QStringList removed;
    for (const auto path : removal.json()[QStringLiteral("removed")].toArray()) {
        removed << path.toString();
    }
    removed.sort();
    QStringList expected = ticked;
    expected.sort();
    EXPECT_EQ(removed, expected);
    EXPECT_TRUE(removal.json()[QStringLiteral("failed")].toArray().isEmpty());

    auto after = snapshot(root);
    auto remaining = before;
    for (const QString& path : removed) {
        remaining.erase(path);
    }
    EXPECT_EQ(after, remaining);

    const CliResult again = run(args({ QStringLiteral("search"), QStringLiteral("--json") }));
    EXPECT_EQ(again.json()[QStringLiteral("groups")].toArray().size(), 0);
    EXPECT_EQ(again.json()[QStringLiteral("status")].toString(),
              QStringLiteral("0 duplicates and 0 original items found."));
}

TEST_F(DemoStore, MoveKeepsTheBytesInDeletedItems)
{
    const auto before = snapshot(root);
    const CliResult removal
        = run(args({ QStringLiteral("remove"), QStringLiteral("--folder"), QStringLiteral("Inbox"),
                     QStringLiteral("--move"), QStringLiteral("--yes"), QStringLiteral("--json") }));
    ASSERT_EQ(removal.status, 0) << qPrintable(removal.err);
    const QJsonArray moved = removal.json()[QStringLiteral("removed")].toArray();
    ASSERT_FALSE(moved.isEmpty());
    const auto after = snapshot(root);
    // Every file still exists somewhere with its bytes; the moved ones now below Deleted Items.
    std::multiset<QByteArray> beforeDigests;
    std::multiset<QByteArray> afterDigests;
    for (const auto& [path, digest] : before) {
        beforeDigests.insert(digest);
    }
    for (const auto& [path, digest] : after) {
        afterDigests.insert(digest);
    }
    EXPECT_EQ(beforeDigests, afterDigests);
    for (const auto path : moved) {
        EXPECT_TRUE(path.toString().startsWith(QStringLiteral("Inbox/")));
        EXPECT_EQ(after.count(path.toString()), 0u);
    }
}

TEST_F(DemoStore, FoldersAndSelectedFolders)
{
    const CliResult folders = run(args({ QStringLiteral("folders") }));
    EXPECT_EQ(folders.status, 0);
    EXPECT_TRUE(folders.out.contains(QStringLiteral("\t0\t.\n")));
    EXPECT_TRUE(folders.out.contains(QStringLiteral("\t2\tInbox/Family\n")));

    // A parent named alone is searched without its subfolders.
    const QJsonObject inbox = run(args({ QStringLiteral("search"), QStringLiteral("--folder"), QStringLiteral("Inbox"),
                                         QStringLiteral("--json") }))
                                  .json();
    for (const auto group : inbox[QStringLiteral("groups")].toArray()) {
        EXPECT_EQ(group.toObject()[QStringLiteral("folder")].toString(), QStringLiteral("Inbox"));
    }
    // Size alone groups equal sizes; subject alone more than subject and body.
    const int bySize = run(args({ QStringLiteral("search"), QStringLiteral("--fields"), QStringLiteral("size"),
                                  QStringLiteral("--json") }))
                           .json()[QStringLiteral("duplicates")]
                           .toInt();
    EXPECT_GT(bySize, 0);
    const int bySubject = run(args({ QStringLiteral("search"), QStringLiteral("--fields"), QStringLiteral("subject"),
                                     QStringLiteral("--json") }))
                              .json()[QStringLiteral("duplicates")]
                              .toInt();
    const int byDefault = run(args({ QStringLiteral("search"), QStringLiteral("--json") }))
                              .json()[QStringLiteral("duplicates")]
                              .toInt();
    EXPECT_GT(bySubject, byDefault);
}

TEST(Cli, UsageErrorsAndUnreadableStores)
{
    const struct
    {
        QStringList args;
        int status;
        const char* message;
    } cases[] = {
        { { QStringLiteral("search") }, 2, "--store DIR is required" },
        { { QStringLiteral("--store"), QStringLiteral("/tmp") }, 2, "a command is required" },
        { { QStringLiteral("--store"), QStringLiteral("/tmp"), QStringLiteral("dedupe") }, 2, "unknown command" },
        { { QStringLiteral("--store"), QStringLiteral("/tmp"), QStringLiteral("search"), QStringLiteral("--fields"),
            QStringLiteral("subject,date") },
          2,
          "unknown field \"date\"" },
        { { QStringLiteral("--store"), QStringLiteral("/tmp"), QStringLiteral("search"), QStringLiteral("--mark"),
            QStringLiteral("best") },
          2,
          "unknown rule" },
        { { QStringLiteral("--store"), QStringLiteral("/tmp"), QStringLiteral("search"), QStringLiteral("--yes") },
          2,
          "belong to the remove command" },
        { { QStringLiteral("--store"), QStringLiteral("/nonexistent/velmora"), QStringLiteral("search") },
          3,
          "cannot open the store" },
    };
    for (const auto& c : cases) {
        const CliResult result = run(c.args);
        EXPECT_EQ(result.status, c.status) << qPrintable(c.args.join(QLatin1Char(' ')));
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.message))) << qPrintable(result.err);
        EXPECT_TRUE(result.out.isEmpty());
    }
}

TEST_F(DemoStore, UnknownFolderIsAUsageError)
{
    const CliResult result
        = run(args({ QStringLiteral("search"), QStringLiteral("--folder"), QStringLiteral("Nope") }));
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(result.err.contains(QStringLiteral("no folder \"Nope\"")));
}
