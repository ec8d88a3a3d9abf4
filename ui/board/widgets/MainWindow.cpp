#include "ui/board/widgets/MainWindow.h"

#include "core/document/MyDocument.h"
#include "core/document/SyncEngine.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/util/FontSizeTiers.h"
#include "exchange/TemplateManager.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/store/Context.h"
#include "sync/SyncNotifications.h"
#include "ui/board/AccountCommands.h"
#include "ui/board/AttachmentUploads.h"
#include "ui/board/BoardImages.h"
#include "ui/board/BoardTransformers.h"
#include "ui/board/CrossPosition.h"
#include "ui/board/ImageFactoryForMac.h"
#include "ui/board/ItemClipboard.h"
#include "ui/board/ItemFilterPanel.h"
#include "ui/board/PlainText.h"
#include "ui/board/QuadrantColors.h"
#include "ui/board/ScreenCapture.h"
#include "ui/board/StatusBarController.h"
#include "ui/board/widgets/BoardWidgetsLogging.h"
#include "ui/board/widgets/ColorWell.h"
#include "ui/board/widgets/FourQuadrantView.h"
#include "ui/board/widgets/MainWindowDropsAndThemes.h"
#include "ui/board/widgets/PanelSplitView.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/QuadrantTableModel.h"
#include "ui/board/widgets/QuadrantView.h"
#include "ui/board/widgets/WindowCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

namespace {

constexpr qint64 kLoginCheckDelayMs = 4000;

const QString kShowingInbox = QStringLiteral("kShowingInbox");
const QString kHideProjects = QStringLiteral("kHideProjects");
const QString kShowingFeed = QStringLiteral("kShowingFeed");
const QString kShowingDetail = QStringLiteral("kShowingDetail");
const QString kHidingAvatarsInItems = QStringLiteral("kHidingAvatarsInItems");
const QString kWorkOfflineOnly = QStringLiteral("kWorkOfflineOnly");
const QString kLastSelectedProjectRow = QStringLiteral("lastSelectedProjectRow");
const QString kMainWindowGeometry = QStringLiteral("kMainWindowGeometry");

const char* const kSortModeTitles[BoardArrangement::kSortModeCount] = {
    "Manual Order",
    "Name",
    "Starred First",
    "Due Date, Earliest First",
    "Due Date, Latest First",
    "Most Complete First",
    "Least Complete First",
    "Most Effort First",
    "Least Effort First",
    "Icon",
    "Newest First",
    "Oldest First",
    "Recently Completed First",
    "Earliest Completed First",
    "Recently Modified First",
    "Least Recently Modified First",
    "Owner",
};

const char* const kFilterStateTitles[] = {
    "All Items", "Open Items", "Completed Items", "Open Items with a Due Date", "Items with Attachments",
};

// A dark desktop theme: its window is darker than mid grey.
bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

// A toolbar glyph of the board's images; under a dark theme drawn in the theme's text colour.
QIcon toolbarIcon(const QString& name, const QPalette& palette)
{
    QImage image = BoardImages::imageNamed(name).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (isDark(palette)) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), palette.color(QPalette::ButtonText));
    }
    return QIcon(QPixmap::fromImage(image));
}

// Toolbar glyphs in the line style of the board's images: a four-quadrant board with a plus for
// new projects, lines of falling length for sorting and filtering. The ink is dark grey, or the
// theme's text colour under a dark theme.
QIcon glyphIcon(bool newProject, const QPalette& palette)
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = isDark(palette);
    const QColor ink = dark ? palette.color(QPalette::ButtonText) : QColor(0x3c, 0x46, 0x50);
    QPen pen(ink, 5.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    if (newProject) {
        painter.drawRoundedRect(QRectF(6, 10, 40, 40), 6, 6);
        painter.drawLine(QPointF(26, 12), QPointF(26, 48));
        painter.drawLine(QPointF(8, 30), QPointF(44, 30));
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawEllipse(QPointF(48, 46), 14, 14);
        painter.setPen(QPen(dark ? palette.color(QPalette::Button) : QColor(Qt::white), 5.0, Qt::SolidLine,
                            Qt::RoundCap));
        painter.drawLine(QPointF(48, 39), QPointF(48, 53));
        painter.drawLine(QPointF(41, 46), QPointF(55, 46));
    } else {
        painter.drawLine(QPointF(10, 16), QPointF(54, 16));
        painter.drawLine(QPointF(16, 30), QPointF(48, 30));
        painter.drawLine(QPointF(23, 44), QPointF(41, 44));
        painter.drawLine(QPointF(29, 56), QPointF(35, 56));
    }
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}

} // namespace

