#include "persist/ExceptionLogger.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <stdexcept>
#include <thread>

using namespace velmora;

namespace logtest {

struct Failure : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

struct Plain
{
    int code;
};

struct Unrelated
{
};

std::atomic<int> g_cleanups { 0 };
std::atomic<long> g_depthLimit { 1L << 40 };
// Read at run time so the compiler cannot see the bad write coming.
std::atomic<std::uintptr_t> g_badAddress { 16 };

struct Guard
{
    ~Guard() { g_cleanups.fetch_add(1); }
};

__attribute__((noinline)) void raiseFailure(const char* message)
{
    throw Failure(message); // line:raise
}

__attribute__((noinline)) void raisePlain()
{
    throw Plain { 7 };
}

__attribute__((noinline)) void cleanupStep(const char* message)
{
    Guard guard;
    raiseFailure(message); // line:cleanup-call
}

__attribute__((noinline)) bool typedCatch(const char* message)
{
    try { // line:try
        cleanupStep(message);
    } catch (const std::runtime_error&) {
        return true;
    } // line:catch-end
    return false;
}

__attribute__((noinline)) bool anyCatch()
{
    try {
        raisePlain();
    } catch (...) {
        return true;
    }
    return false;
}

__attribute__((noinline)) void mismatchedCatch()
{
    try {
        cleanupStep("nobody catches this");
    } catch (const Unrelated&) {
        g_cleanups.fetch_add(100);
    }
}

// Per-item guard, as the runs have it: a failing item is skipped.
__attribute__((noinline)) int guardedSteps(int items)
{
    int done = 0;
    for (int i = 0; i < items; ++i) {
        try {
            if (i % 2 == 1) {
                throw Failure("item failed");
            }
            ++done;
        } catch (const Failure&) {
        }
    }
    return done;
}

__attribute__((noinline)) long overflowStack(long depth)
{
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    const long deeper = depth < g_depthLimit.load() ? overflowStack(depth + 1) : 0;
    return deeper + frame[0];
}

} // namespace logtest

namespace {

int sourceLine(const char* marker)
{
    QFile file(QStringLiteral(VELMORA_SOURCE_DIR "/tests/persist/ExceptionLoggerTest.cpp"));
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray tag = QByteArray("// line:") + marker;
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        if (file.readLine().trimmed().endsWith(tag)) {
            return number;
        }
    }
    return -1;
}

// Addresses differ from run to run; the tests compare everything else exactly.
QString withoutAddresses(QString title)
{
    static const QRegularExpression address(QStringLiteral("\\$[0-9A-F]{8,}"));
    return title.replace(address, QStringLiteral("$ADDR"));
}

QString where(const char* procedure, int line)
{
    return QStringLiteral("Module \"persist_log_tests\", Procedure \"%1\", Unit \"ExceptionLoggerTest.cpp\", Line %2")
        .arg(QString::fromUtf8(procedure))
        .arg(line);
}

class ExceptionLoggerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ExceptionTracker::start();
        m_log.setFileName(m_path);
        m_log.setAutoSave(true);
        registerLogException(m_log);
    }

    void TearDown() override
    {
        unregisterLogException();
        ExceptionTracker::stop();
    }

    // The titles as a restarted program reads them from the file.
    QStringList titlesOnDisk() const
    {
        LogFile reloaded;
        reloaded.setFileName(m_path);
        QStringList titles;
        for (const LogRecord& record : reloaded.records()) {
            titles.append(record.title);
        }
        return titles;
    }

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("error.log"));
    LogFile m_log;
};

