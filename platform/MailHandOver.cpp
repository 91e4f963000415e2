#include "MailHandOver.h"

#include <QCoreApplication>
#include <QProcess>

namespace velmora {

namespace {

    const char* const kNoClient = "No Simple MAPI client installed, cannot send the message";

    // Exit codes of xdg-email.
    QString failureText(int code)
    {
        switch (code) {
        case 1:
            return QStringLiteral("Error in command line syntax");
        case 2:
            return QStringLiteral("One of the attached files does not exist");
        case 4:
            return QStringLiteral("The action failed");
        case 5:
            return QStringLiteral("No permission to read one of the attached files");
        default:
            return QStringLiteral("Unknown failure");
        }
    }

} // namespace

MailHandOver::MailHandOver()
    : m_program(qEnvironmentVariable("VELMORA_XDG_EMAIL", QStringLiteral("xdg-email")))
{
}

QStringList MailHandOver::arguments(const MailMessage& mail)
{
    // Qt hands arguments over as UTF-8 whatever the locale says, which --utf8 tells xdg-email.
    QStringList args { QStringLiteral("--utf8"), QStringLiteral("--subject"), mail.subject, QStringLiteral("--body"),
                       mail.body };
    for (const QString& file : mail.attachments) {
        args << QStringLiteral("--attach") << file;
    }
    args << mail.recipient;
    return args;
}

void MailHandOver::send(const MailMessage& mail) const
{
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(m_program);
    process->setArguments(arguments(mail));
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        throw MailError(kNoClient);
    }
    if (!process->waitForFinished(m_waitMs)) {
        // The compose window is open and the program waits for the mail client; let it run and clean up after.
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return;
    }
    const bool crashed = process->exitStatus() != QProcess::NormalExit;
    const int code = process->exitCode();
    delete process;
    if (crashed) {
        throw MailError(kNoClient);
    }
    if (code == 0) {
        return;
    }
    if (code == 3) {
        // xdg-email found no tool to open a mail with.
        throw MailError(kNoClient);
    }
    throw MailError(QStringLiteral("MAPI Error: (%1) \"%2\"").arg(code).arg(failureText(code)).toStdString());
}

} // namespace velmora
