#pragma once

#include "app/LaunchRequest.h"
#include "app/ShellInterfaces.h"
#include "core/document/StoreFiles.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace qv {

class ColorList;
class InboxHandOver;
class LaunchAgent;
class MyDocument;
class TagManager;
class TagServer;
class TODOItem;

// The application's start-up and shutdown: the launch in two halves, activation, the quit
// sequence, the badge, the font tiers, the colour list, the URL scheme and the command-line hand-over.
// Plain logic over injected services and interfaces: the entry point wires the real window,
// sync engine and neighbours, tests wire fakes. Main thread only.
class AppDelegate {
public:
    // What the entry point builds once the document is open (window, sync engine, ...). Owned
    // by the delegate and destroyed before the document.
    struct DocumentParts {
        virtual ~DocumentParts() = default;
        ShellWindow* window = nullptr;
        ShellSyncEngine* sync = nullptr;
        ShellCollaboration* collaboration = nullptr;
        AttachmentUploads* attachments = nullptr;
        CacheWipeProgress* cacheWipeProgress = nullptr;
        // Where the tag service sends tag changes (the sync engine); none: kept for a retry.
        TagServer* tagServer = nullptr;
    };

    // Runs a program (no shell) and reports its exit status (-1 when it could not run) and
    // what it printed.
    using CommandRunner = std::function<void(const QString& program, const QStringList& arguments,
                                             std::function<void(int status, const QByteArray& output)> done)>;

    struct Dependencies {
        // Clock, scheduler and preferences are required; alerts for the "Not found" alert.
        Services services;
        CrashReporter* crashReporter = nullptr;
        SoftwareUpdater* updater = nullptr;
        // Makes the usage announcer on first use; empty: no announcements.
        std::function<std::unique_ptr<UsageAnnouncer>()> makeAnnouncer;
        Badge* badge = nullptr;
        LaunchAgent* launchAgent = nullptr;
        // Registers the URL-scheme handler; empty: not registered.
        CommandRunner runCommand;
        // Whether this program is installed: one run from a build folder registers nothing
        // with the desktop (see LaunchAgent::isInstalledProgram).
        bool programInstalled = false;
        // Hands the named colours to the colour dialog.
        std::function<void(const ColorList&)> attachColorList;
        // Builds the window and the other parts over the opened document.
        std::function<std::unique_ptr<DocumentParts>(MyDocument&)> documentOpened;
        // Ends the application loop with this exit status: 0 once the quit sequence is through,
        // non-zero when the start-up cannot go on.
        std::function<void(int status)> terminateApplication;
        // The quit sequence has begun (later launches are told to wait for its end).
        std::function<void()> quitStarted;

        QString defaultsResource = QStringLiteral(":/Defaults.json");
        QString colorsResource = QStringLiteral(":/colors.txt");
        // The sync server's host as links carry it; empty: no link selects anything.
        QString syncHost;
        // The REST request cache wiped once per installation; empty: nothing to wipe.
        QString restRequestCacheFolder;
        qint64 quitDelayMs = kQuitDelayMs;
        // How long an item handed over waits for its first save before its hand-over is
        // refused and the item taken back.
        qint64 handOverSaveWaitMs = kHandOverSaveWaitMs;
    };

    // The quit's bound for work still in flight.
    static constexpr qint64 kQuitDelayMs = 5'000;
    // How long the quit waits for the answer to "endapp", and how often it looks whether the
    // requests on the wire are answered.
    static constexpr qint64 kEndAnnouncementWaitMs = 1'000;
    static constexpr qint64 kQuitPollMs = 50;
    static constexpr qint64 kActivationDelayMs = 1'000;
    static constexpr qint64 kInactivityCheckMs = 180'000;
    static constexpr qint64 kMinSecondsBetweenSyncs = 120;
    static constexpr qint64 kFirstURLRetryMs = 3'000;
    static constexpr qint64 kSecondURLRetryMs = 10'000;
    static constexpr qint64 kCacheWipeDelayMs = 2'000;
    static constexpr int kRunsBeforeUpdateChecks = 3;
    static constexpr int kStoreUnusableStatus = 1;
    // Well below the minute the sending copy waits for its answer, so that a refusal reaches
    // it: a copy that gave up on its own would say it failed while the item stayed.
    static constexpr qint64 kHandOverSaveWaitMs = 40'000;
    static constexpr qint64 kHandOverPollMs = 200;

