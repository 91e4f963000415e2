#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace velmora {

// What the window asks of the user and of the desktop. The window's tests replace it to answer questions
// and record what would have been shown or opened.
class UserPrompts
{
public:
    virtual ~UserPrompts() = default;

    // A message with an OK button.
    virtual void showMessage(QWidget* owner, const QString& text) = 0;
    // A Yes/No question; `withIcon` adds the question icon. True for Yes.
    virtual bool askYesNo(QWidget* owner, const QString& text, bool withIcon) = 0;
    // Hands a web page to the default browser; whether that worked is not looked at.
    virtual void openUrl(const QUrl& url) = 0;
    // A folder chosen by the user; empty when the choice was cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& caption, const QString& start) = 0;
};

// The real dialogs and the desktop's URL handler.
class QtUserPrompts : public UserPrompts
{
public:
    void showMessage(QWidget* owner, const QString& text) override;
    bool askYesNo(QWidget* owner, const QString& text, bool withIcon) override;
    void openUrl(const QUrl& url) override;
    QString chooseFolder(QWidget* owner, const QString& caption, const QString& start) override;
};

} // namespace velmora
