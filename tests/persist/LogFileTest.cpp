#include "persist/LogFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList titlesOf(const LogFile& log)
{
    QStringList titles;
    for (const LogRecord& record : log.records()) {
        titles.append(record.title);
    }
    return titles;
}

QStringList titlesOnDisk(const QString& path)
{
    LogFile reloaded;
    reloaded.setFileName(path);
    return titlesOf(reloaded);
}

class LogFileTest : public ::testing::Test
{
protected:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("error.log"));
};

TEST_F(LogFileTest, WritesOneLinePerEntryWithAnglesDoubledAndReadsThemBack)
{
    LogFile log;
    log.setFileName(m_path);
    log.setAutoSave(true);
    const QStringList titles { QString(), QStringLiteral("plain"), QStringLiteral("disk > full"), QStringLiteral(">>"),
                               QStringLiteral("ends with >") };
    for (const QString& title : titles) {
        log.add(title);
    }

    const QList<QByteArray> lines = readAll(m_path).split('\n');
    ASSERT_EQ(lines.size(), titles.size() + 1);
    EXPECT_TRUE(lines.last().isEmpty());
    const QList<QByteArray> endings { "]Error>>\r", "]Error>plain>\r", "]Error>disk >> full>\r", "]Error>>>>>>\r",
                                      "]Error>ends with >>>\r" };
    for (int i = 0; i < titles.size(); ++i) {
        EXPECT_TRUE(lines[i].startsWith('[')) << lines[i].constData();
        EXPECT_TRUE(lines[i].endsWith(endings[i])) << lines[i].constData();
        // The time text stands between the brackets and is the one kept in memory.
        EXPECT_EQ(lines[i].mid(1, lines[i].indexOf(']') - 1), log.records()[i].time.toUtf8());
    }
    EXPECT_FALSE(log.records()[0].time.isEmpty());

    EXPECT_EQ(titlesOnDisk(m_path), titles);
}

TEST(LogFileLineTest, ParsesEachLineByTheFirstBracketsAndAngles)
{
    struct Case
    {
        const char* line;
        bool record;
        const char* time;
        LogSeverity severity;
        const char* title;
        const char* description;
    };
    const Case cases[] = {
        { "[t]Error>a>>b>desc", true, "t", LogSeverity::Error, "a>b", "desc" },
        { "[t]Warning>w>", true, "t", LogSeverity::Warning, "w", "" },
        { "[t]Odd>x>", true, "t", LogSeverity::Information, "x", "" },
        { "[t]Error>>", true, "t", LogSeverity::Error, "", "" },
        { "[t]Error>no end", true, "t", LogSeverity::Error, "no end", "" },
        { "junk [1 2]Error>x>y>z", true, "1 2", LogSeverity::Error, "x", "y>z" },
        { "no brackets at all", false, "", LogSeverity::Error, "", "" },
        { "only ] then [", false, "", LogSeverity::Error, "", "" },
        { "", false, "", LogSeverity::Error, "", "" },
    };
    for (const Case& c : cases) {
        const std::optional<LogRecord> record = LogFile::parseLine(QString::fromUtf8(c.line));
        ASSERT_EQ(record.has_value(), c.record) << c.line;
        if (record) {
            EXPECT_EQ(record->time, QString::fromUtf8(c.time)) << c.line;
            EXPECT_EQ(record->severity, c.severity) << c.line;
            EXPECT_EQ(record->title, QString::fromUtf8(c.title)) << c.line;
            EXPECT_EQ(record->description, QString::fromUtf8(c.description)) << c.line;
            EXPECT_EQ(LogFile::parseLine(LogFile::lineOf(*record)), record) << c.line;
        }
    }
}

TEST_F(LogFileTest, LineBreakInATitleSplitsTheEntryAndTheTailIsLostOnReload)
{
    LogFile log;
    log.setFileName(m_path);
    log.setAutoSave(true);
    log.add(QStringLiteral("first half\nsecond half"));
    log.add(QStringLiteral("next"));
    EXPECT_TRUE(readAll(m_path).contains("]Error>first half\nsecond half>\r\n"));

    LogFile restarted;
    restarted.setFileName(m_path);
    restarted.setAutoSave(true);
    EXPECT_EQ(titlesOf(restarted), (QStringList { QStringLiteral("first half"), QStringLiteral("next") }));
    restarted.add(QStringLiteral("after restart"));
    EXPECT_FALSE(readAll(m_path).contains("second half"));
}