MainWindow::MainWindow(MyDocument& document, const Services& services, QWidget* parent)
    : QMainWindow(parent), m_document(document), m_services(services)
{
    Q_ASSERT(services.preferences && services.clock);
    setObjectName(QStringLiteral("documentWindow"));
    setWindowTitle(QStringLiteral("Quadrivo"));

    m_icons = ImageFactoryForMac::sharedInstance();
    if (!m_icons) {
        m_ownIcons = std::make_unique<ImageFactoryForMac>(*services.clock);
        m_icons = m_ownIcons.get();
    }
    m_board = std::make_unique<Board>(document, services);
    m_dropsAndThemes = std::make_unique<DropsAndThemes>();
    m_dropsAndThemes->transformers = makeBoardTransformers(
        *services.clock,
        {{},
         [this] { return m_document.syncEngine() != nullptr; },
         [this] { return m_services.preferences->stringValue(QStringLiteral("_currentUser")); },
         [this] { return m_document.syncEngine() && m_document.syncEngine()->isOnline(); },
         {}});
    m_clipboard = std::make_unique<ItemClipboard>(*m_board);

    for (int q = 0; q < 4; ++q) {
        auto* view = new QuadrantView(*m_board, q, *m_icons, *services.preferences, *services.clock);
        m_views[size_t(q)] = view;
        m_panels[size_t(q)] = new QuadrantPanel(view);
        view->setDetailShownQuery([this] { return isShowingDetail(); });
        connect(view, &QuadrantView::draggingChanged, this, &MainWindow::changeToolbarForDragging);
        connect(view, &QuadrantView::detailToggleRequested, this, &MainWindow::toggleShowDetail);
        connect(view, &QuadrantView::contextMenuRequested, this, &MainWindow::showItemContextMenu);
        connect(view, &QuadrantView::iconsRequested, this, &MainWindow::iconsRequested);
        connect(view, &QuadrantView::collaboratorsRequested, this, &MainWindow::collaboratorsRequested);
        connect(&m_board->controller(q), &ArrayController::selectionChanged, this,
                &MainWindow::updateActionStates);
    }
    m_fourQuadrants = new FourQuadrantView(m_panels);
    connect(m_fourQuadrants, &FourQuadrantView::crossMoved, this, [this](const QPointF& fraction) {
        TODOList* project = m_board->selectedProject();
        if (!project)
            return;
        const QPointF stored = CrossPosition::storedFromFraction(fraction);
        project->setCenterX(stored.x());
        project->setCenterY(stored.y());
        qCDebug(lcBoardWidgets, "Cross centre saved for project %lld", qint64(project->id_()));
    });

    auto* boardStack = new QStackedWidget;
    boardStack->setObjectName(QStringLiteral("boardStack"));
    boardStack->addWidget(m_fourQuadrants);
    m_emptyMessage = new QLabel(QStringLiteral("Select a project on the left, or create one."));
    // It may name a project.
    m_emptyMessage->setTextFormat(Qt::PlainText);
    m_emptyMessage->setAlignment(Qt::AlignCenter);
    m_emptyMessage->setStyleSheet(QStringLiteral("font-size: 15px;"));
    boardStack->addWidget(m_emptyMessage);
    boardStack->setCurrentWidget(m_emptyMessage);

    // The project list may ask its window for the board's filter while it is being made.
    m_board->setView(this);
    m_document.setWindow(this);
    m_projectList = new ProjectListView(document, services);
    m_projectList->setHost(this);
    connect(m_projectList, &ProjectListView::selectedProjectChanged, this, &MainWindow::showProject);

    // The side columns' places; each is out of the split view while it holds nothing.
    const auto panelArea = [](const char* name) {
        auto* area = new QWidget;
        area->setObjectName(QString::fromLatin1(name));
        auto* layout = new QVBoxLayout(area);
        layout->setContentsMargins(0, 0, 0, 0);
        return area;
    };
    m_inboxArea = panelArea("inboxArea");
    m_feedArea = panelArea("feedArea");
    m_rightArea = panelArea("rightPanelArea");
    m_boardHeaderArea = panelArea("boardHeaderArea");
    m_boardHeaderArea->hide();
    auto* boardColumn = new QWidget;
    auto* boardLayout = new QVBoxLayout(boardColumn);
    boardLayout->setContentsMargins(0, 0, 0, 0);
    boardLayout->setSpacing(0);
    boardLayout->addWidget(m_boardHeaderArea);
    boardLayout->addWidget(boardStack, 1);
    m_splitter = new PanelSplitView(*services.preferences, boardColumn);
    m_splitter->setColumnWidget(PanelColumn::Inbox, m_inboxArea);
    m_splitter->setColumnWidget(PanelColumn::Projects, m_projectList);
    m_splitter->setColumnWidget(PanelColumn::Feed, m_feedArea);
    m_splitter->setColumnWidget(PanelColumn::Detail, m_rightArea);
    setCentralWidget(m_splitter);

    m_statusLabel = new QLabel;
    m_statusLabel->setObjectName(QStringLiteral("statusMessage"));
    // Status messages name projects and items.
    m_statusLabel->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(m_statusLabel, 1);
    // What a one-line message cannot hold, in full on request (WindowCommands shows it while there is some).
    auto* statusDetails = new QPushButton(QStringLiteral("Details…"));
    statusDetails->setObjectName(QStringLiteral("statusDetails"));
    // Reached with Tab, it holds the message (see WindowCommands); a click leaves the keyboard where it was.
    statusDetails->setFocusPolicy(Qt::TabFocus);
    statusBar()->addWidget(statusDetails);
    statusDetails->hide();

    buildActions();
    buildMenus();
    buildToolbar();
    refreshToolbarGlyphs();
    m_commands = new WindowCommands(*this, document, services);
    buildLoginStatusButton();
    loadColorThemes();
    buildQuadrantControls();
    m_storeObserver = m_document.context().addChangeObserver([this](const store::ChangeEvent& event) {
        updateActionStates();
        showChangedQuadrantColors(event);
        updateWindowTitle(); // the shown project may have been renamed
    });
    // Undo and Redo follow the store's history, also when no change event tells of it: the sync
    // sets the history aside around its own writes and brings it back after their event.
    m_undoObserver = m_document.context().addUndoObserver([this] { updateUndoActions(); });

    // The user's filter and order, then the rows at the user's font tier.
    m_board->updateFilters();
    m_board->updateSortDescriptors();
    applyFontTier();
    connect(services.preferences, &Preferences::changed, this, &MainWindow::preferenceChanged);
    applyPanelPreferences();
    projectShown(nullptr);
    activeQuadrantChanged(m_board->activeQuadrant());

    // The document's own start-up, unless whoever opened it already ran it.
    if (!m_document.isReceivingEditingNotifications())
        m_document.awakeFromNib();

    if (services.scheduler) {
        services.scheduler->post(this, [this] {
            // The panels are in place by now: the widths they were left with.
            m_splitter->restoreWidths();
            if (m_services.preferences->boolValue(kHideProjects))
                m_views[0]->setFocus(Qt::OtherFocusReason);
            else
                m_projectList->setFocus(Qt::OtherFocusReason);
        });
    }
    // Where the user left the window last time.
    const QByteArray geometry =
        QByteArray::fromBase64(services.preferences->stringValue(kMainWindowGeometry).toLatin1());
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        resize(1180, 760);
    // The window system is told only once the window is shown: a state set before that is
    // lost when the window's surface is made anew for the web pages.
    if (windowState() & Qt::WindowMaximized) {
        setWindowState(windowState() & ~Qt::WindowMaximized);
        m_maximizeWhenShown = true;
    }
}

