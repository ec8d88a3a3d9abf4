#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <map>

namespace qv::test {

class FakeSyncServer;
struct HttpRequest;
struct HttpResponse;

// The team side of the fake sync server, added to its routes:
//   GET  /api/v1/me/                          the signed-in user's record (profile included)
//   GET  /api/v1/me/collaborators/            people the user works with
//   GET  /api/v1/project/:id/owners/          the project's owners (none given: its creator)
//   GET  /api/v1/item/:id/followers/          the item's followers
//   GET  /api/v1/item/:id/follow/, unfollow/  the user follows or stops; the followers come back
//   GET  /api/v1/item/:id/invite/?userid=N    the collaborator N follows; the followers come back
//   GET  /api/v1/sharing_request/?status=&project=&target_user=&target_user__isnull=false
//   POST /api/v1/sharing_request/             "target_username", "project" and "status": "init"
//                                             invites (an unknown address becomes a new person),
//                                             "remove" takes an owner out of the project. A refused
//                                             one comes back "rejected" with the reason in "message".
//   PUT  /api/v1/sharing_request/:id/         "accepted" makes the invited person an owner (the
//                                             project is then theirs too), "rejected" closes it;
//                                             a request no longer open answers 400
// A missing "/me/" record answers 401, as for a visitor without a session. Requests act for the
// account of their session (FakeSyncServer::addAccount), the signed-in user `me` without one;
// a project and its items are seen by its owners only.
class FakeTeam {
public:
    // Refusals of an invitation, as the server words them.
    static inline const QString kInviteSelf = QStringLiteral("You cannot share a project with yourself.");
    static inline const QString kAlreadyOwner = QStringLiteral("%1 is already a member of this project.");
    static inline const QString kAlreadyInvited =
        QStringLiteral("%1 has already been invited to this project.");
    static inline const QString kNotOwner = QStringLiteral("%1 is not a member of this project.");

    FakeTeam(FakeSyncServer& server, const QString& username);

    static QJsonObject user(qint64 id, const QString& email, bool teammate = false);
    // A person the server knows by that address (the signed-in user, a collaborator or anyone
    // met before); a new person otherwise.
    QJsonObject person(const QString& email);
    // Nothing for an address nobody has.
    QJsonObject known(const QString& email) const;

    // --- Acting as another person ---
    // `from` shares the project with the signed-in user; the request's id. The project then has
    // `from` among its owners.
    qint64 inviteMe(qint64 projectId, const QJsonObject& from);
    // The invited person answers (SharingRequest statuses "accepted" or "rejected"); false when
    // there is no such open request.
    bool answerAsInvited(qint64 requestId, const QString& status);
    QJsonObject request(qint64 id) const;

    QJsonObject me;
    QList<QJsonObject> collaborators;
    QList<QJsonObject> others;                      // people met through invitations
    std::map<qint64, QList<QJsonObject>> owners;    // by project id
    std::map<qint64, QList<QJsonObject>> followers; // by item id
    QList<QJsonObject> sharingRequests;
    // Invitations of these addresses are refused with this message (empty: none given).
    std::map<QString, QString> refusals;

private:
    QList<QJsonObject> ownersOf(qint64 projectId) const;
    QJsonObject newRequest(qint64 projectId, const QJsonObject& from, const QJsonObject& to,
                           const QString& status);
    QString refusal(qint64 projectId, const QJsonObject& from, const QJsonObject& target) const;
    // The person the request being answered acts for.
    QJsonObject requester();
    bool isTarget(const QJsonObject& request, qint64 userId) const;
    HttpResponse post(const HttpRequest& request);
    HttpResponse put(const HttpRequest& request);
    bool answer(QJsonObject& request, const QString& status);

    FakeSyncServer& m_server;
    qint64 m_nextRequestId = 1;
    qint64 m_nextUserId = 100;
};

} // namespace qv::test
