#include "sync/ProjectUpdaterLoop.h"

#include "app/MyDocument.h"
#include "app/StatusEntities.h"
#include "app/TODOItem.h"
#include "app/TODOList.h"
#include "app/Utils.h"
#include "platform/Log.h"
#include "platform/rest/RequestQueue.h"
#include "platform/rest/RestClient.h"
#include "platform/rest/Router.h"
#include "platform/store/Context.h"
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

} // namespace

ProjectUpdaterLoop::ProjectUpdaterLoop(QVRestManager& manager)
    : m_manager(manager), m_queue(std::make_unique<rest::RequestQueue>(&manager.client())),
      m_alive(std::make_shared<bool>(true))
{
    m_queue->setConcurrentRequestsLimit(1);
    if (m_manager.projectPollingInterval() > 0)
        m_currentInterval = m_manager.projectPollingInterval();
    rescanEditedProjects();
}

ProjectUpdaterLoop::~ProjectUpdaterLoop()
{
    *m_alive = false;
    cancelTimers();
    m_queue.reset();
}

void ProjectUpdaterLoop::startLoop()
{
    m_isEnding = false;
    const qint64 interval = m_manager.projectPollingInterval();
    if (m_timerGET && (interval == 0 || interval == m_currentInterval))
        return;
    if (interval != 0)
        m_currentInterval = interval;
    cancelTimers();
    Scheduler& scheduler = m_manager.scheduler();
    m_timerPOST = scheduler.every(m_currentInterval * 1000, [this] { sendModifiedProjects(); });
    m_timerGET = scheduler.every(m_currentInterval * 1000, [this] { GETModifiedProjects(); });
    sendModifiedProjects();
    GETModifiedProjects();
    m_queue->start();
}

void ProjectUpdaterLoop::cancelTimers()
{
    Scheduler& scheduler = m_manager.scheduler();
    scheduler.cancel(m_timerPOST);
    scheduler.cancel(m_timerGET);
    m_timerPOST = m_timerGET = 0;
}

void ProjectUpdaterLoop::stopLoop()
{
    m_isEnding = true;
    cancelTimers();
    m_queue->setSuspended(true);
}

void ProjectUpdaterLoop::fireSend()
{
    if (m_timerPOST)
        sendModifiedProjects();
}

int ProjectUpdaterLoop::queuedRequestCount() const
{
    return m_queue->isSuspended() ? 0 : m_queue->count() - m_queue->loadingCount();
}

bool ProjectUpdaterLoop::isInFlight(const TODOList* project) const
{
    return m_objectsBeingSent.contains(project);
}

void ProjectUpdaterLoop::noteChanged(store::ManagedObject* object, const QSet<QString>& keys)
{
    auto* project = static_cast<TODOList*>(object);
    if (keys.contains(kEditedSince))
        m_edited.insert(project);
    if (m_objectsBeingSent.isUpload(project)) {
        QSet<QString> tracked = keys;
        tracked.subtract(TODOList::nonTrackedProperties());
        if (!tracked.isEmpty())
            m_objectsBeingSent.markEdited(project);
    }
}

void ProjectUpdaterLoop::rescanEditedProjects()
{
    for (store::ManagedObject* object : m_manager.managedContext().objects(TODOList::staticEntityName())) {
        if (object->intValue(kEditedSince) == 1)
            m_edited.insert(static_cast<TODOList*>(object));
    }
}

// --- Send pass

void ProjectUpdaterLoop::sendModifiedProjects()
{
    if (!m_manager.canInstantSync() || m_isSendingModifiedProjects)
        return;
    m_isSendingModifiedProjects = true;
    store::Context& context = m_manager.managedContext();
    context.processPendingChanges();
    context.processPendingChanges();
    std::vector<TODOList*> waiting;
    for (auto it = m_edited.begin(); it != m_edited.end();) {
        TODOList* project = *it;
        if (project->isDeleted() || project->edited_since() != 1) {
            it = m_edited.erase(it);
            continue;
        }
        ++it;
        if (project->state() != 3 && !isInFlight(project))
            waiting.push_back(project);
    }
    std::sort(waiting.begin(), waiting.end(),
              [](const TODOList* a, const TODOList* b) { return a->objectID() < b->objectID(); });
    m_manager.setProjectsAreEdited(!waiting.empty());
    for (TODOList* project : waiting)
        sendToServer(project);
    m_isSendingModifiedProjects = false;
}