TEST_F(LogFileTest, SizeLimitKeepsTheNewestEntriesThatFirstReachIt)
{
    // 1024 lines of 1024 characters each: exactly the limit.
    QByteArray content;
    for (int i = 0; i < 1024; ++i) {
        const QByteArray title = QByteArray::number(i).rightJustified(4, '0') + QByteArray(1008, 'x');
        content += "[t]Error>" + title + ">\r\n";
    }
    ASSERT_EQ(content.size(), LogFile::kDefaultSizeLimit);
    writeAll(m_path, content);

    LogFile log;
    log.setFileName(m_path);
    log.setAutoSave(true);
    ASSERT_EQ(log.records().size(), 1024);

    // A short entry: the old lines alone still only just reach the limit, so all stay.
    log.add(QStringLiteral("short"));
    EXPECT_EQ(log.records().size(), 1025);
    EXPECT_TRUE(log.records().first().title.startsWith(QLatin1String("0000")));

    // A long one: the two new lines pass one old line, so the oldest goes.
    log.add(QString(1500, QLatin1Char('y')));
    ASSERT_EQ(log.records().size(), 1025);
    EXPECT_TRUE(log.records().first().title.startsWith(QLatin1String("0001")));
    EXPECT_EQ(log.records().last().title, QString(1500, QLatin1Char('y')));

    const qsizetype onDisk = readAll(m_path).size();
    EXPECT_GE(onDisk, LogFile::kDefaultSizeLimit);
    EXPECT_LT(onDisk - LogFile::kDefaultSizeLimit, 1024);
    EXPECT_EQ(titlesOnDisk(m_path), titlesOf(log));
}

TEST_F(LogFileTest, EntriesBeforeTheFileNameSurviveOnlyWhenNoFileExisted)
{
    for (const bool fileExisted : { false, true }) {
        QFile::remove(m_path);
        if (fileExisted) {
            writeAll(m_path, "[t]Error>old>\r\n");
        }
        LogFile log;
        log.setAutoSave(true);
        EXPECT_FALSE(log.autoSave()) << "automatic saving needs a file name";
        log.add(QStringLiteral("early"));
        EXPECT_FALSE(QFile::exists(m_path) && !fileExisted);

        log.setFileName(m_path);
        log.setAutoSave(true);
        EXPECT_TRUE(log.autoSave());
        log.add(QStringLiteral("later"));

        const QStringList expected = fileExisted ? QStringList { QStringLiteral("old"), QStringLiteral("later") }
                                                 : QStringList { QStringLiteral("early"), QStringLiteral("later") };
        EXPECT_EQ(titlesOnDisk(m_path), expected) << "file existed: " << fileExisted;
    }
}

TEST_F(LogFileTest, AFailedWriteKeepsTheEntriesForTheNextWrite)
{
    // A regular file where the folder should be: no one, root included, can create the log there.
    writeAll(m_dir.filePath(QStringLiteral("not-a-folder")), "x");
    LogFile log;
    log.setFileName(m_dir.filePath(QStringLiteral("not-a-folder/error.log")));
    log.setAutoSave(true);
    log.add(QStringLiteral("kept in memory"));
    EXPECT_EQ(titlesOf(log), QStringList { QStringLiteral("kept in memory") });
    EXPECT_FALSE(log.errorString().isEmpty());
    EXPECT_FALSE(log.save());

    log.setFileName(m_path);
    log.setAutoSave(true);
    log.add(QStringLiteral("written"));
    EXPECT_TRUE(log.errorString().isEmpty());
    EXPECT_EQ(titlesOnDisk(m_path), (QStringList { QStringLiteral("kept in memory"), QStringLiteral("written") }));
}

} // namespace
