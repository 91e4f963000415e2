#include "WindowTestSupport.h"

#include "app/FieldCheckList.h"
#include "app/FlatButton.h"
#include "app/PreviewBrowser.h"
#include "app/VelmoraApplication.h"
#include "app/models/TreeItemModel.h"
#include "platform/ExceptionTracker.h"

#include <QBuffer>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextDocument>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::test;

namespace {

class MainWindowTest : public ::testing::Test, public WindowFixture
{
};

void expectIdle(TMainForm& window)
{
    EXPECT_EQ(window.StatusPanel0->width(), 0);
    EXPECT_TRUE(window.ProgressBar->isHidden());
    EXPECT_TRUE(window.SearchButton->isEnabled());
    EXPECT_TRUE(window.RemoveButton->isEnabled());
}

} // namespace

TEST_F(MainWindowTest, SwitchViewButtonsChooseThePageAndItsHint)
{
    auto window = makeWindow(storeWithDuplicates());
    window->show();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velmora for Outlook Express and Windows Mail"));
    EXPECT_EQ(window->MainPage->currentIndex(), 0);
    EXPECT_EQ(window->Hints->text(), TMainForm::HintH1);

    const struct
    {
        FlatButton* button;
        int page;
        QString hint;
    } cases[] = {
        { window->RemovalSettingsButton, 2, QString() },
        { window->ResultsButton, 0, TMainForm::HintH1 },
        { window->SearchSettingsButton, 1, TMainForm::HintH2 },
    };
    for (const auto& c : cases) {
        c.button->click();
        EXPECT_EQ(window->MainPage->currentIndex(), c.page) << c.button->text().toStdString();
        EXPECT_EQ(window->Hints->text(), c.hint) << c.button->text().toStdString();
        // The buttons never stay pressed.
        EXPECT_FALSE(c.button->isChecked());
    }
    // The hint line renders its markup instead of showing it.
    EXPECT_EQ(window->Hints->textFormat(), Qt::RichText);
}

TEST_F(MainWindowTest, SearchFromASettingsViewShowsTheResults)
{
    auto window = makeWindow(storeWithDuplicates());
    window->show();
    tickFolder(*window, QStringLiteral("Inbox"));
    for (FlatButton* view : { window->SearchSettingsButton, window->RemovalSettingsButton }) {
        view->click();
        window->SearchButton->click();
        EXPECT_EQ(window->MainPage->currentIndex(), 0);
        EXPECT_EQ(window->resultsTree().model().rootCount(), 1);
        EXPECT_EQ(window->StatusPanel1->text(), QStringLiteral("1 duplicates and 1 original items found."));
    }
}

// Panel 0 and the progress bar go back to idle on every way out of a run, also when the store raises.
TEST_F(MainWindowTest, AfterARunTheStatusBarIsIdleAndCommandsAreEnabled)
{
    for (const bool raising : { false, true }) {
        auto store = storeWithDuplicates();
        if (raising) {
            store->failOn(StoreOp::GetFolder);
            store->failOn(StoreOp::Delete);
        }
        auto window = makeWindow(store);
        window->show();
        expectIdle(*window);

        // While the run is busy, panel 0 is 400 wide and holds exactly the bar.
        int busyPanelWidth = -1;
        bool barFillsPanel = false;
        bool commandsDisabled = false;
        QObject::connect(window->ProgressBar, &QProgressBar::valueChanged, window.get(), [&] {
            QCoreApplication::processEvents();
            busyPanelWidth = window->StatusPanel0->width();
            barFillsPanel = window->ProgressBar->geometry() == window->StatusPanel0->rect();
            commandsDisabled = !window->SearchButton->isEnabled() && !window->RemoveButton->isEnabled();
        });
        tickFolder(*window, QStringLiteral("Inbox"));
        window->SearchButtonClick();
        expectIdle(*window);
        if (!raising) {
            EXPECT_EQ(busyPanelWidth, 400);
            EXPECT_TRUE(barFillsPanel);
            EXPECT_TRUE(commandsDisabled);
        }

        prompts->answers = { true };
        window->RemoveButtonClick();
        expectIdle(*window);
    }
}

TEST_F(MainWindowTest, CancelWhileIdleChangesNothing)
{
    auto window = makeWindow(storeWithDuplicates());
    window->show();
    window->SearchSettingsButton->click();
    window->CancelButton->click();
    EXPECT_EQ(window->MainPage->currentIndex(), 1);
    EXPECT_EQ(window->Hints->text(), TMainForm::HintH2);
    EXPECT_EQ(window->StatusPanel1->text(), QString());
    expectIdle(*window);

    // The next run starts normally.
    tickFolder(*window, QStringLiteral("Inbox"));
    window->SearchButton->click();
    EXPECT_EQ(window->resultsTree().model().rootCount(), 1);
}

