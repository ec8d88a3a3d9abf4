#pragma once

// The adapters through which the shell's delegate reaches the engine, the window and the
// neighbouring services, and what the delegate owns once the document is open.
#include "app/AppDelegate.h"
#include "app/ShellInterfaces.h"
#include "exchange/PingController.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "ui/board/ProjectListController.h"

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace qv {

class AccountCommands;
class InternalBrowser;
class AvatarManager;
class CollaborationManager;
class CollaborationShell;
class MainWindow;
class MyDocument;
class AttachmentParts;
class FeedParts;
class WebEngineLoader;
class iCalController;
class QVRemindersManager;
class QVRestManager;
class Scheduler;
class SharingParts;
class TeamParts;
class TeamViewController;
namespace rest {
class NetworkReachability;
}

// What arrived on standard input for --add-text, up to the hand-over's limit.
QByteArray readStandardInput();

// Runs a program without a shell and reports its exit status (-1 when it did not run) and its
// standard output.
void runCommand(const QString& program, const QStringList& arguments,
                std::function<void(int, const QByteArray&)> done);

// Calls back every time the watched window becomes the active window.
class WindowActivation final : public QObject {
public:
    WindowActivation(QObject& window, std::function<void()> activated);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject& m_window;
    std::function<void()> m_activated;
};

// Runs what waits for the window's first frame once that frame is painted, or a few seconds
// after the first wait began when the window paints nothing (hidden, minimised at login).
class FirstFrameWatch final : public QObject {
public:
    static constexpr qint64 kBoundMs = 3'000;
    FirstFrameWatch(QObject& window, Scheduler& scheduler);
    // run goes on the main loop after the frame: after it is on screen, not inside its painting.
    void afterFirstFrame(std::function<void()> run);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void painted();

    QObject& m_window;
    Scheduler& m_scheduler;
    bool m_painted = false;
    TimerId m_bound = 0;
    std::vector<std::function<void()>> m_waiting;
};

class CrashReporterEntry final : public CrashReporter {
public:
    void start() override;
    void setUserEmail(const QString& email) override;
};

class UsageAnnouncements final : public UsageAnnouncer {
public:
    explicit UsageAnnouncements(PingController::Options options) : m_ping(std::move(options)) {}
    void pingServer(const QString& eventName, std::function<void()> answered) override
    {
        m_ping.pingServer(eventName, std::move(answered));
    }

private:
    PingController m_ping;
};

// The sync engine as the delegate uses it.
class EngineShell final : public ShellSyncEngine {
public:
    EngineShell(QVRestManager& engine, const Services& services);
    // The network's reachability, from when it is watched (after the window's first frame);
    // until then every request is tried.
    void setReachability(rest::NetworkReachability* reachability);
    void startAllLoops() override;
    void stopAllLoops() override;
    void startObservingReachability() override;
    void stopObservingNotifications() override;
    QString currentUserEmail() const override;
    QDateTime timeLastSync() const override;
    int requestsInFlight() const override;

private:
    void connectReachability();

    QVRestManager& m_engine;
    rest::NetworkReachability* m_reachability = nullptr;
    bool m_observingReachability = false;
    Services m_services;
    QMetaObject::Connection m_connection;
};

// A project still to be loaded comes with its items from the engine's project download.
class EngineProjectFetcher final : public ProjectFetcher {
public:
    explicit EngineProjectFetcher(QVRestManager& engine) : m_engine(engine) {}
    bool getProjectAndItemsForProjectWithID(qint64 projectID, std::function<void()> success,
                                            std::function<void()> failure) override;

private:
    QVRestManager& m_engine;
};

// The document window as the delegate uses it.
class WindowShell final : public ShellWindow {
public:
    // activated: called each time the window becomes the active window.
    WindowShell(MainWindow& window, MyDocument& document, QVRestManager& engine, Scheduler& scheduler,
                std::function<void()> activated);
    ~WindowShell() override;

    void showWindow() override;
    void hideWindow() override;
    void requestAttention() override;
    void reselectLastProject() override;
    bool selectProjectWithID(qint64 id) override;
    bool selectItemWithServerID(qint64 serverID) override;
    int numberOfProjectRows() const override;
    void selectProjectRow(int row) override;
    void setStatusBarMessage(const QString& message) override;
    bool syncAndRunAfter(std::function<void()> completion) override;
    void reloadCollaboratorsOfSelectedProject() override;
    void afterFirstFrame(std::function<void()> run) override;
    void setTeam(TeamViewController* team) { m_team = team; }

private:
    MainWindow& m_window;
    MyDocument& m_document;
    EngineProjectFetcher m_fetcher;
    Scheduler& m_scheduler;
    TeamViewController* m_team = nullptr;
    WindowActivation m_activation;
    FirstFrameWatch m_firstFrame;
    QObject m_lifetime; // context of scheduled calls, the first member to go
};

// The cache wipe's progress: the window's grey overlay without sync activity.
class OverlayWipeProgress final : public CacheWipeProgress {
public:
    explicit OverlayWipeProgress(MainWindow& window) : m_window(window) {}
    void begin() override;
    void end() override;

private:
    MainWindow& m_window;
};

// What the delegate owns once the document is open. Members go in reverse order: the adapters,
// then the window, then the engine, all before the document.
struct ApplicationParts final : AppDelegate::DocumentParts {
    ApplicationParts();
    ~ApplicationParts() override;
    // Loading the system's network backend would hold up the first frame: the engine learns
    // of the network's reachability from here on. Needs the engine and its shell.
    void watchNetwork();
    std::unique_ptr<rest::NetworkReachability> reachability;
    std::unique_ptr<QVRestManager> engine;
    std::unique_ptr<CollaborationManager> collaborationManager;
    // The web engine, loaded when a page is first shown: gone after every page, before the
    // engine whose cookies it keeps in step.
    std::unique_ptr<WebEngineLoader> web;
    std::unique_ptr<AvatarManager> avatarManager;
    // What the window's account and web-page commands reach.
    std::unique_ptr<AccountCommands> account;
    std::unique_ptr<InternalBrowser> browser;
    std::unique_ptr<QVRemindersManager> reminders;
    // The calendar sync: made before the window, whose start-up starts it, and gone after it.
    std::unique_ptr<iCalController> calendar;
    // Made after the window, whose drawer holds the Files tab, and gone after it.
    std::unique_ptr<AttachmentParts> attachmentParts;
    std::unique_ptr<FeedParts> feedParts;
    std::unique_ptr<MainWindow> mainWindow;
    // The window's team column: gone before the window.
    std::unique_ptr<TeamParts> team;
    // Its invitation popovers and shared projects: gone before the column.
    std::unique_ptr<SharingParts> sharing;
    std::unique_ptr<EngineShell> engineShell;
    std::unique_ptr<WindowShell> windowShell;
    std::unique_ptr<OverlayWipeProgress> wipeProgress;
    std::unique_ptr<CollaborationShell> collaborationShell;
};

// Quit requests that reach the application object (the session manager ending the session,
// or anyone calling QCoreApplication::quit()) run the quit sequence instead of ending the loop
// at once; the sequence ends the loop itself.
class QuitRequests final : public QObject {
public:
    explicit QuitRequests(AppDelegate& delegate) : m_delegate(delegate) {}
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppDelegate& m_delegate;
};

} // namespace qv
