#include "app/AppDelegate.h"

#include "app/AppLogging.h"
#include "app/ColorList.h"
#include "app/DeleteCacheWindowController.h"
#include "app/InboxHandOver.h"
#include "app/LaunchAgent.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TagManager.h"
#include "core/model/TodoModel.h"
#include "core/util/BuildInfo.h"
#include "core/util/FontSizeTiers.h"
#include "core/util/Utils.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/store/Context.h"

#include <QDir>
#include <QMutex>
#include <QPointer>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <optional>

namespace qv {

namespace {

const QString kWorkOfflineOnly = QStringLiteral("kWorkOfflineOnly");
const QString kNumberOfRuns = QStringLiteral("kNumberOfRuns");
const QString kFontSize = QStringLiteral("fontsize");
const QString kSyncAfterStart = QStringLiteral("SYNC_AFTER_START");
const QString kLastSelectedProjectRow = QStringLiteral("lastSelectedProjectRow");

QMutex& sharedMutex()
{
    static QMutex mutex;
    return mutex;
}

AppDelegate*& sharedDelegate()
{
    static AppDelegate* delegate = nullptr;
    return delegate;
}

// A desktop file id names applications/<id>, or with its first dashes read as folders.
bool desktopEntryExists(const QString& id)
{
    QString candidate = id;
    for (qsizetype dash = -1;;) {
        if (!QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                    QStringLiteral("applications/") + candidate)
                 .isEmpty())
            return true;
        dash = candidate.indexOf(u'-', dash + 1);
        if (dash < 0)
            return false;
        candidate[dash] = u'/';
    }
}

} // namespace

AppDelegate::AppDelegate(Dependencies dependencies)
    : m_deps(std::move(dependencies)), m_storeFiles(m_deps.services), m_lifetime(std::make_unique<QObject>())
{
    Q_ASSERT(m_deps.services.clock && m_deps.services.scheduler && m_deps.services.preferences);
    QMutexLocker locker(&sharedMutex());
    if (!sharedDelegate())
        sharedDelegate() = this;
}

AppDelegate::~AppDelegate()
{
    m_lifetime.reset();
    // A delegate that never got to it leaves the preferences writing as they always do.
    if (!m_startUpWritten)
        m_deps.services.preferences->resumeWrites();
    for (const TimerId timer :
         {m_endTimer, m_requestsPoll, m_announcementWait, m_inactivityCheck, m_handOverPoll})
        m_deps.services.scheduler->cancel(timer);
    // The tag service holds on to the engine and to items; the window and the engine to the document.
    m_tagManager.reset();
    m_parts.reset();
    m_document.reset();
    QMutexLocker locker(&sharedMutex());
    if (sharedDelegate() == this)
        sharedDelegate() = nullptr;
}

AppDelegate* AppDelegate::sharedInstance()
{
    QMutexLocker locker(&sharedMutex());
    return sharedDelegate();
}

TimerId AppDelegate::after(qint64 ms, std::function<void()> fn)
{
    return m_deps.services.scheduler->after(ms, m_lifetime.get(), std::move(fn));
}

void AppDelegate::post(std::function<void()> fn)
{
    m_deps.services.scheduler->post(m_lifetime.get(), std::move(fn));
}

QDateTime AppDelegate::now() const
{
    return m_deps.services.clock->now();
}

// --- Launch

void AppDelegate::applicationWillFinishLaunching()
{
    Preferences& preferences = *m_deps.services.preferences;

    // Nothing is written before the window's first frame: the preferences wait for it.
    preferences.holdWrites();
    QString error;
    if (!preferences.registerDefaultsFromJson(m_deps.defaultsResource, &error))
        qCWarning(lcApp, "the default preferences could not be read: %s", qUtf8Printable(error));
    preferences.setValue(kWorkOfflineOnly, false);
    const int runsBefore = preferences.intValue(kNumberOfRuns);
    preferences.setValue(kNumberOfRuns, runsBefore + 1);

    m_terminating = false;
    m_initialized = false;
    m_isQVTeam = true;

    // The package manager installs the program; an updater, where one is wired, looks for a
    // newer version once the user has run this one a few times.
    if (m_deps.updater && runsBefore >= kRunsBeforeUpdateChecks)
        m_deps.updater->checkForUpdatesInBackground();

    if (m_deps.launchAgent && !m_deps.launchAgent->configureLaunchAgentScript())
        reportSettingsTrouble(SettingsTrouble::Autostart);

    const QString caches = StoreFiles::applicationCachesDirectoryString();
    m_restStorePath = caches.isEmpty() ? QString() : QDir(caches).filePath(QStringLiteral("sync.sqlite"));
    qCInfo(lcApp, "Creating store in %s", qUtf8Printable(m_restStorePath));

    registerURLSchemeHandler();
}