MainWindow::~MainWindow()
{
    saveWindowGeometry();
    if (m_services.scheduler && m_loginTimer)
        m_services.scheduler->cancel(m_loginTimer);
    stopObserving();
    endAllEditing();
    m_board->releaseAll();
    m_board->setView(nullptr);
    if (m_document.window() == this)
        m_document.setWindow(nullptr);
    // The tables and their editors go before the board they show.
    delete takeCentralWidget();
}

QuadrantView* MainWindow::quadrantView(int quadrant) const
{
    return quadrant >= 0 && quadrant < 4 ? m_views[size_t(quadrant)] : nullptr;
}

QuadrantPanel* MainWindow::quadrantPanel(int quadrant) const
{
    return quadrant >= 0 && quadrant < 4 ? m_panels[size_t(quadrant)] : nullptr;
}

void MainWindow::setRightPanel(QWidget* panel)
{
    placePanel(m_rightArea, panel);
}

void MainWindow::setInboxPanel(QWidget* panel)
{
    placePanel(m_inboxArea, panel);
}

void MainWindow::setFeedPanel(QWidget* panel)
{
    placePanel(m_feedArea, panel);
}

void MainWindow::setBoardHeader(QWidget* header)
{
    placePanel(m_boardHeaderArea, header);
}

void MainWindow::placePanel(QWidget* area, QWidget* panel)
{
    QLayout* layout = area->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* old = item->widget())
            old->hide();
        delete item;
    }
    if (panel)
        layout->addWidget(panel);
    applyPanelPreferences();
}

void MainWindow::setFilterPanel(ItemFilterPanel* panel)
{
    m_filterPanel = panel;
    m_board->setFilterPanel(panel);
    m_board->updateFilters();
}

void MainWindow::setCollaboration(const CollaborationInterface* collaboration)
{
    m_board->setCollaboration(collaboration);
}

void MainWindow::setUrlOpener(const std::function<void(const QUrl&)>& opener)
{
    for (QuadrantView* view : m_views)
        view->setUrlOpener(opener);
}

// --- Actions, menus, toolbar

void MainWindow::buildActions()
{
    // Title editors and other text fields keep these keys for their own text.
    const auto editAction = [this](const QString& text, QKeySequence::StandardKey keys,
                                   std::function<void(ItemClipboard&)> command) {
        auto* action = new QAction(text, this);
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, [this, command = std::move(command)] {
            endAllEditing();
            command(*m_clipboard);
            updateActionStates();
        });
        return action;
    };
    m_undo = editAction(QStringLiteral("Undo"), QKeySequence::Undo, &ItemClipboard::undo);
    m_redo = editAction(QStringLiteral("Redo"), QKeySequence::Redo, &ItemClipboard::redo);
    m_cut = editAction(QStringLiteral("Cut"), QKeySequence::Cut, &ItemClipboard::cut);
    m_copy = editAction(QStringLiteral("Copy"), QKeySequence::Copy, &ItemClipboard::copy);
    m_paste = editAction(QStringLiteral("Paste"), QKeySequence::Paste, &ItemClipboard::paste);

    m_addItem = new QAction(QStringLiteral("New Item"), this);
    m_addItem->setShortcut(QKeySequence::New);
    m_addItem->setToolTip(QStringLiteral("Add an item to the active quadrant"));
    connect(m_addItem, &QAction::triggered, this, [this] {
        if (!m_board->addTODOItem())
            m_board->addTODOItemToQuadrant(0);
    });

    const char* quadrantNames[] = {"First", "Second", "Third", "Fourth"};
    for (int q = 0; q < 4; ++q) {
        auto* action =
            new QAction(QStringLiteral("New Item in %1 Quadrant").arg(QLatin1String(quadrantNames[q])), this);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + q)));
        connect(action, &QAction::triggered, this, [this, q] { m_board->addTODOItemToQuadrant(q); });
        m_addToQuadrant[size_t(q)] = action;
    }

    m_completeItems = new QAction(QStringLiteral("Complete"), this);
    m_completeItems->setIconText(QStringLiteral("Complete"));
    m_completeItems->setText(QStringLiteral("Mark as Completed…"));
    m_completeItems->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    m_completeItems->setToolTip(QStringLiteral("Complete the selected items"));
    connect(m_completeItems, &QAction::triggered, this, [this] { m_board->markListOrItemsAsCompleted(); });

    m_deleteItems = new QAction(QStringLiteral("Delete"), this);
    m_deleteItems->setIconText(QStringLiteral("Delete"));
    m_deleteItems->setText(QStringLiteral("Move to Trash…"));
    m_deleteItems->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace));
    m_deleteItems->setToolTip(QStringLiteral("Move the selected items to the trash bin"));
    connect(m_deleteItems, &QAction::triggered, this, [this] { m_board->markItemsAsDeleted(); });

    m_toggleCompleted = new QAction(QStringLiteral("Toggle Completed"), this);
    m_toggleCompleted->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    connect(m_toggleCompleted, &QAction::triggered, this,
            [this] { m_board->toggleListOrItemsAsCompleted(); });

    m_editTitle = new QAction(QStringLiteral("Edit Title"), this);
    m_editTitle->setShortcut(QKeySequence(Qt::Key_F2));
    connect(m_editTitle, &QAction::triggered, this, [this] {
        const int q = m_board->activeQuadrant();
        if (ArrayController* controller = m_board->controllerForQuadrant(q);
            controller && controller->hasSelection())
            editTitle(q, controller->selectionIndex());
    });

    m_moveToTop = new QAction(QStringLiteral("Move to Top"), this);
    m_moveToTop->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up));
    connect(m_moveToTop, &QAction::triggered, this, [this] { m_board->moveSelectedItemsToFringe(true); });
    m_moveToBottom = new QAction(QStringLiteral("Move to Bottom"), this);
    m_moveToBottom->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down));
    connect(m_moveToBottom, &QAction::triggered, this, [this] { m_board->moveSelectedItemsToFringe(false); });

    m_toggleStar = new QAction(QStringLiteral("Toggle Star"), this);
    m_toggleStar->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(m_toggleStar, &QAction::triggered, this, [this] { m_board->toggleStarForSelectedItems(); });

    // New items from files or a screen shot, in the active quadrant.
    m_uploadFiles = new QAction(QStringLiteral("New Items from Files…"), this);
    m_uploadFiles->setObjectName(QStringLiteral("uploadFiles"));
    connect(m_uploadFiles, &QAction::triggered, this, &MainWindow::uploadFiles);
    m_captureScreen = new QAction(QStringLiteral("New Item from Screen Shot…"), this);
    m_captureScreen->setObjectName(QStringLiteral("captureSelectionFromScreen"));
    connect(m_captureScreen, &QAction::triggered, this, &MainWindow::captureSelectionFromScreen);
    m_chooseFiles = [this] {
        return QFileDialog::getOpenFileNames(this, QStringLiteral("New Items from Files"));
    };

    m_newProject = new QAction(QStringLiteral("New Project"), this);
    m_newProject->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    connect(m_newProject, &QAction::triggered, this, [this] { addNewProject(-1); });

    m_biggerText = new QAction(QStringLiteral("Bigger Text"), this);
    m_biggerText->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    connect(m_biggerText, &QAction::triggered, this, &MainWindow::increaseFontSize);
    m_smallerText = new QAction(QStringLiteral("Smaller Text"), this);
    m_smallerText->setShortcut(QKeySequence::ZoomOut);
    connect(m_smallerText, &QAction::triggered, this, &MainWindow::decreaseFontSize);

    m_closeWindow = new QAction(QStringLiteral("Close Window"), this);
    m_closeWindow->setShortcut(QKeySequence::Close);
    connect(m_closeWindow, &QAction::triggered, this, &QWidget::close);

    m_sortGroup = new QActionGroup(this);
    for (int mode = 0; mode < BoardArrangement::kSortModeCount; ++mode) {
        auto* action = new QAction(QString::fromUtf8(kSortModeTitles[mode]), m_sortGroup);
        action->setCheckable(true);
        action->setData(mode);
        connect(action, &QAction::triggered, this, [this, mode] {
            m_services.preferences->setValue(BoardArrangement::kItemSortingState, mode);
        });
    }
    m_filterGroup = new QActionGroup(this);
    for (int state = 0; state < 5; ++state) {
        auto* action = new QAction(QString::fromUtf8(kFilterStateTitles[state]), m_filterGroup);
        action->setCheckable(true);
        action->setData(state);
        connect(action, &QAction::triggered, this, [this, state] {
            m_services.preferences->setValue(BoardArrangement::kItemFilterState, state);
        });
    }
    refreshSortAndFilterChecks();
}

