#include "sync/UpdaterLoop.h"

#include "core/document/MyDocument.h"
#include "core/model/ObjectState.h"
#include "core/model/StatusEntities.h"
#include "core/util/Utils.h"
#include "platform/rest/RequestQueue.h"
#include "platform/rest/RestClient.h"
#include "platform/rest/Router.h"
#include "platform/store/Context.h"
#include "sync/QVRestManager.h"
#include "sync/RestObjectStore.h"
#include "sync/SyncLogging.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <utility>

namespace qv {

namespace {

const QString kEditedSince = QStringLiteral("edited_since");
const QString kUnansweredPost = QStringLiteral("unansweredPost");

} // namespace

bool UpdaterLoop::outcomeUnknown(const rest::Error& error)
{
    if (error.kind == rest::Error::Kind::Http)
        return error.statusCode() == 502 || error.statusCode() == 503 || error.statusCode() == 504;
    return error.kind == rest::Error::Kind::Network || error.kind == rest::Error::Kind::Timeout ||
           error.kind == rest::Error::Kind::Parse;
}

UpdaterLoop::UpdaterLoop(QVRestManager& manager, const Traits& traits)
    : m_manager(manager), m_queue(std::make_unique<rest::RequestQueue>(&manager.client())), m_traits(traits),
      m_lifetime(std::make_unique<QObject>())
{
    m_queue->setConcurrentRequestsLimit(1);
    const auto requestEnded = [this] {
        if (m_requestedSend)
            postIfAlive([this] { checkRequestedSend(); });
    };
    QObject::connect(m_queue.get(), &rest::RequestQueue::didLoadResponse, m_lifetime.get(), requestEnded);
    QObject::connect(m_queue.get(), &rest::RequestQueue::didFailRequest, m_lifetime.get(), requestEnded);
    QObject::connect(m_queue.get(), &rest::RequestQueue::didCancelRequest, m_lifetime.get(), requestEnded);
    const qint64 interval = (m_manager.*m_traits.pollingInterval)();
    if (interval > 0)
        m_currentInterval = interval;
}

UpdaterLoop::~UpdaterLoop()
{
    // Aborting what is out calls no callback, so nothing reaches the loop being taken down.
    m_lifetime.reset();
    cancelTimers();
    m_queue.reset();
}

// --- Start and stop

void UpdaterLoop::startLoop()
{
    m_isEnding = false;
    const qint64 interval = (m_manager.*m_traits.pollingInterval)();
    if (m_timerGET && (interval == 0 || interval == m_currentInterval))
        return;
    if (interval != 0)
        m_currentInterval = interval;
    scheduleTimers();
    sendModified();
    poll();
    for (const RepeatingTask& task : m_moreTasks)
        task.run();
    m_queue->start();
}

void UpdaterLoop::addRepeatingTask(qint64 periodMs, std::function<void()> task)
{
    m_moreTasks.push_back(RepeatingTask{periodMs, std::move(task)});
}

void UpdaterLoop::scheduleTimers()
{
    cancelTimers();
    Scheduler& scheduler = m_manager.scheduler();
    m_timerSEND = scheduler.every(m_currentInterval * 1000, [this] { sendModified(); });
    m_timerGET = scheduler.every(m_currentInterval * 1000, [this] { poll(); });
    for (RepeatingTask& task : m_moreTasks)
        task.timer = scheduler.every(task.periodMs, task.run);
}

void UpdaterLoop::cancelTimers()
{
    Scheduler& scheduler = m_manager.scheduler();
    scheduler.cancel(m_timerSEND);
    scheduler.cancel(m_timerGET);
    m_timerSEND = m_timerGET = 0;
    for (RepeatingTask& task : m_moreTasks) {
        scheduler.cancel(task.timer);
        task.timer = 0;
    }
}

void UpdaterLoop::stopLoop()
{
    m_isEnding = true;
    cancelTimers();
    // Queued requests wait for the next start; their objects keep their change flags meanwhile.
    m_queue->setSuspended(true);
}

void UpdaterLoop::fireSend()
{
    if (m_timerSEND)
        sendModified();
}

// --- Passes on request

void UpdaterLoop::runPoll(std::function<void(bool)> done, PollFrom from)
{
    if (m_requestedPoll || m_loading) {
        done(false);
        return;
    }
    m_requestedPoll = std::move(done);
    m_pollFrom = from;
    // A stopped loop holds its queue; the pass needs it, and the stop's hold returns at its end.
    m_queue->start();
    const int started = m_startedPolls;
    // From the cursor's first page, whatever an earlier poll left unfinished.
    m_paginator = MetaPaginator();
    m_seenOverPages.clear();
    poll();
    if (m_startedPolls == started)
        requestedPollEnded(false);
}

void UpdaterLoop::requestedPollEnded(bool completed)
{
    if (!m_requestedPoll)
        return;
    if (!completed) {
        m_pollFrom = PollFrom::Cursor;
        endRequestedPass(m_requestedPoll, false);
        return;
    }
    pollMore([this](bool more) {
        m_pollFrom = PollFrom::Cursor;
        endRequestedPass(m_requestedPoll, more);
    });
}

void UpdaterLoop::runSend(std::function<void(bool)> done)
{
    if (m_requestedSend || !canSync()) {
        done(false);
        return;
    }
    m_requestedSend = std::move(done);
    m_queue->start();
    sendModified();
    postIfAlive([this] { checkRequestedSend(); });
}

void UpdaterLoop::checkRequestedSend()
{
    if (!m_requestedSend || m_queue->count() > 0 || !m_objectsBeingSent.isEmpty())
        return;
    endRequestedPass(m_requestedSend, waitingUploads().empty());
}

void UpdaterLoop::endRequestedPass(std::function<void(bool)>& done, bool completed)
{
    auto report = std::exchange(done, {});
    if (m_isEnding && !m_requestedPoll && !m_requestedSend)
        m_queue->setSuspended(true);
    if (report)
        report(completed);
}

int UpdaterLoop::queuedRequestCount() const
{
    return m_queue->isSuspended() ? 0 : m_queue->count() - m_queue->loadingCount();
}

void UpdaterLoop::postIfAlive(std::function<void()> task)
{
    m_manager.scheduler().post(m_lifetime.get(), std::move(task));
}

bool UpdaterLoop::canSync() const
{
    return m_manager.canInstantSync();
}

// --- Which objects wait for upload

void UpdaterLoop::noteChanged(store::ManagedObject* object, const QSet<QString>& keys)
{
    if (keys.contains(kEditedSince))
        m_edited.insert(object);
    const QSet<QString>& nonTracked = m_traits.nonTrackedProperties();
    if (std::all_of(keys.begin(), keys.end(), [&](const QString& key) { return nonTracked.contains(key); }))
        return;
    m_objectsBeingSent.markEdited(object);
    m_editedThisRun.insert(object);
    if (const auto held = m_postHeldUntil.find(object); held != m_postHeldUntil.end())
        held->editedSincePost = true;
    if (postRecord(object) == kPosted) {
        // Written after the event: the store is not to be changed from inside one.
        m_editedAfterPost.insert(object);
        postIfAlive([this] {
            QVRestManager::TrackingPause pause(m_manager);
            for (store::ManagedObject* edited : std::exchange(m_editedAfterPost, {}))
                if (!edited->isDeleted() && postRecord(edited) == kPosted)
                    edited->setValue(kUnansweredPost, qint64(kPostedThenEdited));
        });
    }
}

qint64 UpdaterLoop::postRecord(const store::ManagedObject* object)
{
    return object->intValue(kUnansweredPost);
}

void UpdaterLoop::recordPost(store::ManagedObject* object)
{
    if (postRecord(object) != kNoPost)
        return;
    QVRestManager::TrackingPause pause(m_manager);
    object->setValue(kUnansweredPost, qint64(kPosted));
}

void UpdaterLoop::clearPostRecord(store::ManagedObject* object)
{
    if (postRecord(object) == kNoPost)
        return;
    QVRestManager::TrackingPause pause(m_manager);
    object->setValue(kUnansweredPost, qint64(kNoPost));
}

bool UpdaterLoop::mayPost(const store::ManagedObject* object) const
{
    // Without a signed-in user there is no poll that could bring a lost upload back.
    if (!m_manager.getInstantSyncStatus())
        return true;
    if (!m_manager.firstPollsCompleted())
        return false;
    const auto it = m_postHeldUntil.constFind(object);
    return it == m_postHeldUntil.constEnd() || m_manager.pollsCompletedSince(it->mark);
}

void UpdaterLoop::holdPost(const store::ManagedObject* object, bool editedMeanwhile)
{
    // A poll already under way may have been answered before the post reached the server.
    m_postHeldUntil.insert(object, HeldPost{m_manager.pollMark(), editedMeanwhile});
}

void UpdaterLoop::pollFinished()
{
    if (m_postsWaitingForPoll && m_manager.firstPollsCompleted()) {
        m_postsWaitingForPoll = false;
        postIfAlive([this] { sendModified(); });
    }
}

bool UpdaterLoop::isOwnDevice(const QString& deviceUID) const
{
    return !deviceUID.isEmpty() &&
           (deviceUID == m_manager.deviceUID() || deviceUID == m_manager.earlierDeviceUID());
}

void UpdaterLoop::settleAdoptedPost(store::ManagedObject* object)
{
    bool accepted = false;
    if (const auto held = m_postHeldUntil.constFind(object); held != m_postHeldUntil.constEnd()) {
        accepted = !held->editedSincePost;
    } else {
        // Sent by an earlier run. A store saved before that post holds no more than it carried;
        // one saved after it holds the record, marked when the user changed the object since.
        accepted = postRecord(object) != kPostedThenEdited && !m_editedThisRun.contains(object);
    }
    m_postHeldUntil.remove(object);
    clearPostRecord(object);
    if (accepted)
        object->setValue(kEditedSince, qint64(0));
}

std::optional<bool> UpdaterLoop::verdictFor(OwnCopy copy)
{
    switch (copy) {
    case OwnCopy::Adopted:
    case OwnCopy::Duplicate:
        return true;
    case OwnCopy::InFlight:
        return false;
    case OwnCopy::None:
        break;
    }
    return std::nullopt;
}

void UpdaterLoop::rescanEdited()
{
    for (store::ManagedObject* object : m_manager.managedContext().objects(m_traits.entityName)) {
        if (object->intValue(kEditedSince) == 1)
            m_edited.insert(object);
    }
}

std::vector<store::ManagedObject*> UpdaterLoop::waitingUploads()
{
    // The user's last changes are marked before anything is picked.
    store::Context& context = m_manager.managedContext();
    context.processPendingChanges();
    context.processPendingChanges();
    if (!std::exchange(m_scannedEdited, true))
        rescanEdited();
    std::vector<store::ManagedObject*> waiting;
    for (auto it = m_edited.begin(); it != m_edited.end();) {
        store::ManagedObject* object = *it;
        if (object->isDeleted() || object->intValue(kEditedSince) != 1) {
            it = m_edited.erase(it);
            continue;
        }
        ++it;
        if ((objectStateOf(*object) != ObjectState::Removed || sendsRemoval(*object)) && !isInFlight(object))
            waiting.push_back(object);
    }
    std::sort(waiting.begin(), waiting.end(),
              [](const store::ManagedObject* a, const store::ManagedObject* b) {
                  return a->objectID() < b->objectID();
              });
    return waiting;
}

void UpdaterLoop::keepForUpload(store::ManagedObject* object)
{
    if (object->intValue(kEditedSince) != 1) {
        QVRestManager::TrackingPause pause(m_manager);
        object->setValue(kEditedSince, qint64(1));
    }
    m_edited.insert(object);
}

void UpdaterLoop::processEngineWrites(store::ManagedObject* local)
{
    // Inside the engine's own writes, what the current change event holds was written by the
    // engine, not by the user: announce it first so that the change test sees only user edits.
    if (!m_manager.document().isReceivingEditingNotifications() &&
        !local->changedKeysInCurrentEvent().isEmpty())
        local->context()->processPendingChanges();
}

QVariantList UpdaterLoop::sortedIdList(const QSet<qint64>& ids)
{
    QList<qint64> sorted(ids.begin(), ids.end());
    std::sort(sorted.begin(), sorted.end());
    QVariantList list;
    for (qint64 id : sorted)
        list.append(id);
    return list;
}

void UpdaterLoop::announce(const QSet<qint64>& ids)
{
    m_manager.post(m_traits.updatedNotification, this, {{m_traits.updatedKey, sortedIdList(ids)}});
}

// --- Second copies on the server

void UpdaterLoop::removeDuplicate(qint64 id, const store::ManagedObject* copy,
                                  const rest::ObjectMapping& inverse)
{
    if (objectStateOf(*copy) == ObjectState::Removed || m_duplicatesToRemove.contains(id))
        return;
    qCInfo(lcSync, "%s %lld: a second copy on the server; it is removed",
           qUtf8Printable(m_traits.objectsWord), id);
    QJsonObject body = uploadBody(copy, inverse);
    body.insert(QStringLiteral("state"), 3);
    body.insert(QStringLiteral("editedByDevice"), m_manager.deviceUID());
    m_duplicatesToRemove.insert(id, body);
    postIfAlive([this] { sendModified(); });
}

void UpdaterLoop::sendDuplicateRemovals()
{
    for (auto it = m_duplicatesToRemove.cbegin(); it != m_duplicatesToRemove.cend(); ++it) {
        const qint64 id = it.key();
        if (m_removingDuplicates.contains(id))
            continue;
        m_removingDuplicates.insert(id);
        rest::Request request;
        request.method = rest::Method::Put;
        request.path = m_manager.router()
                           .resourcePathForObject(m_traits.entityName, rest::Method::Put,
                                                  [id](const QString&) { return QVariant(id); })
                           .value_or(QString());
        request.setJsonBody(QJsonDocument(it.value()));
        request.onSuccess = [this, id](const rest::Response&) {
            m_removingDuplicates.remove(id);
            m_duplicatesToRemove.remove(id);
        };
        request.onFailure = [this, id](const rest::Error&) {
            m_removingDuplicates.remove(id);
        };
        m_queue->addRequest(std::move(request));
    }
}

// --- Poll of what changed on the server

QString UpdaterLoop::getURL() const
{
    return QStringLiteral("/%1/?format=json&uid=").arg(m_traits.resource) + m_manager.deviceUID() +
           m_manager.platformVersionPair();
}

void UpdaterLoop::poll()
{
    if (!m_manager.canInstantSync() || !m_manager.getServerSecondsSince1970() || m_loading)
        return;
    InstantSyncStatus* status = m_manager.getInstantSyncStatus();
    if (!status || !(status->*m_traits.pollingDate)().isValid())
        return;
    const QDateTime since =
        pollsFromBeginning() ? Utils::dateFromSecondsSince1970(0) : (status->*m_traits.pollingDate)();
    QString path = getURL() + QStringLiteral("&timestamp__gte=") + QVRestManager::queryDate(since);
    if (m_paginator.hasNext()) {
        const qint64 limit = m_paginator.limit.value_or(0);
        path += QStringLiteral("&offset=%1&limit=%2").arg(m_paginator.offset.value_or(0) + limit).arg(limit);
    }
    m_loading = true;
    if (!m_paginator.hasNext())
        m_pollUnderWay = ++m_startedPolls;
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

void UpdaterLoop::objectLoaderDidFailWithError(const rest::Error& error)
{
    qCWarning(lcSync, "%s objectLoader:didFailWithError: %s", qUtf8Printable(m_traits.name),
              qUtf8Printable(error.message));
    m_loading = false;
    requestedPollEnded(false);
}

void UpdaterLoop::objectLoaderDidLoadObjects(const QJsonObject& reply)
{
    m_loading = false;
    InstantSyncStatus* status = m_manager.canInstantSync() ? m_manager.getInstantSyncStatus() : nullptr;
    if (!status) {
        requestedPollEnded(false);
        return;
    }
    const QJsonArray objects = listedObjects(reply);
    const QJsonValue meta = reply.value(QStringLiteral("meta"));
    const std::optional<MetaPaginator> paginator =
        meta.isObject() ? MetaPaginator::fromJson(meta.toObject()) : MetaPaginator();
    if (!paginator || !m_manager.restStore().isWellFormed(objects, m_traits.entityName)) {
        // As a failed request: nothing is applied and the cursor stays.
        qCWarning(lcSync, "%s poll refused: malformed reply", qUtf8Printable(m_traits.name));
        requestedPollEnded(false);
        return;
    }
    m_paginator.copyFromPaginator(*paginator);

    int applied = 0;
    bool nextPage = false;
    bool sawEverything = true;
    {
        QVRestManager::TrackingPause pause(m_manager);
        for (const QJsonValue& value : objects) {
            if (!value.isObject())
                continue;
            const Merged merged = mergePolled(value.toObject());
            if (merged.serverID)
                m_seenOverPages.insert(*merged.serverID);
            if (merged.applied) {
                ++applied;
                if (merged.updatedID)
                    m_updatedOverPages.insert(*merged.updatedID);
            }
        }

        const qint64 total = m_paginator.totalCount.value_or(0);
        if (pollsFromBeginning()) {
            // Everything up to now is merged; the cursor's polls go on from where they were.
            nextPage = total > 0 && (m_paginator.hasNext() || !m_paginator.secondsLastModification);
            sawEverything = nextPage || m_seenOverPages.size() >= total;
        } else if (total > 0) {
            if (m_paginator.hasNext() || !m_paginator.secondsLastModification) {
                nextPage = true;
            } else if (m_seenOverPages.size() < total) {
                sawEverything = false;
                // Something changed between the pages and shifted an object past a page
                // boundary unseen: the next poll starts from the same cursor again.
                qCInfo(lcSync, "%s changed while paging; polling again from the same date",
                       qUtf8Printable(m_traits.objectsWord));
            } else {
                QDateTime cursor = Utils::dateFromSecondsSince1970(*m_paginator.secondsLastModification);
                if (applied == objects.size()) {
                    if ((status->*m_traits.pollingDateWithResults)() == cursor) {
                        cursor = cursor.addSecs(1);
                        (status->*m_traits.setPollingDateWithResults)(QDateTime());
                    } else {
                        (status->*m_traits.setPollingDateWithResults)(
                            m_traits.remembersPreviousCursor ? (status->*m_traits.pollingDate)() : cursor);
                    }
                }
                (status->*m_traits.setPollingDate)(cursor);
            }
        } else {
            (status->*m_traits.setPollingDateWithResults)(QDateTime());
        }
        if (!nextPage && m_paginator.secondsSince1970)
            status->setLastServerPollingDate(Utils::dateFromSecondsSince1970(*m_paginator.secondsSince1970));
    }

    if (nextPage) {
        postIfAlive([this] { poll(); });
        return;
    }
    // A poll that missed objects says nothing about whether they are on the server.
    if (sawEverything)
        m_completedPolls = m_pollUnderWay;
    m_seenOverPages.clear();
    // Every page's changes, not only the last one's.
    const QSet<qint64> updated = std::exchange(m_updatedOverPages, {});
    if (!updated.isEmpty() && !m_isEnding)
        announce(updated);
    m_manager.updateStatusMessage();
    pollFinished();
    requestedPollEnded(sawEverything);
}

} // namespace qv