bool ProjectUpdaterLoop::sendToServer(TODOList* project, ProjectSuccess success, ProjectFailure failure)
{
    if (!project || !m_manager.canInstantSync() || project->edited_since() != 1 || isInFlight(project) ||
        !m_manager.getServerSecondsSince1970())
        return false;
    m_manager.managedContext().processPendingChanges();
    {
        QVRestManager::TrackingPause pause(m_manager);
        project->setEditedByDevice(m_manager.deviceUID());
        m_objectsBeingSent.insert(project, InFlightSet::Kind::Upload);
    }
    m_manager.addSyncingObjects(1);

    const bool post = project->id_() == 0;
    rest::Request request;
    request.method = post ? rest::Method::Post : rest::Method::Put;
    const auto path = m_manager.router().resourcePathForObject(
        TODOList::staticEntityName(), request.method,
        [project](const QString& key) { return project->value(key); });
    request.path = path.value_or(QString());
    request.setJsonBody(QJsonDocument(uploadBody(project, *TODOList::inverseMapping())));
    request.onSuccess = [this, project, post, success](const rest::Response& response) {
        succeeded(project, post, response, success);
    };
    request.onFailure = [this, project, post, failure](const rest::Error& error) {
        failed(project, post, error, failure);
    };
    m_queue->addRequest(std::move(request));
    return true;
}

void ProjectUpdaterLoop::succeeded(TODOList* project, bool post, const rest::Response& response,
                                   const ProjectSuccess& success)
{
    TODOList* returned =
        response.json.isObject() ? m_manager.restStore().mapProject(response.json.object()) : nullptr;
    if (post && (!returned || !returned->isValidUniID())) {
        rest::Error error;
        error.kind = rest::Error::Kind::Parse;
        error.message = QStringLiteral("the reply names no project");
        error.response = response;
        failed(project, post, error, {});
        return;
    }
    const bool editedMeanwhile = m_objectsBeingSent.remove(project);
    m_manager.addSyncingObjects(-1);
    bool changed = false;
    {
        QVRestManager::TrackingPause pause(m_manager);
        if (post)
            project->setId_(returned->id_());
        if (!editedMeanwhile)
            project->setEdited_since(0);
        if (returned)
            changed = update(project, returned);
    }
    if (editedMeanwhile) {
        std::weak_ptr<bool> alive = m_alive;
        m_manager.scheduler().post([this, alive] {
            if (alive.lock())
                sendModifiedProjects();
        });
    }
    if (success)
        success(returned);
    if (changed)
        announce({project->id_()});
}

void ProjectUpdaterLoop::failed(TODOList* project, bool post, const rest::Error& error,
                                const ProjectFailure& failure)
{
    if (!post)
        Log::line(QStringLiteral("Put failed"));
    else
        Log::line(QStringLiteral("Post failed"));
    m_objectsBeingSent.remove(project);
    if (project->edited_since() != 1) {
        QVRestManager::TrackingPause pause(m_manager);
        project->setEdited_since(1);
    }
    m_edited.insert(project);
    m_manager.addSyncingObjects(-1);
    if (failure)
        failure(error);
}

// --- Merging

bool ProjectUpdaterLoop::update(TODOList* local, TODOList* incoming)
{
    if (!local || !incoming)
        return false;
    if (isInFlight(local))
        return false;
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
    incoming->copyTo(local, true, true);
    if (const std::optional<qint64> now = m_manager.getServerSecondsSince1970())
        local->setRequestedTime(*now);
    local->setEdited_since(0);
    if (incoming->state() == 3) {
        for (TODOItem* item : local->items()) {
            item->setState(3);
            item->setEdited_since(0);
        }
    }
    return true;
}

