#include "sync/CollaborationManager.h"

#include "core/model/StatusEntities.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/util/Utils.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/rest/RestClient.h"
#include "platform/store/Context.h"
#include "sync/QVRestManager.h"
#include "sync/RestRecords.h"
#include "sync/SyncLogging.h"

#include <QCborArray>
#include <QCborMap>
#include <QJsonArray>
#include <QPointer>

#include <algorithm>
#include <utility>

namespace qv {

namespace {

QList<User> usersOf(const QJsonDocument& reply)
{
    QList<User> users;
    for (const QJsonValue& value : listedObjects(reply.object()))
        users.append(User::fromJson(value.toObject()));
    return users;
}

QList<SharingRequest> requestsOf(const QJsonDocument& reply)
{
    QList<SharingRequest> requests;
    for (const QJsonValue& value : listedObjects(reply.object()))
        requests.append(SharingRequest::fromJson(value.toObject()));
    return requests;
}

qint64 projectId(const TODOList* project)
{
    return project ? project->id_() : 0;
}

qint64 itemId(const TODOItem* item)
{
    return item ? item->serverID() : 0;
}

// Accents and case do not count in a search of e-mail addresses.
QString folded(const QString& text)
{
    QString plain;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            plain.append(c);
    }
    return plain.toCaseFolded();
}

// --- The archive: CBOR maps of user lists and dates, keys in a stable order so that an
// unchanged cache encodes to the same bytes.

// A damaged archive (a crash mid-write, another version) is no archive: what it held is
// downloaded again. Qt's reader may leave the value it stopped in unusable, so none is read.
QCborValue readArchive(const QByteArray& bytes)
{
    QCborParserError error;
    QCborValue value = QCborValue::fromCbor(bytes, &error);
    return error.error == QCborError::NoError ? value : QCborValue();
}

QCborArray encodeUsers(const QList<User>& users)
{
    QCborArray array;
    for (const User& user : users)
        array.append(user.toCbor());
    return array;
}

QList<User> decodeUsers(const QCborValue& value)
{
    QList<User> users;
    for (const QCborValue& user : value.toArray())
        users.append(User::fromCbor(user));
    return users;
}

struct TimedArchive {
    QByteArray users;
    QByteArray dates;
};

template <typename Map> TimedArchive encodeTimed(const Map& map)
{
    QCborMap users;
    QCborMap dates;
    for (const auto& [id, entry] : map) {
        users.insert(id, encodeUsers(entry.values));
        if (entry.downloaded.isValid())
            dates.insert(id, QCborValue(entry.downloaded));
    }
    return {users.toCborValue().toCbor(), dates.toCborValue().toCbor()};
}

template <typename Map> void decodeTimed(const QByteArray& usersBytes, const QByteArray& datesBytes, Map* map)
{
    const QCborMap users = readArchive(usersBytes).toMap();
    const QCborMap dates = readArchive(datesBytes).toMap();
    for (auto it = users.constBegin(); it != users.constEnd(); ++it) {
        if (!it.key().isInteger())
            continue;
        auto& entry = (*map)[it.key().toInteger()];
        entry.values = decodeUsers(it.value());
        entry.downloaded = dates.value(it.key().toInteger()).toDateTime();
    }
}

} // namespace

CollaborationManager::CollaborationManager(const Services& services, QVRestManager& engine)
    : m_services(services), m_engine(engine), m_me(User{})
{
    m_archiveTimer =
        m_services.scheduler->every(kArchiveIntervalMs, this, [this] { reloadMeAndSaveCaches(); });
}

CollaborationManager::~CollaborationManager()
{
    m_services.scheduler->cancel(m_archiveTimer);
}

// --- The signed-in user

void CollaborationManager::setMe(const std::optional<User>& me)
{
    m_me = me;
    if (CollaborationStatus* status = getStatus())
        archiveMe(status);
}

void CollaborationManager::archiveMe(CollaborationStatus* status)
{
    QVRestManager::TrackingPause pause(m_engine);
    status->setCachedMe(m_me ? m_me->toCbor().toCbor() : QByteArray());
}

