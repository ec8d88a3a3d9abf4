#include "platform/rest/RestClient.h"
#include "platform/rest/MultipartParams.h"
#include "platform/rest/QueryConventions.h"
#include "platform/rest/RequestQueue.h"
#include "tests/platform/rest/RestTestSupport.h"
#include "tests/support/FakeSyncServer.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace qv::rest;
using qv::rest::test::CallbackLog;
using qv::rest::test::waitFor;
using qv::test::FakeSyncServer;

namespace {

const QString kItems = QStringLiteral("/api/v1/item/");

class RestClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        client.setBaseUrl(server.apiUrl());
    }

    // A request on another path that has come back: anything the client had sent before it
    // has reached the server by then.
    void roundTrip()
    {
        bool done = false;
        client.get(
            "/rest_config/", [&](const Response&) { done = true; }, [&](const Error&) { done = true; });
        ASSERT_TRUE(waitFor([&] { return done; }));
    }

    // Sends one request and waits for its callback.
    void send(const Request& request)
    {
        const qsizetype before = log.events.size();
        client.send(request);
        ASSERT_TRUE(waitFor([&] { return log.events.size() > before; }));
    }

    int itemRequests() const { return int(server.requestsTo("GET", kItems).size()); }

    FakeSyncServer server;
    RestClient client;
    CallbackLog log;
};

// --- Queue order and concurrency -------------------------------------------------------------

TEST_F(RestClientTest, GivenLimitOne_WhenRequestsAreQueued_ThenTheyGoOneAtATimeInOrder)
{
    RequestQueue queue(&client);
    queue.start();
    server.holdNext(kItems, 3);
    for (const char* name : {"a", "b", "c"})
        queue.addRequest(log.request(name, QStringLiteral("/item/?format=json&n=%1").arg(name)));

    for (int sent = 1; sent <= 3; ++sent) {
        ASSERT_TRUE(waitFor([&] { return server.heldReplyCount() == 1; }));
        roundTrip();
        EXPECT_EQ(itemRequests(), sent) << "a later request went out before the earlier one was answered";
        server.releaseHeldReplies();
    }
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 3; }));
    EXPECT_EQ(log.events, QStringList({"ok:a", "ok:b", "ok:c"}));
    const auto requests = server.requestsTo("GET", kItems);
    EXPECT_EQ(requests[0].rawQuery, "format=json&n=a");
    EXPECT_EQ(requests[2].rawQuery, "format=json&n=c");
    EXPECT_EQ(queue.count(), 0);
}

TEST_F(RestClientTest, GivenLimitThree_WhenFourAreQueued_ThenThreeLoadTogetherAndTheFourthWaits)
{
    RequestQueue queue(&client);
    queue.setConcurrentRequestsLimit(3);
    queue.start();
    server.holdNext(kItems, 4);
    for (const char* name : {"a", "b", "c", "d"})
        queue.addRequest(log.request(name, QStringLiteral("/item/?n=%1").arg(name)));

    ASSERT_TRUE(waitFor([&] { return server.heldReplyCount() == 3; }));
    roundTrip();
    EXPECT_EQ(itemRequests(), 3);
    EXPECT_EQ(queue.loadingCount(), 3);
    EXPECT_EQ(queue.count(), 4);
    server.releaseHeldReplies();
    ASSERT_TRUE(waitFor([&] { return server.heldReplyCount() == 1; }));
    server.releaseHeldReplies();
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 4; }));
    EXPECT_EQ(log.events.last(), "ok:d");
}

// --- Suspend, resume, cancel --------------------------------------------------------------------

TEST_F(RestClientTest, GivenANewOrSuspendedQueue_WhenRequestsWait_ThenOnlyTheLoadingOneFinishesUntilResumed)
{
    RequestQueue queue(&client);
    server.holdNext(kItems);
    queue.addRequest(log.request("a", "/item/?n=a"));
    queue.addRequest(log.request("b", "/item/?n=b"));
    roundTrip();
    EXPECT_EQ(itemRequests(), 0) << "a new queue sends nothing until started";
    EXPECT_TRUE(queue.isSuspended());
    queue.start();
    ASSERT_TRUE(waitFor([&] { return server.heldReplyCount() == 1; }));

    queue.setSuspended(true);
    server.releaseHeldReplies();
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 1; }));
    roundTrip();
    EXPECT_EQ(itemRequests(), 1);

    queue.setSuspended(false);
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 2; }));
    EXPECT_EQ(log.events, QStringList({"ok:a", "ok:b"}));
}

