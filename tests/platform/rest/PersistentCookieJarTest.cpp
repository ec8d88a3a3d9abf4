#include "platform/rest/PersistentCookieJar.h"
#include "platform/rest/RestClient.h"
#include "tests/platform/rest/RestTestSupport.h"
#include "tests/support/FakeSyncServer.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qv::rest;
using qv::rest::test::waitFor;
using qv::test::FakeSyncServer;
using qv::test::HttpRequest;
using qv::test::HttpResponse;

namespace {

class PersistentCookieJarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        // A sign-in page that hands out a session cookie and a dated one.
        server.addRoute("GET", "/desktoplogin/", [](const HttpRequest&) {
            HttpResponse response = HttpResponse::json(QJsonObject{{"signed_in", true}});
            response.headers.emplaceBack("Set-Cookie", "sessionid=abc123; Path=/; HttpOnly");
            response.headers.emplaceBack("Set-Cookie", "csrftoken=tok; Path=/; Max-Age=86400");
            return response;
        });
    }

    bool get(RestClient& client, const QString& path)
    {
        bool done = false;
        client.get(
            path, [&](const Response&) { done = true; }, [&](const Error&) { done = true; });
        return waitFor([&] { return done; });
    }

    qv::test::TempHome home;
    FakeSyncServer server;
};

TEST_F(PersistentCookieJarTest,
       GivenCookiesFromASignIn_WhenANewJarReadsTheFolder_ThenTheNextRequestCarriesThem)
{
    const QString caches = home.cacheHome() + "/Quadrivo";
    {
        PersistentCookieJar jar(caches);
        RestClient client(server.baseUrl());
        client.setCookieJar(&jar);
        ASSERT_TRUE(get(client, "/desktoplogin/"));
        EXPECT_EQ(jar.cookies().size(), 2);
    }

    PersistentCookieJar reopened(caches);
    ASSERT_EQ(reopened.cookies().size(), 2) << "the session cookie must survive a restart too";
    RestClient client(server.apiUrl());
    client.setCookieJar(&reopened);
    ASSERT_TRUE(get(client, "/item/"));
    const QByteArray cookieHeader = server.requests().last().header("Cookie");
    EXPECT_TRUE(cookieHeader.contains("sessionid=abc123")) << cookieHeader.constData();
    EXPECT_TRUE(cookieHeader.contains("csrftoken=tok")) << cookieHeader.constData();
}

TEST_F(PersistentCookieJarTest, GivenASavedJar_WhenWritten_ThenOnlyTheOwnerCanReadTheFile)
{
    PersistentCookieJar jar(home.cacheHome());
    QNetworkCookie cookie("sessionid", "secret");
    cookie.setDomain("127.0.0.1");
    cookie.setPath("/");
    ASSERT_TRUE(jar.insertCookie(cookie));

    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(jar.filePath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(PersistentCookieJarTest, GivenAnExpiredCookieInTheFile_WhenRead_ThenItIsDropped)
{
    {
        PersistentCookieJar jar(home.cacheHome());
        QNetworkCookie live("live", "1");
        live.setDomain("127.0.0.1");
        live.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(1));
        jar.insertCookie(live);
    }
    QFile file(home.cacheHome() + "/cookies.txt");
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("old=1; expires=Thu, 01-Jan-2015 00:00:00 GMT; domain=127.0.0.1; path=/\n");
    file.close();

    PersistentCookieJar jar(home.cacheHome());
    ASSERT_EQ(jar.cookies().size(), 1);
    EXPECT_EQ(jar.cookies().first().name(), "live");
}

TEST_F(PersistentCookieJarTest, GivenSignedInCookies_WhenDeletedForTheServer_ThenTheFileForgetsThem)
{
    {
        PersistentCookieJar jar(home.cacheHome());
        RestClient client(server.baseUrl());
        client.setCookieJar(&jar);
        ASSERT_TRUE(get(client, "/desktoplogin/"));
        QNetworkCookie other("other", "1");
        other.setDomain("other.test");
        jar.insertCookie(other);

        const auto deleted = jar.deleteCookiesForUrl(server.baseUrl());
        EXPECT_EQ(deleted.size(), 2);
    }
    PersistentCookieJar reopened(home.cacheHome());
    ASSERT_EQ(reopened.cookies().size(), 1);
    EXPECT_EQ(reopened.cookies().first().name(), "other");
}

TEST_F(PersistentCookieJarTest, GivenAJarSharedByTwoClients_WhenOneClientIsDestroyed_ThenTheJarLivesOn)
{
    PersistentCookieJar jar(home.cacheHome());
    {
        RestClient first(server.baseUrl());
        first.setCookieJar(&jar);
        ASSERT_TRUE(get(first, "/desktoplogin/"));
    }
    RestClient second(server.apiUrl());
    second.setCookieJar(&jar);
    ASSERT_TRUE(get(second, "/item/"));
    EXPECT_TRUE(server.requests().last().header("Cookie").contains("sessionid=abc123"));
}

} // namespace
