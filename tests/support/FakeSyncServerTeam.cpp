#include "tests/support/FakeSyncServerTeam.h"

#include "tests/support/LoopbackHttpServer.h"

#include <QJsonArray>

namespace qv::test {

namespace {

HttpResponse list(const QList<QJsonObject>& objects)
{
    QJsonArray array;
    for (const QJsonObject& object : objects)
        array.append(object);
    const QJsonObject meta{{"limit", 100}, {"offset", 0}, {"total_count", int(objects.size())}};
    return HttpResponse::json(QJsonObject{{"meta", meta}, {"objects", array}});
}

qint64 idArg(const HttpRequest& request)
{
    return request.args.value(QStringLiteral("id")).toLongLong();
}

bool sameUser(const QJsonObject& a, const QJsonObject& b)
{
    return a.value("username") == b.value("username");
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

FakeTeam::FakeTeam(LoopbackHttpServer& server, const QString& username) : me(user(1, username, true))
{
    server.addRoute("GET", "/api/v1/me/", [this](const HttpRequest&) {
        return me.isEmpty() ? HttpResponse::error(401, QStringLiteral("not signed in"))
                            : HttpResponse::json(me);
    });
    server.addRoute("GET", "/api/v1/me/collaborators/",
                    [this](const HttpRequest&) { return list(collaborators); });
    server.addRoute("GET", "/api/v1/project/:id/owners/",
                    [this](const HttpRequest& request) { return list(owners[idArg(request)]); });
    server.addRoute("GET", "/api/v1/item/:id/followers/",
                    [this](const HttpRequest& request) { return list(followers[idArg(request)]); });
    const auto follow = [this](qint64 item, const QJsonObject& person, bool on) {
        QList<QJsonObject>& people = followers[item];
        people.removeIf([&](const QJsonObject& p) { return sameUser(p, person); });
        if (on)
            people.append(person);
        return list(people);
    };
    server.addRoute("GET", "/api/v1/item/:id/follow/",
                    [this, follow](const HttpRequest& request) { return follow(idArg(request), me, true); });
    server.addRoute("GET", "/api/v1/item/:id/unfollow/",
                    [this, follow](const HttpRequest& request) { return follow(idArg(request), me, false); });
    server.addRoute("GET", "/api/v1/item/:id/invite/", [this, follow](const HttpRequest& request) {
        const qint64 invited = request.queryItem(QStringLiteral("userid")).toLongLong();
        for (const QJsonObject& person : collaborators) {
            if (person.value("id").toInteger() == invited)
                return follow(idArg(request), person, true);
        }
        return HttpResponse::error(400, QStringLiteral("no such collaborator"));
    });

    server.addRoute("GET", "/api/v1/sharing_request/", [this](const HttpRequest& request) {
        QList<QJsonObject> matched;
        for (const QJsonObject& r : sharingRequests) {
            const QString status = request.queryItem(QStringLiteral("status"));
            const QString project = request.queryItem(QStringLiteral("project"));
            if (!status.isEmpty() && r.value("status").toString() != status)
                continue;
            if (!project.isEmpty() &&
                r.value("project").toString() != QStringLiteral("/api/v1/project/%1/").arg(project))
                continue;
            matched.append(r);
        }
        return list(matched);
    });
    server.addRoute("POST", "/api/v1/sharing_request/", [this](const HttpRequest& request) {
        QJsonObject r = request.json().object();
        const qint64 id = m_nextRequestId++;
        r.insert("id", id);
        r.insert("resource_uri", QStringLiteral("/api/v1/sharing_request/%1/").arg(id));
        r.insert("status", QStringLiteral("init"));
        r.insert("source_username", me.value("username"));
        sharingRequests.append(r);
        return HttpResponse::json(r, 201);
    });
    server.addRoute("PUT", "/api/v1/sharing_request/:id/", [this](const HttpRequest& request) {
        for (QJsonObject& r : sharingRequests) {
            if (r.value("id").toInteger() != idArg(request))
                continue;
            r.insert("status", request.json().object().value("status"));
            return HttpResponse::json(r);
        }
        return HttpResponse::error(404, QStringLiteral("no such request"));
    });
}

} // namespace qv::test
