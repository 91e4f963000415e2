#include "WindowTestSupport.h"

#include "app/FieldCheckList.h"
#include "app/models/TreeItemModel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QSplitter>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

class StartupTest : public ::testing::Test, public WindowFixture
{
};

const TreeNode* findFolder(TMainForm& window, const QString& name)
{
    const TreeModel& tree = window.folderTree().model();
    for (const TreeNode* node = tree.firstNode(); node; node = tree.nextNode(node)) {
        if (node->data().Subject == name) {
            return node;
        }
    }
    return nullptr;
}

} // namespace

// What the user set is saved on close and comes back at the next start, through the user's data folder.
TEST_F(StartupTest, ClosingSavesSettingsAndTheNextStartRestoresThem)
{
    const QByteArray oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", temp.filePath(QStringLiteral("config")).toUtf8());
    dataFolder.clear(); // the window finds its data folder itself
    auto store = storeWithDuplicates();
    const QString configFile = temp.filePath(QStringLiteral("config/Kestrun/Velmora for Outlook Express/config.xml"));
    {
        auto window = makeWindow(store);
        window->show();
        EXPECT_EQ(window->HSplitter->sizes()[0], 240);
        EXPECT_EQ(window->VSplitter->sizes()[0], 196);
        window->EmailsCheckList->item(0)->click(); // Subject off
        window->EmailsCheckList->item(4)->click(); // Size on
        tickFolder(*window, QStringLiteral("Inbox"));
        window->ItemsVST->header()->resizeSection(1, 150);
        window->MarkAsDuplicatesGroup->button(2)->setChecked(true);
        window->MoveToDeletedItemsRadio->setChecked(true);
        window->HSplitter->setSizes({ 300, 500 });
        window->close();
        // Nothing reaches the disk before the end.
        EXPECT_FALSE(QFile::exists(configFile));
    }
    ASSERT_TRUE(QFile::exists(configFile));

    auto window = makeWindow(store);
    window->show();
    EXPECT_FALSE(window->EmailsCheckList->isChecked(0));
    EXPECT_TRUE(window->EmailsCheckList->isChecked(1));
    EXPECT_TRUE(window->EmailsCheckList->isChecked(4));
    EXPECT_FALSE(window->fieldTicks().isChecked(SearchField::Subject));
    const TreeNode* inbox = findFolder(*window, QStringLiteral("Inbox"));
    ASSERT_NE(inbox, nullptr);
    EXPECT_EQ(inbox->checkState(), CheckState::Checked);
    EXPECT_EQ(window->ItemsVST->header()->sectionSize(1), 150);
    EXPECT_EQ(window->MarkAsDuplicatesGroup->checkedId(), 2);
    EXPECT_EQ(window->resultsTree().markAsDuplicates(), 2);
    EXPECT_TRUE(window->MoveToDeletedItemsRadio->isChecked());
    EXPECT_FALSE(window->runs().deleteForGood());
    EXPECT_EQ(window->HSplitter->sizes()[0], 300);

    window->close();
    window.reset();
    if (oldConfigHome.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", oldConfigHome);
    }
}

TEST_F(StartupTest, OfficeOutlookQuestionIsAskedOnce)
{
    for (const bool answer : { true, false }) {
        QTemporaryDir folder;
        dataFolder = folder.path();
        prompts = std::make_shared<RecordingPrompts>();
        for (int start = 0; start < 2; ++start) {
            prompts->answers = { answer };
            auto window = makeWindow(storeWithDuplicates(), true);
            window->show();
            window->close();
        }
        ASSERT_EQ(prompts->questions.size(), 1);
        EXPECT_EQ(prompts->questions[0], TMainForm::OfficeOutlookQuestion);
        EXPECT_FALSE(prompts->questionIcons[0]);
        EXPECT_EQ(prompts->urls.size(), answer ? 1 : 0);
    }

    // Without Office Outlook there is no question and nothing is written about it.
    QTemporaryDir folder;
    dataFolder = folder.path();
    prompts = std::make_shared<RecordingPrompts>();
    {
        auto window = makeWindow(storeWithDuplicates(), false);
        window->show();
        window->close();
    }
    EXPECT_TRUE(prompts->questions.isEmpty());
    QFile config(folder.filePath(QStringLiteral("config.xml")));
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    EXPECT_FALSE(config.readAll().contains("OutlookChecked"));
}

// The start-up store: the one named, else the one opened last.
TEST_F(StartupTest, TheStoreOpenedLastIsOpenedAgain)
{
    const QString storeDir = temp.filePath(QStringLiteral("mail"));
    QDir().mkpath(storeDir + QStringLiteral("/cur"));
    QDir().mkpath(storeDir + QStringLiteral("/new"));
    {
        auto window = makeFileWindow(storeDir);
        window->show();
        window->close();
    }
    auto window = makeFileWindow(QString());
    window->show();
    EXPECT_TRUE(prompts->messages.isEmpty());
    EXPECT_EQ(window->session().IsOEAPIActive(), 1);
    ASSERT_EQ(window->folderTree().model().rootCount(), 1);
}

// Closing during a search saves at once; the search still runs to its end.
TEST_F(StartupTest, ClosingDuringASearchSavesAtOnceAndTheSearchFinishes)
{
    auto window = makeWindow(storeWithDuplicates());
    window->show();
    tickFolder(*window, QStringLiteral("Inbox"));
    bool savedWhileBusy = false;
    QObject::connect(window->ProgressBar, &QProgressBar::valueChanged, window.get(), [&](int value) {
        if (value == 1 && window->isVisible()) {
            window->close();
            savedWhileBusy = window->isRunBusy()
                && window->formStorage().valueStored(QStringLiteral("CLB\\EmailsCheckList\\Item0"));
        }
    });
    window->SearchButtonClick();
    EXPECT_TRUE(savedWhileBusy);
    EXPECT_EQ(window->StatusPanel1->text(), QStringLiteral("1 duplicates and 1 original items found."));
}

// Insert ticks the focused folder alone, as the folder tree's key handling does.
TEST_F(StartupTest, InsertOnTheFolderTreeTicksOneFolder)
{
    auto window = makeWindow(storeWithDuplicates());
    window->show();
    TreeModel& tree = window->folderTree().model();
    TreeNode* root = tree.firstNode();
    ASSERT_NE(root, nullptr);
    window->FoldersVST->setFocus();
    window->FoldersVST->setCurrentIndex(window->foldersModel()->indexFromNode(root));
    QTest::keyClick(window->FoldersVST, Qt::Key_Insert);
    EXPECT_EQ(root->checkState(), CheckState::Checked);
    EXPECT_EQ(root->child(0)->checkState(), CheckState::Unchecked);
    QTest::keyClick(window->FoldersVST, Qt::Key_Delete);
    EXPECT_EQ(root->checkState(), CheckState::Unchecked);
}
