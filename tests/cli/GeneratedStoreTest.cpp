// The whole engine against a generated store whose duplicate groups are known by construction: every group the
// generator made must be found exactly, and nothing else, near misses included.
#include "cli/CliApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kGenerator = QStringLiteral(VELMORA_SOURCE_DIR "/../shared/tools/gen_maildir.py");

using Group = QSet<QString>;

QList<Group> expectedGroups(const QJsonObject& manifest)
{
    QList<Group> groups;
    for (const auto folderValue : manifest[QStringLiteral("folders")].toArray()) {
        const QJsonObject folder = folderValue.toObject();
        const QString dir = folder[QStringLiteral("dir")].toString();
        for (const auto groupValue : folder[QStringLiteral("groups")].toArray()) {
            Group group;
            for (const auto path : groupValue.toArray()) {
                group.insert(QDir::cleanPath(dir + QLatin1Char('/') + path.toString()));
            }
            groups << group;
        }
    }
    return groups;
}

QList<Group> foundGroups(const QJsonObject& report)
{
    QList<Group> groups;
    for (const auto groupValue : report[QStringLiteral("groups")].toArray()) {
        Group group;
        for (const auto item : groupValue.toObject()[QStringLiteral("items")].toArray()) {
            group.insert(item.toObject()[QStringLiteral("path")].toString());
        }
        groups << group;
    }
    return groups;
}

class GeneratedStore : public ::testing::TestWithParam<const char*>
{
};

} // namespace

TEST_P(GeneratedStore, FindsExactlyTheGroupsItWasBuiltWith)
{
    if (!QFileInfo::exists(kGenerator)) {
        GTEST_SKIP() << "the store generator is not beside the project";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString store = dir.path() + QStringLiteral("/store");
    const QString manifestPath = dir.path() + QStringLiteral("/manifest.json");
    QProcess generator;
    generator.setWorkingDirectory(QFileInfo(kGenerator).absolutePath());
    generator.start(QStringLiteral("python3"),
                    { kGenerator, QStringLiteral("--out"), store, QStringLiteral("--messages"), QStringLiteral("2000"),
                      QStringLiteral("--folders"), QStringLiteral("4"), QStringLiteral("--dup-fraction"),
                      QStringLiteral("0.1"), QStringLiteral("--near-miss-fraction"), QStringLiteral("0.05"),
                      QStringLiteral("--seed"), QStringLiteral("3"), QStringLiteral("--layout"),
                      QString::fromUtf8(GetParam()), QStringLiteral("--manifest"), manifestPath });
    ASSERT_TRUE(generator.waitForFinished(120000));
    ASSERT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().toStdString();

    QFile manifestFile(manifestPath);
    ASSERT_TRUE(manifestFile.open(QIODevice::ReadOnly));
    const QList<Group> expected = expectedGroups(QJsonDocument::fromJson(manifestFile.readAll()).object());
    ASSERT_GT(expected.size(), 50);

    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    ASSERT_EQ(
        velmora::cli::runCli({ QStringLiteral("--store"), store, QStringLiteral("search"), QStringLiteral("--json") },
                             outStream, errStream, false),
        0)
        << err.toStdString();
    const QList<Group> found = foundGroups(QJsonDocument::fromJson(out.toUtf8()).object());

    const QSet<Group> expectedSet(expected.begin(), expected.end());
    const QSet<Group> foundSet(found.begin(), found.end());
    for (const Group& group : expectedSet - foundSet) {
        ADD_FAILURE() << "not found as one group: " << QStringList(group.values()).join(QLatin1Char(' ')).toStdString();
    }
    for (const Group& group : foundSet - expectedSet) {
        ADD_FAILURE() << "grouped but not equal: " << QStringList(group.values()).join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_EQ(found.size(), expected.size());
}

INSTANTIATE_TEST_SUITE_P(Layouts, GeneratedStore, ::testing::Values("maildir", "eml"));
