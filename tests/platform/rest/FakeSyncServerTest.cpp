#include "tests/support/FakeSyncServer.h"
#include "platform/rest/QueryConventions.h"
#include "platform/rest/RestClient.h"
#include "tests/platform/rest/RestTestSupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <optional>

using namespace qv::rest;
using qv::rest::test::waitFor;
using qv::test::FakeSyncServer;

namespace {

constexpr qint64 kStart = 1'700'000'000;

class FakeSyncServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        client.setBaseUrl(server.apiUrl());
    }

    // Any HTTP reply, whatever its status; a transport failure fails the test.
    Response call(Method method, const QString& path, const QJsonObject& body = {})
    {
        std::optional<Response> reply;
        bool failed = false;
        Request request;
        request.method = method;
        request.path = path;
        if (method != Method::Get)
            request.setJsonBody(QJsonDocument(body));
        request.failOnHttpError = false;
        request.onSuccess = [&](const Response& response) {
            reply = response;
        };
        request.onFailure = [&](const Error& error) {
            ADD_FAILURE() << error.message.toStdString();
            failed = true;
        };
        client.send(request);
        EXPECT_TRUE(waitFor([&] { return reply.has_value() || failed; }));
        return reply.value_or(Response{});
    }

    static QString since(qint64 seconds)
    {
        return queryDate(QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()));
    }
    static QString pollPath(const QString& resource, qint64 fromSeconds)
    {
        return QStringLiteral("/%1/?format=json&uid=dev%2&timestamp__gte=%3")
            .arg(resource, platformVersionPair("1.2"), since(fromSeconds));
    }
    static QJsonObject meta(const Response& response)
    {
        return response.json.object().value("meta").toObject();
    }
    static QJsonArray objects(const Response& response)
    {
        return response.json.object().value("objects").toArray();
    }

    FakeSyncServer server;
    RestClient client;
};

// --- Paging ------------------------------------------------------------------------------------

TEST_F(FakeSyncServerTest, GivenMoreItemsThanAPage_WhenPolled_ThenMetaLeadsThroughEveryPage)
{
    const qint64 project = server.createProjectAsOtherDevice({{"name", "P"}});
    for (int i = 0; i < 45; ++i) {
        server.setNow(kStart + i);
        server.createItemAsOtherDevice({{"name", QString::number(i)}}, project);
    }
    server.setNow(kStart + 100);

    Response first = call(Method::Get, pollPath("item", kStart));
    ASSERT_EQ(first.statusCode, 200);
    EXPECT_EQ(objects(first).size(), 20);
    EXPECT_EQ(meta(first).value("total_count").toInt(), 45);
    EXPECT_EQ(meta(first).value("offset").toInt(), 0);
    EXPECT_EQ(meta(first).value("limit").toInt(), 20);
    EXPECT_EQ(meta(first).value("requested_time").toInteger(), kStart + 44);
    EXPECT_EQ(meta(first).value("server_time").toInteger(), kStart + 100);
    EXPECT_FALSE(meta(first).contains("previous"));
    EXPECT_EQ(meta(first).value("next").toString(),
              "/api/v1/item/?format=json&uid=dev&qv_platform=Halvern&qv_version=1.2"
              "&timestamp__gte=2023-11-14%2022:13:20.000000-00:00&offset=20&limit=20");

    // The client asks for the next page by appending offset and limit to its own path.
    Response last = call(Method::Get, pollPath("item", kStart) + "&offset=40&limit=20");
    EXPECT_EQ(objects(last).size(), 5);
    EXPECT_FALSE(meta(last).contains("next")) << "no further page";
    EXPECT_TRUE(meta(last).value("previous").toString().endsWith("&offset=20&limit=20"));
    EXPECT_EQ(objects(last).last().toObject().value("name").toString(), "44");
    EXPECT_EQ(objects(last).last().toObject().value("requested_time").toInteger(), kStart + 100);
}

TEST_F(FakeSyncServerTest,
       GivenATimestampCursor_WhenPolled_ThenOnlyObjectsChangedAtOrAfterItComeAndADoublyEncodedOneIsRefused)
{
    server.setNow(kStart);
    const qint64 project = server.createProjectAsOtherDevice({{"name", "P"}});
    server.createItemAsOtherDevice({{"name", "old"}}, project);
    server.setNow(kStart + 10);
    const qint64 same = server.createItemAsOtherDevice({{"name", "same second"}}, project);
    server.setNow(kStart + 20);
    server.createItemAsOtherDevice({{"name", "newer"}}, project);

    Response reply = call(Method::Get, pollPath("item", kStart + 10));
    ASSERT_EQ(objects(reply).size(), 2);
    EXPECT_EQ(objects(reply)[0].toObject().value("id").toInteger(), same);
    EXPECT_EQ(meta(reply).value("requested_time").toInteger(), kStart + 20);

    Response none = call(Method::Get, pollPath("item", kStart + 21));
    EXPECT_EQ(meta(none).value("total_count").toInt(), 0);
    EXPECT_EQ(meta(none).value("requested_time").toInteger(), kStart + 21);

    QString path = pollPath("item", kStart);
    path.replace("%20", "%2520");
    EXPECT_EQ(call(Method::Get, path).statusCode, 400);
}

