// The search over a file store, where message files are read and keyed ahead on worker threads: what the user
// sees must be what a search without read-ahead gives, also when the field ticks change during the run.
#include "RecordingHost.h"

#include "detection/DuplicateRuns.h"
#include "store/FileStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::RecordingHost;

namespace {

// A Maildir whose messages all have the subject "Weekly report" and bodies of their own.
QString writeMaildir(const QTemporaryDir& dir, int count)
{
    const QString root = dir.path() + QStringLiteral("/mail");
    for (const char* sub : { "cur", "new", "tmp" }) {
        QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub));
    }
    for (int i = 0; i < count; ++i) {
        QFile file(root + QStringLiteral("/cur/%1.M%2P1.host:2,S").arg(1600000000 + i * 60).arg(i));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QStringLiteral("From: A <a@example.org>\nSubject: Weekly report\n\nBody number %1\n").arg(i).toUtf8());
    }
    return root;
}

struct Outcome
{
    int groups = 0;
    int rows = 0;
    QString status;
};

Outcome search(const QString& root, const std::function<void(int pump, FieldTicks& ticks, DuplicateRuns& runs)>& onPump)
{
    const auto store = FileStore::open(root);
    RecordingHost host;
    ResultsTree results;
    FolderTree folders;
    folders.setFolderManager(store.get());
    folders.FillFolderTree();
    folders.model().setCheckState(folders.model().firstNode(), CheckState::Checked);
    FieldTicks ticks;
    const KeyCollator collator(QStringLiteral("en_US"));
    DuplicateRuns runs(host, *store, results, folders, ticks, collator);
    host.onPump = [&](int pump) { onPump(pump, ticks, runs); };
    runs.SearchButtonClick();
    Outcome outcome;
    outcome.groups = results.rootCount();
    for (TreeNode* row = results.model().firstNode(); row; row = results.model().nextNode(row)) {
        outcome.rows += row->level() == 1 ? 1 : 0;
    }
    outcome.status = host.panel1;
    return outcome;
}

} // namespace

TEST(ReadAheadRun, KeysBuiltAheadWithOldTicksAreBuiltAgain)
{
    QTemporaryDir dir;
    const QString root = writeMaildir(dir, 300);

    // Subject and body: every body differs, nothing is equal.
    EXPECT_EQ(search(root, [](int, FieldTicks&, DuplicateRuns&) {}).groups, 0);

    // From the 100th message on only the subject counts: messages 100 to 300 form one group, although workers
    // had built their keys with the body ticked.
    const Outcome changed = search(root, [](int pump, FieldTicks& ticks, DuplicateRuns&) {
        if (pump == 100) {
            ticks.setChecked(static_cast<int>(SearchField::Body), false);
        }
    });
    EXPECT_EQ(changed.groups, 1);
    EXPECT_EQ(changed.rows, 201);
    EXPECT_EQ(changed.status, QStringLiteral("200 duplicates and 1 original items found."));
}

TEST(ReadAheadRun, CancelStopsTheWalkAndItsWorkers)
{
    QTemporaryDir dir;
    const QString root = writeMaildir(dir, 300);
    const Outcome cancelled = search(root, [](int pump, FieldTicks& ticks, DuplicateRuns& runs) {
        if (pump == 1) {
            ticks.UncheckAll(); // every message equals the first
        }
        if (pump == 50) {
            runs.CancelButtonClick();
        }
    });
    // Messages 1 to 49 were handled; the workers reading ahead stopped with the walk.
    EXPECT_EQ(cancelled.groups, 1);
    EXPECT_EQ(cancelled.rows, 49);
    EXPECT_EQ(cancelled.status, QStringLiteral("48 duplicates and 1 original items found."));
}
