#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace velmora {

// A mail to be prepared in the user's default mail client; the user reviews and sends it there.
struct MailMessage
{
    QString recipient;
    QString subject;
    QString body;
    // Full paths, attached in this order.
    QStringList attachments;
};

// Raised when the mail cannot be handed to a mail client.
class MailError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Hands a mail to the default mail client through xdg-email, run as a child process with an argument list
// (never through a shell, so no text of the mail is ever interpreted).
class MailHandOver
{
public:
    // The program is "xdg-email", or what the environment variable VELMORA_XDG_EMAIL names.
    MailHandOver();

    QString program() const { return m_program; }
    void setProgram(const QString& program) { m_program = program; }
    // How long send() waits for the program to return before it leaves it running on its own.
    void setWaitMilliseconds(int milliseconds) { m_waitMs = milliseconds; }

    static QStringList arguments(const MailMessage& mail);

    // Opens the compose window. Throws MailError "No Simple MAPI client installed, cannot send the message"
    // when the program is missing, cannot start or finds no mail client; "MAPI Error: (n) "text"" for another
    // failure it reports. A program still running after the wait (the mail client's compose window is open)
    // is left to run.
    void send(const MailMessage& mail) const;

private:
    QString m_program;
    int m_waitMs = 5000;
};

} // namespace velmora