void AppDelegate::registerURLSchemeHandler()
{
    if (!m_deps.runCommand)
        return;
    if (!m_deps.programInstalled) {
        qCInfo(lcApp, "Not an installed program: the link handler is left alone");
        return;
    }
    // The user's choice of handler stands while the program it names is there.
    const QString scheme = QStringLiteral("x-scheme-handler/quadrivo");
    m_deps.runCommand(
        QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), scheme},
        [this, scheme, alive = QPointer<QObject>(m_lifetime.get())](int status, const QByteArray& output) {
            if (!alive)
                return;
            const QString current = QString::fromUtf8(output).trimmed();
            if (status == 0 && !current.isEmpty() && desktopEntryExists(current))
                return;
            m_deps.runCommand(QStringLiteral("xdg-mime"),
                              {QStringLiteral("default"), BuildInfo::desktopEntryName(), scheme},
                              [](int result, const QByteArray&) {
                                  if (result != 0)
                                      qCWarning(lcApp, "Error registering default app: %d", result);
                              });
        });
}

void AppDelegate::reportSettingsTrouble(SettingsTrouble kind)
{
    if (m_settingsTroubles.contains(kind))
        return;
    m_settingsTroubles << kind;
    const QString line =
        kind == SettingsTrouble::Preferences
            ? QStringLiteral("Changed preferences will be lost when %1 quits: %2 cannot be written.")
                  .arg(BuildInfo::displayName(), m_deps.services.preferences->fileName())
            : QStringLiteral("\"Start %1 at Login\" could not be changed: %2 cannot be written.")
                  .arg(BuildInfo::displayName(),
                       m_deps.launchAgent ? m_deps.launchAgent->agentPath() : QString());
    qCWarning(lcApp, "%s", qUtf8Printable(line));
    m_unreportedTroubles << line;
    // Shown once the start-up has written the preferences; troubles found meanwhile share the
    // alert.
    if (m_startUpWritten && m_unreportedTroubles.size() == 1)
        post([this] { showSettingsTroubles(); });
}

void AppDelegate::showSettingsTroubles()
{
    if (m_unreportedTroubles.isEmpty())
        return;
    const QString informative = m_unreportedTroubles.join(u'\n');
    m_unreportedTroubles.clear();
    if (m_deps.services.alerts && !m_terminating)
        m_deps.services.alerts->alert(QStringLiteral("Some settings could not be saved."), informative,
                                      QStringLiteral("OK"), Alerts::Style::Warning);
}

void AppDelegate::writeStartUpPreferences()
{
    if (m_startUpWritten)
        return;
    // The run count has changed, so this writes the file: a folder that cannot take it is
    // found now rather than at the quit.
    if (!m_deps.services.preferences->resumeWrites())
        reportSettingsTrouble(SettingsTrouble::Preferences);
    m_startUpWritten = true;
    if (!m_unreportedTroubles.isEmpty())
        post([this] { showSettingsTroubles(); });
}

void AppDelegate::applicationDidFinishLaunching()
{
    Preferences& preferences = *m_deps.services.preferences;
    if (m_deps.crashReporter)
        m_deps.crashReporter->start();
    preferences.setValue(kFontSize, 14);
    m_syncAfterStart = preferences.boolValue(kSyncAfterStart);
    post([this] { loadColors(); });
    startUpCompletion(m_storeFiles.reloadFile(TodoModel::shared(), *m_deps.services.scheduler));
    acceptHandOver();
}

