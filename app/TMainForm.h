#pragma once

#include "detection/DuplicateRuns.h"
#include "detection/FieldTicks.h"
#include "detection/ResultsTree.h"
#include "detection/RunHost.h"
#include "persist/FormStorage.h"
#include "persist/LogFile.h"
#include "persist/XmlStorage.h"
#include "platform/KeyCollator.h"
#include "platform/MailHandOver.h"
#include "store/FolderTree.h"
#include "store/StoreSession.h"

#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QTreeView;

namespace velmora {

class CaptionPanel;
class FieldCheckList;
class FlatButton;
class PreviewBrowser;
class TAboutForm;
class TreeItemModel;
class UserPrompts;

// What the window takes from outside; everything has a default for the real program, and tests replace it.
struct MainFormOptions
{
    // Where "config.xml" and "error.log" live; empty: the user's data folder.
    QString dataFolder;
    // The store directory given on the command line; empty: the store opened last, else ~/Maildir.
    QString storeArgument;
    std::shared_ptr<UserPrompts> prompts;
    std::function<bool()> isOfficeOutlookInstalled;
    // Opens a directory as a store; throws when it cannot.
    std::function<MailStorePtr(const QString& directory)> openStore;
};

// The main window `MainForm`: toolbar, the three views, the hint line and the status bar. Its handlers carry
// the system's names and delegate to the core.
class TMainForm : public QWidget, public RunHost, public WindowPlacementHost, public StoredPropertiesHost
{
    Q_OBJECT
public:
    static const QString Caption;
    static const QString HintH1;
    static const QString HintH2;
    static const QString StoreNotAvailable;
    static const QString OfficeVersionText;
    static const QString OfficeOutlookQuestion;
    static const QString RemoveQuestion;

