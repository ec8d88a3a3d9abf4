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
            m_postsWaitingForPoll = true;
            continue;
        }
        sendToServer(project);
    }
    m_isSendingModifiedProjects = false;
}

bool ProjectUpdaterLoop::mayPost(TODOList* project) const
{
    if (!m_manager.getInstantSyncStatus())
        return true;
    if (!m_manager.firstPollsCompleted())
        return false; // a previous run may have sent it without hearing back
    const auto it = m_postHeldUntil.constFind(project);
    return it == m_postHeldUntil.constEnd() || m_manager.pollsCompletedSince(it->mark);
}

void ProjectUpdaterLoop::editedByUser(store::ManagedObject* object)
{
    const auto it = m_postHeldUntil.find(static_cast<const TODOList*>(object));
    if (it != m_postHeldUntil.end())
        it->editedSincePost = true;
}

void ProjectUpdaterLoop::pollFinished()
{
    if (m_postsWaitingForPoll && m_manager.firstPollsCompleted()) {
        m_postsWaitingForPoll = false;
        postIfAlive([this] { sendModifiedProjects(); });
    }
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
            project->setTemplateCreationDate(double(m_manager.services().clock->now().toMSecsSinceEpoch()) /
                                             1000.0);
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
        m_postHeldUntil.remove(project);
    bool changed = false;
    {
        QVRestManager::TrackingPause pause(m_manager);
        if (post) {
            project->setId_(returned->id_());
            clearPostRecord(project);
        }
        if (!editedMeanwhile)
            project->setEdited_since(0);
        changed = update(project, returned);
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
        m_postHeldUntil.insert(project, HeldPost{m_manager.pollMark(), editedMeanwhile});
    m_manager.addSyncingObjects(-1);
    if (failure)
        failure(error);
}

// --- Merging

bool ProjectUpdaterLoop::update(TODOList* local, TODOList* incoming)
{
    if (!incoming)
        return false;
    if (const std::optional<bool> verdict =
            sharedMergeVerdict(local, *incoming, [&] { return local->needToUploadGiven(incoming); }))
        return *verdict;

    QVRestManager::TrackingPause pause(m_manager);
    incoming->copyTo(local, TODOList::CopyIdentifiers | TODOList::CopyTags);
    if (const std::optional<qint64> now = m_manager.getServerSecondsSince1970())
        local->setRequestedTime(*now);
    local->setEdited_since(0);
    if (incoming->objectState() == ObjectState::Removed) {
        for (TODOItem* item : local->items()) {
            item->setObjectState(ObjectState::Removed);
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
    switch (adoptOwnUpload(incoming, context)) {
    case OwnCopy::Adopted:
    case OwnCopy::Duplicate:
        return true;
    case OwnCopy::InFlight:
        return false;
    case OwnCopy::None:
        break;
    }
    if (isDeleted(incoming->objectState()))
        return true;
    // This device's own upload that the store has lost comes back like any other, unless this
    // device removed it.
    if (incoming->editedByDevice() == m_manager.deviceUID() && m_removedHere.contains(incoming->id_()))
        return true;
    if (!incoming->isValidUniID())
        return true;
    // Applied once kept: the cursor may move past it, the download is tried until it succeeds.
    m_manager.downloadProjectWhenPossible(incoming->id_());
    return true;
}

ProjectUpdaterLoop::OwnCopy ProjectUpdaterLoop::adoptOwnUpload(TODOList* incoming, store::Context& context,
                                                               TODOList** adopted)
{
    if (!incoming->isValidUniID() || incoming->editedByDevice() != m_manager.deviceUID())
        return OwnCopy::None;
    const double stamp = incoming->templateCreationDate();
    TODOList* unsent = nullptr;
    bool inFlight = false;
    bool duplicate = false;
    for (store::ManagedObject* object : context.objects(TODOList::staticEntityName())) {
        auto* project = static_cast<TODOList*>(object);
        // Stamps of projects made in the same instant are equal: the name has to agree as well.
        // A crash before the save may have lost the stamp the post carried; the name then has to do.
        const double mine = project->templateCreationDate();
        if (project->name() != incoming->name() || (mine != 0 && mine != stamp))
            continue;
        if (project->isValidUniID()) {
            duplicate = duplicate || (stamp != 0 && mine == stamp && project->id_() != incoming->id_());
            continue;
        }
        if (isInFlight(project)) {
            inFlight = true;
            continue;
        }
        unsent = project;
        break;
    }
    if (!unsent) {
        if (inFlight)
            return OwnCopy::InFlight;
        if (duplicate) {
            removeDuplicate(incoming->id_(), incoming, *TODOList::inverseMapping());
            return OwnCopy::Duplicate;
        }
        return OwnCopy::None;
    }
    QVRestManager::TrackingPause pause(m_manager);
    unsent->setId_(incoming->id_());
    unsent->setResourceURI(incoming->resourceURI());
    // As for items: accepted as sent unless the user changed it after the lost post went out.
    const auto held = m_postHeldUntil.constFind(unsent);
    const bool accepted = acceptedAsSent(unsent, held != m_postHeldUntil.constEnd() ? &*held : nullptr);
    m_postHeldUntil.remove(unsent);
    clearPostRecord(unsent);
    if (accepted)
        unsent->setEdited_since(0);
    qCDebug(lcSync, "Project is on the server as %lld", qint64(unsent->id_()));
    update(unsent, incoming);
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
    merged.applied = updateOrCreateProjectFrom(incoming);
    if (merged.applied)
        merged.updatedID = incoming->id_();
    return merged;
}

} // namespace qv
