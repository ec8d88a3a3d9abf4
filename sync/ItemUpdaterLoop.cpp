#include "sync/ItemUpdaterLoop.h"

#include "core/document/MyDocument.h"
#include "core/model/StatusEntities.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "core/model/TodoModel.h"
#include "core/util/Utils.h"
#include "platform/rest/RequestQueue.h"
#include "platform/rest/RestClient.h"
#include "platform/rest/Router.h"
#include "platform/store/Context.h"
#include "sync/CollaboratorDirectory.h"
#include "sync/ProjectUpdaterLoop.h"
#include "sync/QVRestManager.h"
#include "sync/RestObjectStore.h"
#include "sync/SyncLogging.h"
#include "sync/SyncNotifications.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

namespace qv {

namespace {

bool refusedAsBadRequest(const rest::Error& error)
{
    return error.kind == rest::Error::Kind::Http && error.statusCode() >= 400 && error.statusCode() < 500;
}

std::optional<qint64> projectIdOf(const TODOItem* item)
{
    if (const TODOList* project = item->list())
        return project->id_();
    return std::nullopt;
}

enum class Attribute { RequestedTime, Highlight, EditedSince, ClientId };

int itemAttribute(Attribute attribute)
{
    static const std::array<int, 4> indexes = [] {
        const store::EntityDescription& item = *TodoModel::shared().entity(TODOItem::staticEntityName());
        return std::array<int, 4>{item.attributeIndex(QStringLiteral("requestedTime")),
                                  item.attributeIndex(QStringLiteral("highlight")),
                                  item.attributeIndex(QStringLiteral("edited_since")),
                                  item.attributeIndex(QStringLiteral("id_"))};
    }();
    return indexes[size_t(attribute)];
}

bool hasClientId(const TODOItem* item)
{
    return !item->isNull(QStringLiteral("id_")) && item->id_() != 0;
}

const UpdaterLoop::Traits& itemTraits()
{
    static const UpdaterLoop::Traits traits{
        QStringLiteral("ItemUpdaterLoop"),
        QStringLiteral("Items"),
        QStringLiteral("item"),
        TODOItem::staticEntityName(),
        &TODOItem::nonTrackedProperties,
        &QVRestManager::itemPollingInterval,
        kNotificationItemUpdaterLooped,
        QStringLiteral("updatedItems"),
        &InstantSyncStatus::lastItemPollingDate,
        &InstantSyncStatus::setLastItemPollingDate,
        &InstantSyncStatus::lastItemPollingDateWithResults,
        &InstantSyncStatus::setLastItemPollingDateWithResults,
        true,
    };
    return traits;
}

} // namespace

ItemUpdaterLoop::ItemUpdaterLoop(QVRestManager& manager) : UpdaterLoop(manager, itemTraits())
{
    addRepeatingTask(kInboxIntervalMs, [this] { GETInboxItemsWithTimer(); });
}

// --- Which items wait for upload

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
    sendDuplicateRemovals();
    const std::vector<TODOItem*> waiting = waitingUploadsOf<TODOItem>();
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
        if (TODOList* project = item->list(); project && project->objectState() == ObjectState::Removed) {
            QVRestManager::TrackingPause pause(m_manager);
            if (TODOList* kept = m_manager.projectLoop().keptCopyOf(project)) {
                kept->addItem(item); // the project was a second copy of that one
            } else {
                // Gone with its project on the server: nothing of it is left to send.
                item->setObjectState(ObjectState::Removed);
                item->setEdited_since(0);
                continue;
            }
        }
        ensureClientIdentifier(item);
        if (!itemSanityCheckForSending(item) || isItemBlocked(item)) {
            noteWaiting(item);
            continue;
        }
        m_reportedWaiting.remove(item);
        const QSet<QString> changedKeys = item->changedKeysSinceSave();
        QStringList changed(changedKeys.begin(), changedKeys.end());
        changed.sort();
        qCDebug(lcSync, "Item %lld changed: %s", qint64(item->id_()),
                qUtf8Printable(changed.join(QStringLiteral(", "))));
        const bool post = !item->isValidUniID();
        if (post && !mayPost(item)) {
            notePostsWaiting();
            continue;
        }
        if (m_sendSingly.contains(item))
            singles.push_back(item);
        else
            (post ? posts : puts).push_back(item);
    }

    // Items no longer waiting are reported again should they wait once more.
    const QSet<const TODOItem*> stillWaiting(waiting.begin(), waiting.end());
    m_reportedWaiting.intersect(stillWaiting);
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

