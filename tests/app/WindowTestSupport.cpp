#include "WindowTestSupport.h"

#include "app/VelmoraApplication.h"
#include "store/FileStore.h"

#include <QDir>

namespace velmora::test {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "velmora_window_tests";
    static char* argv[] = { name, nullptr };
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Never destroyed: tearing it down among the exit handlers would outlive Qt's own globals.
    static VelmoraApplication* app = new VelmoraApplication(argc, argv);
    (void)app;
}

WindowFixture::WindowFixture()
    : dataFolder(temp.filePath(QStringLiteral("data")))
{
    ensureApplication();
}

std::unique_ptr<TMainForm> WindowFixture::makeWindow(MailStorePtr store, bool officeOutlook)
{
    MainFormOptions options;
    options.dataFolder = dataFolder;
    options.storeArgument = temp.filePath(QStringLiteral("store"));
    options.prompts = prompts;
    options.isOfficeOutlookInstalled = [officeOutlook] { return officeOutlook; };
    options.openStore = [store](const QString&) -> MailStorePtr {
        if (!store) {
            throw StoreError("no store");
        }
        return store;
    };
    return std::make_unique<TMainForm>(std::move(options));
}

std::unique_ptr<TMainForm> WindowFixture::makeFileWindow(const QString& directory)
{
    MainFormOptions options;
    options.dataFolder = dataFolder;
    options.storeArgument = directory;
    options.prompts = prompts;
    options.isOfficeOutlookInstalled = [] { return false; };
    return std::make_unique<TMainForm>(std::move(options));
}

std::shared_ptr<MemoryStore> storeWithDuplicates(const QString& identity)
{
    auto store = MemoryStore::create(QStringLiteral("Local Folders"), identity);
    const OEId inbox = store->addFolder(store->rootId(), QStringLiteral("Inbox"));
    MemoryMessage same;
    same.subject = QStringLiteral("Lunch");
    same.body = QStringLiteral("Noon at the usual place");
    same.htmlBody = QStringLiteral("<p>Noon at the usual place</p>");
    store->addMessage(inbox, same);
    store->addMessage(inbox, same);
    MemoryMessage other;
    other.subject = QStringLiteral("Report");
    other.body = QStringLiteral("Attached");
    store->addMessage(inbox, other);
    return store;
}

void tickFolder(TMainForm& window, const QString& name)
{
    TreeModel& tree = window.folderTree().model();
    for (TreeNode* node = tree.firstNode(); node; node = tree.nextNode(node)) {
        if (node->data().Subject == name) {
            tree.setCheckState(node, CheckState::Checked);
            return;
        }
    }
}

} // namespace velmora::test