TEST_F(MainWindowTest, CancelStopsARunningSearch)
{
    auto store = storeWithDuplicates();
    const OEId inbox = *store->findFolder(QStringLiteral("Inbox"));
    for (int i = 0; i < 20; ++i) {
        MemoryMessage copy;
        copy.subject = QStringLiteral("Lunch");
        copy.body = QStringLiteral("Noon at the usual place");
        store->addMessage(inbox, copy);
    }
    auto window = makeWindow(store);
    window->show();
    tickFolder(*window, QStringLiteral("Inbox"));
    // Cancel arrives through the pump, as a click would.
    QObject::connect(window->ProgressBar, &QProgressBar::valueChanged, window.get(), [&](int value) {
        if (value == 3) {
            window->CancelButton->click();
        }
    });
    window->SearchButtonClick();
    const TreeNode* group = window->resultsTree().model().firstNode();
    const int found = group ? group->childCount() : 0;
    EXPECT_GT(found, 0);
    EXPECT_LT(found, 22);
    expectIdle(*window);
}

TEST_F(MainWindowTest, WindowCannotBeMadeSmallerThanDesigned)
{
    auto window = makeWindow(storeWithDuplicates());
    window->show();
    EXPECT_EQ(window->size(), QSize(800, 600));
    window->resize(300, 200);
    EXPECT_GE(window->width(), 800);
    EXPECT_GE(window->height(), 600);
    EXPECT_EQ(window->minimumSize(), QSize(800, 600));
}

TEST_F(MainWindowTest, CheckListButtonsAndTicksMirrorTheFieldTicks)
{
    auto window = makeWindow(storeWithDuplicates());
    window->show();
    FieldCheckList& list = *window->EmailsCheckList;
    const QStringList captions { "Subject *", "Body *", "Display To", "Display From", "Size" };
    for (int i = 0; i < list.count(); ++i) {
        EXPECT_EQ(list.item(i)->text(), captions[i]);
    }

    window->UncheckAllButton->click();
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(list.isChecked(i));
        EXPECT_FALSE(window->fieldTicks().isChecked(i));
    }
    list.item(4)->click();
    EXPECT_TRUE(window->fieldTicks().isChecked(SearchField::Size));

    window->CheckDefaultFieldsButton->click();
    const bool expected[] = { true, true, false, false, false };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list.isChecked(i), expected[i]) << i;
        EXPECT_EQ(window->fieldTicks().isChecked(i), expected[i]) << i;
    }
}

TEST_F(MainWindowTest, RemovalAsksFirstAndUsesTheChosenMode)
{
    const struct
    {
        bool answer;
        bool moveToDeletedItems;
        int expectedFlag; // -1: nothing removed
    } cases[] = { { false, false, -1 }, { true, false, 1 }, { true, true, 0 } };
    for (const auto& c : cases) {
        auto store = storeWithDuplicates();
        auto window = makeWindow(store);
        window->show();
        tickFolder(*window, QStringLiteral("Inbox"));
        window->SearchButtonClick();
        ASSERT_EQ(window->resultsTree().checkedCount(), 1);
        const QString statusBefore = window->StatusPanel1->text();
        if (c.moveToDeletedItems) {
            window->MoveToDeletedItemsRadio->setChecked(true);
        }
        prompts->questions.clear();
        prompts->answers = { c.answer };
        window->RemoveButton->click();

        EXPECT_EQ(prompts->questions, QStringList { TMainForm::RemoveQuestion });
        EXPECT_TRUE(prompts->questionIcons.back());
        if (c.expectedFlag < 0) {
            EXPECT_TRUE(store->deleteCalls().empty());
            EXPECT_EQ(window->resultsTree().checkedCount(), 1);
            EXPECT_EQ(window->StatusPanel1->text(), statusBefore);
        } else {
            ASSERT_EQ(store->deleteCalls().size(), 1u);
            EXPECT_EQ(store->deleteCalls()[0].flag, c.expectedFlag);
            EXPECT_EQ(window->resultsTree().checkedCount(), 0);
            EXPECT_EQ(window->StatusPanel1->text(), QStringLiteral("1 duplicates out of 1 were removed successfully"));
        }
        expectIdle(*window);
    }
}