void MainWindow::buildMenus()
{
    QMenu* projectMenu = menuBar()->addMenu(QStringLiteral("&Project"));
    projectMenu->addAction(m_newProject);
    m_templatesMenu = projectMenu->addMenu(QStringLiteral("New Project from Template"));
    fillTemplatesMenu(m_templatesMenu);
    projectMenu->addSeparator();
    projectMenu->addAction(m_closeWindow);

    QMenu* editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    editMenu->addAction(m_undo);
    editMenu->addAction(m_redo);
    editMenu->addSeparator();
    editMenu->addAction(m_cut);
    editMenu->addAction(m_copy);
    editMenu->addAction(m_paste);

    QMenu* itemMenu = menuBar()->addMenu(QStringLiteral("&Item"));
    itemMenu->addAction(m_addItem);
    for (QAction* action : m_addToQuadrant)
        itemMenu->addAction(action);
    itemMenu->addAction(m_uploadFiles);
    itemMenu->addAction(m_captureScreen);
    itemMenu->addSeparator();
    itemMenu->addAction(m_editTitle);
    itemMenu->addAction(m_toggleCompleted);
    itemMenu->addAction(m_completeItems);
    itemMenu->addAction(m_toggleStar);
    itemMenu->addSeparator();
    itemMenu->addAction(m_moveToTop);
    itemMenu->addAction(m_moveToBottom);
    itemMenu->addSeparator();
    itemMenu->addAction(m_deleteItems);

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->addAction(m_biggerText);
    viewMenu->addAction(m_smallerText);
    viewMenu->addSeparator();
    m_sortMenu = viewMenu->addMenu(QStringLiteral("Sort Items By"));
    m_sortMenu->addActions(m_sortGroup->actions());
    m_filterMenu = viewMenu->addMenu(QStringLiteral("Show"));
    m_filterMenu->addActions(m_filterGroup->actions());

    m_itemContextMenu = new QMenu(this);
    m_itemContextMenu->addAction(m_editTitle);
    m_itemContextMenu->addAction(m_toggleCompleted);
    m_itemContextMenu->addAction(m_toggleStar);
    m_itemContextMenu->addSeparator();
    m_itemContextMenu->addAction(m_moveToTop);
    m_itemContextMenu->addAction(m_moveToBottom);
    m_itemContextMenu->addSeparator();
    m_itemContextMenu->addAction(m_uploadFiles);
    m_itemContextMenu->addAction(m_captureScreen);
    m_itemContextMenu->addSeparator();
    m_itemContextMenu->addAction(m_deleteItems);
}

