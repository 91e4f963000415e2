#include "WindowTestSupport.h"

#include "app/TAboutForm.h"
#include "app/WebLinks.h"
#include "platform/MailHandOver.h"
#include "platform/OsRelease.h"
#include "platform/Version.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

class AboutFormTest : public ::testing::Test, public WindowFixture
{
protected:
    // A stand-in for xdg-email that writes each argument followed by a marker line.
    QString standIn(int exitCode = 0)
    {
        const QString path = temp.filePath(QStringLiteral("xdg-email"));
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(
            QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n--end--\\n' \"$a\"; done > '%1'\nexit %2\n")
                .arg(argsFile())
                .arg(exitCode)
                .toUtf8());
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    }
    QString argsFile() const { return temp.filePath(QStringLiteral("args.txt")); }
    QStringList recorded() const
    {
        QFile file(argsFile());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QStringList args = QString::fromUtf8(file.readAll()).split(QStringLiteral("\n--end--\n"));
        args.removeLast();
        return args;
    }
};

void touch(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("x");
}

} // namespace

TEST_F(AboutFormTest, ShowsVersionLinkAndTheReadmeOfTheMoment)
{
    auto window = makeWindow(storeWithDuplicates());
    TAboutForm about(*window);
    QTemporaryDir programFolder;
    about.setReadmeFolder(programFolder.path());
    EXPECT_TRUE(about.isHidden());
    EXPECT_EQ(about.size(), QSize(320, 272));

    about.show();
    EXPECT_TRUE(about.AboutText->text().startsWith(QStringLiteral("Velmora for Outlook Express ") + GetAppVersion()
                                                   + QStringLiteral("<p>")));
    EXPECT_TRUE(about.AboutText->text().contains(QStringLiteral("2014")));
    EXPECT_EQ(about.WebPageLink->text(),
              QStringLiteral("Velmora for Outlook Express web page:<br><a href=\"")
                  + links::productPage().toHtmlEscaped() + QStringLiteral("\">") + links::productPage()
                  + QStringLiteral("</a>"));
    EXPECT_EQ(about.LicMemo->toPlainText().split(QLatin1Char('\n')), TAboutForm::LicLines);
    EXPECT_TRUE(about.OKButton->hasFocus() || !about.isActiveWindow());

    // A click anywhere on the link label opens the product's page.
    QTest::mouseClick(about.WebPageLink, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(prompts->urls, QStringList { links::productPage() });
    about.OKButton->click();
    EXPECT_TRUE(about.isHidden());

    // A readme put beside the program while it runs shows at the next opening.
    QFile readme(QDir(programFolder.path()).filePath(TAboutForm::ReadmeName));
    ASSERT_TRUE(readme.open(QIODevice::WriteOnly));
    readme.write("Thanks to everyone.\nSecond line.\n");
    readme.close();
    about.show();
    EXPECT_EQ(about.LicMemo->toPlainText(), QStringLiteral("Thanks to everyone.\nSecond line.\n"));
    about.hide();
}

TEST_F(AboutFormTest, ErrorReportHandsTheMailToTheMailClient)
{
    auto window = makeWindow(storeWithDuplicates());
    window->mailHandOver().setProgram(standIn());
    const QString subject
        = QStringLiteral("Velmora for Outlook Express ") + GetAppVersion() + QStringLiteral(" support request");
    const QString body = QStringLiteral("Please describe your problem here.\r\n\r\nWindows version: ")
        + systemProductName() + QStringLiteral("\r\nOffice version: Outlook Express or Windows Mail Version: ");

    // Neither file exists yet: no attachment. The menu works without the About box ever shown.
    QFile::remove(window->errorLogFileName());
    window->SendErrorReport->trigger();
    EXPECT_EQ(recorded(), (QStringList { "--utf8", "--subject", subject, "--body", body, links::supportMailbox() }));

    // Both exist: the error log first, then the configuration file.
    touch(window->errorLogFileName());
    touch(window->configFileName());
    window->SendErrorReport->trigger();
    EXPECT_EQ(recorded(),
              (QStringList { "--utf8", "--subject", subject, "--body", body, "--attach", window->errorLogFileName(),
                             "--attach", window->configFileName(), links::supportMailbox() }));

    // Without a mail client the report raises; the application's event handler drops it.
    window->mailHandOver().setProgram(temp.filePath(QStringLiteral("no-such-client")));
    try {
        window->SendErrorReportClick();
        ADD_FAILURE() << "no error raised";
    } catch (const MailError& e) {
        EXPECT_STREQ(e.what(), "No Simple MAPI client installed, cannot send the message");
    }
    TAboutForm about(*window);
    about.show();
    QTest::mouseClick(about.SendErrorReportButton, Qt::LeftButton);
    EXPECT_TRUE(about.isVisible());
}

TEST_F(AboutFormTest, ReportWithoutStoreHasAnEmptyOfficeVersion)
{
    auto window = makeWindow(nullptr);
    window->mailHandOver().setProgram(standIn());
    window->SendErrorReportClick();
    const QStringList args = recorded();
    ASSERT_GE(args.size(), 5);
    EXPECT_TRUE(args[4].endsWith(QStringLiteral("\r\nOffice version: ")));
}
