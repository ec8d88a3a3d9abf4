// The program's entry: one running copy per user, then the application delegate over the real
// services, the document window, the sync engine and the neighbouring services.
#include "app/AppDelegate.h"
#include "app/AppLogging.h"
#include "app/ApplicationMenus.h"
#include "app/AttachmentParts.h"
#include "app/AvatarWiring.h"
#include "app/CollaborationShell.h"
#include "app/ColorList.h"
#include "app/CountDowns.h"
#include "app/DeleteCacheWindowController.h"
#include "app/FeedParts.h"
#include "app/HelpLinks.h"
#include "app/LaunchAgent.h"
#include "app/LaunchRequest.h"
#include "app/LauncherBadge.h"
#include "app/PeopleWiring.h"
#include "app/QuitSignals.h"
#include "app/SharingWiring.h"
#include "app/ShellAdapters.h"
#include "app/SingleInstance.h"
#include "app/TeamWiring.h"
#include "app/WindowIcon.h"
#include "core/document/MyDocument.h"
#include "core/util/BuildInfo.h"
#include "diagnostics/crash/Crashwatch.h"
#include "exchange/NoticeFeed.h"
#include "exchange/iCalController.h"
#include "platform/Clock.h"
#include "platform/Keychain.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/SecretServiceStore.h"
#include "platform/rest/RestClient.h"
#include "platform/store/Context.h"
#include "sync/AvatarManager.h"
#include "sync/CollaborationManager.h"
#include "sync/QVRemindersManager.h"
#include "sync/QVRestManager.h"
#include "ui/account/widgets/AccountSession.h"
#include "ui/board/BoardImages.h"
#include "ui/board/OfflineAccountCommands.h"
#include "ui/board/StatusBarController.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/WidgetAlerts.h"
#include "ui/board/widgets/WindowCommands.h"
#include "ui/team/TeamViewController.h"
#include "ui/web/WebEngineLoader.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFontDatabase>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QSessionManager>
#include <QSplashScreen>
#include <QThread>

#include <cstdio>
#include <memory>

using namespace qv;