void MainWindow::fillTemplatesMenu(QMenu* menu)
{
    const auto& templates = TemplateManager::sharedInstance().getQuadrantTemplates();
    QAction* custom = menu->addAction(QStringLiteral("Custom template"));
    // Custom templates live on the sync server, which offers no route for them yet.
    custom->setObjectName(QStringLiteral("addNewProjectFromTemplate"));
    custom->setToolTip(
        QStringLiteral("Templates saved on the sync server are not available in this version."));
    custom->setEnabled(false);
    custom->setData(int(templates.size()));
    connect(custom, &QAction::triggered, this, &MainWindow::customTemplateRequested);
    menu->addSeparator();
    for (size_t i = 0; i < templates.size(); ++i) {
        QAction* action = menu->addAction(templates[i].title);
        action->setToolTip(templates[i].tooltip);
        action->setData(int(i));
        connect(action, &QAction::triggered, this, [this, i] { addNewProject(int(i)); });
    }
    menu->setToolTipsVisible(true);
}

void MainWindow::buildToolbar()
{
    QToolBar* toolbar = addToolBar(QStringLiteral("Main"));
    toolbar->setObjectName(QStringLiteral("mainToolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setIconSize(QSize(22, 22));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_addItem->setIconText(QStringLiteral("Add"));
    buildDropButtons(toolbar);
    toolbar->addSeparator();

    m_newProjectButton = new QToolButton;
    m_newProjectButton->setDefaultAction(m_newProject);
    m_newProjectButton->setMenu(m_templatesMenu);
    m_newProjectButton->setPopupMode(QToolButton::MenuButtonPopup);
    m_newProjectButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->addWidget(m_newProjectButton);

    auto* sortMenu = new QMenu(this);
    sortMenu->addSection(QStringLiteral("Sort Items By"));
    sortMenu->addActions(m_sortGroup->actions());
    sortMenu->addSection(QStringLiteral("Show"));
    sortMenu->addActions(m_filterGroup->actions());
    m_sortButton = new QToolButton;
    // The style puts a menu arrow over the label of a button with text under its icon: the
    // label carries the arrow instead.
    m_sortButton->setText(QStringLiteral("Sort && Filters \u25BE"));
    m_sortButton->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
    m_sortButton->setMenu(sortMenu);
    m_sortButton->setPopupMode(QToolButton::InstantPopup);
    m_sortButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->addWidget(m_sortButton);
}

void MainWindow::refreshSortAndFilterChecks()
{
    const int mode = m_services.preferences->intValue(BoardArrangement::kItemSortingState);
    for (QAction* action : m_sortGroup->actions())
        action->setChecked(action->data().toInt() == mode);
    const int state = m_services.preferences->intValue(BoardArrangement::kItemFilterState);
    for (QAction* action : m_filterGroup->actions())
        action->setChecked(action->data().toInt() == state);
}

void MainWindow::updateActionStates()
{
    const bool project = m_board->selectedProject() != nullptr;
    ArrayController* active = m_board->controllerForQuadrant(m_board->activeQuadrant());
    const bool selection = active && active->hasSelection();
    m_addItem->setEnabled(project);
    for (QAction* action : m_addToQuadrant)
        action->setEnabled(project);
    for (QAction* action : {m_completeItems, m_toggleCompleted, m_editTitle, m_moveToTop, m_moveToBottom,
                            m_toggleStar, m_cut, m_copy})
        action->setEnabled(selection);
    m_paste->setEnabled(project);
    updateUndoActions();
    // Without a selection the trash command opens the trash bin.
    m_deleteItems->setEnabled(project);

    AttachmentUploads* attachments = m_board->attachments();
    const bool takesItems = project && !m_board->selectedProject()->lazyFetch();
    m_uploadFiles->setEnabled(takesItems && attachments);
    m_uploadFiles->setToolTip(attachments ? QString()
                                          : QStringLiteral("Files cannot be attached in this window."));
    ScreenCapture* capture = attachments ? attachments->screenCapture() : nullptr;
    QString why = QStringLiteral("Screen shots cannot be taken here.");
    const bool canCapture = capture && capture->isAvailable(&why);
    m_captureScreen->setEnabled(takesItems && canCapture);
    m_captureScreen->setToolTip(canCapture ? QString() : why);
}

void MainWindow::updateUndoActions()
{
    m_undo->setEnabled(m_clipboard->canUndo());
    m_redo->setEnabled(m_clipboard->canRedo());
}

void MainWindow::setAttachments(AttachmentUploads* attachments)
{
    m_board->setAttachments(attachments);
    updateActionStates();
}

void MainWindow::uploadFiles()
{
    const int quadrant = m_board->activeQuadrant();
    if (!m_board->attachments() || !m_board->controllerForQuadrant(quadrant) || !m_chooseFiles)
        return;
    endAllEditing();
    const QStringList paths = m_chooseFiles();
    if (!paths.isEmpty())
        m_board->uploadFiles(quadrant, paths);
}

void MainWindow::captureSelectionFromScreen()
{
    const int quadrant = m_board->activeQuadrant();
    AttachmentUploads* attachments = m_board->attachments();
    ScreenCapture* capture = attachments ? attachments->screenCapture() : nullptr;
    if (!capture || !m_board->controllerForQuadrant(quadrant) || !capture->isAvailable(nullptr))
        return;
    endAllEditing();
    capture->captureSelection([this, quadrant, alive = QPointer<MainWindow>(this)](const QImage& image) {
        // A null picture: the user cancelled.
        if (alive && !image.isNull())
            m_board->addScreenShot(quadrant, image);
    });
}

void MainWindow::showItemContextMenu(const QPoint& globalPosition)
{
    updateActionStates();
    m_itemContextMenu->popup(globalPosition);
}

void MainWindow::addNewProject(int templateIndex)
{
    endAllEditing();
    if (templateIndex < 0) {
        m_projectList->addNewProjectWithTemplate(nullptr);
        return;
    }
    const auto& templates = TemplateManager::sharedInstance().getQuadrantTemplates();
    if (templateIndex >= int(templates.size()))
        return;
    const TemplateManager::QuadrantTemplate& chosen = templates[size_t(templateIndex)];
    ProjectTemplate projectTemplate;
    projectTemplate.title = chosen.title;
    projectTemplate.quadrantTitles = {chosen.textFirstQuadrant, chosen.textSecondQuadrant,
                                      chosen.textThirdQuadrant, chosen.textFourthQuadrant};
    projectTemplate.centerX = chosen.centerX;
    projectTemplate.centerY = chosen.centerY;
    m_projectList->addNewProjectWithTemplate(&projectTemplate);
}

// --- Preferences

void MainWindow::preferenceChanged(const QString& key)
{
    if (key == BoardArrangement::kItemSortingState || key == BoardArrangement::kItemFilterState) {
        refreshSortAndFilterChecks();
    } else if (key == kShowingInbox || key == kHideProjects || key == kShowingFeed || key == kShowingDetail) {
        applyPanelPreferences();
    } else if (key == FontSizeTiers::key()) {
        applyFontTier();
    } else if (key == kHidingAvatarsInItems) {
        for (int q = 0; q < 4; ++q)
            reloadQuadrant(q);
    } else if (key == kWorkOfflineOnly) {
        if (SyncEngineInterface* sync = m_document.syncEngine()) {
            if (m_services.preferences->boolValue(kWorkOfflineOnly))
                sync->stopAllLoops();
            else
                sync->startAllLoops();
        }
    }
}

void MainWindow::applyPanelPreferences()
{
    const Preferences& preferences = *m_services.preferences;
    const auto holdsPanel = [](const QWidget* area) {
        return area->layout()->count() > 0;
    };
    m_splitter->showColumn(PanelColumn::Inbox,
                           preferences.boolValue(kShowingInbox) && holdsPanel(m_inboxArea));
    m_splitter->showColumn(PanelColumn::Projects, !preferences.boolValue(kHideProjects));
    m_splitter->showColumn(PanelColumn::Feed, preferences.boolValue(kShowingFeed) && holdsPanel(m_feedArea));
    m_splitter->showColumn(PanelColumn::Detail,
                           preferences.boolValue(kShowingDetail) && holdsPanel(m_rightArea));
    m_boardHeaderArea->setVisible(holdsPanel(m_boardHeaderArea));
}

void MainWindow::applyFontTier()
{
    const float fontSize = FontSizeTiers::currentFontSize(*m_services.preferences);
    for (QuadrantPanel* panel : m_panels)
        panel->setBaseFontSize(fontSize);
    setQuadrantRowHeight(FontSizeTiers::currentQuadrantRowHeight(*m_services.preferences));
    reloadTableViews();
}

void MainWindow::setQuadrantRowHeight(float height)
{
    for (QuadrantView* view : m_views)
        view->setRowHeight(int(height));
    m_projectList->setRowHeight(int(height));
}

void MainWindow::increaseFontSize()
{
    FontSizeTiers::increaseFontTier(*m_services.preferences);
    setQuadrantRowHeight(FontSizeTiers::currentQuadrantRowHeight(*m_services.preferences));
    reloadTableViews();
}

void MainWindow::decreaseFontSize()
{
    FontSizeTiers::decreaseFontTier(*m_services.preferences);
    setQuadrantRowHeight(FontSizeTiers::currentQuadrantRowHeight(*m_services.preferences));
    reloadTableViews();
}

void MainWindow::reloadTableViews()
{
    m_projectList->update();
    for (QuadrantView* view : m_views) {
        view->itemsModel()->reloadRows();
        view->viewport()->update();
    }
}

void MainWindow::changeToolbarForDragging(bool dragging)
{
    // While items are dragged only the drop buttons stay at hand.
    toolbarForDragging(dragging);
    if (!dragging)
        updateActionStates();
}

// --- The project shown

void MainWindow::showProject(TODOList* project)
{
    endAllEditing();
    m_board->showProject(project);
}

void MainWindow::projectShown(TODOList* project)
{
    showBoardOrMessage();
    updateWindowTitle();
    for (int q = 0; q < 4; ++q) {
        QuadrantPanel* panel = m_panels[size_t(q)];
        panel->setTitle(project ? project->nameForQuadrant(q) : QString());
        panel->setColor(QuadrantColors::quadrantColor(project, q));
        if (ColorWell* well = m_dropsAndThemes->wells[size_t(q)])
            well->setColor(QuadrantColors::quadrantColor(project, q));
        m_views[size_t(q)]->itemsModel()->setEditable(!project || !project->lazyFetch());
        const QString name = project ? project->nameForQuadrant(q) : QString();
        m_addToQuadrant[size_t(q)]->setText(
            name.isEmpty() ? QStringLiteral("New Item in Quadrant %1").arg(q + 1)
                           : QStringLiteral("New Item in “%1”").arg(PlainText::menuText(name)));
    }
    if (project) {
        m_fourQuadrants->setCrossFraction(
            CrossPosition::fractionFromStored(project->centerX(), project->centerY()));
        const int row = m_projectList->controller().rowOfProject(project);
        if (!m_isSelectingLastProject && row >= 0)
            m_services.preferences->setValue(kLastSelectedProjectRow, row);
    }
    updateActionStates();
}

void MainWindow::updateWindowTitle()
{
    TODOList* project = m_board->selectedProject();
    const QString title =
        project && !project->isDeleted()
            ? QStringLiteral("%1 \u2014 Quadrivo").arg(ProjectListController::displayName(project))
            : QStringLiteral("Quadrivo");
    if (windowTitle() != title)
        setWindowTitle(title);
}

void MainWindow::saveWindowGeometry()
{
    if (m_services.preferences)
        m_services.preferences->setValue(kMainWindowGeometry, QString::fromLatin1(saveGeometry().toBase64()));
}

void MainWindow::showBoardOrMessage()
{
    auto* stack = qobject_cast<QStackedWidget*>(m_fourQuadrants->parentWidget());
    if (!stack)
        return;
    const bool board = m_board->selectedProject() && m_noQuadrantsMessage.isEmpty();
    m_emptyMessage->setText(m_noQuadrantsMessage.isEmpty()
                                ? QStringLiteral("Select a project on the left, or create one.")
                                : m_noQuadrantsMessage);
    stack->setCurrentWidget(board ? static_cast<QWidget*>(m_fourQuadrants) : m_emptyMessage);
}

void MainWindow::selectLastSelectedProjectAfterDelay()
{
    if (!m_services.scheduler)
        return;
    m_isSelectingLastProject = true;
    m_services.scheduler->after(1000, this, [this] {
        m_projectList->selectLastSelectedProject();
        m_isSelectingLastProject = false;
    });
}

void MainWindow::refreshController()
{
    m_projectList->rearrange();
    for (int q = 0; q < 4; ++q)
        m_board->controller(q).rearrangeObjects();
    cleanListCustomCells();
}

// --- ProjectListHost

void MainWindow::deselectItems()
{
    m_board->selectItem(nullptr);
}

bool MainWindow::isFilteringItems() const
{
    return m_filterPanel && m_filterPanel->getIsFiltering();
}

QString MainWindow::searchString() const
{
    return m_filterPanel ? m_filterPanel->searchString() : QStringLiteral("");
}

QDateTime MainWindow::minDate() const
{
    return m_filterPanel ? m_filterPanel->getMinSelectedDate() : QDateTime();
}

QDateTime MainWindow::maxDate() const
{
    return m_filterPanel ? m_filterPanel->getMaxSelectedDate() : QDateTime();
}

QStringList MainWindow::currentOwnerEmails() const
{
    return m_filterPanel ? m_filterPanel->currentOwnerEmails() : QStringList();
}

ObjectPredicate MainWindow::itemFilterPredicate() const
{
    return m_board->arrangement().userFilterPredicate();
}

void MainWindow::setNoQuadrantsMessageLabel(const QString& message)
{
    m_noQuadrantsMessage = message;
    showBoardOrMessage();
}

void MainWindow::enableFirstQuadrantAndSelectRow(int row)
{
    m_board->enableQuadrantAndSelectRows(0, {row});
}

bool MainWindow::makeWindowFirstResponder()
{
    endAllEditing();
    setFocus(Qt::OtherFocusReason);
    return true;
}

// --- DocumentWindow

ProjectList* MainWindow::projectList()
{
    return m_projectList;
}

void MainWindow::changeFiltersToNormal()
{
    m_board->changeFiltersToNormal();
}

void MainWindow::updateFilters()
{
    m_board->updateFilters();
}

Predicate MainWindow::userFilterPredicate() const
{
    return m_board->userFilterPredicate();
}

void MainWindow::startObservingSyncEngine()
{
    if (m_observingSync || m_stoppedObserving)
        return;
    m_observingSync = true;
    // The engine may have gone online (a kept session) before anyone listened: read it now.
    redisplayLoginStatusButton();
    if (NotificationCenter* center = m_services.notifications) {
        center->addObserver(this, kNotificationItemUpdaterLooped,
                            [this](const Notification&) { m_board->rearrangeArrayControllers(); });
        center->addObserver(this, kNotificationProjectUpdaterLooped, [this](const Notification&) {
            cleanListCustomCells();
            rearrangeProjectList();
        });
    }
    // The engine's observable properties, whichever engine it is.
    auto* engine = dynamic_cast<QObject*>(m_document.syncEngine());
    if (!engine)
        return;
    const QMetaObject* meta = engine->metaObject();
    const int statusProperty = meta->indexOfProperty("statusMessage");
    if (statusProperty >= 0 && meta->property(statusProperty).hasNotifySignal()) {
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("syncStatusChanged()"));
        m_syncConnections.push_back(
            connect(engine, meta->property(statusProperty).notifySignal(), this, slot));
        syncStatusChanged();
    }
    const int onlineProperty = meta->indexOfProperty("isOnline");
    if (onlineProperty >= 0 && meta->property(onlineProperty).hasNotifySignal()) {
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("syncOnlineChanged()"));
        m_syncConnections.push_back(
            connect(engine, meta->property(onlineProperty).notifySignal(), this, slot));
    }
}