TEST_F(RestClientTest, GivenLoadingAndWaitingRequests_WhenAllAreCancelled_ThenNoCallbackRunsAndEachIsReported)
{
    RequestQueue queue(&client);
    QSignalSpy cancelled(&queue, &RequestQueue::didCancelRequest);
    queue.start();
    server.holdNext(kItems);
    queue.addRequest(log.request("a", "/item/?n=a"));
    queue.addRequest(log.request("b", "/item/?n=b"));
    queue.addRequest(log.request("c", "/item/?n=c"));
    ASSERT_TRUE(waitFor([&] { return server.heldReplyCount() == 1; }));

    queue.cancelAllRequests();
    EXPECT_EQ(queue.count(), 0);
    ASSERT_EQ(cancelled.size(), 3);
    EXPECT_EQ(cancelled[0][1].toMap().value("name"), "a");
    EXPECT_EQ(cancelled[2][1].toMap().value("name"), "c");

    server.releaseHeldReplies();
    queue.addRequest(log.request("d", "/item/?n=d"));
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 1; }));
    EXPECT_EQ(log.events, QStringList({"ok:d"}));
    EXPECT_EQ(itemRequests(), 2) << "the waiting requests b and c must never be sent";
}

TEST_F(RestClientTest, GivenAWaitingRequest_WhenCancelledAlone_ThenTheOthersStillRunInOrder)
{
    RequestQueue queue(&client);
    server.holdNext(kItems);
    queue.addRequest(log.request("a", "/item/?n=a"));
    const RequestId b = queue.addRequest(log.request("b", "/item/?n=b"));
    queue.addRequest(log.request("c", "/item/?n=c"));
    queue.start();
    ASSERT_TRUE(waitFor([&] { return server.heldReplyCount() == 1; }));

    EXPECT_TRUE(queue.cancelRequest(b));
    EXPECT_FALSE(queue.cancelRequest(b));
    server.releaseHeldReplies();
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 2; }));
    EXPECT_EQ(log.events, QStringList({"ok:a", "ok:c"}));
}

TEST_F(RestClientTest, GivenACallbackThatDestroysItsQueue_WhenTheReplyArrives_ThenNothingElseRuns)
{
    auto* queue = new RequestQueue(&client);
    queue->start();
    server.holdNext(kItems);
    Request first = log.request("a", "/item/?n=a");
    first.onSuccess = [&](const Response&) {
        log.events.append("ok:a");
        delete queue;
    };
    queue->addRequest(first);
    queue->addRequest(log.request("b", "/item/?n=b"));
    ASSERT_TRUE(waitFor([&] { return server.heldReplyCount() == 1; }));
    server.releaseHeldReplies();
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 1; }));
    roundTrip();
    EXPECT_EQ(log.events, QStringList({"ok:a"}));
    EXPECT_EQ(itemRequests(), 1);
}

// --- Failures ----------------------------------------------------------------------------------

TEST_F(RestClientTest,
       GivenAnHttpErrorStatus_WhenLoaded_ThenTheFailureCallbackGetsTheStatusAndBodyUnlessTheRequestReadsIt)
{
    RequestQueue queue(&client);
    QSignalSpy loaded(&queue, &RequestQueue::didLoadResponse);
    queue.start();
    server.failNext(kItems, 404);
    server.failNext(kItems, 503);
    queue.addRequest(log.request("a", "/item/"));
    queue.addRequest(log.request("b", "/item/"));
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 2; }));

    EXPECT_EQ(log.events, QStringList({"fail:a", "fail:b"}));
    EXPECT_EQ(log.errors[0].kind, Error::Kind::Http);
    EXPECT_EQ(log.errors[0].statusCode(), 404);
    EXPECT_EQ(log.errors[1].statusCode(), 503);
    EXPECT_EQ(log.errors[1].response.json.object().value("error").toString(), "injected failure");
    EXPECT_EQ(loaded.size(), 2) << "the queue still reports an HTTP reply as loaded";

    // Unless the request reads the status itself.
    server.failNext(kItems, 404);
    Request reading = log.request("c", "/item/");
    reading.failOnHttpError = false;
    send(reading);
    EXPECT_EQ(log.events.last(), "ok:c");
    EXPECT_EQ(log.responses[0].statusCode, 404);
}

