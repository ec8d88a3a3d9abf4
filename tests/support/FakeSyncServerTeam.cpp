#include "tests/support/FakeSyncServerTeam.h"

#include "tests/support/FakeSyncServer.h"

#include <QJsonArray>

namespace qv::test {

namespace {

const QString kInit = QStringLiteral("init");
const QString kAccepted = QStringLiteral("accepted");
const QString kRejected = QStringLiteral("rejected");
const QString kRemove = QStringLiteral("remove");

qint64 idArg(const HttpRequest& request)
{
    return request.args.value(QStringLiteral("id")).toLongLong();
}

QString nameOf(const QJsonObject& person)
{
    return person.value("username").toString();
}

bool sameUser(const QJsonObject& a, const QJsonObject& b)
{
    return nameOf(a).compare(nameOf(b), Qt::CaseInsensitive) == 0;
}

bool contains(const QList<QJsonObject>& people, const QJsonObject& person)
{
    return std::any_of(people.begin(), people.end(),
                       [&](const QJsonObject& p) { return sameUser(p, person); });
}

qint64 lastNumberOf(const QString& uri)
{
    const QStringList parts = uri.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? 0 : parts.last().toLongLong();
}

} // namespace

QJsonObject FakeTeam::user(qint64 id, const QString& email, bool teammate)
{
    return {{"id", id},
            {"username", email},
            {"email", email},
            {"resource_uri", QStringLiteral("/api/v1/user/%1/").arg(id)},
            {"user_profile", QJsonObject{{"userhash", QStringLiteral("h%1").arg(id)}}},
            {"teammate", teammate}};
}

QJsonObject FakeTeam::known(const QString& email) const
{
    const QJsonObject wanted{{"username", email}};
    if (sameUser(me, wanted))
        return me;
    for (const QList<QJsonObject>* people : {&collaborators, &others}) {
        for (const QJsonObject& p : *people)
            if (sameUser(p, wanted))
                return p;
    }
    return {};
}

QJsonObject FakeTeam::person(const QString& email)
{
    if (const QJsonObject found = known(email); !found.isEmpty())
        return found;
    others.append(user(m_nextUserId++, email));
    return others.last();
}

QJsonObject FakeTeam::requester()
{
    return person(m_server.actingUsername());
}

QList<QJsonObject> FakeTeam::ownersOf(qint64 projectId) const
{
    const auto it = owners.find(projectId);
    if (it != owners.end() && !it->second.isEmpty())
        return it->second;
    // Nobody given: the project is its creator's.
    const QString creator = m_server.projectCreator(projectId);
    const QJsonObject found = known(creator);
    return {found.isEmpty() ? user(0, creator) : found};
}

QJsonObject FakeTeam::request(qint64 id) const
{
    for (const QJsonObject& r : sharingRequests)
        if (r.value("id").toInteger() == id)
            return r;
    return {};
}

bool FakeTeam::isTarget(const QJsonObject& request, qint64 userId) const
{
    const QString uri = request.value("target_user").toString();
    // Requests written by hand without the person's path are everybody's.
    return uri.isEmpty() || lastNumberOf(uri) == userId;
}

QJsonObject FakeTeam::newRequest(qint64 projectId, const QJsonObject& from, const QJsonObject& to,
                                 const QString& status)
{
    const qint64 id = m_nextRequestId++;
    QJsonObject r{{"id", id},
                  {"resource_uri", QStringLiteral("/api/v1/sharing_request/%1/").arg(id)},
                  {"project", FakeSyncServer::projectUri(projectId)},
                  {"project_name", m_server.project(projectId).value("name")},
                  {"source_user", from.value("resource_uri")},
                  {"source_username", nameOf(from)},
                  {"target_user", to.value("resource_uri")},
                  {"target_username", nameOf(to)},
                  {"status", status},
                  {"random_hash", QStringLiteral("%1").arg(qHash(nameOf(to)) ^ quint64(id), 0, 16)}};
    sharingRequests.append(r);
    return r;
}

QString FakeTeam::refusal(qint64 projectId, const QJsonObject& from, const QJsonObject& target) const
{
    if (const auto it = refusals.find(nameOf(target)); it != refusals.end())
        return it->second;
    if (sameUser(target, from))
        return kInviteSelf;
    if (contains(ownersOf(projectId), target))
        return kAlreadyOwner.arg(nameOf(target));
    for (const QJsonObject& r : sharingRequests) {
        if (r.value("status") == kInit && lastNumberOf(r.value("project").toString()) == projectId &&
            sameUser(QJsonObject{{"username", r.value("target_username")}}, target))
            return kAlreadyInvited.arg(nameOf(target));
    }
    return {};
}

HttpResponse FakeTeam::post(const HttpRequest& request)
{
    const QJsonObject body = request.json().object();
    const qint64 projectId = lastNumberOf(body.value("project").toString());
    if (projectId <= 0)
        return HttpResponse::error(400, QStringLiteral("project missing"));
    const QString email = body.value("target_username").toString();
    if (email.isEmpty())
        return HttpResponse::error(400, QStringLiteral("target_username missing"));
    const QJsonObject from = requester();
    const QJsonObject target = person(email);
    const QString status = body.value("status").toString(kInit);
    const auto refused = [&](const QString& why) {
        QJsonObject r = newRequest(projectId, from, target, kRejected);
        if (!why.isEmpty())
            r.insert("message", why);
        sharingRequests.last() = r;
        return HttpResponse::json(r, 201);
    };

    if (status == kRemove) {
        QList<QJsonObject> team = ownersOf(projectId);
        if (!contains(team, target) || sameUser(target, from))
            return refused(kNotOwner.arg(nameOf(target)));
        team.removeIf([&](const QJsonObject& p) { return sameUser(p, target); });
        owners[projectId] = team;
        return HttpResponse::json(newRequest(projectId, from, target, kRemove), 201);
    }
    if (status != kInit)
        return HttpResponse::error(400, QStringLiteral("unknown status"));
    if (const QString why = refusal(projectId, from, target); !why.isNull())
        return refused(why);
    return HttpResponse::json(newRequest(projectId, from, target, kInit), 201);
}

bool FakeTeam::answer(QJsonObject& r, const QString& status)
{
    if (r.value("status") != kInit || (status != kAccepted && status != kRejected))
        return false;
    r.insert("status", status);
    if (status == kAccepted) {
        const qint64 projectId = lastNumberOf(r.value("project").toString());
        QList<QJsonObject> team = ownersOf(projectId);
        const QJsonObject target = person(r.value("target_username").toString());
        if (!contains(team, target))
            team.append(target);
        owners[projectId] = team;
    }
    return true;
}

HttpResponse FakeTeam::put(const HttpRequest& request)
{
    for (QJsonObject& r : sharingRequests) {
        if (r.value("id").toInteger() != idArg(request))
            continue;
        const QString status = request.json().object().value("status").toString();
        // Only the invited person takes an invitation; either side may turn it down (requests
        // written by hand without a source, anybody).
        const QJsonObject by = requester();
        const QJsonObject source{{"username", r.value("source_username")}};
        const bool invited = sameUser(by, QJsonObject{{"username", r.value("target_username")}});
        if (!invited && (status == kAccepted || (!nameOf(source).isEmpty() && !sameUser(by, source))))
            return HttpResponse::error(403, QStringLiteral("not yours to answer"));
        if (!answer(r, status))
            return HttpResponse::error(400, QStringLiteral("the request is not open"));
        return HttpResponse::json(r);
    }
    return HttpResponse::error(404, QStringLiteral("no such request"));
}

qint64 FakeTeam::inviteMe(qint64 projectId, const QJsonObject& from)
{
    QList<QJsonObject> team = ownersOf(projectId);
    if (!contains(team, from))
        team.append(from);
    owners[projectId] = team;
    return newRequest(projectId, from, me, kInit).value("id").toInteger();
}

bool FakeTeam::answerAsInvited(qint64 requestId, const QString& status)
{
    for (QJsonObject& r : sharingRequests)
        if (r.value("id").toInteger() == requestId)
            return answer(r, status);
    return false;
}

FakeTeam::FakeTeam(FakeSyncServer& server, const QString& username)
    : me(user(1, username, true)), m_server(server)
{
    server.setProjectAccess([this](qint64 projectId, const QString& reader) {
        return contains(ownersOf(projectId), QJsonObject{{"username", reader}});
    });
    server.addRoute("GET", "/api/v1/me/", [this](const HttpRequest&) {
        if (me.isEmpty() || sameUser(me, QJsonObject{{"username", m_server.actingUsername()}}))
            return me.isEmpty() ? HttpResponse::error(401, QStringLiteral("not signed in"))
                                : HttpResponse::json(me);
        return HttpResponse::json(requester());
    });
    // Another account works with everybody the server knows.
    server.addRoute("GET", "/api/v1/me/collaborators/", [this](const HttpRequest& request) {
        const QJsonObject by = requester();
        if (sameUser(by, me))
            return m_server.pagedList(request, collaborators);
        QList<QJsonObject> people = QList<QJsonObject>{me} + collaborators + others;
        people.removeIf([&](const QJsonObject& p) { return sameUser(p, by); });
        return m_server.pagedList(request, people);
    });
    server.addRoute("GET", "/api/v1/project/:id/owners/", [this](const HttpRequest& request) {
        return m_server.pagedList(request, ownersOf(idArg(request)));
    });
    server.addRoute("GET", "/api/v1/item/:id/followers/", [this](const HttpRequest& request) {
        return m_server.pagedList(request, followers[idArg(request)]);
    });
    const auto follow = [this](const HttpRequest& request, const QJsonObject& person, bool on) {
        QList<QJsonObject>& people = followers[idArg(request)];
        people.removeIf([&](const QJsonObject& p) { return sameUser(p, person); });
        if (on)
            people.append(person);
        return m_server.pagedList(request, people);
    };
    server.addRoute("GET", "/api/v1/item/:id/follow/", [this, follow](const HttpRequest& request) {
        return follow(request, requester(), true);
    });
    server.addRoute("GET", "/api/v1/item/:id/unfollow/", [this, follow](const HttpRequest& request) {
        return follow(request, requester(), false);
    });
    server.addRoute("GET", "/api/v1/item/:id/invite/", [this, follow](const HttpRequest& request) {
        const qint64 invited = request.queryItem(QStringLiteral("userid")).toLongLong();
        for (const QJsonObject& person : QList<QJsonObject>{me} + collaborators + others) {
            if (person.value("id").toInteger() == invited)
                return follow(request, person, true);
        }
        return HttpResponse::error(400, QStringLiteral("no such collaborator"));
    });

    server.addRoute("GET", "/api/v1/sharing_request/", [this](const HttpRequest& request) {
        const auto wanted = [&](const char* key) {
            return request.hasQueryItem(QLatin1String(key))
                       ? std::optional(request.queryItem(QLatin1String(key)))
                       : std::nullopt;
        };
        const auto status = wanted("status");
        const auto project = wanted("project");
        const auto target = wanted("target_user");
        const bool withTarget = wanted("target_user__isnull") == QStringLiteral("false");
        QList<QJsonObject> matched;
        for (const QJsonObject& r : sharingRequests) {
            const QString targetUri = r.value("target_user").toString();
            if ((status && r.value("status").toString() != *status) ||
                (project && lastNumberOf(r.value("project").toString()) != project->toLongLong()) ||
                (target && !isTarget(r, target->toLongLong())) ||
                (withTarget && targetUri.isEmpty() && r.value("target_username").toString().isEmpty()))
                continue;
            matched.append(r);
        }
        return m_server.pagedList(request, matched);
    });
    server.addRoute("POST", "/api/v1/sharing_request/",
                    [this](const HttpRequest& request) { return post(request); });
    server.addRoute("PUT", "/api/v1/sharing_request/:id/",
                    [this](const HttpRequest& request) { return put(request); });
}

} // namespace qv::test
