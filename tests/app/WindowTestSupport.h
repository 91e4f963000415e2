#pragma once

#include "app/TMainForm.h"
#include "app/UserPrompts.h"
#include "store/MemoryStore.h"

#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>

namespace velmora::test {

// The application object every window test needs, created once, offscreen unless told otherwise.
void ensureApplication();

// Answers the window's questions from a queue (No when empty) and records everything it was asked to show.
class RecordingPrompts : public UserPrompts
{
public:
    void showMessage(QWidget*, const QString& text) override { messages << text; }
    bool askYesNo(QWidget*, const QString& text, bool withIcon) override
    {
        questions << text;
        questionIcons << withIcon;
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void openUrl(const QUrl& url) override { urls << url.toString(); }
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return chosenFolder; }

    QStringList messages;
    QStringList questions;
    QList<bool> questionIcons;
    QStringList urls;
    std::deque<bool> answers;
    QString chosenFolder;
};

// A window over a store, with its data folder in a temporary folder.
struct WindowFixture
{
    WindowFixture();

    // `store` null: no store can be opened.
    std::unique_ptr<TMainForm> makeWindow(MailStorePtr store, bool officeOutlook = false);
    // A window on a directory of the disk, opened as a file store.
    std::unique_ptr<TMainForm> makeFileWindow(const QString& directory);

    QTemporaryDir temp;
    QString dataFolder;
    std::shared_ptr<RecordingPrompts> prompts = std::make_shared<RecordingPrompts>();
};

// A store with one folder "Inbox" below the root holding two equal messages and one other.
std::shared_ptr<MemoryStore> storeWithDuplicates(const QString& identity = QStringLiteral("memory:/a"));

// Ticks the folder row named `name` (through the tree's check logic).
void tickFolder(TMainForm& window, const QString& name);

} // namespace velmora::test
