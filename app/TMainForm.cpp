#include "TMainForm.h"

#include "AppIcon.h"
#include "CaptionPanel.h"
#include "FieldCheckList.h"
#include "FlatButton.h"
#include "PreviewBrowser.h"
#include "Scale.h"
#include "TAboutForm.h"
#include "UserPrompts.h"
#include "WebLinks.h"
#include "models/TreeItemModel.h"

#include "persist/DataFiles.h"
#include "persist/ExceptionLogger.h"
#include "persist/TreeState.h"
#include "platform/DataFolder.h"
#include "platform/OfficeOutlook.h"
#include "store/FileStore.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace velmora {

const QString TMainForm::Caption = QStringLiteral("Velmora for Outlook Express and Windows Mail");
const QString TMainForm::HintH1 = QStringLiteral(
    "To begin select folders for search in \"Search in Folder\" panel and click \"Search\" button.<br>Found "
    "duplicates will be displayed in \"Found Duplicates\" panel. Select a duplicate to preview it in \"Item "
    "Preview\".");
const QString TMainForm::HintH2
    = QStringLiteral("Select fields for comparison. Item is marked as duplicate if all selected fields are the "
                     "same. So to find more duplicates select fewer fields.");
const QString TMainForm::StoreNotAvailable
    = QStringLiteral("Microsoft Outlook Express or Windows Mail is not available.");
const QString TMainForm::OfficeVersionText = QStringLiteral("Outlook Express or Windows Mail Version: ");
const QString TMainForm::OfficeOutlookQuestion
    = QStringLiteral("We have detected that you have Office Outlook installed. \r\n\r\n"
                     "This duplicate remover is for Outlook Express, not Office Outlook (e.g. 2010 or 2013). \r\n\r\n"
                     "Would you like to download duplicate remover for Office Outlook? ");
const QString TMainForm::RemoveQuestion = QStringLiteral("Are you sure you want to remove selected duplicates?");

namespace {

    // A glyph from the desktop's icon theme, or the style's standard picture where the theme has none.
    QIcon glyph(const QWidget* widget, std::initializer_list<const char*> names, QStyle::StandardPixmap fallback)
    {
        for (const char* name : names) {
            const QString themed = QString::fromLatin1(name);
            if (QIcon::hasThemeIcon(themed)) {
                return QIcon::fromTheme(themed);
            }
        }
        return widget->style()->standardIcon(fallback);
    }

    QGroupBox* toolbarBox(const QString& title, int width, QWidget* parent)
    {
        auto* box = new QGroupBox(title, parent);
        box->setFixedWidth(px(parent, width));
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(px(parent, 2), 0, px(parent, 2), 0);
        layout->setSpacing(0);
        return box;
    }

} // namespace

