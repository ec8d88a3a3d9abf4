#include "ui/board/widgets/WindowCommands.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/util/BuildInfo.h"
#include "core/util/Utils.h"
#include "exchange/iCalController.h"
#include "platform/Alerts.h"
#include "platform/Preferences.h"
#include "ui/board/AccountCommands.h"
#include "ui/board/ArrayController.h"
#include "ui/board/Board.h"
#include "ui/board/HelpProject.h"
#include "ui/board/ItemFilterPanel.h"
#include "ui/board/OfflineAccountCommands.h"
#include "ui/board/StatusBarController.h"
#include "ui/board/widgets/BoardWidgetsLogging.h"
#include "ui/board/widgets/CalendarSyncViewController.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/MasterListSheet.h"
#include "ui/board/widgets/ProjectListView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

namespace {

const QString kCalendarOffReason = QStringLiteral("Turn calendar sync on in Calendar Sync Settings… first.");
const QString kNoCalendarFilesReason =
    QStringLiteral("Add a calendar file to import from in Calendar Sync Settings… first.");
const QString kServerTemplatesReason =
    QStringLiteral("Templates saved on the sync server are not available in this version; the built-in "
                   "templates are under New Project from Template.");
const QString kNoServerReason = QStringLiteral("No sync server is configured for this build.");

void setAvailable(QAction* action, bool enabled, const QString& tip, const QString& reason)
{
    action->setEnabled(enabled);
    action->setToolTip(enabled || reason.isEmpty() ? tip : reason);
}

struct PageCommand {
    WebPage page;
    const char* name;
    const char* text;
};

const PageCommand kAccountPages[] = {
    {WebPage::DailyReport, "showDailyReport", "Daily Report"},
    {WebPage::WeeklyReport, "showWeeklyReport", "Weekly Report"},
    {WebPage::HotList, "showHotList", "Hot List"},
    {WebPage::TeamPage, "showTeamWebPage", "Team Page"},
    {WebPage::AccountManagement, "showAccountMgmtPage", "Account Settings…"},
    {WebPage::CollaboratorsManagement, "showCollaboratorsManagementPage", "Collaborators…"},
    {WebPage::NotesAccount, "associateEvernoteAccount", "Import from a Notes Account…"},
    {WebPage::ChangeAvatar, "changeAvatar", "Change Avatar…"},
    {WebPage::DeleteAvatar, "deleteAvatar", "Delete Avatar…"},
};

} // namespace

WindowCommands::WindowCommands(MainWindow& window, MyDocument& document, const Services& services)
    : QObject(&window), m_window(window), m_document(document), m_services(services),
      m_offlineAccount(std::make_unique<OfflineAccountCommands>()),
      m_desktopBrowser(std::make_unique<DesktopBrowser>()), m_account(m_offlineAccount.get()),
      m_browser(m_desktopBrowser.get()), m_syncOrigin(BuildInfo::syncOrigin()),
      m_webOrigin(BuildInfo::webOrigin()),
      m_openExternally([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    m_statusBar = std::make_unique<StatusBarController>(
        services.scheduler, [this] { return m_window.isVisible(); }, [this] { return isTerminating(); });
    if (auto* label = m_window.findChild<QLabel*>(QStringLiteral("statusMessage")))
        connect(m_statusBar.get(), &StatusBarController::textChanged, label, &QLabel::setText);
    if (auto* details = m_window.findChild<QPushButton*>(QStringLiteral("statusDetails"))) {
        connect(m_statusBar.get(), &StatusBarController::detailsChanged, details,
                [details](const QString& text) { details->setVisible(!text.isEmpty()); });
        connect(details, &QPushButton::clicked, this, &WindowCommands::showStatusDetails);
        m_statusBar->setHeldWhile(
            [details = QPointer<QPushButton>(details)] { return details && details->hasFocus(); });
    }

    m_overlay = new QWidget(&m_window);
    m_overlay->setObjectName(QStringLiteral("grayOverlay"));
    m_overlay->setAutoFillBackground(true);
    QPalette palette = m_overlay->palette();
    palette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80, 0xe0));
    m_overlay->setPalette(palette);
    auto* layout = new QVBoxLayout(m_overlay);
    layout->setAlignment(Qt::AlignCenter);
    m_overlayProgress = new QWidget;
    auto* progressLayout = new QVBoxLayout(m_overlayProgress);
    auto* busy = new QProgressBar;
    busy->setRange(0, 0);
    busy->setFixedWidth(220);
    auto* syncing = new QLabel(QStringLiteral("Syncing your data…"));
    syncing->setAlignment(Qt::AlignCenter);
    progressLayout->addWidget(syncing);
    // Under the words, not at the overlay's left edge (over the project list).
    progressLayout->addWidget(busy, 0, Qt::AlignHCenter);
    layout->addWidget(m_overlayProgress);
    m_overlay->hide();
    m_window.installEventFilter(this);

    buildMenus();
    refreshAccountActions();
    refreshHookActions();
    // Four seconds into the run an offline user is led to the sync or the sign-in.
    connect(&m_window, &MainWindow::syncWindowRequested, this, &WindowCommands::syncWindow);
    connect(&m_window, &MainWindow::loginRequested, this, [this] {
        if (!isTerminating() && m_account->isAvailable())
            m_account->login([this] { refreshAccountActions(); });
    });
}