TEST_F(FakeSyncServerTest,
       GivenAListBeingPagedThrough_WhenItsObjectsOrWhoMayReadThemChangeBetweenPages_ThenTheNextAnswerShowsIt)
{
    const qint64 work = server.createProjectAsOtherDevice({{"name", "Work"}});
    const qint64 home = server.createProjectAsOtherDevice({{"name", "Home"}});
    QList<qint64> items;
    for (int i = 0; i < 25; ++i) {
        server.setNow(kStart + i);
        items << server.createItemAsOtherDevice({{"name", QString::number(i)}}, work);
    }
    ASSERT_EQ(objects(call(Method::Get, pollPath("item", kStart))).size(), 20);

    // Changed after the first page: it moves to the end of the list.
    server.setNow(kStart + 50);
    server.modifyItemAsOtherDevice(items[0], {{"name", "changed"}});
    Response second = call(Method::Get, pollPath("item", kStart) + "&offset=20&limit=20");
    ASSERT_EQ(objects(second).size(), 5);
    EXPECT_EQ(objects(second).last().toObject().value("name").toString(), "changed");
    EXPECT_EQ(meta(second).value("requested_time").toInteger(), kStart + 50);

    // Moved to another project: each project's list follows.
    auto projectItems = [&](qint64 project) {
        return meta(call(Method::Get, QStringLiteral("/project/%1/items/").arg(project)))
            .value("total_count")
            .toInt();
    };
    ASSERT_EQ(projectItems(work), 25);
    server.modifyItemAsOtherDevice(items[1], {{"projects", QJsonArray{FakeSyncServer::projectUri(home)}}});
    EXPECT_EQ(projectItems(work), 24);
    EXPECT_EQ(projectItems(home), 1);

    // Unshared, with nothing on the server changed.
    bool shared = true;
    server.setProjectAccess([&](qint64 project, const QString&) { return project != work || shared; });
    EXPECT_EQ(meta(call(Method::Get, pollPath("item", kStart))).value("total_count").toInt(), 25);
    shared = false;
    EXPECT_EQ(meta(call(Method::Get, pollPath("item", kStart))).value("total_count").toInt(), 1);
}

// --- Items -------------------------------------------------------------------------------------

TEST_F(FakeSyncServerTest, GivenANewItem_WhenPostedAndPut_ThenTheServerOwnsIdsVersionsAndTimes)
{
    const qint64 project = server.createProjectAsOtherDevice({{"name", "Home"}});
    server.setNow(kStart + 5);
    Response created = call(Method::Post, "/item/" + routeSuffix("1.2"),
                            {{"idd", 77},
                             {"name", "Buy milk"},
                             {"timestamp", 1},
                             {"version_id", 40},
                             {"editedByDevice", "mine"},
                             {"projects", QJsonObject{{"idd", project}, {"name", "Home"}}}});
    ASSERT_EQ(created.statusCode, 201);
    const QJsonObject item = created.json.object();
    const qint64 id = item.value("id").toInteger();
    EXPECT_GT(id, 0);
    EXPECT_EQ(item.value("idd").toInt(), 77);
    EXPECT_EQ(item.value("version_id").toInt(), 1) << "the client's version is not the server's";
    EXPECT_EQ(item.value("timestamp").toInteger(), kStart + 5);
    EXPECT_EQ(item.value("resource_uri").toString(), FakeSyncServer::itemUri(id));
    EXPECT_EQ(item.value("creator_username").toString(), server.username());
    EXPECT_EQ(item.value("editedByDevice").toString(), "mine");
    EXPECT_EQ(item.value("projects").toArray(), QJsonArray{FakeSyncServer::projectUri(project)});

    server.setNow(kStart + 9);
    Response updated = call(Method::Put, QStringLiteral("/item/%1/").arg(id) + routeSuffix("1.2"),
                            {{"name", "Buy oat milk"}});
    ASSERT_EQ(updated.statusCode, 200);
    EXPECT_EQ(updated.json.object().value("version_id").toInt(), 2);
    EXPECT_EQ(updated.json.object().value("timestamp").toInteger(), kStart + 9);
    EXPECT_EQ(server.item(id).value("name").toString(), "Buy oat milk");
    EXPECT_EQ(server.item(id).value("idd").toInt(), 77) << "fields not sent are kept";

    EXPECT_EQ(call(Method::Put, "/item/999/" + routeSuffix("1.2"), {{"name", "x"}}).statusCode, 404);
    EXPECT_EQ(call(Method::Put, "/item/999" + routeSuffix("1.2"), {{"name", "x"}}).statusCode, 404)
        << "paths without the trailing slash are not resources";
}