TEST_F(ExceptionLoggerTest, TypedCatchTwoFramesUpWithACleanupFrameBetween)
{
    EXPECT_TRUE(logtest::typedCatch("disk > full"));

    const QStringList titles = titlesOnDisk();
    ASSERT_EQ(titles.size(), 11) << titles.join(QLatin1Char('\n')).toStdString();
    const QStringList expected {
        QString(),
        QStringLiteral("Exception logtest::Failure: disk > full"),
        QStringLiteral("  Exception occured at $ADDR (")
            + where("logtest::raiseFailure(char const*)", sourceLine("raise")) + QLatin1Char(')'),
        QStringLiteral("  Except frame-dump:"),
        QStringLiteral("    Frame at $ADDR (type: efkFinally)"),
        QStringLiteral("      Code at $ADDR"),
        QStringLiteral("      ") + where("logtest::cleanupStep(char const*)", sourceLine("cleanup-call")),
        QStringLiteral("    Frame at $ADDR (type: efkOnException, handles exception)"),
        QStringLiteral("      Handler at $ADDR"),
    };
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(withoutAddresses(titles[i]), expected[i]) << "entry " << i;
    }
    EXPECT_TRUE(titles[0].isEmpty());
    EXPECT_TRUE(titles[10].isEmpty());

    // The handler is the catch block's code, somewhere between the try and the catch's end.
    static const QRegularExpression handlerWhere(
        QStringLiteral("^      Module \"persist_log_tests\", Procedure \"logtest::typedCatch\\(char const\\*\\)\", "
                       "Unit \"ExceptionLoggerTest.cpp\", Line (\\d+)$"));
    const QRegularExpressionMatch match = handlerWhere.match(titles[9]);
    ASSERT_TRUE(match.hasMatch()) << titles[9].toStdString();
    const int handlerLine = match.captured(1).toInt();
    EXPECT_GE(handlerLine, sourceLine("try"));
    EXPECT_LE(handlerLine, sourceLine("catch-end"));

    // The file itself carries the doubled angle.
    QFile file(m_path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("]Error>Exception logtest::Failure: disk >> full>\r\n"));
}

TEST_F(ExceptionLoggerTest, CatchAllAndAnExceptionOutsideTheStandardHierarchy)
{
    EXPECT_TRUE(logtest::anyCatch());

    const QStringList titles = titlesOnDisk();
    ASSERT_EQ(titles.size(), 8) << titles.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(titles[1], QStringLiteral("Exception logtest::Plain"));
    EXPECT_EQ(withoutAddresses(titles[4]),
              QStringLiteral("    Frame at $ADDR (type: efkAnyException, handles exception)"));
    EXPECT_EQ(withoutAddresses(titles[5]), QStringLiteral("      Handler at $ADDR"));
    EXPECT_TRUE(titles[6].contains(QLatin1String("Procedure \"logtest::anyCatch()\""))) << titles[6].toStdString();
}

TEST_F(ExceptionLoggerTest, EachCaughtFailureOfAGuardedStepLeavesAGroup)
{
    EXPECT_EQ(logtest::guardedSteps(4), 2);

    const QStringList titles = titlesOnDisk();
    // Two groups; the raising function's own handler is the innermost frame, so each dump has one frame.
    ASSERT_EQ(titles.size(), 16) << titles.join(QLatin1Char('\n')).toStdString();
    for (int group = 0; group < 2; ++group) {
        const int at = group * 8;
        EXPECT_EQ(titles[at + 1], QStringLiteral("Exception logtest::Failure: item failed"));
        EXPECT_EQ(withoutAddresses(titles[at + 4]),
                  QStringLiteral("    Frame at $ADDR (type: efkOnException, handles exception)"));
        EXPECT_TRUE(titles[at + 6].contains(QLatin1String("Procedure \"logtest::guardedSteps(int)\"")))
            << titles[at + 6].toStdString();
        EXPECT_TRUE(titles[at + 7].isEmpty());
    }
}