WindowCommands::~WindowCommands()
{
    stopCalendarSyncTimer();
}

// --- Wiring

void WindowCommands::setAccount(AccountCommands* account, InternalBrowser* browser)
{
    m_account = account ? account : m_offlineAccount.get();
    m_browser = browser ? browser : m_desktopBrowser.get();
    refreshAccountActions();
}

void WindowCommands::setServerOrigins(const QString& syncOrigin, const QString& webOrigin)
{
    m_syncOrigin = syncOrigin;
    m_webOrigin = webOrigin;
    refreshAccountActions();
}

void WindowCommands::setMasterListFactory(std::function<MasterListSheet*(QWidget*)> factory)
{
    m_makeMasterList = std::move(factory);
    refreshHookActions();
}

void WindowCommands::setFindField(std::function<void(bool)> focus)
{
    m_focusFindField = std::move(focus);
    refreshHookActions();
}

void WindowCommands::setAdvancedFilterWindow(std::function<void()> show)
{
    m_showAdvancedFilterWindow = std::move(show);
    refreshHookActions();
}

QAction* WindowCommands::action(const QString& name) const
{
    const auto found = m_actions.find(name);
    return found == m_actions.end() ? nullptr : found->second;
}

// --- Menus

QAction* WindowCommands::addAction(QMenu* menu, const QString& name, const QString& text,
                                   std::function<void()> handler)
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, std::move(handler));
    if (menu)
        menu->addAction(action);
    m_actions[name] = action;
    return action;
}

QAction* WindowCommands::addDisabled(QMenu* menu, const QString& name, const QString& text,
                                     const QString& reason)
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setEnabled(false);
    action->setToolTip(reason);
    if (menu)
        menu->addAction(action);
    m_actions[name] = action;
    return action;
}

QMenu* WindowCommands::menuNamed(const QString& title)
{
    for (QAction* top : m_window.menuBar()->actions()) {
        if (top->menu() && top->text().remove(QLatin1Char('&')) == title)
            return top->menu();
    }
    return m_window.menuBar()->addMenu(QLatin1Char('&') + title);
}