void CollaborationManager::reloadMe(UserSuccess success, Failure failure)
{
    get(
        QStringLiteral("/me/?format=json"),
        [this, success = std::move(success)](const QJsonDocument& reply) {
            const User user = User::fromJson(reply.object());
            setMe(user);
            if (success)
                success(user);
        },
        [this, failure = std::move(failure)](const rest::Error& error) {
            qCInfo(lcSync, "the signed-in user could not be loaded");
            setMe(std::nullopt);
            if (failure)
                failure(error.message);
        });
}

void CollaborationManager::setLoginEmail(const QString& email)
{
    if (m_services.preferences)
        m_services.preferences->setValue(kLoginKey, email);
}

QString CollaborationManager::loginEmail() const
{
    return m_services.preferences ? m_services.preferences->stringValue(kLoginKey) : QString();
}

bool CollaborationManager::isLoginEmail(const QString& email) const
{
    const QString login = loginEmail();
    return !login.isEmpty() && login.compare(email, Qt::CaseInsensitive) == 0;
}

// --- Collaborators

QList<User> CollaborationManager::getCollaborators(UsersSuccess success, Failure failure)
{
    if (!m_loadingCollaborators) {
        m_loadingCollaborators = true;
        getAll(
            QStringLiteral("/me/collaborators/?format=json&limit=100"),
            [this](const QJsonDocument& reply) { collaboratorsLoaded(usersOf(reply)); },
            [this](const rest::Error& error) { collaboratorsFailed(error.message); });
    }
    if (success)
        m_pendingSuccesses.push_back(std::move(success));
    if (failure)
        m_pendingFailures.push_back(std::move(failure));
    return getCachedCollaborators();
}

void CollaborationManager::collaboratorsLoaded(const QList<User>& users)
{
    m_collaboratorsByEmail.clear();
    for (const User& user : users)
        m_collaboratorsByEmail[user.email] = user;
    const auto successes = std::exchange(m_pendingSuccesses, {});
    m_pendingFailures.clear();
    m_loadingCollaborators = false;
    for (const UsersSuccess& success : successes)
        success(users);
}

void CollaborationManager::collaboratorsFailed(const QString& error)
{
    const auto failures = std::exchange(m_pendingFailures, {});
    m_pendingSuccesses.clear();
    m_loadingCollaborators = false;
    for (const Failure& failure : failures)
        failure(error);
}

QList<User> CollaborationManager::getCachedCollaborators() const
{
    QList<User> users;
    for (const auto& [email, user] : m_collaboratorsByEmail)
        users.append(user);
    return users;
}

std::optional<User> CollaborationManager::findUserForEmail(const QString& email) const
{
    const auto it = m_collaboratorsByEmail.find(email);
    return it == m_collaboratorsByEmail.end() ? std::nullopt : std::optional<User>(it->second);
}

QList<User> CollaborationManager::getCachedCollaboratorsForSearchString(const QString& text) const
{
    QList<User> users = getCachedCollaborators();
    if (!text.trimmed().isEmpty()) {
        const QString wanted = folded(text);
        users.removeIf([&wanted](const User& user) { return !folded(user.email).contains(wanted); });
    }
    std::sort(users.begin(), users.end(), [](const User& a, const User& b) { return a.email < b.email; });
    return users;
}

// --- Owners, sharing requests, followers

bool CollaborationManager::isOnline() const
{
    return m_engine.hasOrigin() && m_engine.client().isNetworkReachable();
}

bool CollaborationManager::isFresh(const QDateTime& downloaded) const
{
    return downloaded.isValid() && downloaded.secsTo(m_services.clock->now()) <= kFreshForSeconds;
}

