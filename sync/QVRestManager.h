#pragma once

#include "core/document/SyncEngine.h"
#include "core/model/TagServer.h"
#include "core/util/BuildInfo.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "sync/RestRecords.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace qv {

class CollaboratorDirectory;
class InstantSyncStatus;
class ItemUpdaterLoop;
class MyDocument;
class ProjectUpdaterLoop;
class RestObjectStore;
class TODOItem;
class TODOList;

namespace rest {
class NetworkReachability;
class PersistentCookieJar;
class RestClient;
class Router;
struct Error;
struct Response;
} // namespace rest

namespace store {
class Context;
class ManagedObject;
struct ChangeEvent;
} // namespace store

// How a sync engine is set up.
struct SyncOptions {
    // The sync server's origin, e.g. "http://127.0.0.1:8765"; empty: work offline, never send.
    QString origin = BuildInfo::syncOrigin();
    // Empty: this machine's device identifier.
    QString deviceUID;
    // What this device called itself before it told itself by its machine identifier; empty:
    // the identifier of this machine's host name, unless deviceUID is given.
    QString earlierDeviceUID;
    // Empty: the build's version.
    QString version;
    // Empty: "sync.sqlite" in the caches folder.
    QString restStorePath;
    // Where the cookie jar keeps its file; empty: the caches folder.
    QString cookieFolder;
    // 120 s of silence abandons a request. A longer figure (120000 seconds, near a day and a
    // half) would leave a dead connection holding the keep-alive, whose next 120 s tick sends
    // nothing while one is outstanding, so the client would never learn it is offline; 120 s is
    // long enough for a large upload that still moves data, as the time-out counts silence.
    qint64 requestTimeoutMs = 120'000;
    // Optional; without it no collaborator is known.
    CollaboratorDirectory* collaborators = nullptr;
    // Optional; when given, loops start and stop with it.
    rest::NetworkReachability* reachability = nullptr;
};