void WindowCommands::buildMenus()
{
    QMenu* project = menuNamed(QStringLiteral("Project"));
    project->setToolTipsVisible(true);
    const QList<QAction*> projectCommands = {
        addAction(nullptr, QStringLiteral("markProjectAsDeleted"), QStringLiteral("Delete Project…"),
                  [this] { markProjectAsDeleted(); }),
        addAction(nullptr, QStringLiteral("getLinkForProject"), QStringLiteral("Copy Link to Project"),
                  [this] { getLinkForProject(); }),
        addAction(nullptr, QStringLiteral("qvWebMenu"), QStringLiteral("Open Project on the Web"),
                  [this] { qvWebMenu(); }),
        addDisabled(nullptr, QStringLiteral("saveCurrentProjectAsTemplate"),
                    QStringLiteral("Save Project as Template…"),
                    QStringLiteral("Saving templates on the sync server is not available in this version.")),
    };
    // Before the window's own last group (closing the window).
    const QList<QAction*> existing = project->actions();
    QAction* before = nullptr;
    for (qsizetype i = existing.size() - 1; i >= 0; --i) {
        if (existing[i]->isSeparator()) {
            before = existing[i];
            break;
        }
    }
    project->insertSeparator(before);
    project->insertActions(before, projectCommands);
    m_window.projectListView()->setRowMenuActions(
        {action(QStringLiteral("getLinkForProject")), action(QStringLiteral("qvWebMenu"))});

    QMenu* item = menuNamed(QStringLiteral("Item"));
    item->addSeparator();
    addAction(item, QStringLiteral("getLinkForItem"), QStringLiteral("Copy Link to Item"),
              [this] { getLinkForItem(); });
    // The drawer opens the icon chooser for its item.
    QAction* chooseIcon = addAction(item, QStringLiteral("showImageWindow"), QStringLiteral("Choose Icon…"),
                                    [this] { emit m_window.iconsRequested(); });
    // Only an item shown in the drawer, that is a selected one, has an icon to choose.
    const auto followSelection = [this, chooseIcon] {
        Board& board = m_window.board();
        const ArrayController* active = board.controllerForQuadrant(board.activeQuadrant());
        chooseIcon->setEnabled(active && active->hasSelection());
    };
    for (int q = 0; q < 4; ++q)
        connect(&m_window.board().controller(q), &ArrayController::selectionChanged, chooseIcon,
                followSelection);
    followSelection();

    QMenu* view = menuNamed(QStringLiteral("View"));
    view->setToolTipsVisible(true);
    view->addSeparator();
    QAction* find =
        addAction(view, QStringLiteral("gotoFindField"), QStringLiteral("Find"), [this] { gotoFindField(); });
    find->setShortcut(QKeySequence::Find);
    addAction(view, QStringLiteral("clearFilters"), QStringLiteral("Clear Filters"),
              [this] { clearFilters(); });
    addAction(view, QStringLiteral("showAdvancedFilterWindow"), QStringLiteral("Filters in a Window"),
              [this] { showAdvancedFilterWindow(); });
    auto* alphabetical = new QAction(QStringLiteral("Sort Projects by Name"), this);
    alphabetical->setObjectName(QStringLiteral("toggleProjectAlphabeticalOrder"));
    m_actions[alphabetical->objectName()] = alphabetical;
    view->addAction(alphabetical);
    alphabetical->setCheckable(true);
    alphabetical->setChecked(m_window.projectListView()->controller().alphabeticalOrder());
    connect(alphabetical, &QAction::toggled, this, &WindowCommands::toggleProjectAlphabeticalOrder);
    QAction* master = addAction(view, QStringLiteral("showMasterList"), QStringLiteral("Master List…"),
                                [this] { showMasterList(); });
    master->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));

    QMenu* account = menuNamed(QStringLiteral("Account"));
    account->setToolTipsVisible(true);
    addAction(account, QStringLiteral("syncWindow"), QStringLiteral("Sync Now"), [this] { syncWindow(); });
    addAction(account, QStringLiteral("login"), QStringLiteral("Sign In…"), [this] {
        if (isTerminating())
            return;
        qCDebug(lcBoardWidgets, "Opening sync window");
        m_account->login([this] { refreshAccountActions(); });
    });
    addAction(account, QStringLiteral("logout"), QStringLiteral("Sign Out"), [this] {
        if (isTerminating())
            return;
        m_account->logout();
        refreshAccountActions();
    });
    account->addSeparator();
    for (const PageCommand& command : kAccountPages) {
        if (command.page == WebPage::AccountManagement)
            account->addSeparator();
        m_pageActions[command.page] =
            addAction(account, QString::fromLatin1(command.name), QString::fromUtf8(command.text),
                      [this, page = command.page] { openWebPage(page); });
    }

    QMenu* calendar = menuNamed(QStringLiteral("Calendar"));
    calendar->setToolTipsVisible(true);
    addAction(calendar, QStringLiteral("iCalExport"), QStringLiteral("Export to Calendar"),
              [this] { iCalExport(); });
    addAction(calendar, QStringLiteral("iCalImport"), QStringLiteral("Import from Calendar"),
              [this] { iCalImport(); });
    addAction(calendar, QStringLiteral("iCalSettings"), QStringLiteral("Calendar Sync Settings…"),
              [this] { iCalSettings(); });
    connect(calendar, &QMenu::aboutToShow, this, &WindowCommands::refreshCalendarActions);
    refreshCalendarActions();
    calendar->addSeparator();
    m_pageActions[WebPage::CalendarFeeds] =
        addAction(calendar, QStringLiteral("showCalendarFeeds"), QStringLiteral("Calendar Feeds"),
                  [this] { openWebPage(WebPage::CalendarFeeds); });
}

