#include "TAboutForm.h"

#include "AppIcon.h"
#include "Scale.h"
#include "TMainForm.h"
#include "UserPrompts.h"
#include "WebLinks.h"

#include "platform/MailHandOver.h"
#include "platform/OsRelease.h"
#include "platform/Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

namespace velmora {

namespace {

    // The year of the rights notice comes from the build date the box was designed with.
    const char* const kBuildDate = "20140210";

} // namespace

const QStringList TAboutForm::LicLines { QStringLiteral("This program contains:"),
                                         QStringLiteral("JVCL source code that can be obtained from "),
                                         QStringLiteral("https://github.com/project-jedi/jvcl") };
const QString TAboutForm::ReadmeName = QStringLiteral("readme_tavi.txt");

TAboutForm::TAboutForm(TMainForm& mainForm)
    : QDialog(&mainForm)
    , m_mainForm(mainForm)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    setFont(mainForm.font());
    setFixedSize(px(this, 320), px(this, 272));
    setModal(true);

    const auto place = [this](QWidget* widget, int x, int y, int w, int h) {
        widget->setGeometry(px(this, x), px(this, y), px(this, w), px(this, h));
    };

    KestrunLogo = new QLabel(this);
    KestrunLogo->setObjectName(QStringLiteral("KestrunLogo"));
    KestrunLogo->setPixmap(velmoraIcon().pixmap(px(this, 64), px(this, 64)));
    place(KestrunLogo, 8, 8, 64, 64);

    AboutText = new QLabel(this);
    AboutText->setObjectName(QStringLiteral("AboutText"));
    AboutText->setTextFormat(Qt::RichText);
    AboutText->setWordWrap(true);
    AboutText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(AboutText, 86, 7, 234 - 8, 136);

    WebPageLink = new QLabel(this);
    WebPageLink->setObjectName(QStringLiteral("WebPageLink"));
    WebPageLink->setTextFormat(Qt::RichText);
    WebPageLink->setWordWrap(true);
    WebPageLink->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    WebPageLink->setCursor(Qt::PointingHandCursor);
    // A click anywhere on the label opens the page, so the label handles the mouse itself.
    WebPageLink->setTextInteractionFlags(Qt::NoTextInteraction);
    WebPageLink->installEventFilter(this);
    place(WebPageLink, 8, 147, 304, 36);

    LicMemo = new QPlainTextEdit(this);
    LicMemo->setObjectName(QStringLiteral("LicMemo"));
    LicMemo->setReadOnly(true);
    LicMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    LicMemo->setPlainText(LicLines.join(QLatin1Char('\n')));
    place(LicMemo, 8, 186, 304, 48);

    SendErrorReportButton = new QPushButton(QStringLiteral("Send Error Report"), this);
    SendErrorReportButton->setObjectName(QStringLiteral("SendErrorReportButton"));
    place(SendErrorReportButton, 106, 240, 125, 25);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    place(OKButton, 237, 240, 75, 25);

    connect(SendErrorReportButton, &QPushButton::clicked, this, [this] { SendErrorReportButtonClick(m_mainForm); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
}

QString TAboutForm::readmeFolder() const
{
    return m_readmeFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_readmeFolder;
}

void TAboutForm::showModal()
{
    exec();
}

void TAboutForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
    OKButton->setFocus();
}

void TAboutForm::FormShow()
{
    QFile readme(QDir(readmeFolder()).filePath(ReadmeName));
    if (readme.open(QIODevice::ReadOnly)) {
        // A readme is a few lines; a huge file is cut rather than read whole.
        LicMemo->setPlainText(QString::fromLocal8Bit(readme.read(1024 * 1024)));
    }

    const QString year = QString::fromLatin1(kBuildDate).left(4);
    AboutText->setText(linkMarkupToHtml(QStringLiteral("Velmora for Outlook Express ") + GetAppVersion()
                                            + QStringLiteral("<p>Copyright &copy; ") + year
                                            + QStringLiteral(" Kestrun. All rights reserved.")
                                            + QStringLiteral("<p>This program is protected by copyright law."),
                                        QString()));
    WebPageLink->setText(
        linkMarkupToHtml(QStringLiteral("Velmora for Outlook Express web page:<br><link>") + links::productPage(),
                         links::productPage()));
}

QString TAboutForm::linkMarkupToHtml(const QString& markup, const QString& address)
{
    QString html = markup;
    const qsizetype link = html.indexOf(QLatin1String("<link>"));
    if (link >= 0) {
        html.replace(link, 6, QStringLiteral("<a href=\"%1\">").arg(address.toHtmlEscaped()));
        html += QStringLiteral("</a>");
    }
    return html;
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == WebPageLink && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        WebPageLinkClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::WebPageLinkClick()
{
    m_mainForm.prompts().openUrl(QUrl(links::productPage()));
}

void TAboutForm::OKButtonClick()
{
    accept();
}

void TAboutForm::SendErrorReportButtonClick(TMainForm& mainForm)
{
    MailMessage mail;
    mail.recipient = links::supportMailbox();
    mail.subject
        = QStringLiteral("Velmora for Outlook Express ") + GetAppVersion() + QStringLiteral(" support request");
    mail.body = QStringLiteral("Please describe your problem here.\r\n\r\nWindows version: ") + systemProductName()
        + QStringLiteral("\r\nOffice version: ") + mainForm.OfficeVersion;
    for (const QString& file : { mainForm.errorLogFileName(), mainForm.configFileName() }) {
        if (!file.isEmpty() && QFile::exists(file)) {
            mail.attachments << file;
        }
    }
    mainForm.mailHandOver().send(mail);
}

} // namespace velmora
