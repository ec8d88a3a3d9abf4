#include "exchange/PingController.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace qv::test {

namespace {

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10'000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

} // namespace

TEST(PingControllerTest, GivenAWebHost_WhenAnEventIsAnnounced_ThenOneFormPostCarriesDeviceVersionAndEvent)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.listen());
    server.addRoute("POST", QStringLiteral("/ping/"),
                    [](const HttpRequest&) { return HttpResponse::json(QJsonObject()); });
    QNetworkAccessManager network;
    PingController ping({server.baseUrl().toString(), QStringLiteral("abc123"), QStringLiteral("2.17.0")},
                        &network);

    ping.pingServer(QStringLiteral("start app&more"));

    ASSERT_TRUE(waitFor([&] { return server.requests().size() == 1; }));
    const HttpRequest& request = server.requests().first();
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.path, QByteArray("/ping/"));
    EXPECT_TRUE(request.header("Content-Type").startsWith("application/x-www-form-urlencoded"));
    const QUrlQuery form(QString::fromLatin1(request.body));
    EXPECT_EQ(form.queryItemValue(QStringLiteral("device_id"), QUrl::FullyDecoded), QStringLiteral("abc123"));
    EXPECT_EQ(form.queryItemValue(QStringLiteral("version"), QUrl::FullyDecoded), QStringLiteral("2.17.0"));
    EXPECT_EQ(form.queryItemValue(QStringLiteral("event"), QUrl::FullyDecoded),
              QStringLiteral("start app&more"));
}

TEST(PingControllerTest,
     GivenTheHostFailsOrIsNoWebHost_WhenAnnouncing_ThenNothingIsReportedOrSentAndLaterAnnouncementsStillGo)
{
    LoopbackHttpServer server;
    ASSERT_TRUE(server.listen());
    server.failNext(QStringLiteral("/ping/"), 500);
    QNetworkAccessManager network;
    PingController ping({server.baseUrl().toString(), QStringLiteral("d"), QStringLiteral("v")}, &network);
    // Whoever waits for the answer hears of a failure as of an answer.
    int answers = 0;
    ping.pingServer(QStringLiteral("startapp"), [&answers] { ++answers; });
    ping.pingServer(QStringLiteral("wakeapp"), [&answers] { ++answers; });
    EXPECT_TRUE(waitFor([&] { return server.requests().size() == 2 && answers == 2; })) << answers;

    for (const QString& origin : {QString(), QStringLiteral("file:///tmp"), QStringLiteral("not a url")}) {
        PingController nowhere({origin, QStringLiteral("d"), QStringLiteral("v")});
        EXPECT_FALSE(nowhere.pingURL().isValid()) << origin.toStdString();
        // Nothing is sent, so nothing is waited for.
        bool answered = false;
        nowhere.pingServer(QStringLiteral("endapp"), [&answered] { answered = true; });
        EXPECT_TRUE(answered) << origin.toStdString();
    }
}

} // namespace qv::test