void AppDelegate::startUpCompletion(StoreFiles::OpenedStore opened)
{
    if (!opened.context) {
        qCCritical(lcApp, "%s", qUtf8Printable(opened.error));
        writeStartUpPreferences();
        reportOpenFailure(opened);
        return;
    }
    m_document = std::make_unique<MyDocument>(m_deps.services, std::move(opened.context), &m_storeFiles);
    // Before the window: stars and item tags go through it from the first moment.
    m_tagManager = std::make_unique<TagManager>(TodoModel::shared(), *m_deps.services.scheduler);
    if (m_deps.documentOpened)
        m_parts = m_deps.documentOpened(*m_document);
    if (!m_parts)
        m_parts = std::make_unique<DocumentParts>();
    m_tagManager->setTagServer(m_parts->tagServer);
    if (ShellWindow* w = window()) {
        w->showWindow();
        w->afterFirstFrame([this, alive = QPointer<QObject>(m_lifetime.get())] {
            if (alive)
                writeStartUpPreferences();
        });
    } else {
        post([this] { writeStartUpPreferences(); });
    }

    if (ShellSyncEngine* engine = sync())
        engine->startObservingReachability();
    if (!(m_syncAfterStart && doSyncAfterStart()))
        post([this] { startSyncAtStart(); });
    pingServer(QStringLiteral("startapp"));
    if (!m_invokeURL.isValid()) {
        if (ShellWindow* w = window())
            w->reselectLastProject();
    }
    m_initialized = true;

    if (!m_deps.services.preferences->boolValue(DeleteCacheWindowController::erasedKey()))
        after(kCacheWipeDelayMs, [this] { wipeRequestCache(); });
}

void AppDelegate::reportOpenFailure(const StoreFiles::OpenedStore& opened)
{
    // Staying up without a window would hold the single-instance lock and shut the user out.
    if (!opened.reason.isEmpty()) {
        const QString message = QStringLiteral("Quadrivo cannot open your data.");
        QString informative = opened.reason;
        // Only advice that helps: a backup copied over a newer version's file would lose its data.
        if (!opened.advice.isEmpty())
            informative += QStringLiteral("\n\n") + opened.advice;
        informative += QStringLiteral("\n\nThe data file has not been changed. Quadrivo will now quit.");
        std::fprintf(stderr, "%s\n%s\n", qPrintable(message), qPrintable(informative));
        if (m_deps.services.alerts)
            m_deps.services.alerts->alert(message, informative, QStringLiteral("Quit"),
                                          Alerts::Style::Critical);
    }
    post([this] {
        if (m_deps.terminateApplication)
            m_deps.terminateApplication(kStoreUnusableStatus);
    });
}

void AppDelegate::startSyncAtStart()
{
    if (ShellSyncEngine* engine = sync())
        engine->startAllLoops();
    if (ShellCollaboration* collaboration = m_parts ? m_parts->collaboration : nullptr) {
        collaboration->initCollaboration();
        collaboration->reloadMe([this, alive = QPointer<QObject>(m_lifetime.get())] {
            if (ShellWindow* w = alive ? window() : nullptr)
                w->reloadCollaboratorsOfSelectedProject();
        });
    }
}

void AppDelegate::wipeRequestCache()
{
    DeleteCacheWindowController controller(*m_deps.services.preferences,
                                           m_parts ? m_parts->cacheWipeProgress : nullptr,
                                           [this] { return m_terminating; });
    controller.cleanCacheAt(m_deps.restRequestCacheFolder, {});
}

bool AppDelegate::doSyncAfterStart()
{
    const QDateTime last = sync() ? sync()->timeLastSync() : QDateTime();
    if (last.isValid()) {
        const double seconds = std::abs(double(last.msecsTo(now()))) / 1000.0;
        if (seconds < double(kMinSecondsBetweenSyncs)) {
            qCInfo(lcApp, "It's been only %g seconds since last sync; Passing", seconds);
            return false;
        }
    }
    ShellWindow* w = window();
    if (!w)
        return false;
    const int row = m_deps.services.preferences->intValue(kLastSelectedProjectRow);
    return w->syncAndRunAfter([this, row, alive = QPointer<QObject>(m_lifetime.get())] {
        ShellWindow* current = alive ? window() : nullptr;
        // The row was stored in another run: the list may be shorter now.
        if (current && row >= 0 && row < current->numberOfProjectRows())
            current->selectProjectRow(row);
    });
}

// --- Activation

void AppDelegate::applicationDidBecomeActive()
{
    m_active = true;
    // Once quitting has begun the loops stay stopped.
    if (!m_initialized || m_terminating)
        return;
    after(kActivationDelayMs, [this] {
        if (m_deps.crashReporter)
            m_deps.crashReporter->setUserEmail(sync() ? sync()->currentUserEmail() : QString());
        if (ShellSyncEngine* engine = sync())
            engine->startAllLoops();
        updateIconBadge();
    });
}