TEST_F(MainWindowTest, UnavailableStoreIsToldOnceAndTheWindowStillWorks)
{
    auto window = makeWindow(nullptr);
    window->show();
    EXPECT_EQ(prompts->messages, QStringList { TMainForm::StoreNotAvailable });
    EXPECT_EQ(window->OfficeVersion, QString());
    EXPECT_EQ(window->folderTree().model().rootCount(), 0);
    window->SearchButtonClick();
    EXPECT_EQ(window->StatusPanel1->text(), QStringLiteral("0 duplicates and 0 original items found."));
    expectIdle(*window);
    EXPECT_EQ(prompts->messages.size(), 1);
}

TEST_F(MainWindowTest, OpenStoreRefillsTheFoldersForAnotherStore)
{
    auto first = storeWithDuplicates(QStringLiteral("memory:/first"));
    auto second = MemoryStore::create(QStringLiteral("Other Root"), QStringLiteral("memory:/second"));
    MainFormOptions options;
    options.dataFolder = dataFolder;
    options.storeArgument = QStringLiteral("first");
    options.prompts = prompts;
    options.openStore = [&](const QString& directory) -> MailStorePtr {
        if (directory.endsWith(QLatin1String("first"))) {
            return first;
        }
        if (directory.endsWith(QLatin1String("second"))) {
            return second;
        }
        throw StoreError("cannot open");
    };
    TMainForm window(std::move(options));
    window.show();
    EXPECT_EQ(window.OfficeVersion, TMainForm::OfficeVersionText);
    ASSERT_EQ(window.folderTree().model().rootCount(), 1);
    EXPECT_EQ(window.folderTree().model().firstNode()->data().Subject, QStringLiteral("Local Folders"));

    prompts->chosenFolder = temp.filePath(QStringLiteral("second"));
    window.OpenStoreButton->click();
    EXPECT_EQ(window.folderTree().model().firstNode()->data().Subject, QStringLiteral("Other Root"));

    // A folder that is no store keeps the open one and tells the user.
    prompts->chosenFolder = temp.filePath(QStringLiteral("broken"));
    window.OpenStoreButton->click();
    EXPECT_EQ(prompts->messages, QStringList { TMainForm::StoreNotAvailable });
    EXPECT_EQ(window.folderTree().model().firstNode()->data().Subject, QStringLiteral("Other Root"));

    // Cancelling the chooser changes nothing.
    prompts->chosenFolder.clear();
    window.OpenStoreButton->click();
    EXPECT_EQ(window.session().GetCurrentIdentity(), QStringLiteral("memory:/second"));
}

TEST_F(MainWindowTest, WebLinksOpenTheirPages)
{
    auto window = makeWindow(storeWithDuplicates());
    window->show();
    const QList<QAction*> menu = window->bMenu->actions();
    ASSERT_EQ(menu.size(), 5);
    EXPECT_EQ(menu[0]->text(), QStringLiteral("Velmora on the Web"));
    EXPECT_EQ(menu[1]->text(), QStringLiteral("Help"));
    EXPECT_TRUE(menu[2]->isSeparator());
    EXPECT_EQ(menu[3]->text(), QStringLiteral("Send Error Report..."));
    EXPECT_EQ(menu[4]->text(), QStringLiteral("About..."));

    window->Web->trigger();
    window->Help->trigger();
    window->UpgradeButton->click();
    ASSERT_EQ(prompts->urls.size(), 3);
    EXPECT_TRUE(prompts->urls[0].endsWith(QLatin1String("?ref=app")));
    EXPECT_TRUE(prompts->urls[1].endsWith(QLatin1String("?ref=app")));
    EXPECT_NE(prompts->urls[0], prompts->urls[1]);
    EXPECT_FALSE(prompts->urls[2].contains(QLatin1Char('?')));
}

TEST_F(MainWindowTest, EscapedExceptionsAreDroppedByTheApplication)
{
    class Raising : public QObject
    {
    public:
        bool event(QEvent*) override { throw std::runtime_error("escaped"); }
    } raising;
    QEvent event(QEvent::User);
    EXPECT_NO_THROW(EXPECT_FALSE(QCoreApplication::sendEvent(&raising, &event)));
}