    explicit TMainForm(MainFormOptions options = {}, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The About box, created after the window (it lives as long as the program).
    void setAboutForm(TAboutForm* about) { m_about = about; }
    TAboutForm* aboutForm() const { return m_about; }

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();
    void SearchButtonClick();
    void RemoveButtonClick();
    void CancelButtonClick();
    void SwitchClick(QObject* sender);
    void WebClick();
    void HelpClick();
    void SendErrorReportClick();
    void AboutClick();
    void UpgradeButtonClick();
    void CheckDefaultFieldsButtonClick();
    void UncheckAllButtonClick();
    void OpenStoreButtonClick();
    void zOEAPIInitInitOEAPI();

    // Opens `directory` as the store and remembers it as the one opened last. False, after telling the user,
    // when it cannot be opened; the store open before stays open then.
    bool openStoreAt(const QString& directory);

    // RunHost.
    void processPendingEvents() override;
    void setProgressRange(int maximum) override;
    void setProgressPosition(int position) override;
    void setProgressVisible(bool visible) override;
    void setStatusPanelWidth(int panel, int width) override;
    void setStatusText(int panel, const QString& text) override;
    void setHint(const QString& text) override;
    void showPage(int page) override;
    void setRunCommandsEnabled(bool enabled) override;
    bool confirm(const QString& text) override;

    // WindowPlacementHost.
    WindowPlacement placement() const override;
    void setPlacement(const WindowPlacement& placement) override;
    void setShowState(WindowShowState state) override;
    int screenPixelsPerInch() const override;
    QSize desktopSize() const override;
    bool pointOnMonitor(QPoint point) const override;

    // StoredPropertiesHost.
    StoredProperties storedProperties() const override;
    void setStoredProperties(const StoredProperties& properties) override;

    void setVisible(bool visible) override;

    // What the error report and the tests read.
    QString OfficeVersion;
    QString errorLogFileName() const { return aLogFile.fileName(); }
    QString configFileName() const { return aXMLStorage.fileName(); }
    UserPrompts& prompts() const { return *m_prompts; }
    // The hand-over of the error report (its program can be replaced).
    MailHandOver& mailHandOver() { return m_mailHandOver; }
    StoreSession& session() { return m_session; }
    ResultsTree& resultsTree() { return m_results; }
    FolderTree& folderTree() { return m_folders; }
    FieldTicks& fieldTicks() { return m_fieldTicks; }
    DuplicateRuns& runs() { return *m_runs; }
    TreeItemModel* foldersModel() const { return m_foldersModel; }
    TreeItemModel* itemsModel() const { return m_itemsModel; }
    XmlStorage& xmlStorage() { return aXMLStorage; }
    FormStorage& formStorage() { return aFormStorage; }
    LogFile& logFile() { return aLogFile; }
    bool isRunBusy() const;

    // Components, by the system's names.
    QWidget* MainPanel = nullptr;
    QWidget* Toolbar = nullptr;
    QGroupBox* ActionBox = nullptr;
    QGroupBox* SwitchViewBox = nullptr;
    QGroupBox* HelpBox = nullptr;
    QGroupBox* UpgradeBox = nullptr;
    FlatButton* OpenStoreButton = nullptr;
    FlatButton* SearchButton = nullptr;
    FlatButton* RemoveButton = nullptr;
    FlatButton* CancelButton = nullptr;
    FlatButton* ResultsButton = nullptr;
    FlatButton* SearchSettingsButton = nullptr;
    FlatButton* RemovalSettingsButton = nullptr;
    FlatButton* HelpButton = nullptr;
    FlatButton* UpgradeButton = nullptr;
    QMenu* bMenu = nullptr;
    QAction* Web = nullptr;
    QAction* Help = nullptr;
    QAction* SendErrorReport = nullptr;
    QAction* About = nullptr;
    QStackedWidget* MainPage = nullptr;
    QWidget* SearchResults = nullptr;
    QWidget* SearchSettings = nullptr;
    QWidget* RemovalSettings = nullptr;
    CaptionPanel* FoldersPanel = nullptr;
    QWidget* RightPanel = nullptr;
    CaptionPanel* ItemsPanel = nullptr;
    CaptionPanel* PreviewPanel = nullptr;
    QSplitter* HSplitter = nullptr;
    QSplitter* VSplitter = nullptr;
    QTreeView* FoldersVST = nullptr;
    QTreeView* ItemsVST = nullptr;
    PreviewBrowser* Preview = nullptr;
    CaptionPanel* SearchSettingsPanel = nullptr;
    FieldCheckList* EmailsCheckList = nullptr;
    QWidget* SearchSettingsFooter = nullptr;
    QPushButton* CheckDefaultFieldsButton = nullptr;
    QPushButton* UncheckAllButton = nullptr;
    CaptionPanel* RemovalSettingsPanel = nullptr;
    QGroupBox* MarkAsDuplicates = nullptr;
    QButtonGroup* MarkAsDuplicatesGroup = nullptr;
    QGroupBox* RemoveDuplicatesBox = nullptr;
    QRadioButton* DeleteRadio = nullptr;
    QRadioButton* MoveToDeletedItemsRadio = nullptr;
    QWidget* Footer = nullptr;
    QLabel* Hints = nullptr;
    QStatusBar* StatusBar = nullptr;
    QWidget* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    QProgressBar* ProgressBar = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildComponents();
    QWidget* buildToolbar();
    QWidget* buildSearchResults();
    QWidget* buildSearchSettings();
    QWidget* buildRemovalSettings();
    void connectTrees();
    void showColumnWidths();
    void takeColumnWidths();
    void openWebPage(const QString& address);
    void openStartStore();

    MainFormOptions m_options;
    std::shared_ptr<UserPrompts> m_prompts;
    TAboutForm* m_about = nullptr;
    MailHandOver m_mailHandOver;

    // The log outlives everything that may raise; the XML storage is destroyed after the window's handlers
    // and components, and its destruction writes the configuration file, once.
    LogFile aLogFile;
    XmlStorage aXMLStorage;
    FormStorage aFormStorage { aXMLStorage };
    StoreSession m_session;
    FieldTicks m_fieldTicks;
    ResultsTree m_results;
    FolderTree m_folders;
    KeyCollator m_collator;
    std::unique_ptr<DuplicateRuns> m_runs;
    // The message the preview shows, whose inline parts "cid:" references resolve to.
    OEMessagePtr m_previewMessage;
    TreeItemModel* m_foldersModel = nullptr;
    TreeItemModel* m_itemsModel = nullptr;

    // The panes' sizes to apply once the window has its first layout (a splitter shares out its space anew
    // until then).
    int m_foldersPanelWidth = 240;
    int m_itemsPanelHeight = 196;
    void applyPaneSizes();
    bool m_paneSizesApplied = false;
    bool m_logRegistered = false;
    bool m_placementRestored = false;
    bool m_shown = false;
    bool m_closed = false;
    bool m_destroyed = false;
};

} // namespace velmora