bool ItemUpdaterLoop::sendsRemoval(const store::ManagedObject& object) const
{
    return static_cast<const TODOItem&>(object).isValidUniID();
}

bool ItemUpdaterLoop::itemSanityCheckForSending(TODOItem* item) const
{
    if (!item || item->isNull(QStringLiteral("id_")) || item->id_() == 0)
        return false;
    if (item->edited_since() != 1 || isInFlight(item))
        return false;
    // An item of a trashed or completed project is sent like any other: the server keeps it
    // with its project, and held back here it would never be sent at all.
    const TODOList* project = item->list();
    return !project || project->isNull(QStringLiteral("id_")) || project->id_() != 0;
}

void ItemUpdaterLoop::ensureClientIdentifier(TODOItem* item)
{
    if (!item || hasClientId(item))
        return;
    QVRestManager::TrackingPause pause(m_manager);
    item->setId_(newClientId(item->list()));
}

qint64 ItemUpdaterLoop::newClientId(const TODOList* project) const
{
    // 0 stands for none: it is drawn again.
    qint64 id = 0;
    for (int attempt = 0; attempt < 16 && id == 0; ++attempt)
        id = m_manager.document().newUniqueIdForItemInList(project);
    return id != 0 ? id : 1;
}

void ItemUpdaterLoop::noteWaiting(TODOItem* item)
{
    // Once per item: the pass comes round every few seconds.
    if (item->edited_since() != 1 || isInFlight(item) || m_reportedWaiting.contains(item))
        return;
    m_reportedWaiting.insert(item);
    if (isItemBlocked(item))
        qCInfo(lcSync, "Item %lld waits: it is being edited", qint64(item->id_()));
    else
        qCInfo(lcSync, "Item %lld waits: its project is not on the server yet", qint64(item->id_()));
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
    if (item && item->edited_since() == 1 && !isInFlight(item))
        ensureClientIdentifier(item);
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
        if (post)
            recordPost(item);
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
    request.onSuccess = [this, item, post, tags,
                         success = std::move(success)](const rest::Response& response) {
        singleSucceeded(item, post, response, tags, success);
    };
    request.onFailure = [this, item, post, failure = std::move(failure)](const rest::Error& error) {
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
    // Only a reply that is the item itself says the server holds this edit; a garbled one may
    // not, and taking it for acceptance would clear the change flag of an edit never stored.
    const bool confirmed =
        returned && returned->isValidUniID() && (post || returned->serverID() == item->serverID());
    if (!confirmed) {
        // Perhaps accepted, but we cannot tell as what: sent again (after the next poll, when new).
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
    if (post)
        releasePost(item);
    bool changed = false;
    {
        QVRestManager::TrackingPause pause(m_manager);
        if (post) {
            item->setServerID(returned->serverID());
            clearPostRecord(item);
        }
        if (!editedMeanwhile)
            item->setEdited_since(0);
        changed = update(item, returned);
        if (post && !editedMeanwhile) {
            for (const QString& name : tagNames)
                item->addTagsObject(TagManager::getItemTagForName(name, *item->context()));
        }
    }
    if (post)
        m_manager.document().itemReachedServer(item);
    if (editedMeanwhile)
        postIfAlive([this] { sendModifiedItems(); });
    if (success)
        success(returned);
    if (changed && item->isValidUniID())
        announce({item->serverID()});
}

void ItemUpdaterLoop::singleFailed(TODOItem* item, bool post, const rest::Error& error,
                                   const ItemFailure& failure)
{
    qCWarning(lcSync, post ? "Post failed" : "Put failed");
    const bool editedMeanwhile = leaveFlight(item);
    keepForUpload(item);
    if (post && outcomeUnknown(error))
        holdPost(item, editedMeanwhile);
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
        if (post)
            recordPost(item);
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
    std::vector<SentKey> keys;
    keys.reserve(batch.size());
    for (const TODOItem* item : batch)
        keys.push_back({item->id_(), projectIdOf(item)});
    request.onSuccess = [this, batch, keys, post](const rest::Response& response) {
        batchSucceeded(batch, keys, post, response);
    };
    request.onFailure = [this, batch, post](const rest::Error& error) {
        batchFailed(batch, post, error);
    };
    m_queue->addRequest(std::move(request));
}

void ItemUpdaterLoop::batchSucceeded(const std::vector<TODOItem*>& batch, const std::vector<SentKey>& keys,
                                     bool post, const rest::Response& response)
{
    qCDebug(lcSync, "It was successful");
    m_manager.addSyncingObjects(-int(batch.size()));
    const QJsonArray objects = listedObjects(response.json.object());

    // Returned items are matched by position, with a key that must agree: an item's own id_ is
    // unique only within its project, so two items of a batch can share it.
    auto matches = [&](size_t sent, const TODOItem* remote) {
        if (!post)
            return remote->isValidUniID() && remote->serverID() == batch[sent]->serverID();
        if (remote->id_() != keys[sent].id)
            return false;
        const std::optional<qint64> theirs = remote->getProjectID();
        const std::optional<qint64>& mine = keys[sent].project;
        return !theirs || !mine || *theirs == *mine;
    };
    std::vector<bool> matched(batch.size(), false);
    size_t position = 0;
    QSet<qint64> updated;
    std::vector<TODOItem*> posted;
    bool editedMeanwhile = false;
    {
        QVRestManager::TrackingPause pause(m_manager);
        for (const QJsonValue& value : objects) {
            TODOItem* remote = value.isObject() ? m_manager.restStore().mapItem(value.toObject()) : nullptr;
            if (!remote)
                continue;
            std::optional<size_t> found;
            for (size_t i = position; i < batch.size() && !found; ++i) {
                if (!matched[i] && matches(i, remote))
                    found = i;
            }
            for (size_t i = 0; i < position && !found; ++i) {
                if (!matched[i] && matches(i, remote))
                    found = i;
            }
            if (!found || (post && !remote->isValidUniID())) {
                qCWarning(lcSync, "A returned item matches nothing that was sent: %lld",
                          qint64(remote->serverID()));
                continue;
            }
            matched[*found] = true;
            position = *found + 1;
            TODOItem* item = batch[*found];
            const bool edited = leaveFlight(item);
            editedMeanwhile = editedMeanwhile || edited;
            m_sendSingly.remove(item);
            if (post) {
                releasePost(item);
                item->setServerID(remote->serverID());
                clearPostRecord(item);
                posted.push_back(item);
            }
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
            const bool edited = leaveFlight(item);
            keepForUpload(item);
            if (post)
                holdPost(item, edited);
            qCWarning(lcSync, "Item %lld missing from the reply; it is sent again", qint64(item->id_()));
        }
    }
    for (TODOItem* item : posted)
        m_manager.document().itemReachedServer(item);
    if (editedMeanwhile)
        postIfAlive([this] { sendModifiedItems(); });
    if (!updated.isEmpty())
        announce(updated);
}

void ItemUpdaterLoop::batchFailed(const std::vector<TODOItem*>& batch, bool post, const rest::Error& error)
{
    qCWarning(lcSync, post ? "Multiple post failed" : "Multiple put failed");
    // One item the server refuses must not hold back the rest of its batch for ever.
    const bool sendSingly = refusedAsBadRequest(error);
    {
        QVRestManager::TrackingPause pause(m_manager);
        for (TODOItem* item : batch) {
            const bool edited = leaveFlight(item);
            keepForUpload(item);
            if (post && outcomeUnknown(error))
                holdPost(item, edited);
            if (sendSingly)
                m_sendSingly.insert(item);
        }
    }
    m_manager.addSyncingObjects(-int(batch.size()));
}

// --- Merging

bool ItemUpdaterLoop::update(TODOItem* local, TODOItem* incoming)
{
    return incoming && update(local, RemoteItem::of(incoming));
}

bool ItemUpdaterLoop::update(TODOItem* local, const RemoteItem& incoming)
{
    if (const std::optional<bool> verdict =
            sharedMergeVerdict(local, incoming, [&] { return incoming.differsFromEditsOf(*local); }))
        return *verdict;

    QVRestManager::TrackingPause pause(m_manager);
    const QString ownerBefore = local->ownerUsername();
    // What the merge sets besides the copy goes into the same store write.
    store::AttributeValues extra;
    if (const std::optional<qint64> now = m_manager.getServerSecondsSince1970())
        extra.emplace_back(itemAttribute(Attribute::RequestedTime), *now);
    const QString editor = incoming.editedByUsername();
    bool highlight = false;
    if (!editor.isEmpty()) {
        CollaboratorDirectory* directory = m_manager.collaborators();
        const std::optional<QString> me = directory ? directory->myEmail() : std::nullopt;
        highlight = !me || *me != editor;
    }
    if (highlight)
        extra.emplace_back(itemAttribute(Attribute::Highlight), qint64(1));
    extra.emplace_back(itemAttribute(Attribute::EditedSince), qint64(0));
    keepClientId(local, incoming, extra);
    incoming.copyTo(local, extra);
    placeInProject(local, incoming);
    if (!local->ownerUsername().isEmpty() && local->ownerUsername() != ownerBefore)
        sendDelegationNotificationFor(local);
    if (TODOList* project = local->list(); highlight && project)
        project->setHighlight(1);
    return true;
}

void ItemUpdaterLoop::placeInProject(TODOItem* local, const RemoteItem& incoming)
{
    const std::optional<qint64> projectID = incoming.getProjectID();
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
    if (local->context() == &m_manager.managedContext())
        m_manager.downloadProjectWhenPossible(*projectID);
    else
        m_manager.getProjectAndItemsForProjectWithID(*projectID, *local->context(), {}, {});
}

TODOItem* ItemUpdaterLoop::createFrom(const RemoteItem& incoming, TODOList* project)
{
    store::Context& context = project ? *project->context() : m_manager.managedContext();
    auto* item = context.insert<TODOItem>(TODOItem::staticEntityName());
    if (project)
        project->addItem(item);
    store::AttributeValues extra{{itemAttribute(Attribute::EditedSince), qint64(0)}};
    keepClientId(item, incoming, extra);
    incoming.copyTo(item, extra);
    return item;
}

void ItemUpdaterLoop::keepClientId(const TODOItem* local, const RemoteItem& incoming,
                                   store::AttributeValues& extra) const
{
    // A record without "idd" (made by another client, or by the server) keeps the identifier
    // given here, or gets one, which its next upload sends; once the server's record carries
    // one, the copy takes it, so that every device ends up with the server's.
    if (!incoming.isNull(QStringLiteral("id_")) && incoming.id_() != 0)
        return;
    extra.emplace_back(itemAttribute(Attribute::ClientId),
                       hasClientId(local) ? local->id_() : newClientId(local->list()));
}

ItemUpdaterLoop::OwnCopy ItemUpdaterLoop::adoptOwnUpload(TODOItem* incoming, store::Context& context,
                                                         TODOItem** adopted)
{
    return incoming ? adoptOwnUpload(RemoteItem::of(incoming), context, adopted) : OwnCopy::None;
}

ItemUpdaterLoop::OwnCopy ItemUpdaterLoop::adoptOwnUpload(const RemoteItem& incoming, store::Context& context,
                                                         TODOItem** adopted)
{
    if (!incoming.isValidUniID() || incoming.isNull(QStringLiteral("id_")))
        return OwnCopy::None;
    const bool mine = isOwnDevice(incoming.editedByDevice());
    const std::optional<qint64> projectID = incoming.getProjectID();
    const QDateTime theirs = incoming.creationDate();
    TODOItem* unsent = nullptr;
    const OwnCopy found = findSource<TODOItem>(
        context.lookup(TODOItem::staticEntityName(), QStringLiteral("id_"), incoming.id_()),
        [&](const TODOItem* item) {
            if (projectIdOf(item) != projectID)
                return Source::Unrelated;
            // The creation time, which no edit changes, tells this device's item from another
            // device's that drew the same id_.
            const QDateTime created = item->creationDate();
            const bool sameCreation =
                created.isValid() && theirs.isValid() && std::abs(created.secsTo(theirs)) <= 1;
            if (item->isValidUniID())
                return mine && sameCreation && item->serverID() != incoming.serverID() ? Source::SentAsAnother
                                                                                       : Source::Unrelated;
            // Last edited elsewhere, the copy no longer names this device.
            return mine || sameCreation ? Source::Unsent : Source::Unrelated;
        },
        &unsent);
    if (found == OwnCopy::Duplicate) {
        if (const TODOItem* copy = incoming.mappedItem())
            removeDuplicate(incoming.serverID(), copy, *TODOItem::inverseMapping());
    }
    if (found != OwnCopy::Adopted)
        return found;
    QVRestManager::TrackingPause pause(m_manager);
    unsent->setServerID(incoming.serverID());
    unsent->setResourceURI(incoming.resourceURI());
    settleAdoptedPost(unsent);
    qCDebug(lcSync, "Item %lld is on the server as %lld", qint64(unsent->id_()), qint64(unsent->serverID()));
    update(unsent, incoming);
    if (adopted)
        *adopted = unsent;
    return OwnCopy::Adopted;
}

std::optional<bool> ItemUpdaterLoop::mergeIntoKnown(const RemoteItem& incoming, bool skipOwn)
{
    store::Context& context = m_manager.managedContext();
    if (incoming.isValidUniID()) {
        if (TODOItem* local = TODOItem::findWithID(incoming.serverID(), context))
            return update(local, incoming);
    }
    // This device's own upload whose reply was lost; the other device may have edited it since.
    if (const std::optional<bool> verdict = verdictFor(adoptOwnUpload(incoming, context)))
        return verdict;
    // Its own upload that the store has lost (a crash before the save) comes back like any
    // other, unless this device removed it.
    if (isOwnDevice(incoming.editedByDevice()) && (skipOwn || m_removedHere.contains(incoming.serverID())))
        return true;
    return std::nullopt;
}

bool ItemUpdaterLoop::updateOrCreateItemFrom(const RemoteItem& incoming)
{
    if (m_manager.uiIsEditing())
        return false;
    if (const std::optional<bool> verdict = mergeIntoKnown(incoming, false))
        return *verdict;
    store::Context& context = m_manager.managedContext();
    const std::optional<qint64> projectID = incoming.getProjectID();
    if (!projectID || *projectID <= 0) {
        if (isVisible(incoming.objectState()))
            createFrom(incoming, nullptr);
        return true;
    }
    if (TODOList* project = TODOList::findWithID(*projectID, context)) {
        if (project->lazyFetch() || isDeleted(incoming.objectState()))
            return true;
        createFrom(incoming, project);
        return true;
    }
    // Not applied, yet kept: the project's download, tried until it succeeds, brings the item.
    m_manager.downloadProjectWhenPossible(*projectID);
    return false;
}

bool ItemUpdaterLoop::updateOrCreateInboxItem(const RemoteItem& incoming, bool testDeviceUID)
{
    if (const std::optional<bool> verdict = mergeIntoKnown(incoming, testDeviceUID))
        return *verdict;
    if (isDeleted(incoming.objectState()))
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

// --- Modified-items poll

UpdaterLoop::Merged ItemUpdaterLoop::mergePolled(const QJsonObject& object)
{
    const std::optional<RemoteItem> incoming = m_manager.restStore().readItem(object);
    if (!incoming)
        return {};
    Merged merged;
    if (incoming->isValidUniID())
        merged.serverID = incoming->serverID();
    merged.applied = updateOrCreateItemFrom(*incoming);
    if (merged.applied && incoming->isValidUniID())
        merged.updatedID = incoming->serverID();
    return merged;
}

// --- Inbox

void ItemUpdaterLoop::pollMore(const std::function<void(bool)>& done)
{
    auto shared = std::make_shared<std::function<void(bool)>>(done);
    GETInboxItemsForLatestTimestamp([shared](const std::vector<TODOItem*>&) { (*shared)(true); },
                                    [shared](const std::optional<QString>&) { (*shared)(false); },
                                    pollsFromBeginning());
}

void ItemUpdaterLoop::GETInboxItemsWithTimer()
{
    GETInboxItemsForLatestTimestamp({}, {});
}

std::optional<qint64> ItemUpdaterLoop::firstInboxPollStart() const
{
    // The first poll asks for open items only; an inbox item that an earlier run may have posted
    // and that is done by now would never come back to be adopted, and would be posted twice.
    std::optional<qint64> earliest;
    for (store::ManagedObject* object : m_manager.managedContext().objects(TODOItem::staticEntityName())) {
        auto* item = static_cast<TODOItem*>(object);
        if (item->isValidUniID() || item->list() || item->objectState() == ObjectState::Open ||
            !item->creationDate().isValid())
            continue;
        const qint64 created = item->creationDate().toSecsSinceEpoch();
        earliest = earliest ? std::min(*earliest, created) : created;
    }
    // A day's margin for a device clock that is off.
    if (earliest)
        return std::max<qint64>(1, *earliest - 86'400);
    return std::nullopt;
}

qint64 ItemUpdaterLoop::lastInboxItemTimestamp() const
{
    if (m_lastInboxItemTimestamp > 0)
        return m_lastInboxItemTimestamp;
    // An earlier run's cursor: the first poll of a new run asks for open items only, and would
    // never see what was completed or changed elsewhere meanwhile.
    if (InstantSyncStatus* status = m_manager.getInstantSyncStatus();
        status && status->lastInboxPollingDate().isValid())
        return status->lastInboxPollingDate().toSecsSinceEpoch();
    return 0;
}

void ItemUpdaterLoop::GETInboxItemsForLatestTimestamp(InboxSuccess success, InboxFailure failure,
                                                      bool fromBeginning)
{
    const qint64 cursor = lastInboxItemTimestamp();
    // The first second after 1970: a start at 0 would ask for open items only.
    GETInboxItemsAfterTimestamp(
        fromBeginning ? std::optional<qint64>(1)
        : cursor > 0  ? std::optional<qint64>(cursor)
                      : firstInboxPollStart(),
        [this, cursor, success = std::move(success)](const std::vector<TODOItem*>& loaded) {
            qint64 newest = cursor;
            for (const TODOItem* item : loaded)
                newest = std::max(newest, item->timestamp());
            m_lastInboxItemTimestamp = newest > cursor ? newest : cursor + 1;
            if (InstantSyncStatus* status = m_manager.getInstantSyncStatus()) {
                QVRestManager::TrackingPause pause(m_manager);
                status->setLastInboxPollingDate(Utils::dateFromSecondsSince1970(m_lastInboxItemTimestamp));
            }
            if (success)
                success(loaded);
        },
        std::move(failure));
}

struct ItemUpdaterLoop::InboxPoll {
    QString firstPath;
    InboxSuccess success;
    InboxFailure failure;
    int number = 0;
    std::vector<TODOItem*> loaded; // of the REST object store, which keeps them meanwhile
    std::shared_ptr<const void> cacheHold;
    QSet<qint64> applied;
    QSet<qint64> seen;
    qint64 lastOffset = -1;
};

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
    auto poll = std::make_shared<InboxPoll>();
    poll->number = ++m_startedInboxPolls;
    poll->success = std::move(success);
    poll->failure = std::move(failure);
    poll->cacheHold = m_manager.restStore().hold();
    if (!secondsSince1970 || *secondsSince1970 <= 0)
        poll->firstPath = QStringLiteral("/me/inbox/?format=json&state=0&limit=1000");
    else
        poll->firstPath =
            QStringLiteral("/me/inbox/?format=json&timestamp__gte=%1&limit=1000")
                .arg(QVRestManager::queryDate(Utils::dateFromSecondsSince1970(*secondsSince1970)));
    poll->firstPath += m_manager.platformVersionPair();
    requestInboxPage(poll, poll->firstPath);
}

void ItemUpdaterLoop::requestInboxPage(const std::shared_ptr<InboxPoll>& poll, const QString& path)
{
    rest::Request request;
    request.path = path;
    request.onSuccess = [this, poll](const rest::Response& response) {
        inboxPageLoaded(poll, response.json.object());
    };
    request.onFailure = [this, poll](const rest::Error& error) {
        qCWarning(lcSync, "Error when retrieving inbox: %s", qUtf8Printable(error.message));
        inboxPollFailed(*poll, error.message, true);
    };
    m_queue->addRequest(std::move(request));
}

void ItemUpdaterLoop::inboxPollFailed(const InboxPoll& poll, const std::optional<QString>& error,
                                      bool announce)
{
    m_isRetrievingInboxItems = false;
    if (poll.failure)
        poll.failure(error);
    if (announce)
        m_manager.post(kNotificationInboxUpdaterLoopedFailed, this);
}

void ItemUpdaterLoop::inboxPageLoaded(const std::shared_ptr<InboxPoll>& poll, const QJsonObject& reply)
{
    if (!m_manager.canInstantSync()) {
        // Sync went on hold meanwhile: nothing is merged now.
        inboxPollFailed(*poll, std::nullopt, false);
        return;
    }
    const QJsonArray objects = listedObjects(reply);
    if (!m_manager.restStore().isWellFormed(objects, TODOItem::staticEntityName())) {
        qCWarning(lcSync, "Inbox refused: malformed reply");
        inboxPollFailed(*poll, QStringLiteral("malformed reply"), true);
        return;
    }
    {
        // Received items are the server's, not local edits to send back.
        QVRestManager::TrackingPause pause(m_manager);
        for (const QJsonValue& value : objects) {
            const std::optional<RemoteItem> incoming =
                value.isObject() ? m_manager.restStore().readItem(value.toObject()) : std::nullopt;
            if (!incoming || !incoming->mappedItem())
                continue;
            poll->loaded.push_back(incoming->mappedItem());
            if (incoming->isValidUniID())
                poll->seen.insert(incoming->serverID());
            if (updateOrCreateInboxItem(*incoming, false) && incoming->isValidUniID())
                poll->applied.insert(incoming->serverID());
        }
    }
    // The inbox may hold more than one reply gives: the next page, as the changed-items poll does.
    const qint64 offset =
        reply.value(QStringLiteral("meta")).toObject().value(QStringLiteral("offset")).toInteger();
    if (const std::optional<QString> next = nextPagePath(poll->firstPath, reply);
        next && offset > poll->lastOffset) {
        poll->lastOffset = offset;
        requestInboxPage(poll, *next);
        return;
    }
    const MetaPaginator meta =
        MetaPaginator::fromJson(reply.value(QStringLiteral("meta")).toObject()).value_or(MetaPaginator());
    if (poll->lastOffset >= 0 && meta.totalCount && poll->seen.size() < *meta.totalCount) {
        // Items changed between the pages and one slipped past a page boundary unseen: the
        // cursor stays, and the next poll asks again from it.
        qCInfo(lcSync, "Inbox changed while paging; polling again from the same date");
        inboxPollFailed(*poll, std::nullopt, true);
        return;
    }
    m_isRetrievingInboxItems = false;
    m_completedInboxPolls = poll->number;
    if (poll->success)
        poll->success(poll->loaded);
    pollFinished();
    m_manager.post(kNotificationInboxUpdaterLooped, this,
                   {{QStringLiteral("updatedItemIDs"), sortedIdList(poll->applied)}});
}

} // namespace qv