void MainWindow::syncStatusChanged()
{
    auto* engine = dynamic_cast<QObject*>(m_document.syncEngine());
    if (!engine)
        return;
    const QString message = engine->property("statusMessage").toString();
    // No prompt to click a command the window cannot offer.
    if (!m_commands->account().isAvailable() &&
        message == QLatin1String("Not signed in -- Click Sync to sign in"))
        setStatusMessage(QString());
    else
        setStatusMessage(message);
}

void MainWindow::startCalendarSyncTimer()
{
    m_commands->startCalendarSyncTimer();
}

void MainWindow::stopObserving()
{
    if (m_stoppedObserving)
        return;
    m_stoppedObserving = true;
    if (m_storeObserver) {
        m_document.context().removeChangeObserver(*m_storeObserver);
        m_storeObserver.reset();
    }
    if (m_undoObserver) {
        m_document.context().removeUndoObserver(*m_undoObserver);
        m_undoObserver.reset();
    }
    if (m_services.notifications)
        m_services.notifications->removeObserver(this);
    for (const QMetaObject::Connection& connection : m_syncConnections)
        disconnect(connection);
    m_syncConnections.clear();
}

void MainWindow::inboxItemAdded(TODOItem* item)
{
    emit inboxItemWasAdded(item);
}

void MainWindow::setStatusMessage(const QString& message)
{
    m_commands->statusBar().setSyncStatus(message);
}

