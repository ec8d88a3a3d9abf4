#include "sync/ProjectUpdaterLoop.h"

#include "core/model/StatusEntities.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "platform/Clock.h"
#include "platform/rest/RequestQueue.h"
#include "platform/rest/RestClient.h"
#include "platform/rest/Router.h"
#include "platform/store/Context.h"
#include "sync/QVRestManager.h"
#include "sync/RestObjectStore.h"
#include "sync/SyncLogging.h"
#include "sync/SyncNotifications.h"

#include <QJsonDocument>

#include <algorithm>
#include <utility>
#include <vector>

namespace qv {

namespace {

const UpdaterLoop::Traits& projectTraits()
{
    static const UpdaterLoop::Traits traits{
        QStringLiteral("ProjectUpdaterLoop"),
        QStringLiteral("Projects"),
        QStringLiteral("project"),
        TODOList::staticEntityName(),
        &TODOList::nonTrackedProperties,
        &QVRestManager::projectPollingInterval,
        kNotificationProjectUpdaterLooped,
        QStringLiteral("updatedProjects"),
        &InstantSyncStatus::lastProjectPollingDate,
        &InstantSyncStatus::setLastProjectPollingDate,
        &InstantSyncStatus::lastProjectPollingDateWithResults,
        &InstantSyncStatus::setLastProjectPollingDateWithResults,
        false,
    };
    return traits;
}

} // namespace

ProjectUpdaterLoop::ProjectUpdaterLoop(QVRestManager& manager) : UpdaterLoop(manager, projectTraits())
{
    addRepeatingTask(currentInterval() * 1000, [this] { m_manager.retryProjectDownloads(); });
}

// --- Send pass

void ProjectUpdaterLoop::sendModifiedProjects()
{
    if (!m_manager.canInstantSync() || m_isSendingModifiedProjects)
        return;
    m_isSendingModifiedProjects = true;
    sendDuplicateRemovals();
    const std::vector<TODOList*> waiting = waitingUploadsOf<TODOList>();
    m_manager.setProjectsAreEdited(!waiting.empty());
    for (TODOList* project : waiting) {
        if (project->id_() == 0 && !mayPost(project)) {
            notePostsWaiting();
            continue;
        }
        sendToServer(project);
    }
    m_isSendingModifiedProjects = false;
}

double ProjectUpdaterLoop::nextCreationStamp()
{
    // Unique among this device's projects, so that the stamp alone tells a project's copies
    // from those of another made in the same instant, whatever either is called by now.
    if (!m_lastStamp) {
        double last = 0;
        for (store::ManagedObject* object : m_manager.managedContext().objects(TODOList::staticEntityName()))
            last = std::max(last, static_cast<TODOList*>(object)->templateCreationDate());
        m_lastStamp = last;
    }
    const double now = double(m_manager.services().clock->now().toMSecsSinceEpoch()) / 1000.0;
    m_lastStamp = std::max(now, *m_lastStamp + 0.001);
    return *m_lastStamp;
}

bool ProjectUpdaterLoop::sendToServer(TODOList* project, ProjectSuccess success, ProjectFailure failure)
{
    if (!project || !m_manager.canInstantSync() || project->edited_since() != 1 || isInFlight(project) ||
        !m_manager.getServerSecondsSince1970())
        return false;
    const bool post = project->id_() == 0;
    if (post && !mayPost(project))
        return false;
    m_manager.managedContext().processPendingChanges();
    {
        QVRestManager::TrackingPause pause(m_manager);
        project->setEditedByDevice(m_manager.deviceUID());
        // What tells this project's copies on the server from others of the same name.
        if (post)
            recordPost(project);
        if (post && project->templateCreationDate() == 0)
            project->setTemplateCreationDate(nextCreationStamp());
        m_objectsBeingSent.insert(project, InFlightSet::Kind::Upload);
    }
    m_manager.addSyncingObjects(1);

    rest::Request request;
    request.method = post ? rest::Method::Post : rest::Method::Put;
    const auto path = m_manager.router().resourcePathForObject(
        TODOList::staticEntityName(), request.method,
        [project](const QString& key) { return project->value(key); });
    request.path = path.value_or(QString());
    request.setJsonBody(QJsonDocument(uploadBody(project, *TODOList::inverseMapping())));
    request.onSuccess = [this, project, post, success = std::move(success)](const rest::Response& response) {
        succeeded(project, post, response, success);
    };
    request.onFailure = [this, project, post, failure = std::move(failure)](const rest::Error& error) {
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
    // Only the project itself in the reply says the server holds this edit.
    if (!returned || !returned->isValidUniID() || (!post && returned->id_() != project->id_())) {
        rest::Error error;
        error.kind = rest::Error::Kind::Parse;
        error.message = QStringLiteral("the reply names no project");
        error.response = response;
        failed(project, post, error, {});
        return;
    }
    const bool editedMeanwhile = m_objectsBeingSent.remove(project);
    m_manager.addSyncingObjects(-1);
    if (post)
        releasePost(project);
    bool changed = false;
    {
        QVRestManager::TrackingPause pause(m_manager);
        if (post) {
            project->setId_(returned->id_());
            clearPostRecord(project);
        }
        if (!editedMeanwhile)
            project->setEdited_since(0);
        changed = update(project, returned, m_manager.restStore().projectKeysLeftOut(response.json.object()));
    }
    if (editedMeanwhile)
        postIfAlive([this] { sendModifiedProjects(); });
    if (success)
        success(returned);
    if (changed)
        announce({project->id_()});
}

void ProjectUpdaterLoop::failed(TODOList* project, bool post, const rest::Error& error,
                                const ProjectFailure& failure)
{
    qCWarning(lcSync, post ? "Post failed" : "Put failed");
    const bool editedMeanwhile = m_objectsBeingSent.remove(project);
    keepForUpload(project);
    if (post && outcomeUnknown(error))
        holdPost(project, editedMeanwhile);
    m_manager.addSyncingObjects(-1);
    if (failure)
        failure(error);
}

// --- Merging

bool ProjectUpdaterLoop::update(TODOList* local, TODOList* incoming, const QStringList& leftOut)
{
    if (!incoming)
        return false;
    if (const std::optional<bool> verdict =
            sharedMergeVerdict(local, *incoming, [&] { return local->needToUploadGiven(incoming); }))
        return *verdict;

    QVRestManager::TrackingPause pause(m_manager);
    // A key the reply leaves out says nothing about its value: the local one stays.
    std::vector<std::pair<QString, QVariant>> localValues;
    for (const QString& key : leftOut) {
        if (local->entity().attributeIndex(key) >= 0)
            localValues.emplace_back(key, local->value(key));
    }
    TODOList::CopyFlags flags = TODOList::CopyIdentifiers;
    if (!leftOut.contains(QStringLiteral("tags")))
        flags |= TODOList::CopyTags;
    incoming->copyTo(local, flags);
    for (const auto& [key, value] : localValues)
        local->setValue(key, value);
    if (const std::optional<qint64> now = m_manager.getServerSecondsSince1970())
        local->setRequestedTime(*now);
    local->setEdited_since(0);
    if (incoming->objectState() == ObjectState::Removed) {
        // A second copy of a project removed by the device that made both: what was put into it
        // here goes on in the copy that stays.
        if (TODOList* kept = keptCopyOf(local)) {
            for (TODOItem* item : local->items()) {
                if (item->objectState() == ObjectState::Removed)
                    continue;
                kept->addItem(item);
                item->setEdited_since(1);
            }
            return true;
        }
        // Items never sent wait for the send pass: the copy that stays may not have come yet.
        for (TODOItem* item : local->items()) {
            if (!item->isValidUniID() && item->edited_since() == 1)
                continue;
            item->setObjectState(ObjectState::Removed);
            item->setEdited_since(0);
        }
    }
    return true;
}

TODOList* ProjectUpdaterLoop::keptCopyOf(const TODOList* removed) const
{
    const double stamp = removed->templateCreationDate();
    if (stamp == 0)
        return nullptr;
    for (store::ManagedObject* object : m_manager.managedContext().objects(TODOList::staticEntityName())) {
        auto* project = static_cast<TODOList*>(object);
        if (project != removed && project->templateCreationDate() == stamp && project->isValidUniID() &&
            project->objectState() != ObjectState::Removed && project->name() == removed->name())
            return project;
    }
    return nullptr;
}

bool ProjectUpdaterLoop::updateOrCreateProjectFrom(TODOList* incoming, const QStringList& leftOut)
{
    if (m_manager.uiIsEditing())
        return false;
    store::Context& context = m_manager.managedContext();
    if (incoming->isValidUniID()) {
        if (TODOList* local = TODOList::findWithID(incoming->id_(), context))
            return update(local, incoming, leftOut);
    }
    if (const std::optional<bool> verdict = verdictFor(adoptOwnUpload(incoming, context, nullptr, leftOut)))
        return *verdict;
    if (isDeleted(incoming->objectState()))
        return true;
    // This device's own upload that the store has lost comes back like any other, unless this
    // device removed it.
    if (isOwnDevice(incoming->editedByDevice()) && m_removedHere.contains(incoming->id_()))
        return true;
    if (!incoming->isValidUniID())
        return true;
    // Applied once kept: the cursor may move past it, the download is tried until it succeeds.
    m_manager.downloadProjectWhenPossible(incoming->id_());
    return true;
}

ProjectUpdaterLoop::OwnCopy ProjectUpdaterLoop::adoptOwnUpload(TODOList* incoming, store::Context& context,
                                                               TODOList** adopted, const QStringList& leftOut)
{
    if (!incoming->isValidUniID() || !isOwnDevice(incoming->editedByDevice()))
        return OwnCopy::None;
    const double stamp = incoming->templateCreationDate();
    TODOList* unsent = nullptr;
    const OwnCopy found = findSource<TODOList>(
        context.objects(TODOList::staticEntityName()),
        [&](const TODOList* project) {
            // The stamp its first post carried, which no rename changes; a crash before the save
            // may have lost it, and the name then has to do.
            const double mine = project->templateCreationDate();
            if (mine != 0 ? mine != stamp : project->name() != incoming->name())
                return Source::Unrelated;
            if (project->isValidUniID())
                return mine != 0 && project->id_() != incoming->id_() ? Source::SentAsAnother
                                                                      : Source::Unrelated;
            return Source::Unsent;
        },
        &unsent);
    if (found == OwnCopy::Duplicate)
        removeDuplicate(incoming->id_(), incoming, *TODOList::inverseMapping());
    if (found != OwnCopy::Adopted)
        return found;
    QVRestManager::TrackingPause pause(m_manager);
    unsent->setId_(incoming->id_());
    unsent->setResourceURI(incoming->resourceURI());
    settleAdoptedPost(unsent);
    qCDebug(lcSync, "Project is on the server as %lld", qint64(unsent->id_()));
    update(unsent, incoming, leftOut);
    if (adopted)
        *adopted = unsent;
    return OwnCopy::Adopted;
}

// --- Poll

UpdaterLoop::Merged ProjectUpdaterLoop::mergePolled(const QJsonObject& object)
{
    TODOList* incoming = m_manager.restStore().mapProject(object);
    if (!incoming)
        return {};
    Merged merged;
    if (incoming->isValidUniID())
        merged.serverID = incoming->id_();
    merged.applied = updateOrCreateProjectFrom(incoming, m_manager.restStore().projectKeysLeftOut(object));
    if (merged.applied)
        merged.updatedID = incoming->id_();
    return merged;
}

} // namespace qv
