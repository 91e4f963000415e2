#include "UserPrompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace velmora {

void QtUserPrompts::showMessage(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtUserPrompts::askYesNo(QWidget* owner, const QString& text, bool withIcon)
{
    QMessageBox box(withIcon ? QMessageBox::Question : QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
}

void QtUserPrompts::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

QString QtUserPrompts::chooseFolder(QWidget* owner, const QString& caption, const QString& start)
{
    return QFileDialog::getExistingDirectory(owner, caption, start, QFileDialog::ShowDirsOnly);
}

} // namespace velmora
