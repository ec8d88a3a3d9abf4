#include "sync/QVRestManager.h"

#include "core/document/MyDocument.h"
#include "core/model/StatusEntities.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "core/util/Utils.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/rest/NetworkReachability.h"
#include "platform/rest/PersistentCookieJar.h"
#include "platform/rest/QueryConventions.h"
#include "platform/rest/RequestQueue.h"
#include "platform/rest/RestClient.h"
#include "platform/rest/Router.h"
#include "platform/store/Context.h"
#include "sync/CollaboratorDirectory.h"
#include "sync/ItemUpdaterLoop.h"
#include "sync/ProjectUpdaterLoop.h"
#include "sync/RestObjectStore.h"
#include "sync/SyncLogging.h"
#include "sync/SyncNotifications.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSysInfo>
#include <QTimeZone>

#include <array>
#include <utility>

namespace qv {

namespace {

QVRestManager*& sharedManager()
{
    static QVRestManager* manager = nullptr;
    return manager;
}

const QString kCurrentUser = QStringLiteral("_currentUser");
const QString kItemPollingInterval = QStringLiteral("item_polling_interval");
const QString kProjectPollingInterval = QStringLiteral("project_polling_interval");

QString normalizedOrigin(QString origin)
{
    origin = origin.trimmed();
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    return origin;
}

} // namespace

// --- Creation

QVRestManager::QVRestManager(const Services& services, MyDocument& document, const Options& options)
    : m_services(services), m_document(document), m_origin(normalizedOrigin(options.origin)),
      m_collaborators(options.collaborators)
{
    Q_ASSERT(m_services.clock && m_services.scheduler);
    m_deviceUID = options.deviceUID.isEmpty() ? Utils::getDeviceUID() : options.deviceUID;
    m_earlierDeviceUID = options.earlierDeviceUID;
    if (m_earlierDeviceUID.isEmpty() && options.deviceUID.isEmpty())
        m_earlierDeviceUID = Utils::deviceUIDForHostName(QSysInfo::machineHostName());
    m_version = options.version.isEmpty() ? BuildInfo::version() : options.version;
    m_routeSuffix = rest::routeSuffix(m_version);
    m_platformVersionPair = rest::platformVersionPair(m_version);

    const QUrl base = hasOrigin() ? QUrl(m_origin + QStringLiteral("/api/v1")) : QUrl();
    m_client = new rest::RestClient(base, this);
    m_client->setTimeoutMs(options.requestTimeoutMs);
    m_client->setDefaultHeader("User-Agent", Utils::appUserAgent().toUtf8());
    m_cookieJar = new rest::PersistentCookieJar(
        options.cookieFolder.isEmpty() ? Paths::caches() : options.cookieFolder, this);
    m_client->setCookieJar(m_cookieJar);
    if (hasOrigin())
        qCInfo(lcSync, "Created RMObjectManager* manager = %s",
               qUtf8Printable(base.toString(QUrl::RemoveUserInfo)));
    else
        qCInfo(lcSync, "No sync server configured: working offline");

    m_router = std::make_unique<rest::Router>();
    const QString& s = m_routeSuffix;
    m_router->routeClass(TODOItem::staticEntityName(), QStringLiteral("/item/:serverID/") + s);
    m_router->routeClass(TODOItem::staticEntityName(), QStringLiteral("/item/") + s, rest::Method::Post);
    m_router->routeClass(TODOList::staticEntityName(), QStringLiteral("/project/:id_/") + s);
    m_router->routeClass(TODOList::staticEntityName(), QStringLiteral("/project/") + s, rest::Method::Post);
    m_router->routeClass(QStringLiteral("ItemSet"), QStringLiteral("/item/") + s, rest::Method::Put);
    m_router->routeClass(QStringLiteral("ItemSet"), QStringLiteral("/item/") + s, rest::Method::Post);
    m_router->routeClass(QStringLiteral("PushToken"), QStringLiteral("/push_token/:identifier/") + s);
    m_router->routeClass(QStringLiteral("PushToken"), QStringLiteral("/push_token/") + s, rest::Method::Post);
    m_router->routeClass(QStringLiteral("SharingRequest"),
                         QStringLiteral("/sharing_request/:identifier/") + s);
    m_router->routeClass(QStringLiteral("SharingRequest"), QStringLiteral("/sharing_request/") + s,
                         rest::Method::Post);
    m_router->routeClass(QStringLiteral("ItemReminder"), QStringLiteral("/reminder/:identifier/") + s);
    m_router->routeClass(QStringLiteral("ItemReminder"), QStringLiteral("/reminder/") + s,
                         rest::Method::Post);

    const QString restStorePath = options.restStorePath.isEmpty() && !Paths::caches().isEmpty()
                                      ? Paths::caches() + QStringLiteral("/sync.sqlite")
                                      : options.restStorePath;
    m_restStore = std::make_unique<RestObjectStore>(*m_services.scheduler, restStorePath);

    m_itemLoop = std::make_unique<ItemUpdaterLoop>(*this);
    m_projectLoop = std::make_unique<ProjectUpdaterLoop>(*this);

    if (Preferences* preferences = m_services.preferences) {
        m_itemPollingInterval =
            RestConfig::boundedPollingInterval(preferences->int64Value(kItemPollingInterval));
        m_projectPollingInterval =
            RestConfig::boundedPollingInterval(preferences->int64Value(kProjectPollingInterval));
    }

    m_changeObserver = m_document.context().addChangeObserver(
        [this](const store::ChangeEvent& event) { contextChanged(event); });
    m_document.setSyncEngine(this);

    if (rest::NetworkReachability* reachability = options.reachability) {
        connect(reachability, &rest::NetworkReachability::reachabilityChanged, this,
                &QVRestManager::reachabilityChanged);
    }

    if (!sharedManager())
        sharedManager() = this;
    updateStatusMessage();
}

QVRestManager::~QVRestManager()
{
    m_services.scheduler->cancel(m_aliveTimer);
    m_services.scheduler->cancel(m_projectLoopStart);
    m_services.scheduler->cancel(m_itemLoopStart);
    // Callbacks of requests still out must not run into a manager that is going.
    m_itemLoop.reset();
    m_projectLoop.reset();
    m_client->cancelAllRequests();
    m_downloads.clear();
    m_restStore->save();
    m_document.context().removeChangeObserver(m_changeObserver);
    if (m_document.syncEngine() == this)
        m_document.setSyncEngine(nullptr);
    if (sharedManager() == this)
        sharedManager() = nullptr;
}

QVRestManager* QVRestManager::sharedInstance()
{
    return sharedManager();
}

store::Context& QVRestManager::managedContext() const
{
    return m_document.context();
}

QString QVRestManager::queryDate(const QDateTime& date)
{
    return rest::queryDate(date);
}

void QVRestManager::post(const QString& name, const void* sender, const QVariantMap& userInfo)
{
    if (m_services.notifications)
        m_services.notifications->post(name, sender, userInfo);
}

int QVRestManager::pendingRequestCount() const
{
    int count = m_client->loadingCount();
    if (m_itemLoop)
        count += m_itemLoop->queuedRequestCount();
    if (m_projectLoop)
        count += m_projectLoop->queuedRequestCount();
    return count;
}

QVRestManager::PollMark QVRestManager::pollMark() const
{
    return {m_itemLoop->startedPolls(), m_itemLoop->startedInboxPolls(), m_projectLoop->startedPolls()};
}

bool QVRestManager::pollsCompletedSince(const PollMark& mark) const
{
    return m_itemLoop->completedPolls() > mark.items && m_itemLoop->completedInboxPolls() > mark.inbox &&
           m_projectLoop->completedPolls() > mark.projects;
}

// --- Start and stop

bool QVRestManager::startAllLoops()
{
    if (m_isOn)
        return true;
    if (!hasOrigin())
        return true; // offline by configuration: nothing is ever sent
    m_isOn = true;
    if (!m_aliveTimer) {
        m_aliveTimer = m_services.scheduler->every(kKeepAliveIntervalMs, [this] {
            m_restStore->save();
            // With no reply awaited, no merge holds an object of the cache: what is saved is read
            // again when a reply names it.
            if (pendingRequestCount() == 0 && m_downloads.empty())
                m_restStore->releaseObjects();
            sendKeepAlive();
        });
        sendKeepAlive();
    }
    // A status row new here starts its cursors at the server's present: what the account held
    // before would come only with a whole sync, as at sign-in. Until then the loops wait.
    getInstantSyncStatus();
    if (m_wholeSyncOwed && !isRunningFullPass()) {
        qCInfo(lcSync, "The signed-in account is new to this store: a whole sync runs first");
        m_startPassRunning = true;
        runFullPass([this](bool completed, const QString& failure) {
            if (!completed)
                qCWarning(lcSync, "The whole sync at start did not complete: %s", qUtf8Printable(failure));
            if (m_isOn)
                startLoopsLater();
        });
        return true;
    }
    startLoopsLater();
    return true;
}

void QVRestManager::startLoopsLater()
{
    m_services.scheduler->cancel(m_projectLoopStart);
    m_services.scheduler->cancel(m_itemLoopStart);
    m_projectLoopStart = m_services.scheduler->after(kLoopStartDelayMs, [this] {
        m_projectLoopStart = 0;
        m_projectLoop->startLoop();
    });
    m_itemLoopStart = m_services.scheduler->after(kLoopStartDelayMs, [this] {
        m_itemLoopStart = 0;
        m_itemLoop->startLoop();
    });
}

bool QVRestManager::stopAllLoops()
{
    m_services.scheduler->cancel(m_aliveTimer);
    m_aliveTimer = 0;
    // A loop start still waiting would undo the stop.
    m_services.scheduler->cancel(m_projectLoopStart);
    m_services.scheduler->cancel(m_itemLoopStart);
    m_projectLoopStart = m_itemLoopStart = 0;
    m_aliveRequestTimeMs.reset();
    m_aliveReplyTimeMs.reset();
    m_projectLoop->stopLoop();
    m_itemLoop->stopLoop();
    m_isOn = false;
    setIsOnline(false);
    if (std::exchange(m_startPassRunning, false) && isRunningFullPass()) {
        ++m_fullPassGeneration;
        endFullPass(false, QStringLiteral("the loops were stopped"));
    }
    m_restStore->save();
    return true;
}

void QVRestManager::fire()
{
    if (m_aliveTimer)
        sendKeepAlive();
}

void QVRestManager::reachabilityChanged(bool reachable)
{
    if (reachable)
        startAllLoops();
    else
        stopAllLoops();
}

// --- The whole pass

void QVRestManager::runFullPass(PassDone done)
{
    if (!hasOrigin()) {
        done(false, QStringLiteral("no sync server"));
        return;
    }
    // A pass already under way (the one a start runs for a store new to the account) is joined.
    const bool running = isRunningFullPass();
    m_fullPassDone.push_back(std::move(done));
    if (running)
        return;
    const quint64 generation = m_fullPassGeneration;
    m_client->get(
        QStringLiteral("/rest_config/?format=json&limit=1&device_type=Mac") + m_platformVersionPair,
        [this, generation](const rest::Response& response) {
            if (generation != m_fullPassGeneration)
                return;
            keepAliveLoaded(response);
            if (!m_isOnline)
                endFullPass(false, QStringLiteral("the server reports it is offline"));
            else
                fullPassStep(0);
        },
        [this, generation](const rest::Error& error) {
            if (generation != m_fullPassGeneration)
                return;
            keepAliveFailed(error);
            endFullPass(false, QStringLiteral("the connection to the server failed"));
        });
}

void QVRestManager::fullPassStep(int step)
{
    // Polls first: uploads whose answer was lost are held until the polls have looked for them.
    struct Step {
        UpdaterLoop* loop;
        bool poll;
        const char* what;
    };
    const std::array<Step, 4> steps{{{m_projectLoop.get(), true, "project poll"},
                                     {m_itemLoop.get(), true, "item and inbox poll"},
                                     {m_projectLoop.get(), false, "project uploads"},
                                     {m_itemLoop.get(), false, "item uploads"}}};
    if (step >= int(steps.size())) {
        endFullPass(true, {});
        return;
    }
    // Everything the server holds has been fetched.
    if (step == 2)
        m_wholeSyncOwed = false;
    const Step& current = steps[std::size_t(step)];
    auto next = [this, step, what = current.what, generation = m_fullPassGeneration](bool completed) {
        if (generation != m_fullPassGeneration)
            return;
        if (completed)
            fullPassStep(step + 1);
        else
            endFullPass(false, QStringLiteral("the %1 did not complete").arg(QLatin1String(what)));
    };
    // Everything the server holds, not only what changed since this device's cursors: a device
    // new to the account has nothing from before it signed in.
    if (current.poll)
        current.loop->runPoll(std::move(next), UpdaterLoop::PollFrom::Beginning);
    else
        current.loop->runSend(std::move(next));
}

void QVRestManager::endFullPass(bool completed, const QString& failure)
{
    qCInfo(lcMilestones, "Whole sync %s", completed ? "completed" : "failed");
    m_startPassRunning = false;
    const std::vector<PassDone> waiting = std::exchange(m_fullPassDone, {});
    updateStatusMessage();
    for (const PassDone& done : waiting) {
        if (done)
            done(completed, failure);
    }
}

// --- Keep-alive

void QVRestManager::sendKeepAlive()
{
    if (m_retrievingRestConfig || !hasOrigin())
        return;
    m_retrievingRestConfig = true;
    const QString path =
        QStringLiteral("/rest_config/?format=json&limit=1&device_type=Mac") + m_platformVersionPair;
    const bool wasOn = m_isOn;
    m_client->get(
        path,
        [this, wasOn](const rest::Response& response) {
            m_retrievingRestConfig = false;
            // A reply to a request from before a stop says nothing about now.
            if (wasOn && m_isOn)
                keepAliveLoaded(response);
        },
        [this](const rest::Error& error) {
            m_retrievingRestConfig = false;
            keepAliveFailed(error);
        });
    m_aliveRequestTimeMs = m_services.clock->elapsedMs();
}

void QVRestManager::keepAliveLoaded(const rest::Response& response)
{
    const QJsonArray objects = listedObjects(response.json.object());
    if (objects.size() != 1 || !objects.first().isObject())
        return;
    const std::optional<RestConfig> config = RestConfig::fromJson(objects.first().toObject());
    if (!config)
        return;
    m_aliveReplyTimeMs = m_services.clock->elapsedMs();
    m_lastServerSecondsSince1970 = config->lastServerSecondsSince1970;
    Preferences* preferences = m_services.preferences;
    if (config->itemPollingInterval && *config->itemPollingInterval != m_itemPollingInterval) {
        m_itemPollingInterval = *config->itemPollingInterval;
        emit itemPollingIntervalChanged(m_itemPollingInterval);
    }
    if (config->itemPollingInterval && preferences)
        preferences->setValue(kItemPollingInterval, *config->itemPollingInterval);
    if (config->projectPollingInterval && *config->projectPollingInterval != m_projectPollingInterval) {
        m_projectPollingInterval = *config->projectPollingInterval;
        emit projectPollingIntervalChanged(m_projectPollingInterval);
    }
    if (config->projectPollingInterval && preferences)
        preferences->setValue(kProjectPollingInterval, *config->projectPollingInterval);
    setIsOnline(config->isOnline);

    if (InstantSyncStatus* status = getInstantSyncStatus()) {
        const QDateTime requested = Utils::dateFromSecondsSince1970(config->lastServerSecondsSince1970);
        TrackingPause pause(*this);
        if (!status->lastItemPollingDate().isValid())
            status->setLastItemPollingDate(requested);
        if (!status->lastItemPollingDateWithResults().isValid())
            status->setLastItemPollingDateWithResults(requested);
        if (!status->lastProjectPollingDate().isValid())
            status->setLastProjectPollingDate(requested);
        if (!status->lastProjectPollingDateWithResults().isValid())
            status->setLastProjectPollingDateWithResults(requested);
    }
    updateStatusMessage();
}

void QVRestManager::keepAliveFailed(const rest::Error& error)
{
    qCWarning(lcSync, "QVRestManager objectLoader:didFailWithError: %s", qUtf8Printable(error.message));
    setIsOnline(false);
}

// --- State and time

bool QVRestManager::canInstantSync() const
{
    return m_isOnline && !m_uiIsEditing && (!m_isManualSyncing || isRunningFullPass());
}

std::optional<qint64> QVRestManager::getServerSecondsSince1970() const
{
    if (!m_lastServerSecondsSince1970)
        return std::nullopt;
    // Whole seconds on the monotonic clock; integer division truncates toward zero.
    const qint64 elapsed =
        m_aliveReplyTimeMs ? (m_services.clock->elapsedMs() - *m_aliveReplyTimeMs) / 1000 : 0;
    return *m_lastServerSecondsSince1970 + elapsed;
}

QDateTime QVRestManager::getServerDate() const
{
    const std::optional<qint64> seconds = getServerSecondsSince1970();
    return seconds ? Utils::dateFromSecondsSince1970(*seconds) : QDateTime();
}

QString QVRestManager::getCurrentUserEmail() const
{
    return m_services.preferences ? m_services.preferences->stringValue(kCurrentUser) : QString();
}

void QVRestManager::setCurrentUser(const QString& email, bool resetPollingDates)
{
    if (m_services.preferences)
        m_services.preferences->setValue(kCurrentUser, email);
    m_instantSyncStatus = nullptr;
    if (resetPollingDates) {
        if (InstantSyncStatus* status = getInstantSyncStatus()) {
            QDateTime date = getServerDate();
            if (!date.isValid())
                date = m_services.clock->now();
            TrackingPause pause(*this);
            status->setLastItemPollingDate(date);
            status->setLastItemPollingDateWithResults(date);
            status->setLastProjectPollingDate(date);
            status->setLastProjectPollingDateWithResults(date);
            status->setLastServerPollingDate(date);
        }
    }
    updateStatusMessage();
}

InstantSyncStatus* QVRestManager::getInstantSyncStatus()
{
    store::Context& context = managedContext();
    QString email = getCurrentUserEmail();
    if (email.isEmpty()) {
        const auto users = context.objects(CurrentUser::staticEntityName());
        if (users.size() == 1)
            email = static_cast<CurrentUser*>(users.front())->email();
    }
    if (email.isEmpty()) {
        m_instantSyncStatus = nullptr;
        return nullptr;
    }
    if (m_instantSyncStatus && !m_instantSyncStatus->isDeleted() && m_instantSyncStatus->email() == email)
        return m_instantSyncStatus;
    auto* status = store::as<InstantSyncStatus>(
        context.lookupFirst(InstantSyncStatus::staticEntityName(), QStringLiteral("email"), email));
    if (!status) {
        TrackingPause pause(*this);
        status = context.insert<InstantSyncStatus>(InstantSyncStatus::staticEntityName());
        status->setEmail(email);
        const QDateTime now = getServerDate();
        status->setLastItemPollingDate(now);
        status->setLastProjectPollingDate(now);
        status->setLastServerPollingDate(now);
        m_wholeSyncOwed = true;
    }
    m_instantSyncStatus = status;
    return status;
}

void QVRestManager::setEditing(bool editing, const QString& component)
{
    if (editing) {
        m_editingComponentName = component;
        setUiIsEditing(true);
        return;
    }
    if (!m_editingComponentName.isEmpty() && m_editingComponentName != component)
        return;
    m_editingComponentName.clear();
    setUiIsEditing(false);
}

void QVRestManager::markAsNotEditing()
{
    m_editingComponentName.clear();
    setUiIsEditing(false);
}

void QVRestManager::disableChangeNotifications()
{
    m_document.disableDidChangeContextNotifications();
}

void QVRestManager::enableChangeNotifications()
{
    m_document.enableDidChangeContextNotifications();
}

bool QVRestManager::pauseTracking()
{
    if (!m_document.isReceivingEditingNotifications())
        return false;
    disableChangeNotifications();
    return true;
}

void QVRestManager::resumeTracking()
{
    enableChangeNotifications();
}

QVRestManager::TrackingPause::TrackingPause(QVRestManager& manager)
    : m_manager(manager), m_paused(manager.pauseTracking())
{
}

QVRestManager::TrackingPause::~TrackingPause()
{
    if (m_paused)
        m_manager.resumeTracking();
}

void QVRestManager::contextChanged(const store::ChangeEvent& event)
{
    // Only bookkeeping here: writing the store from inside a change event would disturb it.
    auto visit = [&](store::ManagedObject* object) {
        const QSet<QString> keys = event.changedKeys.value(object);
        if (store::as<TODOItem>(object))
            m_itemLoop->noteChanged(object, keys);
        else if (store::as<TODOList>(object))
            m_projectLoop->noteChanged(object, keys);
    };
    for (store::ManagedObject* object : event.inserted)
        visit(object);
    for (store::ManagedObject* object : event.updated)
        visit(object);
    for (store::ManagedObject* object : event.deleted) {
        visit(object);
        if (auto* item = store::as<TODOItem>(object); item && item->isValidUniID())
            m_itemLoop->noteRemoved(item->serverID());
        else if (auto* project = store::as<TODOList>(object); project && project->isValidUniID())
            m_projectLoop->noteRemoved(project->id_());
    }
}

// --- Properties

void QVRestManager::setIsOnline(bool online)
{
    if (m_isOnline != online) {
        m_isOnline = online;
        emit isOnlineChanged(online);
    }
    updateStatusMessage();
}

void QVRestManager::setIsManualSyncing(bool syncing)
{
    if (m_isManualSyncing != syncing) {
        m_isManualSyncing = syncing;
        emit isManualSyncingChanged(syncing);
    }
    updateStatusMessage();
}

void QVRestManager::setUiIsEditing(bool editing)
{
    if (m_uiIsEditing != editing) {
        m_uiIsEditing = editing;
        emit uiIsEditingChanged(editing);
    }
    updateStatusMessage();
}

void QVRestManager::addSyncingObjects(int delta)
{
    if (delta != 0) {
        m_syncingObjectsCount = std::max(0, m_syncingObjectsCount + delta);
        emit syncingObjectsCountChanged(m_syncingObjectsCount);
    }
    updateStatusMessage();
}

void QVRestManager::setItemsAreEdited(bool edited)
{
    if (m_itemsAreEdited != edited) {
        m_itemsAreEdited = edited;
        emit itemsAreEditedChanged(edited);
    }
    updateStatusMessage();
}

void QVRestManager::setProjectsAreEdited(bool edited)
{
    if (m_projectsAreEdited != edited) {
        m_projectsAreEdited = edited;
        emit projectsAreEditedChanged(edited);
    }
    updateStatusMessage();
}

void QVRestManager::updateStatusMessage()
{
    QString message;
    QString email = getCurrentUserEmail();
    if (email.isEmpty()) {
        const auto users = managedContext().objects(CurrentUser::staticEntityName());
        if (users.size() == 1)
            email = static_cast<CurrentUser*>(users.front())->email();
    }
    if (email.isEmpty()) {
        message = QStringLiteral("Not signed in -- Click Sync to sign in");
    } else if (!m_isOnline) {
        message = QStringLiteral("Offline -- Signed out or app is in background ");
    } else if (m_uiIsEditing) {
        message = QStringLiteral("Item editing in progress -- Sync is on hold...");
    } else if (m_isManualSyncing) {
        message = QStringLiteral("Syncing your data ... Please wait");
    } else if (m_syncingObjectsCount > 0) {
        message = QStringLiteral("Syncing...");
    } else if (m_projectsAreEdited || m_itemsAreEdited) {
        message = QStringLiteral("Modified...");
    } else {
        // Only looked up here, never made: this runs inside change events too.
        const auto* status = store::as<InstantSyncStatus>(managedContext().lookupFirst(
            InstantSyncStatus::staticEntityName(), QStringLiteral("email"), email));
        const QDateTime last = status ? status->lastServerPollingDate() : QDateTime();
        QDateTime now = getServerDate();
        if (!now.isValid())
            now = m_services.clock->now();
        if (!last.isValid() || last.secsTo(now) > 30)
            message = QStringLiteral("Syncing from Server");
        else
            message = QStringLiteral("Your data was just synced");
    }
    if (message != m_statusMessage) {
        m_statusMessage = message;
        emit statusMessageChanged(message);
    }
}

// --- Uploads and downloads

bool QVRestManager::sendItemToServer(TODOItem* item)
{
    if (!item)
        return false;
    {
        TrackingPause pause(*this);
        item->setEdited_since(1);
    }
    m_itemLoop->noteChanged(item, {QStringLiteral("edited_since")});
    m_itemLoop->fireSend();
    return true;
}

int QVRestManager::sendBulkItems(const std::vector<TODOItem*>& items, bool post)
{
    return m_itemLoop->sendBulkItems(items, post);
}

void QVRestManager::sendEditedItemsToServer()
{
    m_itemLoop->sendModifiedItems();
}

void QVRestManager::sendEditedProjectsToServer()
{
    m_projectLoop->sendModifiedProjects();
}

void QVRestManager::blockSyncForItem(TODOItem* item)
{
    m_itemLoop->blockSyncForItem(item);
}

void QVRestManager::unblockSyncForItem(TODOItem* item)
{
    m_itemLoop->unblockSyncForItem(item);
}

void QVRestManager::GETInboxItemsForLatestTimestamp(
    std::function<void(const std::vector<TODOItem*>&)> success,
    std::function<void(const std::optional<QString>&)> failure)
{
    m_itemLoop->GETInboxItemsForLatestTimestamp(std::move(success), std::move(failure));
}

// --- Project download

void QVRestManager::getProjectAndItemsForProjectWithID(qint64 projectID, ProjectSuccess success,
                                                       RequestFailure failure)
{
    getProjectAndItemsForProjectWithID(projectID, managedContext(), std::move(success), std::move(failure));
}

void QVRestManager::getProjectAndItemsForProjectWithID(qint64 projectID, store::Context& context,
                                                       ProjectSuccess success, RequestFailure failure)
{
    if (!hasOrigin() || projectID <= 0) {
        if (failure)
            failure(hasOrigin() ? QStringLiteral("no such project") : QStringLiteral("no sync server"));
        return;
    }
    const bool running = m_downloads.count(projectID) > 0;
    Download& download = m_downloads[projectID];
    if (success)
        download.successes.push_back(std::move(success));
    if (failure)
        download.failures.push_back(std::move(failure));
    if (running)
        return;
    store::Context* target = &context;
    const QString path = QStringLiteral("/project/%1/?format=json").arg(projectID) + m_platformVersionPair;
    m_client->get(
        path,
        [this, projectID, target](const rest::Response& response) {
            projectDownloaded(projectID, target, response);
        },
        [this, projectID](const rest::Error& error) { finishDownload(projectID, nullptr, error.message); });
}

void QVRestManager::projectDownloaded(qint64 projectID, store::Context* context,
                                      const rest::Response& response)
{
    const QJsonObject json = response.json.isObject() ? response.json.object() : QJsonObject();
    TODOList* incoming = json.isEmpty() ? nullptr : m_restStore->mapProject(json);
    if (!incoming) {
        // Nobody may be left waiting for a project that did not come.
        finishDownload(projectID, nullptr, QStringLiteral("the reply holds no project"));
        return;
    }
    TODOList* project = nullptr;
    {
        TrackingPause pause(*this);
        project = TODOList::findWithID(projectID, *context);
        if (project) {
            // Pending local edits and uploads in flight are kept.
            m_projectLoop->update(project, incoming);
        } else if (const UpdaterLoop::OwnCopy own =
                       m_projectLoop->adoptOwnUpload(incoming, *context, &project);
                   own != UpdaterLoop::OwnCopy::None) {
            // This device's own project whose post was never answered: never a second one here.
            if (own != UpdaterLoop::OwnCopy::Adopted) {
                finishDownload(projectID, nullptr, QStringLiteral("a copy of a project of this device"));
                return;
            }
        } else {
            project = context->insert<TODOList>(TODOList::staticEntityName());
            incoming->copyTo(project, TODOList::CopyIdentifiers | TODOList::CopyTags);
            project->setEdited_since(0);
        }
    }
    // Every page: a project may hold more items than one reply gives.
    const QString path =
        QStringLiteral("/project/%1/items/?format=json&limit=10000").arg(projectID) + m_platformVersionPair;
    getAllPages(
        path, pageRequest(),
        [this, projectID, context, project, incoming, hold = m_restStore->hold()](const QJsonArray& objects) {
            projectItemsDownloaded(projectID, context, project, incoming, objects);
        },
        [this, projectID](const rest::Error& error) { finishDownload(projectID, nullptr, error.message); });
}

PageRequest QVRestManager::pageRequest() const
{
    return [client = m_client](const QString& path, std::function<void(const QJsonObject&)> loaded,
                               std::function<void(const rest::Error&)> failed) {
        client->get(
            path,
            [loaded = std::move(loaded)](const rest::Response& response) { loaded(response.json.object()); },
            std::move(failed));
    };
}

void QVRestManager::projectItemsDownloaded(qint64 projectID, store::Context* context, TODOList* project,
                                           TODOList* incomingProject, const QJsonArray& objects)
{
    if (project->isDeleted()) {
        finishDownload(projectID, nullptr, QStringLiteral("the project was deleted meanwhile"));
        return;
    }
    if (!m_restStore->isWellFormed(objects, TODOItem::staticEntityName())) {
        finishDownload(projectID, nullptr, QStringLiteral("the reply is malformed"));
        return;
    }
    const std::vector<TODOItem*> incoming = m_restStore->mapItems(objects);
    {
        TrackingPause pause(*this);
        for (TODOItem* remote : incoming) {
            TODOItem* local =
                remote->isValidUniID() ? TODOItem::findWithID(remote->serverID(), *context) : nullptr;
            if (local) {
                // The conflict rule, as in the loops; the project owns what the server says it owns.
                if (m_itemLoop->update(local, remote) && local->edited_since() == 0 &&
                    local->list() != project)
                    local->setList(project);
                continue;
            }
            // This device's own upload whose reply never came back (perhaps edited elsewhere since).
            TODOItem* adopted = nullptr;
            const ItemUpdaterLoop::OwnCopy own = m_itemLoop->adoptOwnUpload(remote, *context, &adopted);
            if (own == ItemUpdaterLoop::OwnCopy::Adopted && adopted->list() != project)
                adopted->setList(project);
            if (own != ItemUpdaterLoop::OwnCopy::None)
                continue;
            auto* created = context->insert<TODOItem>(TODOItem::staticEntityName());
            project->addItem(created);
            remote->copyTo(created, TODOItem::CopyIdentifiers | TODOItem::CopyTags | TODOItem::CopyFiles);
            created->setEdited_since(0);
            m_itemLoop->ensureClientIdentifier(created);
        }
        if (project->edited_since() == 0 && !m_projectLoop->isInFlight(project)) {
            for (const QString& name : incomingProject->getTagNames())
                project->addTagsObject(TagManager::getListTagForName(name, *context));
        }
    }
    finishDownload(projectID, project, {});
}

void QVRestManager::downloadProjectWhenPossible(qint64 projectID)
{
    if (projectID <= 0)
        return;
    if (InstantSyncStatus* status = getInstantSyncStatus()) {
        QList<qint64> kept = status->projectsToDownload();
        if (!kept.contains(projectID)) {
            kept.append(projectID);
            TrackingPause pause(*this);
            status->setProjectsToDownload(kept);
        }
    }
    const auto paused = m_downloadPauses.find(projectID);
    if (paused == m_downloadPauses.end() || paused->second.untilMs <= m_services.clock->elapsedMs())
        startKeptDownload(projectID);
}

void QVRestManager::retryProjectDownloads()
{
    InstantSyncStatus* status = canInstantSync() ? getInstantSyncStatus() : nullptr;
    if (!status)
        return;
    const qint64 now = m_services.clock->elapsedMs();
    for (qint64 projectID : status->projectsToDownload()) {
        const auto paused = m_downloadPauses.find(projectID);
        if (paused == m_downloadPauses.end() || paused->second.untilMs <= now)
            startKeptDownload(projectID);
    }
}

void QVRestManager::startKeptDownload(qint64 projectID)
{
    const auto running = m_downloads.find(projectID);
    if (running != m_downloads.end() && running->second.kept)
        return;
    getProjectAndItemsForProjectWithID(
        projectID, managedContext(), [this, projectID](TODOList*) { keptDownloadFinished(projectID, true); },
        [this, projectID](const QString&) { keptDownloadFinished(projectID, false); });
    const auto started = m_downloads.find(projectID);
    if (started != m_downloads.end())
        started->second.kept = true;
}

void QVRestManager::keptDownloadFinished(qint64 projectID, bool succeeded)
{
    if (!succeeded) {
        DownloadPause& paused = m_downloadPauses[projectID];
        const int doublings = std::min(paused.failures++, 16);
        const qint64 pauseMs =
            std::min(kProjectDownloadFirstPauseMs << doublings, kProjectDownloadLongestPauseMs);
        paused.untilMs = m_services.clock->elapsedMs() + pauseMs;
        qCInfo(lcSync, "Project %lld is tried again in %lld s", qint64(projectID), pauseMs / 1000);
        return;
    }
    m_downloadPauses.erase(projectID);
    if (InstantSyncStatus* status = getInstantSyncStatus()) {
        QList<qint64> kept = status->projectsToDownload();
        if (kept.removeAll(projectID) > 0) {
            TrackingPause pause(*this);
            status->setProjectsToDownload(kept);
        }
    }
    post(kNotificationProjectUpdaterLooped, m_projectLoop.get(),
         {{QStringLiteral("updatedProjects"), QVariantList{projectID}}});
}

void QVRestManager::finishDownload(qint64 projectID, TODOList* project, const QString& error)
{
    const auto it = m_downloads.find(projectID);
    if (it == m_downloads.end())
        return;
    Download download = std::move(it->second);
    m_downloads.erase(it);
    if (project) {
        for (const ProjectSuccess& success : download.successes)
            success(project);
    } else {
        qCWarning(lcSync, "Project %lld could not be downloaded: %s", qint64(projectID),
                  qUtf8Printable(error));
        for (const RequestFailure& failure : download.failures)
            failure(error);
    }
}

// --- Tags

bool QVRestManager::addTagName(const QString& name, TODOItem* item, Success success, Failure failure)
{
    return singleTag(name, item, QStringLiteral("add"), std::move(success), std::move(failure));
}

bool QVRestManager::removeTagName(const QString& name, TODOItem* item, Success success, Failure failure)
{
    return singleTag(name, item, QStringLiteral("remove"), std::move(success), std::move(failure));
}

bool QVRestManager::addTagName(const QString& name, TODOList* project, Success success, Failure failure)
{
    return singleTag(name, project, QStringLiteral("add"), std::move(success), std::move(failure));
}

bool QVRestManager::removeTagName(const QString& name, TODOList* project, Success success, Failure failure)
{
    return singleTag(name, project, QStringLiteral("remove"), std::move(success), std::move(failure));
}

bool QVRestManager::setTagNames(const QStringList& names, TODOItem* item, Success success, Failure failure)
{
    return setTags(names, item, std::move(success), std::move(failure));
}

bool QVRestManager::setTagNames(const QStringList& names, TODOList* project, Success success, Failure failure)
{
    return setTags(names, project, std::move(success), std::move(failure));
}

bool QVRestManager::singleTag(const QString& name, store::ManagedObject* object, const QString& action,
                              Success success, Failure failure)
{
    const QJsonObject body{{QStringLiteral("action"), action}, {QStringLiteral("name"), name.toLower()}};
    return tagRequest(object, body, std::move(success), std::move(failure));
}

bool QVRestManager::setTags(const QStringList& names, store::ManagedObject* object, Success success,
                            Failure failure)
{
    QJsonArray list;
    for (const QString& name : names)
        list.append(name.trimmed().toLower());
    const QJsonObject body{{QStringLiteral("action"), QStringLiteral("set")},
                           {QStringLiteral("names"), list}};
    return tagRequest(object, body, std::move(success), std::move(failure));
}

bool QVRestManager::tagRequest(store::ManagedObject* object, const QJsonObject& body, Success success,
                               Failure failure)
{
    if (!m_isOnline || !object || !hasOrigin())
        return false;
    auto* item = store::as<TODOItem>(object);
    auto* project = store::as<TODOList>(object);
    const QString uri = item ? item->getURI() : (project ? project->getURI() : QString());
    if (uri.isEmpty())
        return false;
    InFlightSet& inFlight = item ? m_itemLoop->objectsBeingSent() : m_projectLoop->objectsBeingSent();
    if (!inFlight.insert(object, InFlightSet::Kind::Tag))
        return false;

    QJsonObject json = body;
    json.insert(QStringLiteral("object"), uri);
    rest::Request request;
    request.method = rest::Method::Post;
    request.path = QStringLiteral("/tag/");
    request.body = QJsonDocument(json).toJson(QJsonDocument::Compact);
    request.setHeader("Content-Type", "application/json; charset=utf-8");
    request.failOnHttpError = false;
    const bool isItem = item != nullptr;
    request.onSuccess = [this, object, isItem, success = std::move(success),
                         failure](const rest::Response& response) {
        (isItem ? m_itemLoop->objectsBeingSent() : m_projectLoop->objectsBeingSent()).remove(object);
        if (response.statusCode >= 400) {
            // Refused by the server: a failure without an error, never a success.
            if (failure)
                failure(std::nullopt);
            return;
        }
        if (success)
            success(response.body);
    };
    request.onFailure = [this, object, isItem, failure = std::move(failure)](const rest::Error& error) {
        (isItem ? m_itemLoop->objectsBeingSent() : m_projectLoop->objectsBeingSent()).remove(object);
        if (failure) {
            if (error.kind == rest::Error::Kind::Http)
                failure(std::nullopt);
            else
                failure(error.message);
        }
    };
    m_client->send(std::move(request));
    return true;
}

} // namespace qv