    explicit AppDelegate(Dependencies dependencies);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // The first delegate created, while it lives; nullptr otherwise.
    static AppDelegate* sharedInstance();

    // --- Launch ---
    // Preferences, run count, update check, launch agent, REST store path, URL handler.
    void applicationWillFinishLaunching();
    // Crash reporter, the store opened or created as the document, sync start, Services.
    void applicationDidFinishLaunching();
    // A whole-document sync unless one completed less than 120 s ago; true when one started.
    bool doSyncAfterStart();

    // --- Activation ---
    void applicationDidBecomeActive();
    // Autosaves the document.
    void applicationDidResignActive();
    bool isActive() const { return m_active; }
    // The main window became the active window.
    void windowDidBecomeKey();

    // --- Quit: every trigger runs the one sequence ---
    void quitCommand();
    void lastWindowClosed();
    void terminationSignal(int signalNumber);
    void sessionQuitRequested();
    // The session manager asks for the data before the session may end: the document is saved
    // at once; the application keeps running until it is asked to quit.
    void commitData();
    // The sequence's first half: the windows go at once and the document is saved; the
    // application ends once the requests on the wire are answered and "endapp" is answered
    // (or has had its second), and at the latest when the quit delay is over.
    void applicationShouldTerminate();
    // The second half: ends the application now, whatever is still in flight.
    void closeWindow();
    // Final save (waiting for its backup), "endapp", preferences flush, badge. Runs once.
    // announced runs once "endapp" is answered (see UsageAnnouncer).
    void applicationWillTerminate(std::function<void()> announced = {});
    // The application loop is ending however it was asked to: whatever of the sequence has
    // not run yet runs now.
    void applicationAboutToQuit();

    // --- Links and handed-over input ---
    void handleURL(const QString& text);
    // Links at once; text and files once the hand-over is ready. A plain launch (nothing in
    // it) brings the window to the front. done, when given, is called once: true as soon as
    // the items handed over are in the store (before any question about them is asked), false
    // when none will be: nothing could be made, their first save did not succeed within
    // handOverSaveWaitMs, the quit began first, or senderWaiting (when given) said the sender
    // stopped waiting. A refused hand-over's items are taken back, and no item is sent to the
    // server before its first save. Upload questions come one at a time, after the answer.
    void handleLaunchRequest(const LaunchRequest& request, std::function<void(bool saved)> done = {},
                             std::function<bool()> senderWaiting = {});
    // As a launch hands them over, with nobody waiting for the answer: the item is kept until
    // it is saved. false when an item was made that is not in the store yet.
    bool addNewItemFromText(const QString& text);
    bool addNewItemFromFiles(const QStringList& paths);

    // --- Other operations ---
    void pingServer(const QString& eventName, std::function<void()> answered = {});
    void updateIconBadge();
    float currentFontSize() const;
    float currentQuadrantRowHeight() const;
    void increaseFontTier();
    void decreaseFontTier();
    bool syncAfterStart() const { return m_syncAfterStart; }
    void setSyncAfterStart(bool on);
    void toggleSyncAfterStart() { setSyncAfterStart(!m_syncAfterStart); }
    void toggleLaunchOnStart();
    // Only an installed program starts at login.
    bool canToggleLaunchOnStart() const;
    void loadColors();
    void backupCurrentStoreWithTrack(const QString& track);
    static QString pathForTemporaryDirectory(const QString& subfolder = {});
    static QString pathForTemporaryFileWithName(const QString& fileName = {});