bool ProjectUpdaterLoop::updateOrCreateProjectFrom(TODOList* incoming)
{
    if (m_manager.uiIsEditing())
        return false;
    store::Context& context = m_manager.managedContext();
    if (incoming->isValidUniID()) {
        if (TODOList* local = TODOList::findWithID(incoming->id_(), context))
            return update(local, incoming);
    }
    if (incoming->state() == 2 || incoming->state() == 3)
        return true;
    if (incoming->editedByDevice() == m_manager.deviceUID())
        return true;
    if (!incoming->isValidUniID())
        return true;
    std::weak_ptr<bool> alive = m_alive;
    m_manager.getProjectAndItemsForProjectWithID(incoming->id_(), context,
                                                 [this, alive](TODOList* project) {
                                                     if (alive.lock())
                                                         announce({project->id_()});
                                                 },
                                                 {});
    return true;
}

void ProjectUpdaterLoop::announce(const QSet<qint64>& ids)
{
    QList<qint64> sorted(ids.begin(), ids.end());
    std::sort(sorted.begin(), sorted.end());
    QVariantList list;
    for (qint64 id : sorted)
        list.append(id);
    m_manager.post(kNotificationProjectUpdaterLooped, this, {{QStringLiteral("updatedProjects"), list}});
}

// --- Poll

QString ProjectUpdaterLoop::getURL() const
{
    return QStringLiteral("/project/?format=json&uid=") + m_manager.deviceUID() +
           m_manager.platformVersionPair();
}

void ProjectUpdaterLoop::GETModifiedProjects()
{
    if (!m_manager.canInstantSync() || !m_manager.getServerSecondsSince1970() || m_loading)
        return;
    InstantSyncStatus* status = m_manager.getInstantSyncStatus();
    if (!status || !status->lastProjectPollingDate().isValid())
        return;
    QString path = getURL() + QStringLiteral("&timestamp__gte=") +
                   QVRestManager::queryDate(status->lastProjectPollingDate());
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

void ProjectUpdaterLoop::objectLoaderDidFailWithError(const rest::Error& error)
{
    Log::line(QStringLiteral("ProjectUpdaterLoop objectLoader:didFailWithError: %1").arg(error.message));
    m_loading = false;
}

void ProjectUpdaterLoop::objectLoaderDidLoadObjects(const QJsonObject& reply)
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
            TODOList* incoming =
                value.isObject() ? m_manager.restStore().mapProject(value.toObject()) : nullptr;
            if (incoming && incoming->isValidUniID())
                m_seenOverPages.insert(incoming->id_());
            if (incoming && updateOrCreateProjectFrom(incoming)) {
                ++applied;
                m_updatedOverPages.insert(incoming->id_());
            }
        }
        const qint64 total = m_paginator.totalCount.value_or(0);
        if (total > 0) {
            if (m_paginator.hasNext() || !m_paginator.secondsLastModification) {
                nextPage = true;
            } else if (m_seenOverPages.size() < total) {
                Log::line(QStringLiteral("Projects changed while paging; polling again from the same date"));
            } else {
                QDateTime cursor = Utils::dateFromSecondsSince1970(*m_paginator.secondsLastModification);
                if (applied == objects.size()) {
                    if (status->lastProjectPollingDateWithResults() == cursor) {
                        cursor = cursor.addSecs(1);
                        status->setLastProjectPollingDateWithResults(QDateTime());
                    } else {
                        status->setLastProjectPollingDateWithResults(cursor);
                    }
                }
                status->setLastProjectPollingDate(cursor);
            }
        } else {
            status->setLastProjectPollingDateWithResults(QDateTime());
        }
        if (!nextPage && m_paginator.secondsSince1970)
            status->setLastServerPollingDate(Utils::dateFromSecondsSince1970(*m_paginator.secondsSince1970));
    }
    if (nextPage) {
        std::weak_ptr<bool> alive = m_alive;
        m_manager.scheduler().post([this, alive] {
            if (alive.lock())
                GETModifiedProjects();
        });
        return;
    }
    m_seenOverPages.clear();
    const QSet<qint64> updated = std::exchange(m_updatedOverPages, {});
    if (!updated.isEmpty() && !m_isEnding)
        announce(updated);
    m_manager.updateStatusMessage();
}

} // namespace qv