// The coordinator of server sync: the keep-alive that tells whether the client is online and
// what the server's clock reads, the item and project loops, the sync gate, the editing lock,
// the status line, and the operations through which the rest of the application asks for
// uploads, downloads and tag changes. Main thread only; every delay goes through the injected
// scheduler and every time through the injected clock.
class QVRestManager : public QObject, public SyncEngineInterface, public TagServer {
    Q_OBJECT
    Q_PROPERTY(bool isOnline READ isOnline NOTIFY isOnlineChanged)
    Q_PROPERTY(
        bool isManualSyncing READ isManualSyncing WRITE setIsManualSyncing NOTIFY isManualSyncingChanged)
    Q_PROPERTY(bool uiIsEditing READ uiIsEditing NOTIFY uiIsEditingChanged)
    Q_PROPERTY(int syncingObjectsCount READ syncingObjectsCount NOTIFY syncingObjectsCountChanged)
    Q_PROPERTY(bool itemsAreEdited READ itemsAreEdited WRITE setItemsAreEdited NOTIFY itemsAreEditedChanged)
    Q_PROPERTY(bool projectsAreEdited READ projectsAreEdited WRITE setProjectsAreEdited NOTIFY
                   projectsAreEditedChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(qint64 itemPollingInterval READ itemPollingInterval NOTIFY itemPollingIntervalChanged)
    Q_PROPERTY(qint64 projectPollingInterval READ projectPollingInterval NOTIFY projectPollingIntervalChanged)

public:
    static constexpr qint64 kKeepAliveIntervalMs = 120'000;
    static constexpr qint64 kLoopStartDelayMs = 2'000;
    static constexpr qint64 kDefaultRequestTimeoutMs = 120'000;

    using Options = SyncOptions;

    using ProjectSuccess = std::function<void(TODOList* project)>;
    using RequestFailure = std::function<void(const QString& error)>;

    // The first manager created is the shared one until it is destroyed. The document must
    // outlive the manager; the manager registers itself as the document's sync engine.
    QVRestManager(const Services& services, MyDocument& document, const Options& options = {});
    ~QVRestManager() override;

    static QVRestManager* sharedInstance();

    // --- Start and stop ---
    bool startAllLoops() override;
    bool stopAllLoops() override;
    // Sends the keep-alive now.
    void fire();
    void reachabilityChanged(bool reachable);
    bool isStarted() const { return m_isOn; }
    bool hasOrigin() const { return !m_origin.isEmpty(); }
    // The server's origin without a trailing "/"; empty when working offline.
    const QString& origin() const { return m_origin; }

    // One whole pass outside the loops' timers, for the whole-document sync: a keep-alive, complete
    // polls of projects, items and inbox, then the projects' and the items' send passes. It runs
    // while a manual sync holds sync for everyone else. done(true) only when every step
    // completed; otherwise done(false) with the reason, for the log. Asked for while a pass runs,
    // it joins that pass. A start with a status row new to the store runs one before the loops.
    using PassDone = std::function<void(bool completed, const QString& failure)>;
    void runFullPass(PassDone done);
    bool isRunningFullPass() const { return !m_fullPassDone.empty(); }
    // Whether the signed-in user's status row was made in this run and no whole pass has fetched
    // what the account holds since; the next start then runs one before the loops.
    bool owesWholeSync() const { return m_wholeSyncOwed; }

    // --- State and time ---
    // Online, editing lock free, no manual sync running (other than the pass it runs).
    bool canInstantSync() const;
    std::optional<qint64> getServerSecondsSince1970() const override;
    // Invalid while no keep-alive reply has been received.
    QDateTime getServerDate() const;
    QString getCurrentUserEmail() const;
    void setCurrentUser(const QString& email, bool resetPollingDates);
    // nullptr while nobody is signed in.
    InstantSyncStatus* getInstantSyncStatus();

    // The editing lock.
    void setEditing(bool editing, const QString& component) override;
    void markAsNotEditing();
    // The flag alone, without a holder (items dragged out of a table).
    void setUiIsEditing(bool editing) override;
    QString editingComponent() const { return m_editingComponentName; }

    // Switch the document's change tracking off and on around the engine's own store writes.
    void disableChangeNotifications();
    void enableChangeNotifications();
    // Pauses tracking for its lifetime when it is on; nests safely.
    class TrackingPause {
    public:
        explicit TrackingPause(QVRestManager& manager);
        ~TrackingPause();
        TrackingPause(const TrackingPause&) = delete;
        TrackingPause& operator=(const TrackingPause&) = delete;

    private:
        QVRestManager& m_manager;
        bool m_paused;
    };

    // --- Observable properties ---
    bool isOnline() const override { return m_isOnline; }
    bool isManualSyncing() const { return m_isManualSyncing; }
    void setIsManualSyncing(bool syncing);
    bool uiIsEditing() const override { return m_uiIsEditing; }
    int syncingObjectsCount() const { return m_syncingObjectsCount; }
    void addSyncingObjects(int delta);
    bool itemsAreEdited() const { return m_itemsAreEdited; }
    void setItemsAreEdited(bool edited) override;
    bool projectsAreEdited() const { return m_projectsAreEdited; }
    void setProjectsAreEdited(bool edited) override;
    QString statusMessage() const { return m_statusMessage; }
    // 0 while unknown.
    qint64 itemPollingInterval() const { return m_itemPollingInterval; }
    qint64 projectPollingInterval() const { return m_projectPollingInterval; }
    // Recomputes the status line; also called by every property change.
    void updateStatusMessage();

    // --- Uploads and downloads ---
    bool sendItemToServer(TODOItem* item) override;
    int sendBulkItems(const std::vector<TODOItem*>& items, bool post);
    void sendEditedItemsToServer() override;
    void sendEditedProjectsToServer() override;
    void blockSyncForItem(TODOItem* item) override;
    void unblockSyncForItem(TODOItem* item) override;
    void GETInboxItemsForLatestTimestamp(std::function<void(const std::vector<TODOItem*>&)> success,
                                         std::function<void(const std::optional<QString>&)> failure);

    // One project and its items into the document's context (or the given one, which must
    // outlive the download), under the same conflict rule as the loops. Requests for a project
    // already being downloaded join that download. A reply without a project is a failure.
    void getProjectAndItemsForProjectWithID(qint64 projectID, ProjectSuccess success, RequestFailure failure);
    void getProjectAndItemsForProjectWithID(qint64 projectID, store::Context& context, ProjectSuccess success,
                                            RequestFailure failure);
    bool isDownloadingProject(qint64 projectID) const { return m_downloads.count(projectID) > 0; }
    // A project the loops found on the server and must have, with its items: it is kept in the
    // user's sync status, saved with the poll cursors that move past it, until it has come.
    // After a failure it is tried again on a later poll, the pauses doubling from the first up to
    // a minute, so that a project the server fails to give for a while still comes soon after.
    void downloadProjectWhenPossible(qint64 projectID);
    // Starts the kept downloads whose pause is over; the project loop calls it as it polls.
    void retryProjectDownloads();
    static constexpr qint64 kProjectDownloadFirstPauseMs = 10'000;
    static constexpr qint64 kProjectDownloadLongestPauseMs = 60'000;

    // --- Tag operations; true when a request was sent ---
    bool addTagName(const QString& name, TODOItem* item, Success success, Failure failure) override;
    bool removeTagName(const QString& name, TODOItem* item, Success success, Failure failure) override;
    bool addTagName(const QString& name, TODOList* project, Success success, Failure failure);
    bool removeTagName(const QString& name, TODOList* project, Success success, Failure failure);
    bool setTagNames(const QStringList& names, TODOItem* item, Success success, Failure failure);
    bool setTagNames(const QStringList& names, TODOList* project, Success success, Failure failure);

    // --- What the loops share ---
    MyDocument& document() const { return m_document; }
    store::Context& managedContext() const;
    const Services& services() const { return m_services; }
    Scheduler& scheduler() const { return *m_services.scheduler; }
    rest::RestClient& client() const { return *m_client; }
    rest::Router& router() const { return *m_router; }
    rest::PersistentCookieJar* cookieJar() const { return m_cookieJar; }
    RestObjectStore& restStore() const { return *m_restStore; }
    ItemUpdaterLoop& itemLoop() const { return *m_itemLoop; }
    ProjectUpdaterLoop& projectLoop() const { return *m_projectLoop; }
    CollaboratorDirectory* collaborators() const { return m_collaborators; }
    // The directory is made after the engine it asks through; none: nobody is known.
    void setCollaborators(CollaboratorDirectory* directory) { m_collaborators = directory; }
    const QString& deviceUID() const { return m_deviceUID; }
    // Uploads of an earlier version name this device so.
    const QString& earlierDeviceUID() const { return m_earlierDeviceUID; }
    // "?format=json&qv_platform=..&qv_version=.." and "&qv_platform=..&qv_version=..".
    const QString& routeSuffix() const { return m_routeSuffix; }
    const QString& platformVersionPair() const { return m_platformVersionPair; }
    // A date as query strings carry it (the blank already encoded).
    static QString queryDate(const QDateTime& date);
    // Posts a notification of the application.
    void post(const QString& name, const void* sender, const QVariantMap& userInfo = {});
    // A GET of one page of a list, straight through the client.
    PageRequest pageRequest() const;
    // Requests waiting or loading, in the queues and outside them (queues held by a stop aside).
    int pendingRequestCount() const;

    // How many polls of changed items, of the inbox and of changed projects had started at some
    // moment. An upload whose reply was lost may already be on the server: only once a poll of
    // each kind that started after that moment has completed could its copy have come back.
    struct PollMark {
        int items = 0;
        int inbox = 0;
        int projects = 0;
    };
    PollMark pollMark() const;
    bool pollsCompletedSince(const PollMark& mark) const;
    // Whether each kind of poll has completed once since the engine was made: until then
    // anything without a server identifier may have been sent by an earlier run.
    bool firstPollsCompleted() const { return pollsCompletedSince({}); }

signals:
    void isOnlineChanged(bool online);
    void isManualSyncingChanged(bool syncing);
    void uiIsEditingChanged(bool editing);
    void syncingObjectsCountChanged(int count);
    void itemsAreEditedChanged(bool edited);
    void projectsAreEditedChanged(bool edited);
    void statusMessageChanged(const QString& message);
    void itemPollingIntervalChanged(qint64 seconds);
    void projectPollingIntervalChanged(qint64 seconds);

private:
    struct Download {
        std::vector<ProjectSuccess> successes;
        std::vector<RequestFailure> failures;
        bool kept = false; // one of the downloads kept in the sync status
    };
    struct DownloadPause {
        int failures = 0;
        qint64 untilMs = 0; // on the monotonic clock
    };

    void setIsOnline(bool online);
    void sendKeepAlive();
    void keepAliveLoaded(const rest::Response& response);
    void keepAliveFailed(const rest::Error& error);
    void fullPassStep(int step);
    void endFullPass(bool completed, const QString& failure);
    void startLoopsLater();
    void contextChanged(const store::ChangeEvent& event);
    bool pauseTracking();
    void resumeTracking();

    bool tagRequest(store::ManagedObject* object, const QJsonObject& body, Success success, Failure failure);
    bool singleTag(const QString& name, store::ManagedObject* object, const QString& action, Success success,
                   Failure failure);
    bool setTags(const QStringList& names, store::ManagedObject* object, Success success, Failure failure);
    void projectDownloaded(qint64 projectID, store::Context* context, const rest::Response& response);
    void projectItemsDownloaded(qint64 projectID, store::Context* context, TODOList* project,
                                TODOList* incomingProject, const QJsonArray& objects);
    void finishDownload(qint64 projectID, TODOList* project, const QString& error);
    void startKeptDownload(qint64 projectID);
    void keptDownloadFinished(qint64 projectID, bool succeeded);

    Services m_services;
    MyDocument& m_document;
    QString m_origin;
    QString m_deviceUID;
    QString m_earlierDeviceUID;
    QString m_version;
    QString m_routeSuffix;
    QString m_platformVersionPair;
    CollaboratorDirectory* m_collaborators = nullptr;

    rest::RestClient* m_client = nullptr;
    rest::PersistentCookieJar* m_cookieJar = nullptr;
    std::unique_ptr<rest::Router> m_router;
    std::unique_ptr<RestObjectStore> m_restStore;
    std::unique_ptr<ItemUpdaterLoop> m_itemLoop;
    std::unique_ptr<ProjectUpdaterLoop> m_projectLoop;

    bool m_isOnline = false;
    bool m_isManualSyncing = false;
    bool m_uiIsEditing = false;
    int m_syncingObjectsCount = 0;
    bool m_itemsAreEdited = false;
    bool m_projectsAreEdited = false;
    QString m_statusMessage;
    qint64 m_itemPollingInterval = 0;
    qint64 m_projectPollingInterval = 0;
    std::optional<qint64> m_lastServerSecondsSince1970;

    bool m_isOn = false;
    TimerId m_aliveTimer = 0;
    TimerId m_projectLoopStart = 0;
    TimerId m_itemLoopStart = 0;
    std::optional<qint64> m_aliveRequestTimeMs;
    std::optional<qint64> m_aliveReplyTimeMs; // on the monotonic clock
    bool m_retrievingRestConfig = false;
    QString m_editingComponentName;
    InstantSyncStatus* m_instantSyncStatus = nullptr;
    int m_changeObserver = 0;
    std::map<qint64, Download> m_downloads;
    // Told when the pass under way ends: the one that started it and those that joined it.
    std::vector<PassDone> m_fullPassDone;
    bool m_wholeSyncOwed = false;
    // The pass running is the one a start began for a store new to the account: stopping the
    // loops (a sign-out among them) ends it, and replies still on their way are then ignored.
    bool m_startPassRunning = false;
    quint64 m_fullPassGeneration = 0;
    // Kept downloads that failed, until they succeed (forgotten at a restart, which tries at once).
    std::map<qint64, DownloadPause> m_downloadPauses;
};

} // namespace qv