void MainWindow::setStatusBarMessage(const QString& message, const QString& details)
{
    m_commands->statusBar().setStatusBarMessage(message, details);
}

// --- BoardView

void MainWindow::editTitle(int quadrant, qsizetype row)
{
    if (QuadrantView* view = quadrantView(quadrant))
        view->editTitle(row);
}

void MainWindow::scrollToRow(int quadrant, qsizetype row)
{
    if (QuadrantView* view = quadrantView(quadrant))
        view->scrollToRow(row);
}

void MainWindow::reloadQuadrant(int quadrant)
{
    if (QuadrantView* view = quadrantView(quadrant)) {
        view->itemsModel()->reloadRows();
        view->viewport()->update();
    }
}

void MainWindow::focusQuadrant(int quadrant)
{
    if (QuadrantView* view = quadrantView(quadrant))
        view->setFocus(Qt::OtherFocusReason);
}

void MainWindow::focusProjectList()
{
    m_projectList->setFocus(Qt::OtherFocusReason);
}

void MainWindow::activeQuadrantChanged(int quadrant)
{
    for (int q = 0; q < 4; ++q)
        m_panels[size_t(q)]->showVisualHint(q == quadrant);
    emit activeControllerChanged(m_board->controllerForQuadrant(quadrant));
    updateActionStates();
}