void AppDelegate::windowDidBecomeKey()
{
    pingServer(QStringLiteral("wakeapp"));
}

void AppDelegate::applicationDidResignActive()
{
    m_active = false;
    if (m_document && m_initialized && !m_terminating)
        m_document->autosaveDocument();
    if (m_initialized && !m_inactivityCheck) {
        m_inactivityCheck = after(kInactivityCheckMs, [this] {
            if (!m_active) {
                qCInfo(lcApp, "STOPPING BECAUSE NOT ACTIVE");
                if (ShellSyncEngine* engine = sync())
                    engine->stopAllLoops();
            } else {
                qCDebug(lcApp, "NOT STOPPING BECAUSE ACTIVE");
            }
            m_inactivityCheck = 0;
        });
    }
    updateIconBadge();
}

// --- Quit

void AppDelegate::quitCommand()
{
    applicationShouldTerminate();
}

void AppDelegate::lastWindowClosed()
{
    qCInfo(lcApp, "window should close");
    applicationShouldTerminate();
}

void AppDelegate::terminationSignal(int signalNumber)
{
    qCInfo(lcApp, "Quitting on signal %d", signalNumber);
    applicationShouldTerminate();
}

void AppDelegate::sessionQuitRequested()
{
    qCInfo(lcApp, "Quitting at the end of the session");
    applicationShouldTerminate();
}

void AppDelegate::commitData()
{
    if (!m_document || m_willTerminateDone)
        return;
    qCInfo(lcApp, "Saving document (session)");
    m_document->saveFile();
}

void AppDelegate::applicationShouldTerminate()
{
    // One sequence at a time: a second request while it runs changes nothing.
    if (m_terminating)
        return;
    m_terminating = true;
    // The rest of the sequence runs behind the scenes: a window that lingers looks hung.
    if (ShellWindow* w = window())
        w->hideWindow();
    if (m_deps.quitStarted)
        m_deps.quitStarted();
    if (m_document) {
        m_document->setTerminating(true);
        m_document->stopObserving();
    }
    m_storeFiles.setQuitting();
    if (ShellSyncEngine* engine = sync())
        engine->stopAllLoops();
    if (m_document) {
        qCInfo(lcApp, "Saving document (applicationShouldTerminate)");
        if (m_document->saveFile())
            qCInfo(lcApp, "Saved document (applicationShouldTerminate)");
        else
            qCWarning(lcApp, "Could not save the document (applicationShouldTerminate)");
    }
    // What is not in the store by now is refused: its sender must not wait for the quit.
    settleHandOvers();
    // The delay is only a bound: the process ends as soon as nothing is left in flight.
    m_endTimer = after(m_deps.quitDelayMs, [this] {
        m_endTimer = 0;
        closeWindow();
    });
    post([this] { endWhenRequestsAnswered(); });
}

void AppDelegate::endWhenRequestsAnswered()
{
    m_requestsPoll = 0;
    if (m_willTerminateDone)
        return;
    // An answer still on its way may change the document: the final save comes after it.
    if (ShellSyncEngine* engine = sync(); engine && engine->requestsInFlight() > 0) {
        m_requestsPoll = after(kQuitPollMs, [this] { endWhenRequestsAnswered(); });
        return;
    }
    endAfterAnnouncement();
}

void AppDelegate::endAfterAnnouncement()
{
    stopObservingSync();
    m_announcementWait = after(kEndAnnouncementWaitMs, [this] {
        m_announcementWait = 0;
        endApplication();
    });
    // The answer may come at once: the rest of the final steps run first.
    applicationWillTerminate([this, alive = QPointer<QObject>(m_lifetime.get())] {
        if (alive)
            post([this] { endApplication(); });
    });
}

void AppDelegate::stopObservingSync()
{
    if (ShellSyncEngine* engine = sync(); engine && !m_stoppedObservingSync) {
        m_stoppedObservingSync = true;
        engine->stopObservingNotifications();
    }
}

void AppDelegate::cancelQuitTimers()
{
    for (TimerId* timer : {&m_endTimer, &m_requestsPoll, &m_announcementWait}) {
        m_deps.services.scheduler->cancel(*timer);
        *timer = 0;
    }
}

void AppDelegate::closeWindow()
{
    stopObservingSync();
    applicationWillTerminate();
    endApplication();
}

