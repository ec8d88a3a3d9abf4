#include "sync/ItemUpdaterLoop.h"

#include "app/MyDocument.h"
#include "app/StatusEntities.h"
#include "app/TODOItem.h"
#include "app/TODOList.h"
#include "app/TagManager.h"
#include "app/Utils.h"
#include "platform/Log.h"
#include "platform/rest/RequestQueue.h"
#include "platform/rest/RestClient.h"
#include "platform/rest/Router.h"
#include "platform/store/Context.h"
#include "sync/CollaboratorDirectory.h"
#include "sync/QVRestManager.h"
#include "sync/RestObjectStore.h"
#include "sync/SyncNotifications.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <utility>

namespace qv {

namespace {

const QString kEditedSince = QStringLiteral("edited_since");

QJsonArray flattened(const QJsonArray& objects)
{
    QJsonArray flat;
    for (const QJsonValue& value : objects) {
        if (value.isArray()) {
            for (const QJsonValue& inner : value.toArray())
                flat.append(inner);
        } else {
            flat.append(value);
        }
    }
    return flat;
}

// Whether the server may have acted on a request whose answer we never read.
bool outcomeUnknown(const rest::Error& error)
{
    return error.kind == rest::Error::Kind::Network || error.kind == rest::Error::Kind::Timeout ||
           error.kind == rest::Error::Kind::Parse;
}

bool refusedAsBadRequest(const rest::Error& error)
{
    return error.kind == rest::Error::Kind::Http && error.statusCode() >= 400 && error.statusCode() < 500;
}

QVariantList idList(const QSet<qint64>& ids)
{
    QList<qint64> sorted(ids.begin(), ids.end());
    std::sort(sorted.begin(), sorted.end());
    QVariantList list;
    for (qint64 id : sorted)
        list.append(id);
    return list;
}

std::optional<qint64> projectIdOf(const TODOItem* item)
{
    if (const TODOList* project = item->list())
        return project->id_();
    return std::nullopt;
}

} // namespace

ItemUpdaterLoop::ItemUpdaterLoop(QVRestManager& manager)
    : m_manager(manager), m_queue(std::make_unique<rest::RequestQueue>(&manager.client())),
      m_alive(std::make_shared<bool>(true))
{
    m_queue->setConcurrentRequestsLimit(1);
    if (m_manager.itemPollingInterval() > 0)
        m_currentInterval = m_manager.itemPollingInterval();
    rescanEditedItems();
}

ItemUpdaterLoop::~ItemUpdaterLoop()
{
    *m_alive = false;
    cancelTimers();
    m_queue.reset();
}

// --- Start and stop

void ItemUpdaterLoop::startLoop()
{
    m_isEnding = false;
    const qint64 interval = m_manager.itemPollingInterval();
    if (m_timerGET && (interval == 0 || interval == m_currentInterval))
        return;
    if (interval != 0)
        m_currentInterval = interval;
    scheduleTimers();
    sendModifiedItems();
    GETModifiedItems();
    GETInboxItemsWithTimer();
    m_queue->start();
}

void ItemUpdaterLoop::scheduleTimers()
{
    cancelTimers();
    Scheduler& scheduler = m_manager.scheduler();
    m_timerSEND = scheduler.every(m_currentInterval * 1000, [this] { sendModifiedItems(); });
    m_timerGET = scheduler.every(m_currentInterval * 1000, [this] { GETModifiedItems(); });
    m_timerINBOX = scheduler.every(kInboxIntervalMs, [this] { GETInboxItemsWithTimer(); });
}

void ItemUpdaterLoop::cancelTimers()
{
    Scheduler& scheduler = m_manager.scheduler();
    scheduler.cancel(m_timerSEND);
    scheduler.cancel(m_timerGET);
    scheduler.cancel(m_timerINBOX);
    m_timerSEND = m_timerGET = m_timerINBOX = 0;
}

void ItemUpdaterLoop::stopLoop()
{
    m_isEnding = true;
    cancelTimers();
    // Queued requests wait for the next start; their items keep their change flags meanwhile.
    m_queue->setSuspended(true);
}

void ItemUpdaterLoop::fireSend()
{
    if (m_timerSEND)
        sendModifiedItems();
}

int ItemUpdaterLoop::queuedRequestCount() const
{
    return m_queue->isSuspended() ? 0 : m_queue->count() - m_queue->loadingCount();
}

bool ItemUpdaterLoop::isInFlight(const TODOItem* item) const
{
    return m_objectsBeingSent.contains(item);
}

// --- Which items wait for upload

void ItemUpdaterLoop::noteChanged(store::ManagedObject* object, const QSet<QString>& keys)
{
    auto* item = static_cast<TODOItem*>(object);
    if (keys.contains(kEditedSince))
        m_edited.insert(item);
    if (m_objectsBeingSent.isUpload(item)) {
        QSet<QString> tracked = keys;
        tracked.subtract(TODOItem::nonTrackedProperties());
        if (!tracked.isEmpty())
            m_objectsBeingSent.markEdited(item);
    }
}

void ItemUpdaterLoop::rescanEditedItems()
{
    for (store::ManagedObject* object : m_manager.managedContext().objects(TODOItem::staticEntityName())) {
        if (object->intValue(kEditedSince) == 1)
            m_edited.insert(static_cast<TODOItem*>(object));
    }
}

std::vector<TODOItem*> ItemUpdaterLoop::editedItems()
{
    // The user's last changes are marked before anything is picked.
    store::Context& context = m_manager.managedContext();
    context.processPendingChanges();
    context.processPendingChanges();
    std::vector<TODOItem*> items;
    for (auto it = m_edited.begin(); it != m_edited.end();) {
        TODOItem* item = *it;
        if (item->isDeleted() || item->edited_since() != 1) {
            it = m_edited.erase(it);
            continue;
        }
        ++it;
        if (item->state() != 3)
            items.push_back(item);
    }
    std::sort(items.begin(), items.end(),
              [](const TODOItem* a, const TODOItem* b) { return a->objectID() < b->objectID(); });
    return items;
}

bool ItemUpdaterLoop::mayPost(TODOItem* item) const
{
    // Without a signed-in user there is no poll that could bring a lost upload back.
    auto* status = m_manager.getInstantSyncStatus();
    if (!status)
        return true;
    if (m_completedPolls == 0)
        return false; // a previous run may have sent it without hearing back
    const auto it = m_postHeldUntil.constFind(item);
    return it == m_postHeldUntil.constEnd() || m_completedPolls >= *it;
}

void ItemUpdaterLoop::holdPostUntilNextPoll(TODOItem* item)
{
    m_postHeldUntil.insert(item, m_completedPolls + 1);
}

bool ItemUpdaterLoop::leaveFlight(TODOItem* item)
{
    return m_objectsBeingSent.remove(item);
}

// --- Send pass

void ItemUpdaterLoop::sendModifiedItems()
{
    if (!m_manager.canInstantSync() || m_isSendingModifiedItems)
        return;
    m_isSendingModifiedItems = true;
    std::vector<TODOItem*> waiting;
    for (TODOItem* item : editedItems()) {
        if (!isInFlight(item))
            waiting.push_back(item);
    }
    if (waiting.empty()) {
        m_manager.setItemsAreEdited(false);
        m_isSendingModifiedItems = false;
        return;
    }
    m_manager.setItemsAreEdited(true);

    std::vector<TODOItem*> posts;
    std::vector<TODOItem*> puts;
    std::vector<TODOItem*> singles;
    for (TODOItem* item : waiting) {
        if (TODOList* project = item->list(); project && project->state() == 3) {
            QVRestManager::TrackingPause pause(m_manager);
            item->setState(3);
            continue;
        }
        if (!itemSanityCheckForSending(item) || isItemBlocked(item))
            continue;
        const QSet<QString> changedKeys = item->changedKeysSinceSave();
        QStringList changed(changedKeys.begin(), changedKeys.end());
        changed.sort();
        Log::line(QStringLiteral("%1").arg(changed.join(QStringLiteral(", "))));
        const bool post = !item->isValidUniID();
        if (post && !mayPost(item)) {
            m_postsWaitingForPoll = true;
            continue;
        }
        if (m_sendSingly.contains(item))
            singles.push_back(item);
        else
            (post ? posts : puts).push_back(item);
    }

    for (TODOItem* item : singles)
        sendToServer(item);
    if (posts.size() == 1)
        sendToServer(posts.front());
    else if (posts.size() > 1)
        sendBulkItems(posts, true);
    if (puts.size() == 1)
        sendToServer(puts.front());
    else if (puts.size() > 1)
        sendBulkItems(puts, false);
    m_isSendingModifiedItems = false;
}

bool ItemUpdaterLoop::itemSanityCheckForSending(TODOItem* item) const
{
    if (!item || item->isNull(QStringLiteral("id_")) || item->id_() == 0)
        return false;
    if (item->edited_since() != 1 || isInFlight(item))
        return false;
    const TODOList* project = item->list();
    if (!project || project->isNull(QStringLiteral("id_")))
        return true;
    return project->id_() != 0 && project->state() == 0;
}

void ItemUpdaterLoop::blockSyncForItem(TODOItem* item)
{
    if (item)
        m_blockItems.insert(item);
}

void ItemUpdaterLoop::unblockSyncForItem(TODOItem* item)
{
    if (item)
        m_blockItems.remove(item);
}

bool ItemUpdaterLoop::isItemBlocked(const TODOItem* item) const
{
    return m_blockItems.contains(item);
}

void ItemUpdaterLoop::resolveOwner(TODOItem* item, bool clearWhenUnknown)
{
    if (item->ownerUsername().isEmpty())
        return;
    CollaboratorDirectory* directory = m_manager.collaborators();
    const std::optional<QString> uri =
        directory ? directory->resourceURIForEmail(item->ownerUsername()) : std::nullopt;
    if (uri)
        item->setOwner(*uri);
    else if (clearWhenUnknown)
        item->clearValue(QStringLiteral("owner"));
}

// --- Single upload

bool ItemUpdaterLoop::sendToServer(TODOItem* item, ItemSuccess success, ItemFailure failure)
{
    if (!item || isInFlight(item) || isItemBlocked(item) || !m_manager.canInstantSync() ||
        !m_manager.getServerSecondsSince1970() || !itemSanityCheckForSending(item))
        return false;
    const bool post = !item->isValidUniID();
    if (post && !mayPost(item))
        return false;
    // Changes made before the upload starts must not count as made while it is out.
    m_manager.managedContext().processPendingChanges();
    {
        QVRestManager::TrackingPause pause(m_manager);
        // The collaboration cache may not know the owner yet; what the item names stays.
        resolveOwner(item, false);
        item->setEditedByDevice(m_manager.deviceUID());
        m_objectsBeingSent.insert(item, InFlightSet::Kind::Upload);
    }
    m_manager.addSyncingObjects(1);

    rest::Request request;
    request.method = post ? rest::Method::Post : rest::Method::Put;
    const auto path =
        m_manager.router().resourcePathForObject(TODOItem::staticEntityName(), request.method,
                                                 [item](const QString& key) { return item->value(key); });
    request.path = path.value_or(QString());
    request.setJsonBody(QJsonDocument(uploadBody(item, *TODOItem::inverseMapping())));
    const QStringList tagNames = post ? item->getTagNames() : QStringList();
    QSet<QString> tags(tagNames.begin(), tagNames.end());
    request.onSuccess = [this, item, post, tags, success](const rest::Response& response) {
        singleSucceeded(item, post, response, tags, success);
    };
    request.onFailure = [this, item, post, failure](const rest::Error& error) {
        singleFailed(item, post, error, failure);
    };
    m_queue->addRequest(std::move(request));
    return true;
}

void ItemUpdaterLoop::singleSucceeded(TODOItem* item, bool post, const rest::Response& response,
                                      const QSet<QString>& tagNames, const ItemSuccess& success)
{
    TODOItem* returned =
        response.json.isObject() ? m_manager.restStore().mapItem(response.json.object()) : nullptr;
    if (post && (!returned || !returned->isValidUniID())) {
        // Accepted, but we cannot tell as what: the next poll brings the server's copy back.
        rest::Error error;
        error.kind = rest::Error::Kind::Parse;
        error.message = QStringLiteral("the reply names no item");
        error.response = response;
        singleFailed(item, post, error, {});
        return;
    }
    const bool editedMeanwhile = leaveFlight(item);
    m_manager.addSyncingObjects(-1);
    m_sendSingly.remove(item);
    bool changed = false;
    {
        QVRestManager::TrackingPause pause(m_manager);
        if (post)
            item->setServerID(returned->serverID());
        if (!editedMeanwhile)
            item->setEdited_since(0);
        if (returned)
            changed = update(item, returned);
        if (post && !editedMeanwhile) {
            for (const QString& name : tagNames)
                item->addTagsObject(TagManager::getItemTagForName(name, *item->context()));
        }
    }
    if (editedMeanwhile) {
        std::weak_ptr<bool> alive = m_alive;
        m_manager.scheduler().post([this, alive] {
            if (alive.lock())
                sendModifiedItems();
        });
    }
    if (success)
        success(returned);
    if (changed && item->isValidUniID())
        announce({item->serverID()});
}

void ItemUpdaterLoop::singleFailed(TODOItem* item, bool post, const rest::Error& error,
                                   const ItemFailure& failure)
{
    Log::line(post ? QStringLiteral("Post failed") : QStringLiteral("Put failed"));
    leaveFlight(item);
    if (item->edited_since() != 1) {
        QVRestManager::TrackingPause pause(m_manager);
        item->setEdited_since(1);
    }
    m_edited.insert(item);
    if (post && outcomeUnknown(error))
        holdPostUntilNextPoll(item);
    m_manager.addSyncingObjects(-1);
    if (failure)
        failure(error);
}

// --- Bulk upload

int ItemUpdaterLoop::sendBulkItems(const std::vector<TODOItem*>& items, bool post)
{
    if (!m_manager.canInstantSync() || !m_manager.getServerSecondsSince1970())
        return 0;
    m_manager.managedContext().processPendingChanges();
    int count = 0;
    std::vector<TODOItem*> batch;
    QVRestManager::TrackingPause pause(m_manager);
    for (TODOItem* item : items) {
        if (!item || isItemBlocked(item) || isInFlight(item))
            continue;
        if (post && !mayPost(item))
            continue;
        resolveOwner(item, false);
        item->setEditedByDevice(m_manager.deviceUID());
        m_objectsBeingSent.insert(item, InFlightSet::Kind::Upload);
        batch.push_back(item);
        ++count;
        if (count % kBatchSize == 0) {
            sendBatch(batch, post);
            batch.clear();
        }
    }
    if (!batch.empty())
        sendBatch(batch, post);
    return count;
}

void ItemUpdaterLoop::sendBatch(const std::vector<TODOItem*>& batch, bool post)
{
    m_manager.addSyncingObjects(int(batch.size()));
    ItemSet set{batch};
    rest::Request request;
    request.method = post ? rest::Method::Post : rest::Method::Put;
    request.path = m_manager.router().resourcePattern(QStringLiteral("ItemSet"), request.method);
    request.setJsonBody(QJsonDocument(set.body()));
    request.onSuccess = [this, batch, post](const rest::Response& response) {
        batchSucceeded(batch, post, response);
    };
    request.onFailure = [this, batch, post](const rest::Error& error) {
        batchFailed(batch, post, error);
    };
    m_queue->addRequest(std::move(request));
}

void ItemUpdaterLoop::batchSucceeded(const std::vector<TODOItem*>& batch, bool post,
                                     const rest::Response& response)
{
    Log::line(QStringLiteral("It was successful"));
    m_manager.addSyncingObjects(-int(batch.size()));
    const QJsonArray objects = flattened(response.json.object().value(QStringLiteral("objects")).toArray());

    // Returned items are matched by position, with a key that must agree: an item's own id_ is
    // unique only within its project, so two items of a batch can share it.
    auto matches = [post](const TODOItem* local, const TODOItem* remote) {
        if (!post)
            return remote->isValidUniID() && remote->serverID() == local->serverID();
        if (remote->id_() != local->id_())
            return false;
        const std::optional<qint64> theirs = remote->getProjectID();
        const std::optional<qint64> mine = projectIdOf(local);
        return !theirs || !mine || *theirs == *mine;
    };
    std::vector<bool> matched(batch.size(), false);
    size_t position = 0;
    QSet<qint64> updated;
    bool editedMeanwhile = false;
    {
        QVRestManager::TrackingPause pause(m_manager);
        for (const QJsonValue& value : objects) {
            TODOItem* remote = value.isObject() ? m_manager.restStore().mapItem(value.toObject()) : nullptr;
            if (!remote)
                continue;
            std::optional<size_t> found;
            for (size_t i = position; i < batch.size() && !found; ++i) {
                if (!matched[i] && matches(batch[i], remote))
                    found = i;
            }
            for (size_t i = 0; i < position && !found; ++i) {
                if (!matched[i] && matches(batch[i], remote))
                    found = i;
            }
            if (!found || (post && !remote->isValidUniID())) {
                Log::line(QStringLiteral("A returned item matches nothing that was sent: %1")
                              .arg(remote->serverID()));
                continue;
            }
            matched[*found] = true;
            position = *found + 1;
            TODOItem* item = batch[*found];
            const bool edited = leaveFlight(item);
            editedMeanwhile = editedMeanwhile || edited;
            m_sendSingly.remove(item);
            if (post)
                item->setServerID(remote->serverID());
            if (!edited)
                item->setEdited_since(0);
            if (update(item, remote) && item->isValidUniID())
                updated.insert(item->serverID());
        }
        // Whatever the reply left out is sent again.
        for (size_t i = 0; i < batch.size(); ++i) {
            if (matched[i])
                continue;
            TODOItem* item = batch[i];
            leaveFlight(item);
            if (item->edited_since() != 1)
                item->setEdited_since(1);
            m_edited.insert(item);
            if (post)
                holdPostUntilNextPoll(item);
            Log::line(QStringLiteral("Item %1 missing from the reply; it is sent again").arg(item->id_()));
        }
    }
    if (editedMeanwhile) {
        std::weak_ptr<bool> alive = m_alive;
        m_manager.scheduler().post([this, alive] {
            if (alive.lock())
                sendModifiedItems();
        });
    }
    if (!updated.isEmpty())
        announce(updated);
}

void ItemUpdaterLoop::batchFailed(const std::vector<TODOItem*>& batch, bool post, const rest::Error& error)
{
    Log::line(post ? QStringLiteral("Multiple post failed") : QStringLiteral("Multiple put failed"));
    // One item the server refuses must not hold back the rest of its batch for ever.
    const bool sendSingly = refusedAsBadRequest(error);
    {
        QVRestManager::TrackingPause pause(m_manager);
        for (TODOItem* item : batch) {
            leaveFlight(item);
            if (item->edited_since() != 1)
                item->setEdited_since(1);
            m_edited.insert(item);
            if (post && outcomeUnknown(error))
                holdPostUntilNextPoll(item);
            if (sendSingly)
                m_sendSingly.insert(item);
        }
    }
    m_manager.addSyncingObjects(-int(batch.size()));
}

// --- Merging

bool ItemUpdaterLoop::update(TODOItem* local, TODOItem* incoming)
{
    if (!local || !incoming)
        return false;
    if (isInFlight(local))
        return false;
    // Inside the engine's own writes, what the current change event holds was written by the
    // engine, not by the user: announce it first so that the change test sees only user edits.
    if (!m_manager.document().isReceivingEditingNotifications() &&
        !local->changedKeysInCurrentEvent().isEmpty())
        local->context()->processPendingChanges();
    if (local->edited_since() == 1 || local->needToUploadGiven(incoming)) {
        if (local->edited_since() != 1) {
            QVRestManager::TrackingPause pause(m_manager);
            local->setEdited_since(1);
        }
        m_edited.insert(local);
        return false;
    }
    if (!m_manager.canInstantSync())
        return false;
    if (local->versionID() > incoming->versionID() ||
        (local->versionID() == incoming->versionID() && local->timestamp() >= incoming->timestamp()))
        return true;

    QVRestManager::TrackingPause pause(m_manager);
    const QString ownerBefore = local->ownerUsername();
    incoming->copyTo(local, true, true, true, false);
    placeInProject(local, incoming);
    if (!local->ownerUsername().isEmpty() && local->ownerUsername() != ownerBefore)
        sendDelegationNotificationFor(local);
    if (const std::optional<qint64> now = m_manager.getServerSecondsSince1970())
        local->setRequestedTime(*now);
    const QString editor = local->editedByUsername();
    if (!editor.isEmpty()) {
        CollaboratorDirectory* directory = m_manager.collaborators();
        const std::optional<QString> me = directory ? directory->myEmail() : std::nullopt;
        if (!me || *me != editor) {
            local->setHighlight(1);
            if (TODOList* project = local->list())
                project->setHighlight(1);
        }
    }
    local->setEdited_since(0);
    return true;
}

void ItemUpdaterLoop::placeInProject(TODOItem* local, TODOItem* incoming)
{
    const std::optional<qint64> projectID = incoming->getProjectID();
    if (!projectID || *projectID <= 0)
        return; // the server did not say: the item stays where it is
    if (local->list() && local->list()->id_() == *projectID)
        return;
    if (TODOList* target = TODOList::findWithID(*projectID, *local->context())) {
        local->setList(target);
        return;
    }
    // A project not known here yet: the item keeps its place until the project has come, and
    // the download then moves it.
    m_manager.getProjectAndItemsForProjectWithID(*projectID, *local->context(), {}, {});
}

TODOItem* ItemUpdaterLoop::createFrom(TODOItem* incoming, TODOList* project)
{
    store::Context& context = project ? *project->context() : m_manager.managedContext();
    auto* item = context.insert<TODOItem>(TODOItem::staticEntityName());
    if (project)
        project->addItem(item);
    incoming->copyTo(item, true, true, true, false);
    item->setEdited_since(0);
    return item;
}

TODOItem* ItemUpdaterLoop::adoptOwnUpload(TODOItem* incoming, store::Context& context)
{
    if (!incoming->isValidUniID() || incoming->isNull(QStringLiteral("id_")))
        return nullptr;
    const std::optional<qint64> projectID = incoming->getProjectID();
    for (store::ManagedObject* object :
         context.lookup(TODOItem::staticEntityName(), QStringLiteral("id_"), incoming->id_())) {
        auto* item = static_cast<TODOItem*>(object);
        if (item->isValidUniID() || isInFlight(item) || projectIdOf(item) != projectID)
            continue;
        QVRestManager::TrackingPause pause(m_manager);
        item->setServerID(incoming->serverID());
        item->setResourceURI(incoming->resourceURI());
        m_postHeldUntil.remove(item);
        Log::line(QStringLiteral("Item %1 is on the server as %2").arg(item->id_()).arg(item->serverID()));
        return item;
    }
    return nullptr;
}

bool ItemUpdaterLoop::updateOrCreateItemFrom(TODOItem* incoming)
{
    if (m_manager.uiIsEditing())
        return false;
    store::Context& context = m_manager.managedContext();
    if (incoming->isValidUniID()) {
        if (TODOItem* local = TODOItem::findWithID(incoming->serverID(), context))
            return update(local, incoming);
    }
    if (incoming->editedByDevice() == m_manager.deviceUID()) {
        // This device's own upload; it exists here already (or is adopted now).
        adoptOwnUpload(incoming, context);
        return true;
    }
    const std::optional<qint64> projectID = incoming->getProjectID();
    if (!projectID || *projectID <= 0) {
        if (incoming->state() != 2 && incoming->state() != 3)
            createFrom(incoming, nullptr);
        return true;
    }
    if (TODOList* project = TODOList::findWithID(*projectID, context)) {
        if (project->lazyFetch() || incoming->state() == 2 || incoming->state() == 3)
            return true;
        createFrom(incoming, project);
        return true;
    }
    m_manager.getProjectAndItemsForProjectWithID(*projectID, {}, {});
    return false;
}

bool ItemUpdaterLoop::updateOrCreateInboxItem(TODOItem* incoming, bool testDeviceUID)
{
    store::Context& context = m_manager.managedContext();
    if (incoming->isValidUniID()) {
        if (TODOItem* local = TODOItem::findWithID(incoming->serverID(), context))
            return update(local, incoming);
    }
    if (incoming->editedByDevice() == m_manager.deviceUID()) {
        if (adoptOwnUpload(incoming, context) || testDeviceUID)
            return true;
    }
    if (incoming->state() == 2 || incoming->state() == 3)
        return true;
    TODOItem* item = createFrom(incoming, nullptr);
    placeInProject(item, incoming);
    return true;
}

void ItemUpdaterLoop::sendDelegationNotificationFor(TODOItem* item)
{
    QVariantMap info{{QStringLiteral("serverID"), item->serverID()}};
    if (!item->ownerUsername().isEmpty())
        info.insert(QStringLiteral("ownerUsername"), item->ownerUsername());
    if (!item->editedByUsername().isEmpty())
        info.insert(QStringLiteral("editedByUsername"), item->editedByUsername());
    m_manager.post(kNotificationItemDelegated, this, info);
}

void ItemUpdaterLoop::announce(const QSet<qint64>& serverIDs)
{
    m_manager.post(kNotificationItemUpdaterLooped, this,
                   {{QStringLiteral("updatedItems"), idList(serverIDs)}});
}

// --- Modified-items poll

QString ItemUpdaterLoop::getURL() const
{
    return QStringLiteral("/item/?format=json&uid=") + m_manager.deviceUID() +
           m_manager.platformVersionPair();
}

void ItemUpdaterLoop::GETModifiedItems()
{
    if (!m_manager.canInstantSync() || !m_manager.getServerSecondsSince1970() || m_loading)
        return;
    InstantSyncStatus* status = m_manager.getInstantSyncStatus();
    if (!status || !status->lastItemPollingDate().isValid())
        return;
    QString path = getURL() + QStringLiteral("&timestamp__gte=") +
                   QVRestManager::queryDate(status->lastItemPollingDate());
    if (m_paginator.hasNext()) {
        const qint64 limit = m_paginator.limit.value_or(0);
        path += QStringLiteral("&offset=%1&limit=%2").arg(m_paginator.offset.value_or(0) + limit).arg(limit);
    }
    m_loading = true;
    rest::Request request;
    request.path = path;
    request.onSuccess = [this](const rest::Response& response) {
        objectLoaderDidLoadObjects(response.json.object());
    };
    request.onFailure = [this](const rest::Error& error) {
        objectLoaderDidFailWithError(error);
    };
    m_queue->addRequest(std::move(request));
}

void ItemUpdaterLoop::objectLoaderDidFailWithError(const rest::Error& error)
{
    Log::line(QStringLiteral("ItemUpdaterLoop objectLoader:didFailWithError: %1").arg(error.message));
    m_loading = false;
}

void ItemUpdaterLoop::objectLoaderDidLoadObjects(const QJsonObject& reply)
{
    m_loading = false;
    if (!m_manager.canInstantSync())
        return;
    InstantSyncStatus* status = m_manager.getInstantSyncStatus();
    if (!status)
        return;
    const QJsonArray objects = flattened(reply.value(QStringLiteral("objects")).toArray());
    const QJsonValue meta = reply.value(QStringLiteral("meta"));
    m_paginator.copyFromPaginator(meta.isObject() ? MetaPaginator::fromJson(meta.toObject())
                                                  : MetaPaginator());

    int applied = 0;
    bool nextPage = false;
    {
        QVRestManager::TrackingPause pause(m_manager);
        for (const QJsonValue& value : objects) {
            TODOItem* incoming = value.isObject() ? m_manager.restStore().mapItem(value.toObject()) : nullptr;
            if (incoming && incoming->isValidUniID())
                m_seenOverPages.insert(incoming->serverID());
            if (incoming && updateOrCreateItemFrom(incoming)) {
                ++applied;
                if (incoming->isValidUniID())
                    m_updatedOverPages.insert(incoming->serverID());
            }
        }

        const qint64 total = m_paginator.totalCount.value_or(0);
        if (total > 0) {
            if (m_paginator.hasNext() || !m_paginator.secondsLastModification) {
                nextPage = true;
            } else if (m_seenOverPages.size() < total) {
                // Something changed between the pages and shifted an object past a page
                // boundary unseen: the next poll starts from the same cursor again.
                Log::line(QStringLiteral("Items changed while paging; polling again from the same date"));
            } else {
                QDateTime cursor = Utils::dateFromSecondsSince1970(*m_paginator.secondsLastModification);
                if (applied == objects.size()) {
                    if (status->lastItemPollingDateWithResults() == cursor) {
                        cursor = cursor.addSecs(1);
                        status->setLastItemPollingDateWithResults(QDateTime());
                    } else {
                        status->setLastItemPollingDateWithResults(status->lastItemPollingDate());
                    }
                }
                status->setLastItemPollingDate(cursor);
            }
        } else {
            status->setLastItemPollingDateWithResults(QDateTime());
        }
        if (!nextPage && m_paginator.secondsSince1970)
            status->setLastServerPollingDate(Utils::dateFromSecondsSince1970(*m_paginator.secondsSince1970));
    }

    if (nextPage) {
        std::weak_ptr<bool> alive = m_alive;
        m_manager.scheduler().post([this, alive] {
            if (alive.lock())
                GETModifiedItems();
        });
        return;
    }
    ++m_completedPolls;
    m_seenOverPages.clear();
    // Every page's changes, not only the last one's.
    const QSet<qint64> updated = std::exchange(m_updatedOverPages, {});
    if (!updated.isEmpty() && !m_isEnding)
        announce(updated);
    m_manager.updateStatusMessage();
    if (m_postsWaitingForPoll) {
        m_postsWaitingForPoll = false;
        std::weak_ptr<bool> alive = m_alive;
        m_manager.scheduler().post([this, alive] {
            if (alive.lock())
                sendModifiedItems();
        });
    }
}

// --- Inbox

void ItemUpdaterLoop::GETInboxItemsWithTimer()
{
    GETInboxItemsForLatestTimestamp({}, {});
}

void ItemUpdaterLoop::GETInboxItemsForLatestTimestamp(InboxSuccess success, InboxFailure failure)
{
    GETInboxItemsAfterTimestamp(
        m_lastInboxItemTimestamp,
        [this, success](const std::vector<TODOItem*>& loaded) {
            qint64 newest = m_lastInboxItemTimestamp;
            for (const TODOItem* item : loaded)
                newest = std::max(newest, item->timestamp());
            m_lastInboxItemTimestamp =
                newest > m_lastInboxItemTimestamp ? newest : m_lastInboxItemTimestamp + 1;
            if (success)
                success(loaded);
        },
        std::move(failure));
}

void ItemUpdaterLoop::GETInboxItemsAfterTimestamp(std::optional<qint64> secondsSince1970,
                                                  InboxSuccess success, InboxFailure failure)
{
    if (m_isRetrievingInboxItems || !m_manager.canInstantSync()) {
        if (failure)
            failure(std::nullopt);
        return;
    }
    m_manager.post(kNotificationInboxUpdaterStarted, this);
    m_isRetrievingInboxItems = true;
    QString path;
    if (!secondsSince1970 || *secondsSince1970 <= 0)
        path = QStringLiteral("/me/inbox/?format=json&state=0&limit=1000");
    else
        path = QStringLiteral("/me/inbox/?format=json&timestamp__gte=%1&limit=1000")
                   .arg(QVRestManager::queryDate(Utils::dateFromSecondsSince1970(*secondsSince1970)));
    path += m_manager.platformVersionPair();

    rest::Request request;
    request.path = path;
    request.onSuccess = [this, success, failure](const rest::Response& response) {
        m_isRetrievingInboxItems = false;
        if (!m_manager.canInstantSync()) {
            // Sync went on hold meanwhile: nothing is merged now.
            if (failure)
                failure(std::nullopt);
            return;
        }
        const QJsonArray objects =
            flattened(response.json.object().value(QStringLiteral("objects")).toArray());
        const std::vector<TODOItem*> loaded = m_manager.restStore().mapItems(objects);
        QSet<qint64> applied;
        {
            // Received items are the server's, not local edits to send back.
            QVRestManager::TrackingPause pause(m_manager);
            for (TODOItem* incoming : loaded) {
                if (updateOrCreateInboxItem(incoming, false) && incoming->isValidUniID())
                    applied.insert(incoming->serverID());
            }
        }
        if (success)
            success(loaded);
        m_manager.post(kNotificationInboxUpdaterLooped, this,
                       {{QStringLiteral("updatedItemIDs"), idList(applied)}});
    };
    request.onFailure = [this, failure](const rest::Error& error) {
        Log::line(QStringLiteral("Error when retrieving inbox: %1").arg(error.message));
        m_isRetrievingInboxItems = false;
        if (failure)
            failure(error.message);
        m_manager.post(kNotificationInboxUpdaterLoopedFailed, this);
    };
    m_queue->addRequest(std::move(request));
}

} // namespace qv