TMainForm::TMainForm(MainFormOptions options, QWidget* parent)
    : QWidget(parent)
    , m_options(std::move(options))
    , m_prompts(m_options.prompts ? m_options.prompts : std::make_shared<QtUserPrompts>())
{
    if (!m_options.isOfficeOutlookInstalled) {
        m_options.isOfficeOutlookInstalled = IsOfficeOutlookInstalled;
    }
    if (!m_options.openStore) {
        m_options.openStore = openFileStore;
    }
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(Caption);

    QFont font = this->font();
    font.setFamilies({ QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans") });
    font.setPointSize(8);
    setFont(font);

    buildComponents();
    resize(px(this, 800), px(this, 600));
    // 816 x 638 outside is 800 x 600 inside the frame the window was designed with.
    setMinimumSize(px(this, 800), px(this, 600));

    m_results.setFolderManager(&m_session);
    m_folders.setFolderManager(&m_session);
    m_folders.setHintHandler([this](const QString& hint) { setHint(hint); });
    m_runs = std::make_unique<DuplicateRuns>(*this, m_session, m_results, m_folders, m_fieldTicks, m_collator);
    connectTrees();
    aFormStorage.setPlacementHost(this);
    aFormStorage.setPropertiesHost(this);
    FormCreate();
}

TMainForm::~TMainForm()
{
    aFormStorage.saveIfNotSaved();
    FormDestroy();
    // The components go before the core objects they show (members die before the QWidget base would delete
    // its children).
    delete MainPanel;
    delete bMenu;
    MainPanel = nullptr;
}

// ---------------------------------------------------------------------------------------------------------
// Layout

void TMainForm::buildComponents()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    MainPanel = new QWidget(this);
    MainPanel->setObjectName(QStringLiteral("MainPanel"));
    outer->addWidget(MainPanel);

    auto* layout = new QVBoxLayout(MainPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Toolbar = buildToolbar();
    layout->addWidget(Toolbar);

    MainPage = new QStackedWidget(MainPanel);
    MainPage->setObjectName(QStringLiteral("MainPage"));
    SearchResults = buildSearchResults();
    SearchSettings = buildSearchSettings();
    RemovalSettings = buildRemovalSettings();
    MainPage->addWidget(SearchResults);
    MainPage->addWidget(SearchSettings);
    MainPage->addWidget(RemovalSettings);
    MainPage->setCurrentIndex(0);
    layout->addWidget(MainPage, 1);

    Footer = new QWidget(MainPanel);
    Footer->setObjectName(QStringLiteral("Footer"));
    Footer->setFixedHeight(px(this, 32));
    auto* footerLayout = new QHBoxLayout(Footer);
    footerLayout->setContentsMargins(px(this, 7), 0, px(this, 7), 0);
    Hints = new QLabel(Footer);
    Hints->setObjectName(QStringLiteral("Hints"));
    Hints->setTextFormat(Qt::RichText);
    Hints->setWordWrap(true);
    Hints->setOpenExternalLinks(false);
    footerLayout->addWidget(Hints);
    layout->addWidget(Footer);

    StatusBar = new QStatusBar(MainPanel);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setFixedHeight(px(this, 19));
    StatusBar->setSizeGripEnabled(true);
    // Panel 0 holds the progress bar, which fills it exactly: 0 wide while idle, 400 while a run is busy.
    StatusPanel0 = new QWidget(StatusBar);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(0);
    auto* panelLayout = new QHBoxLayout(StatusPanel0);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    ProgressBar = new QProgressBar(StatusPanel0);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setVisible(false);
    panelLayout->addWidget(ProgressBar);
    StatusPanel1 = new QLabel(StatusBar);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(px(this, 50));
    StatusBar->addWidget(StatusPanel0, 0);
    StatusBar->addWidget(StatusPanel1, 1);
    layout->addWidget(StatusBar);
}

QWidget* TMainForm::buildToolbar()
{
    auto* bar = new QWidget(MainPanel);
    bar->setObjectName(QStringLiteral("Toolbar"));
    bar->setFixedHeight(px(this, 81));
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(px(this, 4), 0, px(this, 4), px(this, 1));
    layout->setSpacing(px(this, 4));

    const QSize button(px(this, 64), px(this, 64));
    const QSize wideButton(px(this, 80), px(this, 64));

    // "Open Store" leads the Action box, which grows by one button for it.
    ActionBox = toolbarBox(QStringLiteral("Action"), 196 + 64, bar);
    ActionBox->setObjectName(QStringLiteral("ActionBox"));
    OpenStoreButton = new FlatButton(QStringLiteral("Open Store"),
                                     glyph(this, { "document-open", "folder-open" }, QStyle::SP_DirOpenIcon), button);
    SearchButton
        = new FlatButton(QStringLiteral("Search"),
                         glyph(this, { "edit-find", "system-search" }, QStyle::SP_FileDialogContentsView), button);
    RemoveButton = new FlatButton(QStringLiteral("Remove"),
                                  glyph(this, { "edit-delete", "user-trash" }, QStyle::SP_TrashIcon), button);
    CancelButton
        = new FlatButton(QStringLiteral("Cancel"), glyph(this, { "process-stop" }, QStyle::SP_BrowserStop), button);
    for (FlatButton* b : { OpenStoreButton, SearchButton, RemoveButton, CancelButton }) {
        ActionBox->layout()->addWidget(b);
    }
    OpenStoreButton->setObjectName(QStringLiteral("OpenStoreButton"));
    SearchButton->setObjectName(QStringLiteral("SearchButton"));
    RemoveButton->setObjectName(QStringLiteral("RemoveButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    SwitchViewBox = toolbarBox(QStringLiteral("Switch View"), 196, bar);
    SwitchViewBox->setObjectName(QStringLiteral("SwitchViewBox"));
    ResultsButton
        = new FlatButton(QStringLiteral("Search Results"),
                         glyph(this, { "view-list-details", "view-list" }, QStyle::SP_FileDialogDetailedView), button);
    SearchSettingsButton = new FlatButton(
        QStringLiteral("Search Settings"),
        glyph(this, { "preferences-system", "document-properties" }, QStyle::SP_FileDialogInfoView), button);
    RemovalSettingsButton
        = new FlatButton(QStringLiteral("Removal Settings"),
                         glyph(this, { "preferences-other", "edit-clear" }, QStyle::SP_DialogResetButton), button);
    for (FlatButton* b : { ResultsButton, SearchSettingsButton, RemovalSettingsButton }) {
        SwitchViewBox->layout()->addWidget(b);
    }
    ResultsButton->setObjectName(QStringLiteral("ResultsButton"));
    SearchSettingsButton->setObjectName(QStringLiteral("SearchSettingsButton"));
    RemovalSettingsButton->setObjectName(QStringLiteral("RemovalSettingsButton"));

    HelpBox = toolbarBox(QStringLiteral("Help"), 84, bar);
    HelpBox->setObjectName(QStringLiteral("HelpBox"));
    HelpButton
        = new FlatButton(QStringLiteral("Help"),
                         glyph(this, { "help-browser", "help-contents" }, QStyle::SP_DialogHelpButton), wideButton);
    HelpButton->setObjectName(QStringLiteral("HelpButton"));
    HelpBox->layout()->addWidget(HelpButton);

    UpgradeBox = toolbarBox(QStringLiteral("More Add-ins"), 84, bar);
    UpgradeBox->setObjectName(QStringLiteral("UpgradeBox"));
    UpgradeButton = new FlatButton(
        QStringLiteral("Get More Add-ins"),
        glyph(this, { "system-software-install", "package-x-generic" }, QStyle::SP_ArrowDown), wideButton);
    UpgradeButton->setObjectName(QStringLiteral("UpgradeButton"));
    UpgradeBox->layout()->addWidget(UpgradeButton);

    layout->addWidget(ActionBox);
    layout->addWidget(SwitchViewBox);
    layout->addWidget(HelpBox);
    layout->addStretch(1);
    layout->addWidget(UpgradeBox);

    bMenu = new QMenu(this);
    bMenu->setObjectName(QStringLiteral("bMenu"));
    Web = bMenu->addAction(QStringLiteral("Velmora on the Web"));
    Help = bMenu->addAction(QStringLiteral("Help"));
    bMenu->addSeparator();
    SendErrorReport = bMenu->addAction(QStringLiteral("Send Error Report..."));
    About = bMenu->addAction(QStringLiteral("About..."));
    // Any press on the button opens the menu below its bottom-left corner.
    HelpButton->setMenu(bMenu);
    HelpButton->setPopupMode(QToolButton::InstantPopup);

    connect(OpenStoreButton, &QToolButton::clicked, this, [this] { OpenStoreButtonClick(); });
    connect(SearchButton, &QToolButton::clicked, this, [this] { SearchButtonClick(); });
    connect(RemoveButton, &QToolButton::clicked, this, [this] { RemoveButtonClick(); });
    connect(CancelButton, &QToolButton::clicked, this, [this] { CancelButtonClick(); });
    for (FlatButton* b : { ResultsButton, SearchSettingsButton, RemovalSettingsButton }) {
        connect(b, &QToolButton::clicked, this, [this, b] { SwitchClick(b); });
    }
    connect(UpgradeButton, &QToolButton::clicked, this, [this] { UpgradeButtonClick(); });
    connect(Web, &QAction::triggered, this, [this] { WebClick(); });
    connect(Help, &QAction::triggered, this, [this] { HelpClick(); });
    connect(SendErrorReport, &QAction::triggered, this, [this] { SendErrorReportClick(); });
    connect(About, &QAction::triggered, this, [this] { AboutClick(); });
    return bar;
}

QWidget* TMainForm::buildSearchResults()
{
    auto* page = new QWidget(MainPage);
    page->setObjectName(QStringLiteral("SearchResults"));
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);

    HSplitter = new QSplitter(Qt::Horizontal, page);
    HSplitter->setObjectName(QStringLiteral("HSplitter"));
    HSplitter->setChildrenCollapsible(false);
    HSplitter->setHandleWidth(px(this, 3));

    FoldersPanel = new CaptionPanel(QStringLiteral("Search in Folders"), HSplitter);
    FoldersPanel->setObjectName(QStringLiteral("FoldersPanel"));
    FoldersVST = new QTreeView(FoldersPanel);
    FoldersVST->setObjectName(QStringLiteral("FoldersVST"));
    FoldersVST->setHeaderHidden(true);
    FoldersVST->setSelectionBehavior(QAbstractItemView::SelectRows);
    FoldersVST->setExpandsOnDoubleClick(true);
    FoldersPanel->setContent(FoldersVST);

    RightPanel = new QWidget(HSplitter);
    RightPanel->setObjectName(QStringLiteral("RightPanel"));
    auto* rightLayout = new QVBoxLayout(RightPanel);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    VSplitter = new QSplitter(Qt::Vertical, RightPanel);
    VSplitter->setObjectName(QStringLiteral("VSplitter"));
    VSplitter->setChildrenCollapsible(false);
    VSplitter->setHandleWidth(px(this, 3));
    rightLayout->addWidget(VSplitter);

    ItemsPanel = new CaptionPanel(QStringLiteral("Found Duplicates"), VSplitter);
    ItemsPanel->setObjectName(QStringLiteral("ItemsPanel"));
    ItemsVST = new QTreeView(ItemsPanel);
    ItemsVST->setObjectName(QStringLiteral("ItemsVST"));
    ItemsVST->setSelectionBehavior(QAbstractItemView::SelectRows);
    ItemsVST->setSortingEnabled(false);
    ItemsVST->header()->setSectionsClickable(true);
    ItemsVST->header()->setSortIndicatorShown(false);
    ItemsVST->header()->setStretchLastSection(false);
    ItemsPanel->setContent(ItemsVST);

    PreviewPanel = new CaptionPanel(QStringLiteral("Item Preview"), VSplitter);
    PreviewPanel->setObjectName(QStringLiteral("PreviewPanel"));
    Preview = new PreviewBrowser(PreviewPanel);
    Preview->setObjectName(QStringLiteral("Preview"));
    PreviewPanel->setContent(Preview);

    VSplitter->addWidget(ItemsPanel);
    VSplitter->addWidget(PreviewPanel);
    VSplitter->setStretchFactor(0, 0);
    VSplitter->setStretchFactor(1, 1);
    m_itemsPanelHeight = px(this, 196);
    VSplitter->setSizes({ m_itemsPanelHeight, px(this, 300) });
    HSplitter->addWidget(FoldersPanel);
    HSplitter->addWidget(RightPanel);
    HSplitter->setStretchFactor(0, 0);
    HSplitter->setStretchFactor(1, 1);
    m_foldersPanelWidth = px(this, 240);
    HSplitter->setSizes({ m_foldersPanelWidth, px(this, 560) });

    // Focused rows and selection rectangles in the caption colour.
    for (QTreeView* tree : { FoldersVST, ItemsVST }) {
        QPalette colours = tree->palette();
        colours.setColor(QPalette::Highlight, CaptionPanel::captionColor());
        colours.setColor(QPalette::HighlightedText, Qt::white);
        tree->setPalette(colours);
    }
    layout->addWidget(HSplitter);
    return page;
}

QWidget* TMainForm::buildSearchSettings()
{
    auto* page = new QWidget(MainPage);
    page->setObjectName(QStringLiteral("SearchSettings"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    SearchSettingsPanel = new CaptionPanel(QStringLiteral("Item Fields Used for Comparison"), page);
    SearchSettingsPanel->setObjectName(QStringLiteral("SearchSettingsPanel"));
    auto* content = new QWidget(SearchSettingsPanel);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    EmailsCheckList = new FieldCheckList(m_fieldTicks, content);
    contentLayout->addWidget(EmailsCheckList, 1);

    SearchSettingsFooter = new QWidget(content);
    SearchSettingsFooter->setObjectName(QStringLiteral("SearchSettingsFooter"));
    SearchSettingsFooter->setFixedHeight(px(this, 34));
    auto* footer = new QHBoxLayout(SearchSettingsFooter);
    footer->setContentsMargins(px(this, 4), px(this, 4), px(this, 4), px(this, 5));
    footer->addStretch(1);
    CheckDefaultFieldsButton = new QPushButton(QStringLiteral("Check Default Fields *"), SearchSettingsFooter);
    CheckDefaultFieldsButton->setObjectName(QStringLiteral("CheckDefaultFieldsButton"));
    CheckDefaultFieldsButton->setFixedSize(px(this, 150), px(this, 25));
    UncheckAllButton = new QPushButton(QStringLiteral("Uncheck All"), SearchSettingsFooter);
    UncheckAllButton->setObjectName(QStringLiteral("UncheckAllButton"));
    UncheckAllButton->setFixedSize(px(this, 100), px(this, 25));
    footer->addWidget(CheckDefaultFieldsButton, 0, Qt::AlignBottom);
    footer->addWidget(UncheckAllButton, 0, Qt::AlignBottom);
    contentLayout->addWidget(SearchSettingsFooter);
    SearchSettingsPanel->setContent(content);
    layout->addWidget(SearchSettingsPanel);

    connect(CheckDefaultFieldsButton, &QPushButton::clicked, this, [this] { CheckDefaultFieldsButtonClick(); });
    connect(UncheckAllButton, &QPushButton::clicked, this, [this] { UncheckAllButtonClick(); });
    return page;
}

QWidget* TMainForm::buildRemovalSettings()
{
    auto* page = new QWidget(MainPage);
    page->setObjectName(QStringLiteral("RemovalSettings"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);

    RemovalSettingsPanel = new CaptionPanel(QStringLiteral("Duplicates Removal Settings"), page);
    RemovalSettingsPanel->setObjectName(QStringLiteral("RemovalSettingsPanel"));
    auto* content = new QWidget(RemovalSettingsPanel);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(px(this, 8), px(this, 8), px(this, 8), px(this, 8));
    contentLayout->setSpacing(px(this, 8));

    MarkAsDuplicates = new QGroupBox(QStringLiteral("Mark as Duplicates"), content);
    MarkAsDuplicates->setObjectName(QStringLiteral("MarkAsDuplicates"));
    MarkAsDuplicatesGroup = new QButtonGroup(MarkAsDuplicates);
    auto* grid = new QGridLayout(MarkAsDuplicates);
    const char* const rules[] = { "Oldest Items (according to Creation Time)", "Smallest Items (according to Size)",
                                  "Newest Items (according to Creation Time)", "Largest Items (according to Size)" };
    // Two columns, filled top to bottom.
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(rules[i]), MarkAsDuplicates);
        MarkAsDuplicatesGroup->addButton(radio, i);
        grid->addWidget(radio, i % 2, i / 2);
    }
    MarkAsDuplicatesGroup->button(0)->setChecked(true);
    contentLayout->addWidget(MarkAsDuplicates);

    RemoveDuplicatesBox = new QGroupBox(QStringLiteral("Remove Duplicates by"), content);
    RemoveDuplicatesBox->setObjectName(QStringLiteral("RemoveDuplicatesBox"));
    auto* removeLayout = new QVBoxLayout(RemoveDuplicatesBox);
    DeleteRadio = new QRadioButton(QStringLiteral("Deleting"), RemoveDuplicatesBox);
    DeleteRadio->setObjectName(QStringLiteral("DeleteRadio"));
    MoveToDeletedItemsRadio = new QRadioButton(QStringLiteral("Moving to Deleted Items"), RemoveDuplicatesBox);
    MoveToDeletedItemsRadio->setObjectName(QStringLiteral("MoveToDeletedItemsRadio"));
    DeleteRadio->setChecked(true);
    removeLayout->addWidget(DeleteRadio);
    removeLayout->addWidget(MoveToDeletedItemsRadio);
    contentLayout->addWidget(RemoveDuplicatesBox);
    contentLayout->addStretch(1);
    RemovalSettingsPanel->setContent(content);
    layout->addWidget(RemovalSettingsPanel);

    connect(MarkAsDuplicatesGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            m_results.setMarkAsDuplicates(id);
        }
    });
    connect(DeleteRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (m_runs) {
            m_runs->setDeleteForGood(checked);
        }
    });
    return page;
}

void TMainForm::connectTrees()
{
    const QIcon folderIcon = glyph(this, { "folder" }, QStyle::SP_DirIcon);
    const QIcon messageIcon = velmora::messageIcon();

    m_foldersModel = new TreeItemModel(m_folders.model(), this);
    m_foldersModel->setIconProvider([folderIcon](int index) { return index == 0 ? folderIcon : QIcon(); });
    m_itemsModel = new TreeItemModel(m_results.model(), this);
    m_itemsModel->setIconProvider([messageIcon](int index) { return index == 0 ? messageIcon : QIcon(); });

    for (auto [view, model] : { std::pair { FoldersVST, m_foldersModel }, std::pair { ItemsVST, m_itemsModel } }) {
        view->setModel(model);
        connect(view, &QTreeView::expanded, model,
                [model](const QModelIndex& index) { model->setExpandedFromView(index, true); });
        connect(view, &QTreeView::collapsed, model,
                [model](const QModelIndex& index) { model->setExpandedFromView(index, false); });
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, model,
                [model](const QModelIndex& current) { model->setCurrentFromView(current); });
        connect(model, &TreeItemModel::expandRequested, view,
                [view](const QModelIndex& index, bool expanded) { view->setExpanded(index, expanded); });
        connect(model, &TreeItemModel::focusRequested, view, [view](const QModelIndex& index) {
            view->selectionModel()->setCurrentIndex(index,
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        });
    }
    FoldersVST->installEventFilter(this);

    const std::vector<TreeColumn>& columns = m_results.model().columns();
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        ItemsVST->setColumnHidden(i, columns[i].hidden);
    }
    showColumnWidths();
    connect(ItemsVST->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { m_results.ItemsVSTHeaderClick(column); });

    m_results.setPreviewHandler([this](const QString& html, const OEMessagePtr& message) {
        m_previewMessage = message;
        Preview->setHtml(html);
    });
    Preview->setMessageSource([this] { return m_previewMessage; });
}

