#include "platform/MailHandOver.h"
#include "platform/OsRelease.h"
#include "platform/Version.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;

TEST(Version, ShowsTheFirstThreeNumbers)
{
    const struct
    {
        const char* full;
        const char* shown;
    } cases[] = {
        { "1.2.3.4", "1.2.3" }, { "1.2.3", "1.2.3" }, { "10.0.07", "10.0.7" },
        { "1.2", "" },          { "", "" },           { "1.x.3", "" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shortVersion(QString::fromLatin1(c.full)), QString::fromLatin1(c.shown)) << c.full;
    }
    // The build's own version always has its three numbers.
    EXPECT_EQ(GetAppVersion().split(QLatin1Char('.')).size(), 3);
}

TEST(OsRelease, ReadsThePrettyName)
{
    QTemporaryDir dir;
    const struct
    {
        const char* content;
        const char* name;
    } cases[] = {
        { "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "Debian GNU/Linux 12 (bookworm)" },
        { "PRETTY_NAME='Single quoted'\n", "Single quoted" },
        { "PRETTY_NAME=Bare\n", "Bare" },
        { "PRETTY_NAME=\"Say \\\"hi\\\"\"\n", "Say \"hi\"" },
        { "NAME=Nothing pretty\n", "" },
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QStringLiteral("os-release"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        EXPECT_EQ(systemProductName(path), QString::fromUtf8(c.name)) << c.content;
    }
    EXPECT_EQ(systemProductName(dir.filePath(QStringLiteral("missing"))), QString());
}

namespace {

// A stand-in for xdg-email that records one argument per line and exits with the given code.
QString writeStandIn(const QTemporaryDir& dir, int exitCode)
{
    const QString path = dir.filePath(QStringLiteral("xdg-email"));
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n--end--\\n' \"$a\"; done > '%1'\nexit %2\n")
                   .arg(dir.filePath(QStringLiteral("args.txt")))
                   .arg(exitCode)
                   .toUtf8());
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

QStringList recordedArguments(const QTemporaryDir& dir)
{
    QFile file(dir.filePath(QStringLiteral("args.txt")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList args = QString::fromUtf8(file.readAll()).split(QStringLiteral("\n--end--\n"));
    args.removeLast();
    return args;
}

} // namespace

TEST(MailHandOver, PassesTheMailAsSeparateArgumentsWithoutAShell)
{
    QTemporaryDir dir;
    MailHandOver handOver;
    handOver.setProgram(writeStandIn(dir, 0));
    // Shell metacharacters and line breaks must arrive untouched.
    const MailMessage mail { QStringLiteral("support@example.com"),
                             QStringLiteral("Subject $(touch x); `id` 'q'"),
                             QStringLiteral("Line one\r\n\r\nLine \"two\""),
                             { QStringLiteral("/tmp/a b/error.log"), QStringLiteral("/tmp/config.xml") } };
    handOver.send(mail);
    EXPECT_EQ(recordedArguments(dir),
              (QStringList { QStringLiteral("--utf8"), QStringLiteral("--subject"), mail.subject,
                             QStringLiteral("--body"), mail.body, QStringLiteral("--attach"),
                             QStringLiteral("/tmp/a b/error.log"), QStringLiteral("--attach"),
                             QStringLiteral("/tmp/config.xml"), QStringLiteral("support@example.com") }));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath(QStringLiteral("x"))));
}

TEST(MailHandOver, MissingClientAndFailuresRaise)
{
    QTemporaryDir dir;
    MailHandOver handOver;
    const MailMessage mail { QStringLiteral("a@b.c"), QStringLiteral("s"), QStringLiteral("b"), {} };

    handOver.setProgram(dir.filePath(QStringLiteral("no-such-program")));
    try {
        handOver.send(mail);
        ADD_FAILURE() << "no error raised";
    } catch (const MailError& e) {
        EXPECT_STREQ(e.what(), "No Simple MAPI client installed, cannot send the message");
    }

    handOver.setProgram(writeStandIn(dir, 3));
    EXPECT_THROW(handOver.send(mail), MailError);

    handOver.setProgram(writeStandIn(dir, 4));
    try {
        handOver.send(mail);
        ADD_FAILURE() << "no error raised";
    } catch (const MailError& e) {
        EXPECT_STREQ(e.what(), "MAPI Error: (4) \"The action failed\"");
    }
}

TEST(MailHandOver, TheEnvironmentChoosesTheProgram)
{
    qputenv("VELMORA_XDG_EMAIL", "/opt/stand-in");
    EXPECT_EQ(MailHandOver().program(), QStringLiteral("/opt/stand-in"));
    qunsetenv("VELMORA_XDG_EMAIL");
    EXPECT_EQ(MailHandOver().program(), QStringLiteral("xdg-email"));
}