void AppDelegate::endApplication()
{
    if (m_ended)
        return;
    m_ended = true;
    cancelQuitTimers();
    qCInfo(lcApp, "Quit sequence done");
    if (m_deps.terminateApplication)
        m_deps.terminateApplication(0);
}

void AppDelegate::applicationWillTerminate(std::function<void()> announced)
{
    if (m_willTerminateDone)
        return;
    m_willTerminateDone = true;
    writeStartUpPreferences();
    if (m_document)
        m_document->saveFile();
    // The last backup is in place before the process ends.
    m_storeFiles.waitForBackups();
    if (m_document)
        m_storeFiles.markCleanEnd();
    pingServer(QStringLiteral("endapp"), std::move(announced));
    if (!m_deps.services.preferences->flush())
        qCWarning(lcApp, "Couldn't save change in user defaults");
    updateIconBadge();
}

void AppDelegate::applicationAboutToQuit()
{
    if (!m_terminating)
        applicationShouldTerminate();
    // The loop ends now: nothing more is waited for.
    m_ended = true;
    cancelQuitTimers();
    stopObservingSync();
    applicationWillTerminate();
}

// --- Links and handed-over input

bool AppDelegate::selectLink(LinkKind kind, qint64 id)
{
    ShellWindow* w = window();
    if (!w)
        return false;
    return kind == LinkKind::Project ? w->selectProjectWithID(id) : w->selectItemWithServerID(id);
}

void AppDelegate::retryLink(LinkKind kind, qint64 id, int attempt)
{
    if (selectLink(kind, id)) {
        if (attempt == 3) {
            if (ShellWindow* w = window())
                w->setStatusBarMessage(QString());
        }
        return;
    }
    if (attempt == 2) {
        if (ShellWindow* w = window())
            w->setStatusBarMessage(kind == LinkKind::Project
                                       ? QStringLiteral("Syncing and searching for project...")
                                       : QStringLiteral("Syncing and searching for item..."));
        after(kSecondURLRetryMs, [this, kind, id] { retryLink(kind, id, 3); });
        return;
    }
    if (m_deps.services.alerts) {
        m_deps.services.alerts->alert(
            QStringLiteral("Not found"),
            kind == LinkKind::Project
                ? QStringLiteral("The project was not found")
                : QStringLiteral(
                      "The item was not found. Maybe you don't own that item, it was already erased "
                      "or it is being filtered by the UI at this moment."),
            QStringLiteral("Ok"), Alerts::Style::Warning);
    }
    if (ShellWindow* w = window())
        w->setStatusBarMessage(QString());
}

void AppDelegate::handleURL(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    // The parts of a link that may carry a password or the user's text stay out of the log.
    qCInfo(lcApp, "%s",
           qUtf8Printable(url.isValid()
                              ? url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)
                              : redacted(text)));
    if (!url.isValid() || url.scheme().isEmpty())
        return;
    if (url.isLocalFile()) {
        qCInfo(lcApp, "Application open file");
        return;
    }
    m_invokeURL = url;

    std::optional<qint64> id;
    LinkKind kind = LinkKind::Project;
    if (!m_deps.syncHost.isEmpty()) {
        id = Utils::projectIDFromURL(url, m_deps.syncHost);
        if (!id) {
            id = Utils::itemIDFromURL(url, m_deps.syncHost);
            kind = LinkKind::Item;
        }
    }
    if (id) {
        if (selectLink(kind, *id))
            return;
        if (ShellWindow* w = window()) {
            w->requestAttention();
            w->showWindow();
        }
        const qint64 linkId = *id;
        after(kFirstURLRetryMs, [this, kind, linkId] { retryLink(kind, linkId, 2); });
        return;
    }
    if (Utils::isSyncURL(url)) {
        doSyncAfterStart();
        return;
    }
    if (Utils::isBlankURL(url)) {
        if (ShellWindow* w = window())
            w->setStatusBarMessage(QStringLiteral("Welcome to Quadrivo!"));
    }
}

void AppDelegate::handleLaunchRequest(const LaunchRequest& request, std::function<void(bool saved)> done,
                                      std::function<bool()> senderWaiting)
{
    if (request.isEmpty()) {
        if (ShellWindow* w = window(); w && !m_terminating)
            w->showWindow();
        if (done)
            done(true);
        return;
    }
    for (const QString& url : request.urls)
        handleURL(url);
    if (!request.text && request.files.isEmpty()) {
        if (done)
            done(true);
        return;
    }
    LaunchRequest input;
    input.text = request.text;
    input.files = request.files;
    carryOutHandOver(std::move(input), std::move(done), std::move(senderWaiting));
}

