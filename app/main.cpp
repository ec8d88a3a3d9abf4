// The program's entry: one running copy per user, then the application delegate over the real
// services, the document window, the sync engine and the neighbouring services.
#include "app/AppDelegate.h"
#include "app/BuildInfo.h"
#include "app/ColorList.h"
#include "app/CountDowns.h"
#include "app/DeleteCacheWindowController.h"
#include "app/HelpLinks.h"
#include "app/LaunchAgent.h"
#include "app/LaunchRequest.h"
#include "app/LauncherBadge.h"
#include "app/MyDocument.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/TODOItem.h"
#include "app/TODOList.h"
#include "diagnostics/core/Lookout.h"
#include "diagnostics/crash/Crashwatch.h"
#include "exchange/NoticeFeed.h"
#include "exchange/PingController.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/rest/NetworkReachability.h"
#include "sync/QVRestManager.h"
#include "ui/board/Board.h"
#include "ui/board/ProjectListController.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WidgetAlerts.h"
#include "ui/details/widgets/BoardPanels.h"
#include "ui/details/widgets/UndeleteDialogs.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QSessionManager>

#include <cstdio>
#include <memory>

namespace {

using namespace qv;

QByteArray readStandardInput()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return {};
    return input.read(LaunchRequest::kMaxTextBytes);
}

// Runs a program without a shell and reports its exit status (-1 when it did not run).
void runCommand(const QString& program, const QStringList& arguments, std::function<void(int)> done)
{
    auto* process = new QProcess(qApp);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto finish = [process, done = std::move(done), reported = false](int status) mutable {
        if (reported)
            return;
        reported = true;
        done(status);
        process->deleteLater();
    };
    auto shared = std::make_shared<decltype(finish)>(std::move(finish));
    QObject::connect(process, &QProcess::finished, process, [shared](int code, QProcess::ExitStatus status) {
        (*shared)(status == QProcess::NormalExit ? code : -1);
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [shared](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            (*shared)(-1);
    });
    process->start(program, arguments);
}

class CrashReporterEntry final : public CrashReporter {
public:
    void start() override { Lookout::with({&Crashwatch::sharedInstance()}); }
    void setUserEmail(const QString& email) override { Crashwatch::sharedInstance().setUserEmail(email); }
};

// The sync engine as the delegate uses it.
class EngineShell final : public ShellSyncEngine {
public:
    EngineShell(QVRestManager& engine, rest::NetworkReachability& reachability, const Services& services)
        : m_engine(engine), m_reachability(reachability), m_services(services)
    {
    }
    void startAllLoops() override { m_engine.startAllLoops(); }
    void stopAllLoops() override { m_engine.stopAllLoops(); }
    void startObservingReachability() override
    {
        if (!m_connection)
            m_connection = QObject::connect(&m_reachability, &rest::NetworkReachability::reachabilityChanged,
                                            &m_engine, &QVRestManager::reachabilityChanged);
    }
    void stopObservingNotifications() override
    {
        QObject::disconnect(m_connection);
        if (m_services.notifications)
            m_services.notifications->removeObserver(&m_engine);
    }
    QString currentUserEmail() const override { return m_engine.getCurrentUserEmail(); }
    QDateTime timeLastSync() const override
    {
        // Written by the sync window when a whole-document sync completes.
        const QVariant stored = m_services.preferences->value(QStringLiteral("kLastSyncTime"));
        if (stored.typeId() == QMetaType::QDateTime)
            return stored.toDateTime();
        bool isNumber = false;
        const qint64 seconds = stored.toLongLong(&isNumber);
        return isNumber && seconds > 0 ? QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC) : QDateTime();
    }

private:
    QVRestManager& m_engine;
    rest::NetworkReachability& m_reachability;
    Services m_services;
    QMetaObject::Connection m_connection;
};

// The document window as the delegate uses it.
class WindowShell final : public ShellWindow {
public:
    WindowShell(MainWindow& window, MyDocument& document, QVRestManager& engine, Scheduler& scheduler)
        : m_window(window), m_document(document), m_engine(engine), m_scheduler(scheduler),
          m_alive(std::make_shared<bool>(true))
    {
    }
    ~WindowShell() override { *m_alive = false; }