template <typename T>
QList<T> CollaborationManager::cachedOrDownloaded(std::map<qint64, Timed<T>>& cache, qint64 id,
                                                  const QString& path,
                                                  QList<T> (*parse)(const QJsonDocument&), const Start& start,
                                                  std::function<void(const QList<T>&)> success,
                                                  Failure failure, bool force)
{
    if (id == 0)
        return {};
    const auto cached = cache.find(id);
    const QList<T> known = cached == cache.end() ? QList<T>() : cached->second.values;
    if (!isOnline()) {
        if (failure)
            failure(std::nullopt);
        return known;
    }
    if (!force && cached != cache.end() && isFresh(cached->second.downloaded))
        return known;
    if (start)
        start();
    getAll(
        path,
        [this, &cache, id, parse, success = std::move(success)](const QJsonDocument& reply) {
            const QList<T> values = parse(reply);
            cache[id] = {values, m_services.clock->now()};
            if (success)
                success(values);
        },
        [failure = std::move(failure)](const rest::Error& error) {
            if (failure)
                failure(error.message);
        });
    return known;
}

QList<User> CollaborationManager::getOwnersForProject(const TODOList* project, const Start& start,
                                                      UsersSuccess success, Failure failure, bool force)
{
    const qint64 id = projectId(project);
    return cachedOrDownloaded(m_ownersByProject, id,
                              QStringLiteral("/project/%1/owners/?format=json&limit=100").arg(id), usersOf,
                              start, std::move(success), std::move(failure), force);
}

QList<User> CollaborationManager::getCachedOwnersForProject(const TODOList* project) const
{
    const auto cached = m_ownersByProject.find(projectId(project));
    return cached == m_ownersByProject.end() ? QList<User>() : cached->second.values;
}

QList<SharingRequest> CollaborationManager::getSharingRequestsForProject(const TODOList* project,
                                                                         const Start& start,
                                                                         RequestsSuccess success,
                                                                         Failure failure, bool force)
{
    const qint64 id = projectId(project);
    return cachedOrDownloaded(
        m_sharingRequestsByProject, id,
        QStringLiteral("/sharing_request/?format=json&status=init&project=%1&target_user__isnull=false")
            .arg(id),
        requestsOf, start, std::move(success), std::move(failure), force);
}

QList<SharingRequest> CollaborationManager::getCachedSharingRequestsForProject(const TODOList* project) const
{
    const auto cached = m_sharingRequestsByProject.find(projectId(project));
    return cached == m_sharingRequestsByProject.end() ? QList<SharingRequest>() : cached->second.values;
}

void CollaborationManager::getSharingRequests(RequestsSuccess success, Failure failure)
{
    const QString target = m_me && m_me->identifier ? QString::number(*m_me->identifier) : QString();
    get(
        QStringLiteral("/sharing_request/?format=json&status=init&target_user=%1").arg(target),
        [success = std::move(success)](const QJsonDocument& reply) {
            if (success)
                success(requestsOf(reply));
        },
        [failure = std::move(failure)](const rest::Error& error) {
            if (failure)
                failure(error.message);
        });
}

void CollaborationManager::postSharingRequest(const SharingRequest& request, RequestSuccess success,
                                              SendFailed failure)
{
    QPointer<CollaborationManager> self(this);
    m_engine.client().post(
        QStringLiteral("/sharing_request/") + m_engine.routeSuffix(), QJsonDocument(request.toJson()),
        [self, success = std::move(success)](const rest::Response& response) {
            if (!self)
                return;
            const SharingRequest sent = SharingRequest::fromJson(response.json.object());
            if (sent.status == SharingRequest::kInit) {
                if (const std::optional<qint64> id = Utils::idFromURI(sent.projectURI))
                    self->m_sharingRequestsByProject[*id] = {{sent}, self->m_services.clock->now()};
            }
            if (success)
                success(sent);
        },
        [self, failure = std::move(failure)](const rest::Error& error) {
            if (self && failure)
                failure(SendFailure::of(error));
        });
}

void CollaborationManager::putSharingRequest(const SharingRequest& request, RequestSuccess success,
                                             Failure failure)
{
    QPointer<CollaborationManager> self(this);
    const QString path =
        QStringLiteral("/sharing_request/%1/").arg(request.identifier.value_or(0)) + m_engine.routeSuffix();
    m_engine.client().put(
        path, QJsonDocument(request.toJson()),
        [self, success = std::move(success)](const rest::Response& response) {
            if (!self)
                return;
            const SharingRequest answered = SharingRequest::fromJson(response.json.object());
            if (answered.status != SharingRequest::kInit) {
                if (const std::optional<qint64> id = Utils::idFromURI(answered.projectURI))
                    self->m_sharingRequestsByProject.erase(*id);
            }
            if (success)
                success(answered);
        },
        [self, failure = std::move(failure)](const rest::Error& error) {
            if (self && failure)
                failure(error.message);
        });
}