void TMainForm::showColumnWidths()
{
    const std::vector<TreeColumn>& columns = m_results.model().columns();
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        ItemsVST->header()->resizeSection(i, columns[i].width);
    }
}

void TMainForm::takeColumnWidths()
{
    const int count = m_results.model().columnCount();
    for (int i = 0; i < count; ++i) {
        const int width = ItemsVST->header()->sectionSize(i);
        // A hidden column reports 0; it keeps the width it had.
        if (width > 0) {
            m_results.model().setColumnWidth(i, width);
        }
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FoldersVST && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Insert) {
            m_folders.HandleFolderCheckKeys(FolderTree::Key::Insert);
        } else if (key == Qt::Key_Delete) {
            m_folders.HandleFolderCheckKeys(FolderTree::Key::Delete);
        }
        // The key goes on to the tree unchanged.
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------------------
// Life cycle

void TMainForm::FormCreate()
{
    // 1. Every exception raised from here on leaves its entry group in the error log.
    registerLogException(aLogFile);
    m_logRegistered = true;

    // 2. The data folder with the error log and the configuration file. Problems are recorded and the window
    // still opens, with the designed settings.
    const QString folder = m_options.dataFolder.isEmpty() ? DataFolder() : m_options.dataFolder;
    const DataFiles files = SetUpDataFiles(folder, aXMLStorage, [this](const QString& logFileName) {
        aLogFile.setFileName(logFileName);
        aLogFile.setAutoSave(true);
    });
    try {
        if (!files.folderReady) {
            throw std::runtime_error("The data folder cannot be created: " + folder.toStdString());
        }
        if (aXMLStorage.hasError()) {
            throw std::runtime_error(aXMLStorage.errorString().toStdString());
        }
    } catch (const std::exception&) {
        // Logged when raised; nothing more to do.
    }

    // The store: the one named on the command line, else the one opened last, else ~/Maildir.
    openStartStore();
    m_session.setOnInitOEAPI([this] { zOEAPIInitInitOEAPI(); });

    // 4. The identity tells whether a store is there at all.
    try {
        m_folders.setPrevIdentity(m_session.GetCurrentIdentity());
        OfficeVersion = OfficeVersionText;
    } catch (...) {
        m_prompts->showMessage(this, StoreNotAvailable);
        OfficeVersion.clear();
    }

    // 5. A root that cannot be read leaves the tree empty; the remaining steps still run.
    m_folders.model().beginUpdate();
    try {
        m_folders.FillFolderTree();
    } catch (...) {
    }
    m_folders.model().endUpdate();
}

void TMainForm::openStartStore()
{
    QString directory = m_options.storeArgument;
    if (directory.isEmpty()) {
        const QString last = LastStore(aFormStorage);
        const QString maildir = QDir::home().filePath(QStringLiteral("Maildir"));
        if (!last.isEmpty() && QFileInfo(last).isDir()) {
            directory = last;
        } else if (QFileInfo(maildir).isDir()) {
            directory = maildir;
        }
    }
    if (directory.isEmpty()) {
        return;
    }
    try {
        m_session.open(m_options.openStore(directory));
        SetLastStore(aFormStorage, QDir(directory).absolutePath());
    } catch (...) {
        // The identity read that follows fails and tells the user once.
    }
}

void TMainForm::setVisible(bool visible)
{
    // The stored placement and properties are applied once, before the window first appears.
    if (visible && !m_placementRestored) {
        m_placementRestored = true;
        aFormStorage.restoreFormPlacement();
        QWidget::setVisible(visible);
        applyPaneSizes();
        return;
    }
    QWidget::setVisible(visible);
}

void TMainForm::applyPaneSizes()
{
    const auto firstPane = [](QSplitter* splitter, int first) {
        const QList<int> sizes = splitter->sizes();
        int total = 0;
        for (int size : sizes) {
            total += size;
        }
        splitter->setSizes({ first, qMax(1, total - first) });
    };
    firstPane(HSplitter, m_foldersPanelWidth);
    firstPane(VSplitter, m_itemsPanelHeight);
    m_paneSizesApplied = true;
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TMainForm::FormShow()
{
    RestoreCheckListTicks(aFormStorage, m_fieldTicks);
    RestoreFolderTicks(aFormStorage, m_folders.model(), m_folders.model().firstNode(), QStringLiteral("FoldersVST"));
    RestoreColumnWidths(aFormStorage, m_results.model(), QStringLiteral("ItemsVST"));
    showColumnWidths();
    setHint(HintH1);
    if (m_options.isOfficeOutlookInstalled() && !OutlookChecked(aFormStorage)) {
        if (m_prompts->askYesNo(this, OfficeOutlookQuestion, false)) {
            openWebPage(links::officeOutlookDownloadPage());
        }
        SetOutlookChecked(aFormStorage);
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        aFormStorage.saveFormPlacement();
        FormClose();
    }
    event->accept();
}

void TMainForm::FormClose()
{
    takeColumnWidths();
    SaveColumnWidths(aFormStorage, m_results.model(), QStringLiteral("ItemsVST"));
    SaveFolderTicks(aFormStorage, m_folders.model(), QStringLiteral("FoldersVST"));
    SaveCheckListTicks(aFormStorage, m_fieldTicks);
}

void TMainForm::FormDestroy()
{
    if (m_destroyed) {
        return;
    }
    m_destroyed = true;
    if (m_session.IsOEAPIActive() != 0) {
        m_session.RemoveAllToolbars();
    }
    m_session.setOnInitOEAPI(nullptr);
    m_session.setOnShutdownOEAPI(nullptr);
    if (m_logRegistered) {
        m_logRegistered = false;
        unregisterLogException();
    }
}

// ---------------------------------------------------------------------------------------------------------
// Commands

void TMainForm::SearchButtonClick()
{
    m_runs->SearchButtonClick();
}

void TMainForm::RemoveButtonClick()
{
    m_runs->RemoveButtonClick();
}

void TMainForm::CancelButtonClick()
{
    m_runs->CancelButtonClick();
}

bool TMainForm::isRunBusy() const
{
    return m_runs && m_runs->isBusy();
}

void TMainForm::SwitchClick(QObject* sender)
{
    if (sender == ResultsButton) {
        MainPage->setCurrentIndex(0);
        setHint(HintH1);
    } else if (sender == SearchSettingsButton) {
        MainPage->setCurrentIndex(1);
        setHint(HintH2);
    } else if (sender == RemovalSettingsButton) {
        MainPage->setCurrentIndex(2);
        setHint(QString());
    }
}

void TMainForm::openWebPage(const QString& address)
{
    m_prompts->openUrl(QUrl(address));
}

void TMainForm::WebClick()
{
    openWebPage(links::productPage());
}

void TMainForm::HelpClick()
{
    openWebPage(links::helpPage());
}

void TMainForm::UpgradeButtonClick()
{
    openWebPage(links::homePage());
}

void TMainForm::SendErrorReportClick()
{
    TAboutForm::SendErrorReportButtonClick(*this);
}

void TMainForm::AboutClick()
{
    if (m_about) {
        m_about->showModal();
    }
}

void TMainForm::CheckDefaultFieldsButtonClick()
{
    m_fieldTicks.CheckDefaultFields();
}

void TMainForm::UncheckAllButtonClick()
{
    m_fieldTicks.UncheckAll();
}

void TMainForm::OpenStoreButtonClick()
{
    QString start = QDir::homePath();
    try {
        if (m_session.IsOEAPIActive() != 0) {
            start = m_session.GetCurrentIdentity();
        }
    } catch (...) {
        // A store that went away: the chooser starts at home.
    }
    const QString directory = m_prompts->chooseFolder(this, QStringLiteral("Open Store"), start);
    if (!directory.isEmpty()) {
        openStoreAt(directory);
    }
}

bool TMainForm::openStoreAt(const QString& directory)
{
    if (isRunBusy()) {
        return false;
    }
    MailStorePtr store;
    try {
        store = m_options.openStore(directory);
    } catch (...) {
        m_prompts->showMessage(this, StoreNotAvailable);
        return false;
    }
    SetLastStore(aFormStorage, QDir(directory).absolutePath());
    // The start notification runs the identity check, which refills the folder tree for another store.
    m_session.open(std::move(store));
    return true;
}

void TMainForm::zOEAPIInitInitOEAPI()
{
    try {
        m_folders.zOEAPIInitInitOEAPI(m_session);
    } catch (...) {
        // Recorded by the tracker; the tree stays as it was.
    }
}

// ---------------------------------------------------------------------------------------------------------
// RunHost

void TMainForm::processPendingEvents()
{
    QCoreApplication::processEvents();
}

void TMainForm::setProgressRange(int maximum)
{
    ProgressBar->setMaximum(maximum);
}

void TMainForm::setProgressPosition(int position)
{
    ProgressBar->setValue(position);
}

void TMainForm::setProgressVisible(bool visible)
{
    ProgressBar->setVisible(visible);
}

void TMainForm::setStatusPanelWidth(int panel, int width)
{
    if (panel == 0) {
        StatusPanel0->setFixedWidth(width > 0 ? px(this, width) : 0);
    }
}

void TMainForm::setStatusText(int panel, const QString& text)
{
    if (panel == 1) {
        StatusPanel1->setText(text);
    }
}

void TMainForm::setHint(const QString& text)
{
    Hints->setText(text);
}

void TMainForm::showPage(int page)
{
    MainPage->setCurrentIndex(page);
}

void TMainForm::setRunCommandsEnabled(bool enabled)
{
    SearchButton->setEnabled(enabled);
    RemoveButton->setEnabled(enabled);
    // A store change while a run walks the folder rows would pull them from under it.
    OpenStoreButton->setEnabled(enabled);
}

bool TMainForm::confirm(const QString& text)
{
    return m_prompts->askYesNo(this, text, true);
}

// ---------------------------------------------------------------------------------------------------------
// Placement and stored properties

WindowPlacement TMainForm::placement() const
{
    WindowPlacement result;
    if (isMinimized()) {
        result.showState = WindowShowState::Minimized;
    } else if (isMaximized()) {
        result.showState = WindowShowState::Maximized;
    }
    // The window system here keeps no minimized or maximized position of its own.
    result.minPosition = QPoint(-1, -1);
    result.maxPosition = QPoint(-1, -1);
    const QRect normal = (isMaximized() || isMinimized() || isFullScreen()) ? normalGeometry() : geometry();
    result.left = normal.left();
    result.top = normal.top();
    result.right = normal.left() + normal.width();
    result.bottom = normal.top() + normal.height();
    return result;
}

void TMainForm::setPlacement(const WindowPlacement& placement)
{
    setGeometry(placement.left, placement.top, placement.right - placement.left, placement.bottom - placement.top);
}

void TMainForm::setShowState(WindowShowState state)
{
    switch (state) {
    case WindowShowState::Maximized:
        setWindowState(windowState() | Qt::WindowMaximized);
        break;
    case WindowShowState::Minimized:
        setWindowState(windowState() | Qt::WindowMinimized);
        break;
    case WindowShowState::Normal:
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
        break;
    }
}

int TMainForm::screenPixelsPerInch() const
{
    const QScreen* current = screen();
    return current ? qRound(current->logicalDotsPerInch()) : 96;
}

QSize TMainForm::desktopSize() const
{
    const QScreen* current = screen() ? screen() : QGuiApplication::primaryScreen();
    return current ? current->virtualSize() : QSize();
}

bool TMainForm::pointOnMonitor(QPoint point) const
{
    return QGuiApplication::screenAt(point) != nullptr;
}

StoredProperties TMainForm::storedProperties() const
{
    StoredProperties properties;
    properties.foldersPanelWidth = m_foldersPanelWidth;
    properties.itemsPanelHeight = m_itemsPanelHeight;
    // Before the first layout the splitters hold provisional sizes; the panes' sizes are the pending ones.
    if (m_paneSizesApplied) {
        const QList<int> across = HSplitter->sizes();
        const QList<int> down = VSplitter->sizes();
        if (!across.isEmpty() && across[0] > 0) {
            properties.foldersPanelWidth = across[0];
        }
        if (!down.isEmpty() && down[0] > 0) {
            properties.itemsPanelHeight = down[0];
        }
    }
    properties.markAsDuplicatesItemIndex = MarkAsDuplicatesGroup->checkedId();
    properties.deleteRadioChecked = DeleteRadio->isChecked();
    properties.moveToDeletedItemsRadioChecked = MoveToDeletedItemsRadio->isChecked();
    return properties;
}

void TMainForm::setStoredProperties(const StoredProperties& properties)
{
    m_foldersPanelWidth = properties.foldersPanelWidth;
    m_itemsPanelHeight = properties.itemsPanelHeight;
    if (m_paneSizesApplied) {
        applyPaneSizes();
    }
    if (QAbstractButton* rule = MarkAsDuplicatesGroup->button(properties.markAsDuplicatesItemIndex)) {
        rule->setChecked(true);
    } else if (QAbstractButton* checked = MarkAsDuplicatesGroup->checkedButton()) {
        // No rule chosen: the marking treats that as the last rule.
        MarkAsDuplicatesGroup->setExclusive(false);
        checked->setChecked(false);
        MarkAsDuplicatesGroup->setExclusive(true);
        m_results.setMarkAsDuplicates(properties.markAsDuplicatesItemIndex);
    }
    // Radio buttons of one group: checking one unchecks the other, so the last written one counts.
    DeleteRadio->setChecked(properties.deleteRadioChecked);
    MoveToDeletedItemsRadio->setChecked(properties.moveToDeletedItemsRadioChecked);
    if (!DeleteRadio->isChecked() && !MoveToDeletedItemsRadio->isChecked()) {
        // Neither stored as chosen: removal would not delete for good, so show the mode it will use.
        MoveToDeletedItemsRadio->setChecked(true);
    }
}

} // namespace velmora