void WindowCommands::refreshAccountActions()
{
    m_window.redisplayLoginStatusButton();
    const AccountCommands& account = *m_account;
    const bool available = account.isAvailable();
    const bool signedIn = available && account.currentUser().has_value();
    const QString reason = account.unavailableReason();
    setAvailable(action(QStringLiteral("syncWindow")), available,
                 QStringLiteral("Send your changes and fetch everyone else's"), reason);
    setAvailable(action(QStringLiteral("login")), available && !signedIn,
                 QStringLiteral("Sign in to the sync server"),
                 available ? QStringLiteral("You are signed in") : reason);
    setAvailable(action(QStringLiteral("logout")), signedIn, QStringLiteral("Sign out of the sync server"),
                 available ? QStringLiteral("Nobody is signed in") : reason);
    for (const auto& [page, pageAction] : m_pageActions) {
        const QUrl url = webAddress(page);
        setAvailable(pageAction, url.isValid(), QStringLiteral("Opens the page of the service"),
                     kNoServerReason);
    }
    const bool synced = !m_syncOrigin.isEmpty();
    setAvailable(action(QStringLiteral("qvWebMenu")), synced,
                 QStringLiteral("Opens the selected project's page in your browser"), kNoServerReason);
    setAvailable(action(QStringLiteral("getLinkForProject")), synced,
                 QStringLiteral("Copies a link to the selected project"), kNoServerReason);
    setAvailable(action(QStringLiteral("getLinkForItem")), synced,
                 QStringLiteral("Copies a link to the selected item"), kNoServerReason);
}

void WindowCommands::refreshHookActions()
{
    const QString noPanel = QStringLiteral("The filter panel is not part of this window.");
    setAvailable(action(QStringLiteral("gotoFindField")), bool(m_focusFindField) || bool(m_makeMasterList),
                 QStringLiteral("Search the items"), noPanel);
    setAvailable(action(QStringLiteral("showAdvancedFilterWindow")), bool(m_showAdvancedFilterWindow),
                 QStringLiteral("Shows the filters in a window of their own"), noPanel);
    setAvailable(action(QStringLiteral("showMasterList")), bool(m_makeMasterList),
                 QStringLiteral("Every open item of every project"),
                 QStringLiteral("The master list is not part of this window."));
}

// --- Grey overlay

void WindowCommands::placeOverlay()
{
    if (QWidget* central = m_window.centralWidget())
        m_overlay->setGeometry(central->geometry());
    else
        m_overlay->setGeometry(m_window.rect());
}

bool WindowCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::Resize && m_overlay->isVisible())
        placeOverlay();
    return QObject::eventFilter(watched, event);
}

void WindowCommands::showGrayOverlay()
{
    showGrayOverlayNoSyncing();
    m_overlayProgress->show();
}

void WindowCommands::showGrayOverlayNoSyncing()
{
    placeOverlay();
    m_overlay->raise();
    m_overlayProgress->hide();
    m_overlay->show();
    // The board takes no input while covered.
    if (QWidget* central = m_window.centralWidget())
        central->setEnabled(false);
}

void WindowCommands::hideGrayOverlay()
{
    m_overlay->hide();
    m_overlayProgress->hide();
    if (QWidget* central = m_window.centralWidget())
        central->setEnabled(true);
}

bool WindowCommands::isShowingGrayOverlay() const
{
    return !m_overlay->isHidden();
}

// --- Sync and sign-in

void WindowCommands::syncWindow()
{
    syncAndRunAfter([this] { askFirstDownloadHelpList(); });
}

bool WindowCommands::syncAndRunAfter(std::function<void()> completion)
{
    if (isTerminating() || !m_account->isAvailable())
        return false;
    m_window.endAllEditing();
    qCDebug(lcBoardWidgets, "Opening sync window");
    m_account->sync([this, completion = std::move(completion)] {
        // What the sync brought is filtered and sorted as the board's own.
        m_window.updateFilters();
        m_window.refreshController();
        refreshAccountActions();
        if (completion)
            completion();
    });
    return true;
}