std::optional<QList<User>> CollaborationManager::getFollowersForItem(const TODOItem* item, const Start& start,
                                                                     UsersSuccess success, Failure failure,
                                                                     bool force)
{
    const qint64 id = itemId(item);
    if (id == 0)
        return std::nullopt;
    const auto cachedFollowers = [this, id]() -> std::optional<QList<User>> {
        const auto cached = m_followersByItem.find(id);
        return cached == m_followersByItem.end() ? std::nullopt : std::optional(cached->second.values);
    };
    if (!isOnline()) {
        if (failure)
            failure(std::nullopt);
        return cachedFollowers();
    }
    const auto cached = m_followersByItem.find(id);
    if (!force && cached != m_followersByItem.end() && isFresh(cached->second.downloaded))
        return cached->second.values;
    if (start)
        start();
    followHelper(item, QStringLiteral("/item/%1/followers/?format=json").arg(id), std::move(success),
                 std::move(failure));
    return cachedFollowers();
}

bool CollaborationManager::followItem(const TODOItem* item, UsersSuccess success, Failure failure)
{
    return followHelper(item, QStringLiteral("/item/%1/follow/?format=json&limit=100").arg(itemId(item)),
                        std::move(success), std::move(failure));
}

bool CollaborationManager::unfollowItem(const TODOItem* item, UsersSuccess success, Failure failure)
{
    return followHelper(item, QStringLiteral("/item/%1/unfollow/?format=json&limit=100").arg(itemId(item)),
                        std::move(success), std::move(failure));
}

bool CollaborationManager::invite(const User& user, const TODOItem* item, UsersSuccess success,
                                  Failure failure)
{
    const QString path = QStringLiteral("/item/%1/invite/?format=json&userid=%2&limit=100")
                             .arg(itemId(item))
                             .arg(user.identifier.value_or(0));
    return followHelper(item, path, std::move(success), std::move(failure));
}

bool CollaborationManager::followHelper(const TODOItem* item, const QString& path, UsersSuccess success,
                                        Failure failure)
{
    const qint64 id = itemId(item);
    if (id == 0)
        return false;
    if (!isOnline()) {
        if (failure)
            failure(std::nullopt);
        return false;
    }
    get(
        path,
        [this, id, success = std::move(success)](const QJsonDocument& reply) {
            const QList<User> followers = usersOf(reply);
            m_followersByItem[id] = {followers, m_services.clock->now()};
            if (success)
                success(followers);
        },
        [failure = std::move(failure)](const rest::Error& error) {
            if (failure)
                failure(error.message);
        });
    return true;
}

void CollaborationManager::get(const QString& path, std::function<void(const QJsonDocument&)> loaded,
                               std::function<void(const rest::Error&)> failed)
{
    QPointer<CollaborationManager> self(this);
    m_engine.client().get(
        path,
        [self, loaded = std::move(loaded)](const rest::Response& response) {
            if (self)
                loaded(response.json);
        },
        [self, failed = std::move(failed)](const rest::Error& error) {
            if (self)
                failed(error);
        });
}

void CollaborationManager::getAll(const QString& path, std::function<void(const QJsonDocument&)> loaded,
                                  std::function<void(const rest::Error&)> failed)
{
    // A team may have more people than one reply gives.
    getAllPages(
        path,
        [this](const QString& page, std::function<void(const QJsonObject&)> pageLoaded,
               std::function<void(const rest::Error&)> pageFailed) {
            get(
                page,
                [pageLoaded = std::move(pageLoaded)](const QJsonDocument& reply) {
                    pageLoaded(reply.object());
                },
                std::move(pageFailed));
        },
        [loaded = std::move(loaded)](const QJsonArray& objects) {
            loaded(QJsonDocument(QJsonObject{{QStringLiteral("objects"), objects}}));
        },
        std::move(failed));
}