void MainWindow::cleanListCustomCells()
{
    m_projectList->cleanListCustomCells();
}

void MainWindow::reloadProjectListFilters()
{
    m_projectList->reloadFilters();
}

void MainWindow::rearrangeProjectList()
{
    m_projectList->rearrange();
}

void MainWindow::showUndeleteWindow()
{
    emit undeleteWindowRequested();
}

bool MainWindow::isShowingDetail() const
{
    return m_rightArea->isVisible();
}

void MainWindow::toggleShowDetail()
{
    if (m_rightArea->layout()->count() > 0)
        m_services.preferences->setValue(kShowingDetail, !m_services.preferences->boolValue(kShowingDetail));
    emit detailToggleRequested();
}

void MainWindow::scrollSelectedRowToVisible()
{
    for (int q = 0; q < 4; ++q) {
        const ArrayController& controller = m_board->controller(q);
        if (controller.hasSelection()) {
            m_views[size_t(q)]->scrollToRow(controller.selectionIndex());
            return;
        }
    }
}

void MainWindow::endEditing()
{
    endAllEditing();
}

void MainWindow::endAllEditing()
{
    for (QuadrantView* view : m_views) {
        if (view)
            view->endEditing();
    }
}

// --- Window events

bool MainWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        scheduleLoginCheck();
    const bool result = QMainWindow::event(event);
    if (event->type() == QEvent::PaletteChange)
        refreshToolbarGlyphs();
    return result;
}

QList<QWidget*> MainWindow::detailFields() const
{
    QList<QWidget*> fields;
    QWidget* panel = m_keyboardPanel ? m_keyboardPanel.data() : m_rightArea;
    if (!panel->isVisible())
        return fields;
    for (QWidget* widget = panel->nextInFocusChain(); widget && widget != panel;
         widget = widget->nextInFocusChain()) {
        if (!panel->isAncestorOf(widget))
            continue;
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisible() && widget->isEnabled() &&
            !widget->focusProxy() && !fields.contains(widget))
            fields << widget;
    }
    return fields;
}

bool MainWindow::focusNextPrevChild(bool next)
{
    QWidget* current = QApplication::focusWidget();
    const auto within = [current](const QWidget* widget) {
        return widget && current && (widget == current || widget->isAncestorOf(current));
    };
    const QList<QWidget*> fields = detailFields();
    const Qt::FocusReason reason = next ? Qt::TabFocusReason : Qt::BacktabFocusReason;
    for (int q = 0; q < 4; ++q) {
        if (within(m_views[size_t(q)])) {
            if (fields.isEmpty())
                break;
            (next ? fields.first() : fields.last())->setFocus(reason);
            return true;
        }
    }
    if (!fields.isEmpty() && within(next ? fields.last() : fields.first())) {
        if (QuadrantView* view = quadrantView(m_board->activeQuadrant())) {
            view->setFocus(reason);
            return true;
        }
    }
    return QMainWindow::focusNextPrevChild(next);
}

void MainWindow::refreshToolbarGlyphs()
{
    const QPalette colors = palette();
    m_addItem->setIcon(toolbarIcon(QStringLiteral("UI_Icon_mac_add"), colors));
    m_completeItems->setIcon(toolbarIcon(QStringLiteral("UI_Icon_mac_done"), colors));
    m_deleteItems->setIcon(toolbarIcon(QStringLiteral("UI_Icon_mac_delete"), colors));
    m_newProject->setIcon(glyphIcon(true, colors));
    if (m_sortButton)
        m_sortButton->setIcon(glyphIcon(false, colors));
}

void MainWindow::scheduleLoginCheck()
{
    if (m_loginCheckScheduled || !m_services.scheduler)
        return;
    m_loginCheckScheduled = true;
    m_loginTimer = m_services.scheduler->after(kLoginCheckDelayMs, this, [this] {
        m_loginTimer = 0;
        loginCheck();
    });
}

void MainWindow::loginCheck()
{
    SyncEngineInterface* sync = m_document.syncEngine();
    if (!sync || sync->isOnline() || m_services.preferences->boolValue(kWorkOfflineOnly))
        return;
    if (m_services.preferences->stringValue(QStringLiteral("_currentUser")).isEmpty())
        emit syncWindowRequested();
    else
        emit loginRequested();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (std::exchange(m_maximizeWhenShown, false))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    // Said at once: what the start-up posted runs before anything posted from here.
    if (!std::exchange(m_painted, true))
        qCInfo(lcMilestones, "First frame of the window painted");
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Whatever is being typed or dragged ends here, and the editing lock with it.
    endAllEditing();
    m_board->releaseAll();
    m_document.canCloseDocument();
    saveWindowGeometry();
    event->accept();
}

} // namespace qv