void WindowCommands::askFirstDownloadHelpList()
{
    Preferences& preferences = *m_services.preferences;
    if (preferences.boolValue(askedHelpProjectKey()))
        return;
    // A dialog still open from the sign-in (the password notice, say) is answered first: the
    // question follows it instead of opening on top of it in the same place.
    if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        auto once = std::make_shared<QMetaObject::Connection>();
        *once = connect(
            open, &QDialog::finished, this,
            [this, once] {
                disconnect(*once);
                askFirstDownloadHelpList();
            },
            Qt::QueuedConnection);
        return;
    }
    // Asked once whatever the answer, even if the answer never comes.
    preferences.setValue(askedHelpProjectKey(), true);
    if (!m_services.alerts)
        return;
    const bool yes = m_services.alerts->confirm(Alerts::Question(
        QStringLiteral("Download help project"),
        QStringLiteral("We prepared a project for you to learn some of the basic features. Do you want to "
                       "download it now?"),
        {QStringLiteral("Yes"), QStringLiteral("No")}, Alerts::DefaultButton(0), Alerts::SafeButton(1),
        Alerts::Style::Informational));
    if (yes)
        downloadHelpList();
}

TODOList* WindowCommands::downloadHelpList()
{
    m_window.endAllEditing();
    ProjectListView* list = m_window.projectListView();
    TODOList* project = HelpProject::build(list->controller(), m_document);
    if (project)
        list->selectProject(project);
    return project;
}

// --- Pages and links

QUrl WindowCommands::webAddress(WebPage page) const
{
    return WebAddresses::address(page, WebAddressContext{m_syncOrigin, m_webOrigin, Utils::getDeviceUID(),
                                                         BuildInfo::version(), m_account->currentUser()});
}

void WindowCommands::openWebPage(WebPage page)
{
    const QUrl url = webAddress(page);
    if (!url.isValid())
        return;
    if (WebAddresses::opensInExternalBrowser(page)) {
        m_openExternally(url);
        return;
    }
    qCDebug(lcBoardWidgets, "Opening project webBrowser window");
    m_browser->showURLInInternalWebBrowser(url);
}

TODOList* WindowCommands::getProjectForSender() const
{
    // The project list's context menu selects the row it opens on.
    return m_window.board().selectedProject();
}

TODOList* WindowCommands::syncedProjectForSender(const QString& thenTryAgain)
{
    TODOList* project = getProjectForSender();
    if (project && project->id_() < 1) {
        refuseUnsynced(QStringLiteral("Unsynced project"),
                       QStringLiteral("This project is not synced yet. Please make sure that you are logged "
                                      "in, and that the project has synced to our server. ") +
                           thenTryAgain);
        return nullptr;
    }
    return project;
}

void WindowCommands::qvWebMenu()
{
    TODOList* project = syncedProjectForSender(QStringLiteral("Then try to open the web view again."));
    if (!project)
        return;
    const QUrl url = WebAddresses::projectPage(project->id_(), m_syncOrigin);
    if (url.isValid())
        m_openExternally(url);
}

void WindowCommands::getLinkForProject()
{
    TODOList* project = syncedProjectForSender(QStringLiteral("Then try again."));
    if (!project)
        return;
    copyLink(Utils::urlForProject(*project, BuildInfo::syncHost(m_syncOrigin)));
}

void WindowCommands::getLinkForItem()
{
    TODOItem* item = m_window.board().getSelectedItem();
    if (!item)
        return;
    if (!item->isValidUniID()) {
        refuseUnsynced(QStringLiteral("Unsynced item"),
                       QStringLiteral("This itemis not synced yet. Please make sure that you are logged "
                                      "in, and that the item has synced. Then try again."));
        return;
    }
    copyLink(Utils::urlForItem(*item, BuildInfo::syncHost(m_syncOrigin)));
}

void WindowCommands::refuseUnsynced(const QString& message, const QString& informative)
{
    if (m_services.alerts)
        m_services.alerts->alert(message, informative, QStringLiteral("OK"), Alerts::Style::Informational);
}

void WindowCommands::copyLink(const QUrl& url)
{
    if (url.isEmpty())
        return;
    auto* mime = new QMimeData;
    mime->setUrls({url});
    mime->setText(url.toString());
    QGuiApplication::clipboard()->setMimeData(mime);
    m_statusBar->setStatusBarMessage(QStringLiteral("Copied URL to the pasteboard: %1").arg(url.toString()));
}

// --- Sheets, filters, projects

void WindowCommands::showMasterList()
{
    if (!m_makeMasterList)
        return;
    if (!m_masterList) {
        m_masterList = m_makeMasterList(&m_window);
        if (!m_masterList)
            return;
        m_masterList->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_masterList, &QDialog::finished, this, [this] {
            qCDebug(lcBoardWidgets, "Closing master list");
            sheetEnded();
        });
    }
    m_masterList->reloadData();
    m_masterList->open();
}