// A search on a Maildir of the disk fills the results; an item row previews its message, a group row
// empties the preview.
TEST_F(MainWindowTest, FileStoreSearchFillsResultsAndPreviews)
{
    const QString store = temp.filePath(QStringLiteral("Maildir"));
    for (const char* sub : { "cur", "new", "tmp" }) {
        QDir().mkpath(store + QLatin1Char('/') + QLatin1String(sub));
    }
    const auto write = [&](const QString& name, const QByteArray& body) {
        QFile file(store + QStringLiteral("/cur/") + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("From: Ann <ann@example.com>\r\nTo: Bob <bob@example.com>\r\nSubject: Minutes\r\n"
                   "Content-Type: text/plain; charset=utf-8\r\n\r\n"
                   + body);
    };
    write(QStringLiteral("1700000001.M1P1.host:2,S"), "Minutes of the meeting\r\n");
    write(QStringLiteral("1700000002.M2P1.host:2,S"), "Minutes of the meeting\r\n");
    write(QStringLiteral("1700000003.M3P1.host:2,S"), "Something else\r\n");

    auto window = makeFileWindow(store);
    window->show();
    EXPECT_TRUE(prompts->messages.isEmpty());
    TreeModel& folders = window->folderTree().model();
    ASSERT_EQ(folders.rootCount(), 1);
    folders.setCheckState(folders.firstNode(), CheckState::Checked);
    window->SearchButton->click();

    TreeModel& results = window->resultsTree().model();
    ASSERT_EQ(results.rootCount(), 1);
    TreeNode* group = results.firstNode();
    ASSERT_EQ(group->childCount(), 2);
    EXPECT_EQ(group->data().Subject, QStringLiteral("Minutes"));

    window->ItemsVST->setCurrentIndex(window->itemsModel()->indexFromNode(group->child(1)));
    EXPECT_TRUE(window->Preview->toPlainText().contains(QStringLiteral("Minutes of the meeting")));
    window->ItemsVST->setCurrentIndex(window->itemsModel()->indexFromNode(group));
    EXPECT_EQ(window->Preview->toPlainText().trimmed(), QString());
}

namespace {

// A message whose HTML references an inline picture.
class InlineMessage : public IOEMessage
{
public:
    OEId GetID() override { return 1; }
    QString GetSubject() override { return {}; }
    QString GetDisplayTo() override { return {}; }
    QString GetDisplayFrom() override { return {}; }
    QString GetHTMLBody() override { return {}; }
    std::int32_t GetSize() override { return 0; }
    QString GetBody(int) override { return {}; }
    void Delete(int) override { }
    QDateTime GetCreationTime() override { return {}; }
    QDateTime GetLastModificationTime() override { return {}; }
    std::optional<InlinePart> GetInlinePart(const QString& contentId) override
    {
        asked << contentId;
        if (contentId != QLatin1String("logo@x")) {
            return std::nullopt;
        }
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return InlinePart { "image/png", png };
    }
    QStringList asked;
};

} // namespace

TEST(PreviewBrowser, LoadsOnlyInlinePartsOfTheMessage)
{
    ensureApplication();
    PreviewBrowser preview;
    auto message = std::make_shared<InlineMessage>();
    preview.setMessageSource([message] { return message; });
    EXPECT_FALSE(preview.openLinks());
    EXPECT_FALSE(preview.openExternalLinks());

    for (const char* url : { "http://example.com/a.png", "https://example.com/a.css", "ftp://example.com/a",
                             "file:///etc/passwd", "/etc/passwd", "a.png" }) {
        EXPECT_FALSE(preview.loadResource(QTextDocument::ImageResource, QUrl(QString::fromLatin1(url))).isValid())
            << url;
    }
    EXPECT_TRUE(message->asked.isEmpty());
    const QVariant image = preview.loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("cid:logo@x")));
    ASSERT_TRUE(image.canConvert<QImage>());
    EXPECT_EQ(image.value<QImage>().size(), QSize(4, 4));
    EXPECT_FALSE(preview.loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("cid:other"))).isValid());

    // An image of the page that names a local file shows nothing of it.
    preview.setHtml(QStringLiteral("<img src=\"file:///etc/hostname\"><img src=\"cid:logo@x\">"));
    preview.resize(300, 200);
    preview.grab(); // lays out and paints the page, which loads its images
    EXPECT_EQ(message->asked, (QStringList { "logo@x", "other", "logo@x" }));
}

// A store failure during a command shows nothing to the user but leaves its entry group in the error log.
TEST_F(MainWindowTest, RaisedExceptionsAreLoggedNotShown)
{
    ExceptionTracker::start();
    auto store = storeWithDuplicates();
    store->failOn(StoreOp::GetFolder);
    {
        auto window = makeWindow(store);
        window->show();
        tickFolder(*window, QStringLiteral("Inbox"));
        window->SearchButton->click();
        expectIdle(*window);
        EXPECT_TRUE(prompts->messages.isEmpty());
        QFile log(window->errorLogFileName());
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(log.readAll().contains("StoreError"));
    }
    ExceptionTracker::stop();
}