TEST_F(ExceptionLoggerTest, AnUnwritableLogLeavesTheRaisedExceptionAlone)
{
    {
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    LogFile blocked;
    blocked.setFileName(m_dir.filePath(QStringLiteral("blocker/error.log")));
    blocked.setAutoSave(true);
    registerLogException(blocked);

    try {
        logtest::raiseFailure("the original failure");
        FAIL() << "no exception";
    } catch (const logtest::Failure& e) {
        EXPECT_STREQ(e.what(), "the original failure");
    }
    // The test body's own catch is the one frame.
    ASSERT_EQ(blocked.records().size(), 8);
    EXPECT_EQ(blocked.records()[1].title, QStringLiteral("Exception logtest::Failure: the original failure"));
    EXPECT_FALSE(blocked.errorString().isEmpty());

    // The next write that succeeds carries the entries kept in memory.
    blocked.setFileName(m_dir.filePath(QStringLiteral("moved.log")));
    blocked.setAutoSave(true);
    blocked.add(QStringLiteral("written"));
    LogFile reloaded;
    reloaded.setFileName(m_dir.filePath(QStringLiteral("moved.log")));
    ASSERT_EQ(reloaded.records().size(), 9);
    EXPECT_EQ(reloaded.records()[1].title, QStringLiteral("Exception logtest::Failure: the original failure"));
}

TEST_F(ExceptionLoggerTest, NothingIsLoggedOnceUnregistered)
{
    unregisterLogException();
    EXPECT_TRUE(logtest::typedCatch("after the window"));
    EXPECT_TRUE(m_log.records().isEmpty());
    EXPECT_FALSE(QFile::exists(m_path));
}

using ExceptionLoggerDeathTest = ExceptionLoggerTest;

TEST_F(ExceptionLoggerDeathTest, WithoutAHandlingFrameEveryFrameIsListed)
{
    EXPECT_DEATH(std::thread([] { logtest::mismatchedCatch(); }).join(), "");

    const QStringList titles = titlesOnDisk();
    ASSERT_GE(titles.size(), 11) << titles.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(titles[1], QStringLiteral("Exception logtest::Failure: nobody catches this"));
    EXPECT_EQ(withoutAddresses(titles[4]), QStringLiteral("    Frame at $ADDR (type: efkFinally)"));
    EXPECT_EQ(withoutAddresses(titles[7]), QStringLiteral("    Frame at $ADDR (type: efkOnException)"));
    EXPECT_TRUE(titles[9].contains(QLatin1String("Procedure \"logtest::mismatchedCatch()\"")));
    for (const QString& title : titles) {
        EXPECT_FALSE(title.contains(QLatin1String("handles exception"))) << title.toStdString();
        EXPECT_FALSE(title.startsWith(QLatin1String("      Handler at"))) << title.toStdString();
    }
    EXPECT_TRUE(titles.last().isEmpty());
}

TEST_F(ExceptionLoggerDeathTest, AFatalSignalLeavesAnOsExceptionGroup)
{
    struct Case
    {
        const char* name;
        void (*crash)();
    };
    const Case cases[] = {
        { "bad write", [] { *reinterpret_cast<volatile int*>(logtest::g_badAddress.load()) = 1; } },
        { "stack overflow", [] { static_cast<void>(logtest::overflowStack(0)); } },
    };
    for (const Case& c : cases) {
        QFile::remove(m_path);
        // An entry before the crash stays in front of the crash's group.
        m_log.add(QStringLiteral("before"));
        EXPECT_EXIT(c.crash(), ::testing::KilledBySignal(SIGSEGV), "") << c.name;

        QStringList titles = titlesOnDisk();
        ASSERT_GE(titles.size(), 6) << c.name << ": " << titles.join(QLatin1Char('\n')).toStdString();
        titles = titles.mid(titles.size() - 6);
        EXPECT_EQ(titles[0], QStringLiteral("before"));
        EXPECT_TRUE(titles[1].isEmpty());
        EXPECT_TRUE(titles[2].startsWith(QLatin1String("Exception SIGSEGV: Access violation at address $")))
            << titles[2].toStdString();
        EXPECT_TRUE(titles[2].endsWith(QLatin1String(" (OS Exception)"))) << titles[2].toStdString();
        EXPECT_EQ(titles[3],
                  QStringLiteral("  Exception occured at $00000000 (Module \"\", Procedure \"\", Unit \"\", Line 0)"));
        EXPECT_EQ(titles[4], QStringLiteral("  Except frame-dump:"));
        EXPECT_TRUE(titles[5].isEmpty());
    }
}

} // namespace