void WindowCommands::sheetEnded()
{
    // Back to the board's search, without opening a panel the user closed.
    if (m_focusFindField)
        m_focusFindField(false);
    m_window.raise();
    m_window.activateWindow();
}

void WindowCommands::gotoFindField()
{
    if (m_masterList && m_masterList->isVisible()) {
        m_masterList->gotoMasterFindButton();
        return;
    }
    if (m_focusFindField)
        m_focusFindField(true);
}

void WindowCommands::clearFilters()
{
    m_window.changeFiltersToNormal();
    if (ItemFilterPanel* panel = m_window.filterPanel())
        panel->reset();
    m_window.projectListView()->controller().clearAllFilters();
    m_window.updateFilters();
}

void WindowCommands::toggleProjectAlphabeticalOrder(bool alphabetical)
{
    m_window.projectListView()->setAlphabeticalOrder(alphabetical);
}

void WindowCommands::showAdvancedFilterWindow()
{
    if (m_showAdvancedFilterWindow)
        m_showAdvancedFilterWindow();
}

void WindowCommands::markProjectAsDeleted()
{
    m_window.endAllEditing();
    m_window.projectListView()->markProjectAsDeleted();
}

void WindowCommands::showStatusDetails()
{
    const QString details = m_statusBar->details();
    if (details.isEmpty() || !m_services.alerts)
        return;
    m_services.alerts->alert(m_statusBar->text(), details, QStringLiteral("OK"),
                             Alerts::Style::Informational);
}

// --- Calendar

void WindowCommands::setCalendar(iCalController* calendar)
{
    m_calendar = calendar;
    refreshCalendarActions();
}

void WindowCommands::refreshCalendarActions()
{
    const bool on = m_calendar && m_calendar->isOn();
    setAvailable(action(QStringLiteral("iCalExport")), on && m_calendar->canExport(),
                 QStringLiteral("Write your dated items to the calendar file"), kCalendarOffReason);
    setAvailable(action(QStringLiteral("iCalImport")), on && m_calendar->canImport(),
                 QStringLiteral("Make inbox items of the events in your calendar files"),
                 on ? kNoCalendarFilesReason : kCalendarOffReason);
    setAvailable(action(QStringLiteral("iCalSettings")), m_calendar != nullptr,
                 QStringLiteral("Choose what is exported and imported"), QString());
}

void WindowCommands::iCalExport()
{
    if (isTerminating())
        return;
    if (m_calendar && m_calendar->isOn())
        m_calendar->exportToCalendar();
}

void WindowCommands::iCalImport()
{
    if (isTerminating())
        return;
    if (m_calendar && m_calendar->isOn())
        m_calendar->importFromCalendar();
}

void WindowCommands::iCalSettings()
{
    if (!m_calendar || !m_services.preferences)
        return;
    qCDebug(lcBoardWidgets, "Opening calendar sync settings window");
    if (!m_calendarSettings) {
        m_calendarSettings =
            new CalendarSyncViewController(*m_calendar, m_document, *m_services.preferences, &m_window);
        connect(m_calendarSettings, &QDialog::finished, this, &WindowCommands::closeCalendarSettingsSheet);
    }
    m_calendarSettings->loadProjects();
    m_calendarSettings->loadCalendars();
    m_calendarSettings->open();
}

void WindowCommands::closeCalendarSettingsSheet()
{
    if (m_calendarSettings && m_calendarSettings->isVisible())
        m_calendarSettings->hide();
    const bool on = m_calendar && m_calendar->isOn();
    if (on && m_services.preferences->boolValue(iCalController::autoSyncKey()))
        startCalendarSyncTimer();
    else
        stopCalendarSyncTimer();
    if (m_calendar) {
        if (on)
            m_calendar->startObservingCalendarNotifications();
        else
            m_calendar->stopObservingCalendarNotifications();
    }
    refreshCalendarActions();
    sheetEnded();
}

void WindowCommands::startCalendarSyncTimer()
{
    if (m_calendarTimer || !m_services.scheduler)
        return;
    m_calendarTimer = m_services.scheduler->every(kCalendarSyncIntervalMs, this, [this] { iCalExport(); });
}

void WindowCommands::stopCalendarSyncTimer()
{
    if (m_calendarTimer && m_services.scheduler)
        m_services.scheduler->cancel(m_calendarTimer);
    m_calendarTimer = 0;
}

} // namespace qv
