#pragma once

#include "core/document/Collaboration.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "sync/CollaboratorDirectory.h"
#include "sync/SendFailure.h"
#include "sync/User.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace qv {

class CollaborationStatus;
class QVRestManager;
class TODOItem;
class TODOList;

namespace rest {
struct Error;
}

// The collaboration side of the sync server: the signed-in user ("me"), the people that user
// works with, the owners of each project, the followers of each item and the open sharing
// requests of each project. Each is kept in memory with the time of its download; all but the
// sharing requests are archived in the store (as CBOR) so the team panels have something to
// show at once after a restart. Main thread only.
class CollaborationManager : public QObject, public CollaboratorDirectory, public CollaborationInterface {
    Q_OBJECT
public:
    static constexpr qint64 kArchiveIntervalMs = 120'000;
    static constexpr qint64 kFreshForSeconds = 600;
    // The e-mail address the user signed in with (read by the team panel's self-invitation check).
    static inline const QString kLoginKey = QStringLiteral("qv-login");

    using Start = std::function<void()>;
    using UserSuccess = std::function<void(const User&)>;
    using UsersSuccess = std::function<void(const QList<User>&)>;
    using RequestSuccess = std::function<void(const SharingRequest&)>;
    using RequestsSuccess = std::function<void(const QList<SharingRequest>&)>;
    // No error: the call was refused because the network is unreachable.
    using Failure = std::function<void(const std::optional<QString>& error)>;

    // Starts the 120 s archive. The engine must outlive the manager.
    CollaborationManager(const Services& services, QVRestManager& engine);
    ~CollaborationManager() override;

    // --- The signed-in user ---
    const std::optional<User>& me() const { return m_me; }
    // Keeps the user (nothing: signed out or unknown) and archives it at once.
    void setMe(const std::optional<User>& me);
    void reloadMe(UserSuccess success = {}, Failure failure = {});
    // Called by the sign-in with the e-mail address the user signed in with.
    void setLoginEmail(const QString& email);
    QString loginEmail() const;
    // Whether the address is the one the user signed in with, whatever its case.
    bool isLoginEmail(const QString& email) const;

    // --- Collaborators ---
    // Callers arriving while a download is out are served by that download. Returns the cache.
    QList<User> getCollaborators(UsersSuccess success = {}, Failure failure = {});
    QList<User> getCachedCollaborators() const;
    std::optional<User> findUserForEmail(const QString& email) const;
    // Those whose e-mail holds the text (ignoring case and accents), sorted by e-mail; a blank
    // text gives all of them.
    QList<User> getCachedCollaboratorsForSearchString(const QString& text) const;

    // --- Owners and sharing requests of a project, followers of an item ---
    // Served from the cache without a request while its download is under 600 s old, unless
    // forced. Offline: failure with no error and the cache.
    QList<User> getOwnersForProject(const TODOList* project, const Start& start, UsersSuccess success,
                                    Failure failure, bool force);
    QList<User> getCachedOwnersForProject(const TODOList* project) const;
    QList<SharingRequest> getSharingRequestsForProject(const TODOList* project, const Start& start,
                                                       RequestsSuccess success, Failure failure, bool force);
    QList<SharingRequest> getCachedSharingRequestsForProject(const TODOList* project) const;
    // The open requests addressed to the signed-in user; nothing is cached.
    void getSharingRequests(RequestsSuccess success, Failure failure);
    // A lost answer fails as one that may have arrived: the request may be open on the server.
    void postSharingRequest(const SharingRequest& request, RequestSuccess success, SendFailed failure);
    void putSharingRequest(const SharingRequest& request, RequestSuccess success, Failure failure);

    std::optional<QList<User>> getFollowersForItem(const TODOItem* item, const Start& start,
                                                   UsersSuccess success, Failure failure, bool force);
    // True when the request was sent.
    bool followItem(const TODOItem* item, UsersSuccess success, Failure failure);
    bool unfollowItem(const TODOItem* item, UsersSuccess success, Failure failure);
    bool invite(const User& user, const TODOItem* item, UsersSuccess success, Failure failure);

    // --- Life cycle ---
    // Restores the archived caches of the signed-in user; what has no archive is downloaded.
    void initCollaboration();
    // Sign-out: forgets the user and the caches and deletes their archive.
    void deleteCollaboration();
    // The 120 s step: reloads the user when the engine may sync, then archives what changed.
    // Skipped while a manual sync runs, whose merges must not be taken for local edits.
    void reloadMeAndSaveCaches();

    // CollaboratorDirectory
    std::optional<QString> resourceURIForEmail(const QString& email) const override;
    std::optional<QString> myEmail() const override;
    // CollaborationInterface
    std::optional<QString> myUsername() const override;

private:
    template <typename T> struct Timed {
        QList<T> values;
        QDateTime downloaded;
    };
    // A per-project list kept fresh for a while; answers the cached list at once.
    template <typename T>
    QList<T> cachedOrDownloaded(std::map<qint64, Timed<T>>& cache, qint64 id, const QString& path,
                                QList<T> (*parse)(const QJsonDocument&), const Start& start,
                                std::function<void(const QList<T>&)> success, Failure failure, bool force);

    bool isOnline() const;
    bool isFresh(const QDateTime& downloaded) const;
    CollaborationStatus* getStatus();
    void archiveMe(CollaborationStatus* status);
    void get(const QString& path, std::function<void(const QJsonDocument&)> loaded,
             std::function<void(const rest::Error&)> failed);
    // A list with all its pages, handed over as one reply {"objects": [...]}.
    void getAll(const QString& path, std::function<void(const QJsonDocument&)> loaded,
                std::function<void(const rest::Error&)> failed);
    bool followHelper(const TODOItem* item, const QString& path, UsersSuccess success, Failure failure);
    void collaboratorsLoaded(const QList<User>& users);
    void collaboratorsFailed(const QString& error);

    Services m_services;
    QVRestManager& m_engine;
    std::optional<User> m_me;
    std::map<qint64, Timed<User>> m_ownersByProject;
    std::map<QString, User> m_collaboratorsByEmail;
    std::map<qint64, Timed<User>> m_followersByItem;
    std::map<qint64, Timed<SharingRequest>> m_sharingRequestsByProject;
    std::vector<UsersSuccess> m_pendingSuccesses;
    std::vector<Failure> m_pendingFailures;
    bool m_loadingCollaborators = false;
    TimerId m_archiveTimer = 0;
};

} // namespace qv