// --- Life cycle and the archive

CollaborationStatus* CollaborationManager::getStatus()
{
    const QString email = m_engine.getCurrentUserEmail();
    if (email.isEmpty())
        return nullptr;
    store::Context& context = m_engine.managedContext();
    auto* status = store::as<CollaborationStatus>(
        context.lookupFirst(CollaborationStatus::staticEntityName(), QStringLiteral("email"), email));
    if (!status) {
        QVRestManager::TrackingPause pause(m_engine);
        status = context.insert<CollaborationStatus>(CollaborationStatus::staticEntityName());
        status->setEmail(email);
    }
    return status;
}

void CollaborationManager::initCollaboration()
{
    CollaborationStatus* status = getStatus();
    const QCborValue me = status ? readArchive(status->cachedMe()) : QCborValue();
    if (me.isMap())
        m_me = User::fromCbor(me);
    else
        reloadMe();
    if (status && !status->cachedOwnersByProject().isEmpty())
        decodeTimed(status->cachedOwnersByProject(), status->cachedOwnersByProjectDates(),
                    &m_ownersByProject);
    const QCborValue collaborators =
        status ? readArchive(status->cachedCollaboratorsByEmail()) : QCborValue();
    if (collaborators.isMap()) {
        const QCborMap byEmail = collaborators.toMap();
        for (auto it = byEmail.constBegin(); it != byEmail.constEnd(); ++it)
            m_collaboratorsByEmail[it.key().toString()] = User::fromCbor(it.value());
    } else {
        getCollaborators();
    }
    if (status && !status->cachedFollowersByItem().isEmpty())
        decodeTimed(status->cachedFollowersByItem(), status->cachedFollowersByItemDates(),
                    &m_followersByItem);
}

void CollaborationManager::deleteCollaboration()
{
    setMe(std::nullopt);
    m_ownersByProject.clear();
    m_collaboratorsByEmail.clear();
    m_followersByItem.clear();
    if (CollaborationStatus* status = getStatus()) {
        QVRestManager::TrackingPause pause(m_engine);
        m_engine.managedContext().deleteObject(status);
    }
}

void CollaborationManager::reloadMeAndSaveCaches()
{
    // A manual sync keeps change tracking off while it merges; the archive waits for its end.
    if (m_engine.isManualSyncing())
        return;
    if (m_engine.canInstantSync())
        reloadMe();
    CollaborationStatus* status = getStatus();
    if (!status)
        return;
    const TimedArchive owners = encodeTimed(m_ownersByProject);
    const TimedArchive followers = encodeTimed(m_followersByItem);
    QCborMap collaborators;
    for (const auto& [email, user] : m_collaboratorsByEmail)
        collaborators.insert(email, user.toCbor());

    // The store ignores a value equal to the one it holds: unchanged caches write nothing, and
    // the save after them makes no backup. Every refresh moves the download dates, so they are
    // written only with a change of the lists they date; a restart then finds them older than
    // they are, which costs one early download at most.
    QVRestManager::TrackingPause pause(m_engine);
    if (status->cachedOwnersByProject() != owners.users) {
        status->setCachedOwnersByProject(owners.users);
        status->setCachedOwnersByProjectDates(owners.dates);
    }
    status->setCachedCollaboratorsByEmail(collaborators.toCborValue().toCbor());
    if (status->cachedFollowersByItem() != followers.users) {
        status->setCachedFollowersByItem(followers.users);
        status->setCachedFollowersByItemDates(followers.dates);
    }
}

// --- What the engine and the document ask

std::optional<QString> CollaborationManager::resourceURIForEmail(const QString& email) const
{
    const std::optional<User> user = findUserForEmail(email);
    if (!user || user->resourceURI.isEmpty())
        return std::nullopt;
    return user->resourceURI;
}

std::optional<QString> CollaborationManager::myEmail() const
{
    if (!m_me || m_me->email.isEmpty())
        return std::nullopt;
    return m_me->email;
}

std::optional<QString> CollaborationManager::myUsername() const
{
    if (!m_me || m_me->username.isEmpty())
        return std::nullopt;
    return m_me->username;
}

} // namespace qv