    void showWindow() override
    {
        m_window.show();
        m_window.raise();
        m_window.activateWindow();
    }
    void requestAttention() override { QApplication::alert(&m_window, 0); }
    void reselectLastProject() override { m_window.selectLastSelectedProjectAfterDelay(); }
    bool selectProjectWithID(qint64 id) override
    {
        TODOList* project = TODOList::findWithID(id, m_document.context());
        return project && m_window.projectListView()->selectProject(project) != -1;
    }
    bool selectItemWithServerID(qint64 serverID) override
    {
        TODOItem* item = TODOItem::findWithID(serverID, m_document.context());
        if (!item || !item->isValidUniID())
            return false;
        TODOList* project = item->list();
        if (!project || project->id_() < 1 || !selectProjectWithID(project->id_()))
            return false;
        std::weak_ptr<bool> alive = m_alive;
        m_scheduler.post([this, alive, item] {
            if (const auto flag = alive.lock(); flag && *flag)
                m_window.board().selectItem(item);
        });
        return true;
    }
    int numberOfProjectRows() const override { return m_window.projectListView()->controller().rowCount(); }
    void selectProjectRow(int row) override
    {
        if (m_window.projectListView()->controller().selectRow(row))
            m_window.projectListView()->scrollToSelectedProject();
    }
    void setStatusBarMessage(const QString& message) override { m_window.setStatusMessage(message); }
    void syncAndRunAfter(std::function<void()> completion) override
    {
        // INTERIM: this build has no sync window yet; the engine's loops stand in for the whole
        // sync, so the start-up never ends with nothing syncing.
        Log::line(QStringLiteral("Opening sync window"));
        m_engine.startAllLoops();
        if (completion)
            completion();
    }
    void reloadCollaboratorsOfSelectedProject() override {}

private:
    MainWindow& m_window;
    MyDocument& m_document;
    QVRestManager& m_engine;
    Scheduler& m_scheduler;
    std::shared_ptr<bool> m_alive;
};

// What the delegate owns once the document is open. Members go in reverse order: the adapters,
// then the window, then the engine, all before the document.
struct ApplicationParts final : AppDelegate::DocumentParts {
    std::unique_ptr<rest::NetworkReachability> reachability;
    std::unique_ptr<QVRestManager> engine;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<EngineShell> engineShell;
    std::unique_ptr<WindowShell> windowShell;
};

QMenu* menuHolding(QMenuBar* bar, const QKeySequence& shortcut)
{
    for (QAction* top : bar->actions()) {
        if (QMenu* menu = top->menu()) {
            for (QAction* action : menu->actions()) {
                if (action->shortcut() == shortcut)
                    return menu;
            }
        }
    }
    return nullptr;
}