int main(int argc, char** argv)
{
    // The command line is answered before the window system starts: --help, --version, usage
    // errors and refused input need no display. The window system's own options ("-platform",
    // ...) are left to the application object.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    bool platformGiven = false;
    arguments = LaunchRequest::withoutWindowSystemOptions(arguments, &platformGiven);
    const ParsedLaunch parsed =
        LaunchRequest::fromArguments(arguments, readStandardInput, QDir::currentPath());
    if (!parsed.request) {
        std::fputs(qPrintable(parsed.output), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }

    // Without any window system Qt would abort inside its start-up. A running copy can still
    // take what this launch brings; otherwise say why nothing can be shown.
    if (!platformGiven && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        QCoreApplication handOver(argc, argv);
        SingleInstance guard;
        QString guardError;
        const SingleInstance::Outcome outcome = guard.start(parsed.request->toMessage(), &guardError);
        if (outcome == SingleInstance::Outcome::Forwarded)
            return 0;
        if (outcome == SingleInstance::Outcome::Unreachable) {
            std::fprintf(stderr, "Could not reach the running copy: %s\n", qPrintable(guardError));
            return 1;
        }
        std::fputs("quadrivo: no display to show a window on (neither DISPLAY nor WAYLAND_DISPLAY is set) "
                   "and no running copy to hand over to\n",
                   stderr);
        return 1;
    }

    // Before the application object: the web engine, loaded later, shares the GL contexts and
    // finds its sandbox setting in the environment.
    WebEngineLoader::prepareProcess();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    const LaunchRequest& request = *parsed.request;

    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("Quadrivo"));
    QApplication::setApplicationDisplayName(BuildInfo::displayName());
    QApplication::setApplicationVersion(BuildInfo::version());
    QGuiApplication::setDesktopFileName(QStringLiteral("quadrivo"));
    const QIcon icon = applicationIcon();
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quadrivo"), icon));
    // Closing the window runs the quit sequence, which ends the loop itself.
    QApplication::setQuitOnLastWindowClosed(false);

    // A plain launch sends a message too: the running copy brings its window to the front.
    SingleInstance guard;
    // A launch while the running copy quits waits for its end, and shows that it does.
    std::unique_ptr<QSplashScreen> waiting;
    guard.setWaitingNotice([&waiting, &icon] {
        std::fputs("quadrivo: the running copy is quitting; this one starts once it has ended\n", stderr);
        // The icon over the words, on the window colour.
        QPixmap card(420, 180);
        card.fill(QApplication::palette().color(QPalette::Window));
        QPainter(&card).drawPixmap((card.width() - 96) / 2, 24, icon.pixmap(96));
        waiting = std::make_unique<QSplashScreen>(card);
        waiting->showMessage(QStringLiteral("Waiting for the previous Quadrivo to finish quitting\u2026"),
                             Qt::AlignBottom | Qt::AlignHCenter,
                             QApplication::palette().color(QPalette::WindowText));
        waiting->show();
        QCoreApplication::processEvents();
    });
    QString guardError;
    const SingleInstance::Outcome outcome = guard.start(request.toMessage(), &guardError);
    waiting.reset();
    if (outcome == SingleInstance::Outcome::Forwarded)
        return 0;
    if (outcome == SingleInstance::Outcome::Refused) {
        std::fprintf(stderr, "%s\n", qPrintable(guardError));
        return 1;
    }
    if (outcome != SingleInstance::Outcome::Primary && !request.isEmpty()) {
        std::fprintf(stderr, "Could not reach the running copy: %s\n", qPrintable(guardError));
        return 1;
    }
    if (outcome == SingleInstance::Outcome::Unreachable) {
        QMessageBox alert;
        alert.setIcon(QMessageBox::Warning);
        alert.setText(SingleInstance::alreadyRunningAlert().message);
        alert.setInformativeText(SingleInstance::alreadyRunningAlert().informative);
        alert.setStandardButtons(QMessageBox::Ok);
        alert.exec();
        return 0;
    }
    // Without a runtime folder the guard cannot work; the application still can.
    if (outcome == SingleInstance::Outcome::Failed)
        qCWarning(lcApp, "no single-instance guard: %s", qUtf8Printable(guardError));
    // The desktop's fonts are read while the store opens: the window's first text would
    // otherwise wait for them on this thread. The font database is safe to use from any thread.
    const std::unique_ptr<QThread> fontReading(QThread::create([] { QFontDatabase::families(); }));
    fontReading->start();
    const auto fontsRead = qScopeGuard([&fontReading] { fontReading->wait(); });
    WebEngineLoader::reportSandbox();

    SystemClock clock;
    QtScheduler scheduler;
    Preferences preferences;
    NotificationCenter notifications;
    WidgetAlerts alerts;
    const Services services{&clock, &scheduler, &preferences, &notifications, &alerts};
    SecretServiceStore secrets;
    Keychain keychain(secrets);

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
        return std::make_unique<UsageAnnouncements>(PingController::Options{BuildInfo::webOrigin(), {}, {}});
    };
    deps.badge = &badge;
    deps.launchAgent = &launchAgent;
    deps.runCommand = runCommand;
    deps.programInstalled = LaunchAgent::isInstalledProgram(QCoreApplication::applicationFilePath());
    deps.attachColorList = [](const ColorList& colors) {
        const int count = std::min<int>(QColorDialog::customCount(), int(colors.entries().size()));
        for (int i = 0; i < count; ++i)
            QColorDialog::setCustomColor(i, colors.entries()[std::size_t(i)].color);
    };
    deps.documentOpened = [&](MyDocument& document) -> std::unique_ptr<AppDelegate::DocumentParts> {
        auto parts = std::make_unique<ApplicationParts>();
        QVRestManager::Options options;
        options.origin = syncOrigin;
        options.restStorePath = delegatePointer->restStorePath();
        parts->engine = std::make_unique<QVRestManager>(services, document, options);
        parts->collaborationManager = std::make_unique<CollaborationManager>(services, *parts->engine);
        parts->reminders = std::make_unique<QVRemindersManager>(*parts->engine);
        iCalController::Options calendarOptions =
            iCalController::optionsBesideStore(document.context().path());
        calendarOptions.showStatus = [window = &parts->mainWindow](const QString& message) {
            if (*window)
                (*window)->setStatusBarMessage(message);
        };
        calendarOptions.showReport = [window = &parts->mainWindow](const QString& summary,
                                                                   const QString& details) {
            if (*window)
                (*window)->setStatusBarMessage(summary, details);
        };
        parts->calendar = std::make_unique<iCalController>(services, document, std::move(calendarOptions));
        // Constructing the window runs the document's start-up.
        parts->mainWindow = std::make_unique<MainWindow>(document, services);
        parts->mainWindow->commands().setCalendar(parts->calendar.get());
        alerts.setParent(parts->mainWindow.get());
        // Told in the status bar: a modal alert would run a loop of its own while the sync goes on.
        keychain.setNotice([window = QPointer<MainWindow>(parts->mainWindow.get())](const QString& message) {
            return window && window->commands().statusBar().setStatusBarNotice(message);
        });
        AccountSession* signIn = nullptr;
        parts->web = std::make_unique<WebEngineLoader>();
        WebEngineLoader* web = parts->web.get();
        InternalBrowser* browser = nullptr;
        if (parts->engine->hasOrigin()) {
            AccountSession::Options sessionOptions;
            sessionOptions.collaborationManager = parts->collaborationManager.get();
            auto session = std::make_unique<AccountSession>(*parts->mainWindow, document, *parts->engine,
                                                            services, &keychain, *web, sessionOptions);
            parts->mainWindow->commands().setAccount(session.get(), &session->internalBrowser());
            signIn = session.get();
            browser = &session->internalBrowser();
            parts->account = std::move(session);
        } else {
            // No sync server: the account commands stay off and pages open in the desktop's browser.
            parts->account = std::make_unique<OfflineAccountCommands>();
            parts->browser = std::make_unique<DesktopBrowser>();
            parts->mainWindow->commands().setAccount(parts->account.get(), parts->browser.get());
            browser = parts->browser.get();
        }
        parts->mainWindow->commands().setTerminatingQuery(
            [&delegatePointer] { return delegatePointer->terminating(); });
        const BoardPanels panels = attachPanels(*parts->mainWindow, document, services);
        parts->attachmentParts = std::make_unique<AttachmentParts>(
            *parts->engine, services, *panels.drawer, syncOrigin, parts->collaborationManager.get());
        parts->attachments = parts->attachmentParts.get();
        parts->mainWindow->setAttachments(parts->attachmentParts.get());
        parts->feedParts =
            std::make_unique<FeedParts>(services, *parts->engine, *panels.drawer, web, browser);
        parts->avatarManager = std::make_unique<AvatarManager>(
            services, *parts->engine, BoardImages::imageNamed(QStringLiteral("sand-clock.png")));
        showAvatarsInRows(*parts->avatarManager, *parts->engine, *parts->mainWindow, scheduler);
        attachPeopleMenus(*parts->mainWindow, *panels.drawer, services, *parts->collaborationManager,
                          *parts->avatarManager);
        showAvatarInLoginButton(*parts->avatarManager, *parts->engine, *parts->mainWindow);
        parts->team = std::make_unique<TeamParts>(services, *parts->collaborationManager, *parts->engine,
                                                  parts->avatarManager.get(), *parts->mainWindow, panels);
        parts->team->showFeed(parts->feedParts->comments(), web, browser);
        if (signIn)
            signIn->setSharingRequestsCheck(
                [team = QPointer<TeamViewController>(&parts->team->controller())] {
                    if (team)
                        team->checkForSharingRequests(nullptr);
                });
        parts->sharing = std::make_unique<SharingParts>(*parts->collaborationManager, *parts->engine,
                                                        parts->avatarManager.get(), *parts->mainWindow,
                                                        document, *parts->team);
        countSharedProjects(parts->sharing->pending(), panels.panelsControl);
        QObject::connect(parts->mainWindow.get(), &MainWindow::quadrantDoubleClicked, parts->mainWindow.get(),
                         [&countDowns] { countDowns.countDown(CountDowns::quadrantDoubleClicksKey()); });
        QObject::connect(parts->mainWindow.get(), &MainWindow::onlineStateChanged, parts->mainWindow.get(),
                         [&crashReporter, engine = parts->engine.get()] {
                             crashReporter.setUserEmail(engine->getCurrentUserEmail());
                         });
        addApplicationMenus(*parts->mainWindow, *delegatePointer, preferences, help);
        parts->engineShell = std::make_unique<EngineShell>(*parts->engine, services);
        parts->windowShell =
            std::make_unique<WindowShell>(*parts->mainWindow, document, *parts->engine, scheduler,
                                          [&delegatePointer] { delegatePointer->windowDidBecomeKey(); });
        parts->windowShell->afterFirstFrame(
            [applicationParts = parts.get()] { applicationParts->watchNetwork(); });
        parts->windowShell->setTeam(&parts->team->controller());
        parts->collaborationShell = std::make_unique<CollaborationShell>(
            *parts->collaborationManager, document, *parts->engine, *parts->mainWindow);
        parts->collaboration = parts->collaborationShell.get();
        parts->window = parts->windowShell.get();
        parts->wipeProgress = std::make_unique<OverlayWipeProgress>(*parts->mainWindow);
        parts->cacheWipeProgress = parts->wipeProgress.get();
        parts->sync = parts->engineShell.get();
        parts->tagServer = parts->engine.get();
        return parts;
    };
    deps.terminateApplication = [](int status) {
        QCoreApplication::exit(status);
    };
    deps.quitStarted = [&guard] {
        guard.setQuitting();
    };
    deps.syncHost = BuildInfo::syncHost(syncOrigin);
    deps.restRequestCacheFolder =
        DeleteCacheWindowController::requestCacheFolder(Paths::caches(), syncOrigin);

    AppDelegate delegate(std::move(deps));
    delegatePointer = &delegate;

    guard.setMessageHandler([&delegate](const QByteArray& message, const SingleInstance::Answer& answer,
                                        const SingleInstance::Waiting& stillWaiting) {
        if (const auto forwarded = LaunchRequest::fromMessage(message))
            delegate.handleLaunchRequest(*forwarded, answer, stillWaiting);
        else
            answer(false);
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
    // Links given at start are followed between the two halves, so the last project is not
    // reselected over them; text and files wait until the hand-over is accepted.
    delegate.handleLaunchRequest(request);
    delegate.applicationDidFinishLaunching();

    const int status = QApplication::exec();
    application.removeEventFilter(&quitRequests);
    return status;
}