TEST_F(RestClientTest, GivenADroppedConnectionATimeoutOrNoServer_WhenSending_ThenTheFailureSaysWhich)
{
    RequestQueue queue(&client);
    QSignalSpy failed(&queue, &RequestQueue::didFailRequest);
    queue.start();
    // The network layer retries a request whose connection closed unanswered, so every try drops.
    server.dropNext(kItems, -1);
    queue.addRequest(log.request("a", "/item/"));
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 1; }));
    EXPECT_EQ(log.events, QStringList({"fail:a"}));
    EXPECT_EQ(log.errors[0].kind, Error::Kind::Network);
    EXPECT_EQ(log.errors[0].statusCode(), 0);
    EXPECT_EQ(failed.size(), 1);

    // A reply that never comes times out; a server that is gone fails at once.
    server.clearFaults();
    client.setTimeoutMs(150);
    server.holdNext(kItems);
    send(log.request("held", "/item/"));
    EXPECT_EQ(log.errors[1].kind, Error::Kind::Timeout);
    server.close();
    send(log.request("closed", "/item/"));
    EXPECT_EQ(log.errors[2].kind, Error::Kind::Network);
}

TEST_F(RestClientTest,
       GivenAKeptAliveConnection_WhenTheServerTakesARequestAndDrops_ThenAPostArrivesOnceWhereAGetIsResent)
{
    qv::test::TempHome home;
    const QString path = home.root() + "/notes.txt";
    ASSERT_TRUE(qv::test::writeFile(path, "file bytes"));
    auto params = std::make_shared<MultipartParams>();
    params->setValue("/api/v1/item/1/", "item");
    params->setFile(path, "content");
    Request json = log.request("json", "/item/");
    json.method = Method::Post;
    json.setJsonBody(QJsonDocument(QJsonObject{{"name", "once"}}));
    Request form = log.request("form", "/file/");
    form.method = Method::Post;
    form.params = params;
    Request get = log.request("get", "/item/");

    for (const Request& request : {json, form, get}) {
        const QString name = request.userData.value("name").toString();
        SCOPED_TRACE(name.toStdString());
        const QString target = QStringLiteral("/api/v1") + request.path;
        roundTrip(); // the connection is open and idle, as between two sync requests
        const int idle = server.requests().last().connectionId;
        server.clearRequests();
        server.applyThenDropNext(target);
        send(request);
        const QList<qv::test::HttpRequest> arrived = server.requestsTo(methodName(request.method), target);
        ASSERT_FALSE(arrived.isEmpty());
        EXPECT_EQ(arrived.first().connectionId, idle);
        if (request.method == Method::Post) {
            // The server may have carried it out: sending it again is not the network layer's call.
            EXPECT_EQ(arrived.size(), 1);
            EXPECT_EQ(log.events.last(), "fail:" + name);
            EXPECT_EQ(log.errors.last().kind, Error::Kind::Network);
        } else {
            // The network layer sends it again on a new connection, which answers.
            EXPECT_EQ(arrived.size(), 2);
            EXPECT_EQ(log.events.last(), "ok:" + name);
        }
    }
    EXPECT_EQ(server.itemCount(), 1);
    EXPECT_EQ(server.fileCount(), 1);
}

TEST_F(RestClientTest, GivenMalformedOrTruncatedJson_WhenLoaded_ThenTheFailureIsAParseError)
{
    server.createItemAsOtherDevice({{"name", "one"}});
    server.malformNext(kItems);
    send(log.request("malformed", "/item/"));
    server.truncateNext(kItems);
    send(log.request("truncated", "/item/"));
    ASSERT_EQ(log.errors.size(), 2);
    for (const Error& error : log.errors) {
        EXPECT_EQ(error.kind, Error::Kind::Parse);
        EXPECT_EQ(error.statusCode(), 200);
        EXPECT_FALSE(error.response.body.isEmpty());
    }
}