// The application's own commands: the two start-up switches, Quit, and the help pages.
void addApplicationMenus(MainWindow& window, AppDelegate& delegate, Preferences& preferences,
                         const HelpLinks& help)
{
    QMenu* menu = menuHolding(window.menuBar(), QKeySequence(QKeySequence::Close));
    if (!menu)
        menu = window.menuBar()->addMenu(QStringLiteral("&Quadrivo"));
    menu->addSeparator();

    QAction* launchOnStart = menu->addAction(QStringLiteral("Start Quadrivo at Login"));
    launchOnStart->setCheckable(true);
    QObject::connect(launchOnStart, &QAction::triggered, &window,
                     [&delegate] { delegate.toggleLaunchOnStart(); });
    QAction* syncAfterStart = menu->addAction(QStringLiteral("Sync After Start"));
    syncAfterStart->setCheckable(true);
    QObject::connect(syncAfterStart, &QAction::triggered, &window,
                     [&delegate] { delegate.toggleSyncAfterStart(); });
    const auto refresh = [launchOnStart, syncAfterStart, &preferences] {
        launchOnStart->setChecked(preferences.boolValue(LaunchAgent::key()));
        syncAfterStart->setChecked(preferences.boolValue(QStringLiteral("SYNC_AFTER_START")));
    };
    refresh();
    QObject::connect(&preferences, &Preferences::changed, launchOnStart, refresh);

    menu->addSeparator();
    QAction* quit = menu->addAction(QStringLiteral("Quit Quadrivo"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(quit, &QAction::triggered, &window, [&delegate] { delegate.quitCommand(); });

    QMenu* helpMenu = window.menuBar()->addMenu(QStringLiteral("&Help"));
    const std::pair<const char*, HelpLinks::Link> pages[] = {
        {"Quadrivo Website", HelpLinks::Link::WWW},
        {"Getting Started", HelpLinks::Link::GetStarted},
        {"Using Tags", HelpLinks::Link::UseTags},
        {"Sharing Files", HelpLinks::Link::ShareFiles},
        {"Collaborating", HelpLinks::Link::Collaborate},
        {"Calendar Feeds", HelpLinks::Link::ShareCalendars},
        {"The Item Inbox", HelpLinks::Link::ItemInbox},
        {"Tips for Managers", HelpLinks::Link::ManagerTips},
        {"More Productivity Tips", HelpLinks::Link::OtherProductivityTips},
        {"Knowledge Base", HelpLinks::Link::Knowledgebase},
    };
    for (const auto& [title, link] : pages) {
        QAction* action = helpMenu->addAction(QString::fromUtf8(title));
        action->setEnabled(help.isEnabled(link));
        QObject::connect(action, &QAction::triggered, &window, [&help, link = link] { help.open(link); });
    }
}

// The panels around the board, the panel switches and the two trash bins.
void attachPanels(MainWindow& window, MyDocument& document, const Services& services)
{
    BoardPanels::attach(window, document, services);

    const auto openItemTrash = [&window, &document, services] {
        Log::line(QStringLiteral("Opening item undelete window"));
        UndeleteViewController dialog(document, services, &window);
        QObject::connect(&dialog, &UndeleteDialog::refreshRequested, &window, &MainWindow::refreshController);
        dialog.loadUndeleteCandidates();
        dialog.exec();
    };
    QObject::connect(&window, &MainWindow::undeleteWindowRequested, &window, openItemTrash);

    QMenu* viewMenu = nullptr;
    for (QAction* top : window.menuBar()->actions()) {
        if (top->menu() && top->text().remove(QLatin1Char('&')) == QLatin1String("View"))
            viewMenu = top->menu();
    }
    if (!viewMenu)
        viewMenu = window.menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->addSeparator();
    Preferences& preferences = *services.preferences;
    const std::pair<const char*, const char*> toggles[] = {
        {"Show Inbox", "kShowingInbox"},
        {"Show Details", "kShowingDetail"},
        {"Hide Projects", "kHideProjects"},
    };
    for (const auto& [title, key] : toggles) {
        QAction* action = viewMenu->addAction(QString::fromUtf8(title));
        action->setCheckable(true);
        const QString preference = QString::fromLatin1(key);
        action->setChecked(preferences.boolValue(preference));
        QObject::connect(action, &QAction::toggled, &window,
                         [&preferences, preference](bool on) { preferences.setValue(preference, on); });
        QObject::connect(&preferences, &Preferences::changed, action,
                         [action, &preferences, preference](const QString& changed) {
                             if (changed == preference)
                                 action->setChecked(preferences.boolValue(preference));
                         });
    }
    viewMenu->addSeparator();
    QAction* itemTrash = viewMenu->addAction(QStringLiteral("Trashed Items…"));
    QObject::connect(itemTrash, &QAction::triggered, &window, openItemTrash);
    QAction* projectTrash = viewMenu->addAction(QStringLiteral("Trashed Projects…"));
    QObject::connect(projectTrash, &QAction::triggered, &window, [&window, &document, services] {
        Log::line(QStringLiteral("Opening project undelete window"));
        UndeleteProjectViewController dialog(document, services, window.projectListView(), &window);
        QObject::connect(&dialog, &UndeleteDialog::refreshRequested, &window, &MainWindow::refreshController);
        dialog.loadUndeleteCandidates();
        dialog.exec();
    });
}

// Quit requests that reach the application object (the session manager ending the session,
// or anyone calling QCoreApplication::quit()) run the quit sequence instead of ending the loop
// at once; the sequence ends the loop itself.
class QuitRequests final : public QObject {
public:
    explicit QuitRequests(AppDelegate& delegate) : m_delegate(delegate) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == qApp && event->type() == QEvent::Quit) {
            m_delegate.sessionQuitRequested();
            return true;
        }
        return false;
    }

private:
    AppDelegate& m_delegate;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("Quadrivo"));
    QApplication::setApplicationDisplayName(BuildInfo::displayName());
    QApplication::setApplicationVersion(BuildInfo::version());
    QGuiApplication::setDesktopFileName(QStringLiteral("quadrivo"));
    // Closing the window runs the quit sequence, which ends the loop itself.
    QApplication::setQuitOnLastWindowClosed(false);

    const ParsedLaunch parsed =
        LaunchRequest::fromArguments(QCoreApplication::arguments(), readStandardInput, QDir::currentPath());
    if (!parsed.request) {
        std::fputs(qPrintable(parsed.output), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    const LaunchRequest& request = *parsed.request;

    SingleInstance guard;
    QString guardError;
    switch (guard.start(request.isEmpty() ? QByteArray() : request.toMessage(), &guardError)) {
    case SingleInstance::Outcome::Primary:
        break;
    case SingleInstance::Outcome::Forwarded:
        return 0;
    case SingleInstance::Outcome::AlreadyRunning: {
        QMessageBox alert;
        alert.setIcon(QMessageBox::Warning);
        alert.setText(QStringLiteral("Another copy of %1 is already running.").arg(BuildInfo::displayName()));
        alert.setInformativeText(QStringLiteral("This copy will now quit."));
        alert.setStandardButtons(QMessageBox::Ok);
        alert.exec();
        return 0;
    }
    case SingleInstance::Outcome::Failed:
        if (!request.isEmpty()) {
            std::fprintf(stderr, "Could not reach the running copy: %s\n", qPrintable(guardError));
            return 1;
        }
        // Without a runtime folder the guard cannot work; the application still can.
        Log::line(QStringLiteral("WARNING: no single-instance guard: %1").arg(guardError));
        break;
    }

    SystemClock clock;
    QtScheduler scheduler;
    Preferences preferences;
    NotificationCenter notifications;
    WidgetAlerts alerts;
    const Services services{&clock, &scheduler, &preferences, &notifications, &alerts};

    // Set once for the process, before the delegate runs.
    NoticeFeed& notices = NoticeFeed::sharedInstance();
    notices.setNotificationsPlistURL(NoticeFeed::noticesAddress(BuildInfo::webOrigin()));
    notices.setApplicationVersion(BuildInfo::version());
    notices.setShowOldestFirst(true);

    CountDowns countDowns(preferences);
    Crashwatch crashwatch(clock);
    CrashReporterEntry crashReporter;
    LauncherBadge badge;
    LaunchAgent launchAgent(preferences);
    const HelpLinks help(BuildInfo::webOrigin());
    const QString syncOrigin = BuildInfo::syncOrigin();

    AppDelegate* delegatePointer = nullptr;
    AppDelegate::Dependencies deps;
    deps.services = services;
    deps.crashReporter = &crashReporter;
    // No software updater: the package manager updates the program.
    deps.updater = nullptr;
    deps.makeAnnouncer = [] {
        return std::make_unique<PingController>(PingController::Options{BuildInfo::webOrigin(), {}, {}});
    };
    deps.badge = &badge;
    deps.launchAgent = &launchAgent;
    deps.runCommand = runCommand;
    deps.attachColorList = [](const ColorList& colors) {
        const int count = std::min<int>(QColorDialog::customCount(), int(colors.entries().size()));
        for (int i = 0; i < count; ++i)
            QColorDialog::setCustomColor(i, colors.entries()[std::size_t(i)].color);
    };
    deps.documentOpened = [&](MyDocument& document) -> std::unique_ptr<AppDelegate::DocumentParts> {
        auto parts = std::make_unique<ApplicationParts>();
        parts->reachability = std::make_unique<rest::NetworkReachability>();
        QVRestManager::Options options;
        options.origin = syncOrigin;
        options.restStorePath = delegatePointer->restStorePath();
        parts->engine = std::make_unique<QVRestManager>(services, document, options);
        // Constructing the window runs the document's start-up.
        parts->mainWindow = std::make_unique<MainWindow>(document, services);
        alerts.setParent(parts->mainWindow.get());
        attachPanels(*parts->mainWindow, document, services);
        addApplicationMenus(*parts->mainWindow, *delegatePointer, preferences, help);
        parts->engineShell = std::make_unique<EngineShell>(*parts->engine, *parts->reachability, services);
        parts->windowShell =
            std::make_unique<WindowShell>(*parts->mainWindow, document, *parts->engine, scheduler);
        parts->window = parts->windowShell.get();
        parts->sync = parts->engineShell.get();
        return parts;
    };
    deps.terminateApplication = [] {
        QCoreApplication::exit(0);
    };
    deps.syncHost = BuildInfo::syncHost(syncOrigin);
    deps.restRequestCacheFolder =
        DeleteCacheWindowController::requestCacheFolder(Paths::caches(), syncOrigin);

    AppDelegate delegate(std::move(deps));
    delegatePointer = &delegate;

    QObject::connect(&guard, &SingleInstance::messageReceived, &application,
                     [&delegate](const QByteArray& message) {
                         if (const auto forwarded = LaunchRequest::fromMessage(message))
                             delegate.handleLaunchRequest(*forwarded);
                     });
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::received, &application,
                     [&delegate](int signalNumber) { delegate.terminationSignal(signalNumber); });
    QuitRequests quitRequests(delegate);
    application.installEventFilter(&quitRequests);
    QObject::connect(&application, &QGuiApplication::lastWindowClosed, &application,
                     [&delegate] { delegate.lastWindowClosed(); });
    QObject::connect(
        &application, &QGuiApplication::commitDataRequest, &application,
        [&delegate](QSessionManager&) { delegate.commitData(); }, Qt::DirectConnection);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &application,
                     [&delegate] { delegate.applicationAboutToQuit(); });
    QObject::connect(&application, &QGuiApplication::applicationStateChanged, &application,
                     [&delegate](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive)
                             delegate.applicationDidBecomeActive();
                         else if (delegate.isActive())
                             delegate.applicationDidResignActive();
                     });

    delegate.applicationWillFinishLaunching();
    // Links that started the application arrive between the two halves, as the platform
    // delivers them; text and files wait for the Services entry.
    delegate.handleLaunchRequest(request);
    delegate.applicationDidFinishLaunching();

    const int status = QApplication::exec();
    application.removeEventFilter(&quitRequests);
    return status;
}
