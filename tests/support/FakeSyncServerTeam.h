#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <map>

namespace qv::test {

class LoopbackHttpServer;

// The team side of the fake sync server, added to its routes:
//   GET  /api/v1/me/                          the signed-in user's record (profile included)
//   GET  /api/v1/me/collaborators/            people the user works with
//   GET  /api/v1/project/:id/owners/          the project's owners
//   GET  /api/v1/item/:id/followers/          the item's followers
//   GET  /api/v1/item/:id/follow/, unfollow/  the user follows or stops; the followers come back
//   GET  /api/v1/item/:id/invite/?userid=N    the collaborator N follows; the followers come back
//   GET  /api/v1/sharing_request/?status=&project=&target_user=
//   POST /api/v1/sharing_request/, PUT /api/v1/sharing_request/:id/
// A missing "/me/" record answers 401, as for a visitor without a session.
class FakeTeam {
public:
    FakeTeam(LoopbackHttpServer& server, const QString& username);

    static QJsonObject user(qint64 id, const QString& email, bool teammate = false);

    QJsonObject me;
    QList<QJsonObject> collaborators;
    std::map<qint64, QList<QJsonObject>> owners;    // by project id
    std::map<qint64, QList<QJsonObject>> followers; // by item id
    QList<QJsonObject> sharingRequests;

private:
    qint64 m_nextRequestId = 1;
};

} // namespace qv::test