TEST_F(RestClientTest, GivenAnUnreadableUploadFile_WhenSending_ThenItFailsLaterWithoutReachingTheServer)
{
    auto params = std::make_shared<MultipartParams>();
    params->setFile(QStringLiteral("/nonexistent/quadrivo/file.txt"), "content");
    Request request = log.request("upload", "/file/");
    request.method = Method::Post;
    request.params = params;
    client.send(request);
    EXPECT_TRUE(log.events.isEmpty()) << "callbacks never run from inside send()";
    ASSERT_TRUE(waitFor([&] { return log.events.size() == 1; }));
    EXPECT_EQ(log.errors[0].kind, Error::Kind::Invalid);
    EXPECT_TRUE(server.requests().isEmpty());
}

// --- JSON --------------------------------------------------------------------------------------

TEST_F(RestClientTest, GivenJsonServedAsTextHtml_WhenLoaded_ThenItIsParsedButAnHtmlPageIsNot)
{
    server.setJsonContentType("text/html; charset=utf-8");
    send(log.request("config", "/rest_config/?format=json&limit=1&device_type=Mac"));
    ASSERT_EQ(log.events, QStringList({"ok:config"}));
    EXPECT_EQ(log.responses[0].contentType, "text/html; charset=utf-8");
    const QJsonArray objects = log.responses[0].json.object().value("objects").toArray();
    ASSERT_EQ(objects.size(), 1);
    EXPECT_TRUE(objects[0].toObject().value("is_online").toBool());

    // A page that is not JSON is a parse error, not an empty success.
    server.addRoute("GET", "/api/v1/page/", [](const qv::test::HttpRequest&) {
        return qv::test::HttpResponse::text("<html><body>Sign in</body></html>", "text/html");
    });
    send(log.request("page", "/page/"));
    EXPECT_EQ(log.events.last(), "fail:page");
    EXPECT_EQ(log.errors[0].kind, Error::Kind::Parse);
}

TEST_F(RestClientTest, GivenIdentifiersAbove2To53_WhenTheyTravelBothWays_ThenEveryDigitSurvives)
{
    constexpr qint64 kBig = 9007199254740993; // 2^53 + 1: a double would read ...992
    server.setNextItemId(kBig);
    Request create = log.request("post", "/item/");
    create.method = Method::Post;
    create.setJsonBody(QJsonDocument(QJsonObject{{"idd", 7}, {"name", "big"}}));
    send(create);
    ASSERT_EQ(log.events, QStringList({"ok:post"}));
    EXPECT_TRUE(log.responses[0].body.contains("9007199254740993"));
    const qint64 id = log.responses[0].json.object().value("id").toInteger();
    EXPECT_EQ(id, kBig);

    // Back to the server inside a bulk body, which finds the item by that id.
    Request update = log.request("put", "/item/");
    update.method = Method::Put;
    update.setJsonBody(
        QJsonDocument(QJsonObject{{"objects", QJsonArray{QJsonObject{{"id", id}, {"name", "renamed"}}}}}));
    send(update);
    EXPECT_TRUE(server.requests().last().body.contains("9007199254740993"));
    EXPECT_EQ(server.item(kBig).value("name").toString(), "renamed");
    const QJsonArray returned = log.responses[1].json.object().value("objects").toArray();
    ASSERT_EQ(returned.size(), 1);
    EXPECT_EQ(returned[0].toObject().value("id").toInteger(), kBig);
}

// --- Bytes on the wire -------------------------------------------------------------------------