bool AppDelegate::carryOutHandOver(LaunchRequest input, std::function<void(bool)> done,
                                   std::function<bool()> waiting)
{
    auto handOver = std::make_unique<HandOver>();
    const quint64 id = ++m_lastHandOverId;
    handOver->id = id;
    handOver->input = std::move(input);
    handOver->done = std::move(done);
    handOver->senderWaiting = std::move(waiting);
    // Only a sender that waits for the answer is ever refused; this launch's own input keeps
    // its item until it is saved.
    if (handOver->done) {
        handOver->deadline = after(m_deps.handOverSaveWaitMs, [this, id] {
            for (const std::unique_ptr<HandOver>& pending : m_handOvers) {
                if (pending->id == id) {
                    pending->deadline = 0;
                    pending->timedOut = true;
                }
            }
            settleHandOvers();
            askUploadQuestions();
        });
    }
    m_handOvers.push_back(std::move(handOver));
    if (m_handOverAccepted && !m_terminating) {
        makeItems(*m_handOvers.back());
        commitHandOvers();
    }
    settleHandOvers();
    askUploadQuestions();
    return std::none_of(m_handOvers.begin(), m_handOvers.end(),
                        [id](const std::unique_ptr<HandOver>& pending) { return pending->id == id; });
}

void AppDelegate::makeItems(HandOver& handOver)
{
    handOver.made = true;
    if (!m_document) {
        qCWarning(lcApp, "No document for what was handed over");
        return;
    }
    InboxHandOver inbox = inboxHandOver();
    if (handOver.input.text) {
        if (TODOItem* item = inbox.addNewItemFromText(*handOver.input.text))
            handOver.items.push_back(item);
    }
    if (!handOver.input.files.isEmpty()) {
        if (TODOItem* item = inbox.addNewItemFromFiles(handOver.input.files)) {
            handOver.items.push_back(item);
            handOver.fileItem = item;
            handOver.fileTitle = InboxHandOver::titleForFile(handOver.input.files.first());
        }
    }
}

void AppDelegate::acceptHandOver()
{
    m_handOverAccepted = true;
    bool made = false;
    for (const std::unique_ptr<HandOver>& handOver : m_handOvers) {
        if (!handOver->made && !m_terminating) {
            makeItems(*handOver);
            made = true;
        }
    }
    if (made)
        commitHandOvers();
    settleHandOvers();
    askUploadQuestions();
}

void AppDelegate::commitHandOvers()
{
    if (!m_document)
        return;
    // Watched from now on: a failed save shows its alert in a loop of its own, which runs
    // until someone answers it, and meanwhile the document's next try may succeed or the
    // sender give up.
    settleHandOvers();
    // The answer waits for the first save that succeeds: this one or a later try.
    m_document->commitChanges();
}

void AppDelegate::settleHandOvers()
{
    // Taken out of the list before anyone is told: telling may run code that comes back here.
    std::vector<std::pair<std::unique_ptr<HandOver>, bool>> settled;
    bool waitsForSave = false;
    for (auto it = m_handOvers.begin(); it != m_handOvers.end();) {
        HandOver& handOver = **it;
        const bool inStore =
            std::all_of(handOver.items.begin(), handOver.items.end(),
                        [](const TODOItem* item) { return item->isDeleted() || !item->isInserted(); });
        const bool senderGone = handOver.senderWaiting && !handOver.senderWaiting();
        const bool nothingMade = handOver.made && handOver.items.empty();
        std::optional<bool> saved;
        if (handOver.made && !nothingMade && inStore)
            saved = true;
        else if (nothingMade || senderGone || handOver.timedOut ||
                 (m_terminating && (handOver.done || !handOver.made)))
            saved = false;
        if (!saved) {
            waitsForSave = waitsForSave || handOver.made;
            ++it;
            continue;
        }
        settled.emplace_back(std::move(*it), *saved);
        it = m_handOvers.erase(it);
    }
    if (waitsForSave && !m_handOverPoll) {
        m_handOverPoll = after(kHandOverPollMs, [this] {
            m_handOverPoll = 0;
            settleHandOvers();
            askUploadQuestions();
        });
    }
    for (auto& [handOver, saved] : settled) {
        m_deps.services.scheduler->cancel(handOver->deadline);
        if (m_document) {
            InboxHandOver inbox = inboxHandOver();
            for (TODOItem* item : handOver->items) {
                if (saved)
                    inbox.release(item);
                else
                    inbox.withdraw(item);
            }
        }
        if (saved && handOver->fileItem)
            m_uploadQuestions.push_back({handOver->fileItem, handOver->fileTitle});
        qCInfo(lcApp, "Hand-over %llu %s", handOver->id, saved ? "saved" : "refused");
        if (handOver->done)
            handOver->done(saved);
    }
}