TEST_F(FakeSyncServerTest,
       GivenTheInbox_WhenPolled_ThenOnlyItemsWithoutAProjectComeFilteredByState_AndOnlyThere)
{
    const qint64 project = server.createProjectAsOtherDevice({{"name", "Work"}});
    server.createItemAsOtherDevice({{"name", "in project"}}, project);
    server.createItemAsOtherDevice({{"name", "mailed in"}});
    server.createItemAsOtherDevice({{"name", "done"}, {"state", 1}});

    Response open =
        call(Method::Get, "/me/inbox/?format=json&state=0&limit=1000" + platformVersionPair("1.2"));
    ASSERT_EQ(objects(open).size(), 1);
    EXPECT_EQ(objects(open)[0].toObject().value("name").toString(), "mailed in");

    Response all = call(Method::Get, "/me/inbox/?format=json&timestamp__gte=" + since(kStart) +
                                         "&limit=1000" + platformVersionPair("1.2"));
    EXPECT_EQ(objects(all).size(), 2);

    Response changed = call(Method::Get, pollPath("item", kStart));
    ASSERT_EQ(objects(changed).size(), 1);
    EXPECT_EQ(objects(changed)[0].toObject().value("name").toString(), "in project");
}

// --- Fault injection -----------------------------------------------------------------------------

TEST_F(FakeSyncServerTest,
       GivenAStatusOrApplyThenFailFault_WhenUsed_ThenTheRouteRecoversOrTheItemIsStoredBehindA502)
{
    server.failNext("/api/v1/item/", 500, 2, qv::test::PathMatch::Exact);
    EXPECT_EQ(call(Method::Get, "/item/5/").statusCode, 404) << "exact match leaves other paths alone";
    EXPECT_EQ(call(Method::Get, "/item/").statusCode, 500);
    EXPECT_EQ(call(Method::Post, "/item/", {{"idd", 1}}).statusCode, 500);
    EXPECT_EQ(server.itemCount(), 0) << "a failed call changes nothing";
    EXPECT_EQ(call(Method::Get, "/item/").statusCode, 200);

    server.applyThenFailNext("/api/v1/item/", 502);
    EXPECT_EQ(call(Method::Post, "/item/" + routeSuffix("1.2"), {{"idd", 1}}).statusCode, 502);
    EXPECT_EQ(server.itemCount(), 1);
}

TEST_F(FakeSyncServerTest, GivenARouteAddedLater_WhenItsPathIsAsked_ThenItTakesPrecedence)
{
    server.addRoute("GET", "/api/v1/item/:id/", [](const qv::test::HttpRequest& request) {
        return qv::test::HttpResponse::json(QJsonObject{{"custom", request.args.value("id")}});
    });
    EXPECT_EQ(call(Method::Get, "/item/12/").json.object().value("custom").toString(), "12");
    EXPECT_EQ(call(Method::Delete, "/item/12/").statusCode, 405);
}

} // namespace

namespace {

struct Fetched {
    int status = 0;
    QByteArray location;
    QByteArray body;
};

// One request as a browser would send it, redirects not followed; the jar keeps the cookies.
Fetched fetch(QNetworkAccessManager& network, const QUrl& url, const QByteArray& form = {})
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply* reply = form.isNull() ? network.get(request) : network.post(request, form);
    EXPECT_TRUE(waitFor([reply] { return reply->isFinished(); }));
    Fetched fetched{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                    reply->rawHeader("Location"), reply->readAll()};
    reply->deleteLater();
    return fetched;
}

} // namespace

TEST_F(FakeSyncServerTest, GivenRequiredSignIn_WhenTheFormIsSent_ThenOnlyItsSessionOpensTheApi)
{
    server.setAccount("a+b@example.com", "pw");
    server.setRequireLogin(true);
    QNetworkAccessManager network;
    const auto at = [&](const char* path) {
        return QUrl(server.baseUrl().toString() + QLatin1String(path));
    };

    EXPECT_EQ(fetch(network, at("/api/v1/rest_config/")).status, 401);
    const Fetched away = fetch(network, at("/isloggedindesktop/"));
    EXPECT_EQ(away.status, 302);
    EXPECT_EQ(away.location, "/desktoplogin/?next=/isloggedindesktop/");
    EXPECT_TRUE(fetch(network, at("/desktoplogin/?username=a%2Bb%40example.com"))
                    .body.contains("value=\"a+b@example.com\""));
    EXPECT_EQ(
        fetch(network, at("/desktoplogin/"), "username=a%2Bb%40example.com&password=wrong&next=/").status,
        401);
    EXPECT_EQ(server.sessionCount(), 0);

    const Fetched in = fetch(network, at("/desktoplogin/"),
                             "username=A%2BB%40example.com&password=pw&next=%2Fisloggedindesktop%2F");
    EXPECT_EQ(in.status, 302);
    EXPECT_EQ(in.location, "/isloggedindesktop/");
    EXPECT_EQ(fetch(network, at("/isloggedindesktop/")).status, 200);
    EXPECT_EQ(fetch(network, at("/api/v1/rest_config/")).status, 200);
    EXPECT_EQ(fetch(network, at("/desktoplogin/")).location, "/");

    // Without the requirement, as every other suite runs, no session is needed.
    QNetworkAccessManager stranger;
    EXPECT_EQ(fetch(stranger, at("/api/v1/rest_config/")).status, 401);
    server.setRequireLogin(false);
    EXPECT_EQ(fetch(stranger, at("/api/v1/rest_config/")).status, 200);
}