    // --- State ---
    bool terminating() const { return m_terminating; }
    bool initialized() const { return m_initialized; }
    bool isQVTeam() const { return m_isQVTeam; }
    bool receivedURL() const { return m_invokeURL.isValid(); }
    // The REST object store's file ("sync.sqlite" in the caches folder).
    QString restStorePath() const { return m_restStorePath; }
    MyDocument* document() const { return m_document.get(); }
    DocumentParts* parts() const { return m_parts.get(); }
    StoreFiles& storeFiles() { return m_storeFiles; }

private:
    enum class LinkKind { Project, Item };
    enum class SettingsTrouble { Preferences, Autostart };

    void startUpCompletion(StoreFiles::OpenedStore opened);
    // The quit's waits: for the requests on the wire, then for the answer to "endapp".
    void endWhenRequestsAnswered();
    void endAfterAnnouncement();
    void endApplication();
    void stopObservingSync();
    void cancelQuitTimers();
    void reportOpenFailure(const StoreFiles::OpenedStore& opened);
    void startSyncAtStart();
    void wipeRequestCache();
    bool selectLink(LinkKind kind, qint64 id);
    void retryLink(LinkKind kind, qint64 id, int attempt);
    struct HandOver;
    void acceptHandOver();
    bool carryOutHandOver(LaunchRequest input, std::function<void(bool)> done, std::function<bool()> waiting);
    void makeItems(HandOver& handOver);
    void commitHandOvers();
    // Answers every hand-over whose outcome is known, and looks again a moment later while
    // items wait for their first save. Safe to call from anywhere, also from a nested loop.
    void settleHandOvers();
    void askUploadQuestions();
    // Needs the document.
    InboxHandOver inboxHandOver() const;
    void registerURLSchemeHandler();
    // Tells the user, once per run and kind, that settings could not be saved.
    void reportSettingsTrouble(SettingsTrouble kind);
    void showSettingsTroubles();
    // The preferences' first write, held from the start until the window's first frame.
    void writeStartUpPreferences();
    TimerId after(qint64 ms, std::function<void()> fn);
    void post(std::function<void()> fn);
    ShellWindow* window() const { return m_parts ? m_parts->window : nullptr; }
    ShellSyncEngine* sync() const { return m_parts ? m_parts->sync : nullptr; }
    QDateTime now() const;

    Dependencies m_deps;
    StoreFiles m_storeFiles;
    std::unique_ptr<MyDocument> m_document;
    std::unique_ptr<TagManager> m_tagManager;
    std::unique_ptr<DocumentParts> m_parts;
    std::unique_ptr<UsageAnnouncer> m_announcer;
    // Context of the delegate's scheduled calls and callbacks; the first thing it lets go.
    std::unique_ptr<QObject> m_lifetime;

    bool m_terminating = false;
    bool m_initialized = false;
    bool m_isQVTeam = false;
    bool m_syncAfterStart = false;
    bool m_active = true;
    bool m_handOverAccepted = false;
    bool m_startUpWritten = false;
    bool m_willTerminateDone = false;
    bool m_stoppedObservingSync = false;
    QUrl m_invokeURL;
    QString m_restStorePath;
    TimerId m_endTimer = 0;
    TimerId m_requestsPoll = 0;
    TimerId m_announcementWait = 0;
    bool m_ended = false;
    TimerId m_inactivityCheck = 0;
    struct HandOver {
        quint64 id = 0;
        LaunchRequest input;
        std::function<void(bool saved)> done;
        std::function<bool()> senderWaiting;
        bool made = false;
        bool timedOut = false;
        TimerId deadline = 0;
        std::vector<TODOItem*> items;
        // The item of the file, whose upload is offered once the item is saved.
        TODOItem* fileItem = nullptr;
        QString fileTitle;
    };
    std::vector<std::unique_ptr<HandOver>> m_handOvers;
    quint64 m_lastHandOverId = 0;
    TimerId m_handOverPoll = 0;
    struct UploadQuestion {
        TODOItem* item = nullptr;
        QString title;
    };
    std::deque<UploadQuestion> m_uploadQuestions;
    bool m_askingUpload = false;
    QList<SettingsTrouble> m_settingsTroubles;
    QStringList m_unreportedTroubles;
};

} // namespace qv