void AppDelegate::askUploadQuestions()
{
    // One question at a time: one asked while another is open would stack a second modal
    // alert over it. It waits for its turn instead.
    if (m_askingUpload)
        return;
    m_askingUpload = true;
    while (!m_uploadQuestions.empty()) {
        const UploadQuestion question = m_uploadQuestions.front();
        m_uploadQuestions.pop_front();
        if (m_terminating || !m_document)
            continue;
        inboxHandOver().offerUpload(question.item, question.title);
    }
    m_askingUpload = false;
}

InboxHandOver AppDelegate::inboxHandOver() const
{
    return {*m_document, *m_deps.services.preferences, m_parts ? m_parts->attachments : nullptr};
}

bool AppDelegate::addNewItemFromText(const QString& text)
{
    LaunchRequest input;
    input.text = text;
    return carryOutHandOver(std::move(input), {}, {});
}

bool AppDelegate::addNewItemFromFiles(const QStringList& paths)
{
    LaunchRequest input;
    input.files = paths;
    return carryOutHandOver(std::move(input), {}, {});
}

// --- Other operations

void AppDelegate::pingServer(const QString& eventName, std::function<void()> answered)
{
    if (!m_announcer && m_deps.makeAnnouncer)
        m_announcer = m_deps.makeAnnouncer();
    if (m_announcer)
        m_announcer->pingServer(eventName, std::move(answered));
    else if (answered)
        answered();
}

void AppDelegate::updateIconBadge()
{
    if (!m_deps.badge)
        return;
    const unsigned overdue = m_document ? m_document->countOverdueItems() : 0;
    m_deps.badge->setBadgeCount(int(std::min<unsigned>(overdue, unsigned(INT_MAX))));
}

float AppDelegate::currentFontSize() const
{
    return FontSizeTiers::currentFontSize(*m_deps.services.preferences);
}

float AppDelegate::currentQuadrantRowHeight() const
{
    return FontSizeTiers::currentQuadrantRowHeight(*m_deps.services.preferences);
}

void AppDelegate::increaseFontTier()
{
    FontSizeTiers::increaseFontTier(*m_deps.services.preferences);
}

void AppDelegate::decreaseFontTier()
{
    FontSizeTiers::decreaseFontTier(*m_deps.services.preferences);
}

void AppDelegate::setSyncAfterStart(bool on)
{
    // The menu item follows the preference.
    m_syncAfterStart = on;
    m_deps.services.preferences->setValue(kSyncAfterStart, on);
}

void AppDelegate::toggleLaunchOnStart()
{
    if (m_deps.launchAgent && !m_deps.launchAgent->toggleLaunchOnStart())
        reportSettingsTrouble(SettingsTrouble::Autostart);
}

bool AppDelegate::canToggleLaunchOnStart() const
{
    return m_deps.launchAgent && m_deps.launchAgent->canInstall();
}

void AppDelegate::loadColors()
{
    QString error;
    const std::optional<ColorList> colors = ColorList::load(m_deps.colorsResource, &error);
    if (!colors) {
        qCWarning(lcApp, "error while loading colors %s", qUtf8Printable(error));
        return;
    }
    if (m_deps.attachColorList)
        m_deps.attachColorList(*colors);
}

void AppDelegate::backupCurrentStoreWithTrack(const QString& track)
{
    if (m_document)
        m_storeFiles.backupCurrentStoreWithTrack(track, m_document->context());
}

QString AppDelegate::pathForTemporaryDirectory(const QString& subfolder)
{
    return StoreFiles::pathForTemporaryDirectory(subfolder);
}

QString AppDelegate::pathForTemporaryFileWithName(const QString& fileName)
{
    return StoreFiles::pathForTemporaryFileWithName(fileName);
}

} // namespace qv