TEST_F(RestClientTest, GivenPollKeepAliveAndTagPaths_WhenSent_ThenTheTargetsReachTheServerByteForByte)
{
    const QString device = QStringLiteral("0f1e2d3c4b5a69788796a5b4c3d2e1f00f1e2d3c");
    const QDateTime since(QDate(2013, 5, 1), QTime(10, 0), QTimeZone::utc());
    const QString path =
        QStringLiteral("/item/?format=json&uid=%1%2").arg(device, platformVersionPair("1.2")) +
        QStringLiteral("&timestamp__gte=") + queryDate(since) + QStringLiteral("&offset=20&limit=20");
    send(log.request("poll", path));
    EXPECT_EQ(server.requests().last().target,
              "/api/v1/item/?format=json&uid=0f1e2d3c4b5a69788796a5b4c3d2e1f00f1e2d3c"
              "&qv_platform=Halvern&qv_version=1.2"
              "&timestamp__gte=2013-05-01%2010:00:00.000000-00:00&offset=20&limit=20");
    EXPECT_EQ(log.events, QStringList({"ok:poll"})) << "the server could not read the date";

    send(log.request("alive",
                     "/rest_config/?format=json&limit=1&device_type=Mac" + platformVersionPair("1.2")));
    EXPECT_EQ(server.requests().last().target,
              "/api/v1/rest_config/?format=json&limit=1&device_type=Mac&qv_platform=Halvern&qv_version=1.2");
    Request tag = log.request("tag", "/tag/");
    tag.method = Method::Post;
    tag.failOnHttpError = false;
    send(tag);
    EXPECT_EQ(server.requests().last().target, "/api/v1/tag/");
}

TEST_F(RestClientTest, GivenDefaultHeaders_WhenARequestNamesOneItself_ThenTheRequestsValueWins)
{
    client.setDefaultHeader("X-Extra", "default");
    Request plain = log.request("plain", "/item/");
    plain.method = Method::Post;
    plain.setJsonBody(QJsonDocument(QJsonObject{{"idd", 1}}));
    Request own = log.request("own", "/item/");
    own.setHeader("x-extra", "own");
    send(plain);
    send(own);

    const auto requests = server.requests();
    EXPECT_EQ(requests[0].header("Accept"), "application/json");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    EXPECT_EQ(requests[0].header("X-Extra"), "default");
    EXPECT_EQ(requests[1].header("X-Extra"), "own");
    // One after the other, they share one kept-alive connection.
    EXPECT_EQ(requests[0].connectionId, requests[1].connectionId);
    EXPECT_EQ(server.connectionCount(), 1);
}

// --- Multipart ---------------------------------------------------------------------------------

TEST_F(RestClientTest, GivenValuesAndAFile_WhenPostedAsMultipart_ThenThePartsArriveInOrderWithTheStatedLength)
{
    qv::test::TempHome home;
    const QString path = home.root() + "/notes.txt";
    ASSERT_TRUE(qv::test::writeFile(path, "file bytes\r\n--not a boundary"));

    server.addRoute("POST", "/api/v1/file/", [](const qv::test::HttpRequest&) {
        return qv::test::HttpResponse::json(QJsonObject{{"id", 5}}, 201);
    });
    auto params = std::make_shared<MultipartParams>();
    params->setValue("/api/v1/item/3/", "item");
    params->setValue("true", "forceOverwriteItemURL");
    params->setFile(path, "content");
    Request upload = log.request("upload", "/file/");
    upload.method = Method::Post;
    upload.params = params;
    send(upload);
    ASSERT_EQ(log.events, QStringList({"ok:upload"}));

    const qv::test::HttpRequest& received = server.requests().last();
    EXPECT_EQ(received.header("Content-Length").toLongLong(), params->contentLength());
    EXPECT_EQ(received.body.size(), params->contentLength());
    EXPECT_EQ(received.header("Content-Type"), params->contentType());
    const QByteArray& body = received.body;
    const qsizetype item = body.indexOf("name=\"item\"\r\n\r\n/api/v1/item/3/\r\n");
    const qsizetype overwrite = body.indexOf("name=\"forceOverwriteItemURL\"\r\n\r\ntrue\r\n");
    const qsizetype content = body.indexOf("name=\"content\"; filename=\"notes.txt\"");
    EXPECT_GE(item, 0);
    EXPECT_GT(overwrite, item);
    EXPECT_GT(content, overwrite);
    EXPECT_TRUE(body.contains("file bytes\r\n--not a boundary\r\n--" + params->boundary() + "--\r\n"));
}

} // namespace
