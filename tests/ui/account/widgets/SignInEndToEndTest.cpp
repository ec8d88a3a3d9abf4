// Through the real web sheet against the fake server: sign in, the session reaching the engine,
// the loops online with it, a whole sync, and sign-out clearing both cookie stores.
#include "core/document/MyDocument.h"
#include "core/model/StatusEntities.h"
#include "core/model/TodoModel.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/Keychain.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/rest/PersistentCookieJar.h"
#include "platform/store/Context.h"
#include "sync/CollaborationManager.h"
#include "sync/QVRestManager.h"
#include "tests/support/FakeSyncServer.h"
#include "tests/support/MemorySecretStore.h"
#include "tests/support/TestData.h"
#include "tests/support/TestEnvironment.h"
#include "ui/account/widgets/AccountSession.h"
#include "ui/account/widgets/SyncWindowSheet.h"
#include "ui/account/widgets/WebBrowserWindowController.h"
#include "ui/board/widgets/MainWindow.h"

#include <QElapsedTimer>
#include <QNetworkCookie>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

const QString kUser = QStringLiteral("a+b@example.com");
const QString kPassword = QStringLiteral("pässword");

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 30'000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(20);
    }
    return true;
}

bool hasSessionCookie(const QList<QNetworkCookie>& cookies)
{
    return std::any_of(cookies.begin(), cookies.end(),
                       [](const QNetworkCookie& c) { return c.name() == FakeSyncServer::kSessionCookie; });
}

TEST(SignInEndToEndTest,
     GivenTheServersSignInPage_WhenTheUserSignsInSyncsAndSignsOut_ThenTheEngineFollowsTheSession)
{
    TempHome home;
    FakeSyncServer server;
    ASSERT_TRUE(server.listen());
    server.setUseSystemClock(true);
    server.setAccount(kUser, kPassword);
    server.setRequireLogin(true);

    SystemClock clock;
    QtScheduler scheduler;
    Preferences preferences(home.root() + QStringLiteral("/prefs.conf"));
    preferences.setValue(QStringLiteral("kAddedMyProject"), true);
    NotificationCenter notifications;
    ScriptedAlerts alerts;
    const Services services{&clock, &scheduler, &preferences, &notifications, &alerts};
    store::StoreError error;
    auto context = store::Context::open(home.root() + QStringLiteral("/store.sqlite"), TodoModel::shared(),
                                        scheduler, &error);
    ASSERT_NE(context, nullptr);
    MyDocument document(services, std::move(context));
    QVRestManager::Options options;
    options.origin = server.baseUrl().toString();
    options.restStorePath = home.root() + QStringLiteral("/sync.sqlite");
    options.cookieFolder = home.root();
    QVRestManager engine(services, document, options);
    MainWindow window(document, services);
    window.resize(1000, 700);
    window.show();
    MemorySecretStore secrets;
    Keychain keychain(secrets, &alerts);
    QList<QUrl> external;
    CollaborationManager collaboration(services, engine);
    AccountSession::Options sessionOptions;
    sessionOptions.collaborationManager = &collaboration;
    sessionOptions.webStorageFolder = home.root() + QStringLiteral("/web");
    sessionOptions.webCacheFolder = home.root() + QStringLiteral("/webcache");
    sessionOptions.opener = [&external](const QUrl& url) {
        external.append(url);
        return true;
    };
    AccountSession session(window, document, engine, services, &keychain, sessionOptions);
    QWebEnginePage* page = session.sheet().view()->page();
    const auto run = [&](const QString& script) {
        page->runJavaScript(script, QWebEngineScript::ApplicationWorld);
    };

    // Sign in: the form opens in the sheet over a grey board.
    bool didLogin = false;
    session.login([&] { didLogin = true; });
    ASSERT_TRUE(waitUntil([&] { return session.sheet().isVisible(); })) << "the sign-in sheet never opened";
    EXPECT_EQ(page->url().path(), QStringLiteral("/desktoplogin/"));
    EXPECT_TRUE(session.isGrayOverlayShown());
    EXPECT_EQ(page->url().query(QUrl::FullyEncoded), QString());

    // A link the user clicks leaves for the desktop's browser; the sheet stays.
    run(QStringLiteral("document.querySelector('a[href^=\"https:\"]').click();"));
    ASSERT_TRUE(waitUntil([&] { return !external.isEmpty(); }));
    EXPECT_EQ(external.first(), QUrl(QStringLiteral("https://example.com/help")));
    EXPECT_EQ(page->url().path(), QStringLiteral("/desktoplogin/"));

    run(QStringLiteral("document.querySelector('input[name=username]').value = '%1';"
                       "document.querySelector('input[name=password]').value = '%2';"
                       "document.querySelector('button').click();")
            .arg(kUser, kPassword));
    ASSERT_TRUE(waitUntil([&] { return didLogin; })) << "never signed in";
    EXPECT_FALSE(session.sheet().isVisible());
    EXPECT_FALSE(session.isGrayOverlayShown());
    EXPECT_TRUE(hasSessionCookie(engine.cookieJar()->cookies())) << "the session never reached the engine";

    // "/me/" named the account; the loops run with the session and the engine is online.
    ASSERT_TRUE(waitUntil([&] { return engine.getCurrentUserEmail() == kUser && engine.isOnline(); }));
    EXPECT_TRUE(collaboration.isLoginEmail(kUser));
    EXPECT_EQ(collaboration.myUsername(), kUser);
    EXPECT_EQ(keychain.passwordForUsername(kUser), kPassword);
    ASSERT_TRUE(
        waitUntil([&] { return !server.requestsTo("GET", QStringLiteral("/api/v1/item/")).isEmpty(); }));
    for (const HttpRequest& request : server.requestsTo({}, QStringLiteral("/api/v1/")))
        EXPECT_TRUE(server.hasSession(request)) << request.target.constData();
    EXPECT_NE(engine.statusMessage(), QStringLiteral("Not signed in -- Click Sync to sign in"));

    // A whole sync through the sheet's sync page takes a new project up.
    ProjectBuilder(document.context(), "Taken up");
    bool didSync = false;
    session.sync([&] { didSync = true; });
    ASSERT_TRUE(waitUntil([&] { return didSync; })) << "the manual sync never completed";
    EXPECT_EQ(server.projectCount(), 1);
    EXPECT_TRUE(waitUntil([&] { return engine.isStarted(); }));

    // Sign-out: the session is gone from both stores, the next sign-in asks again.
    session.logout();
    EXPECT_FALSE(hasSessionCookie(engine.cookieJar()->cookies()));
    EXPECT_EQ(keychain.passwordForUsername(kUser), QString(QLatin1String("")));
    EXPECT_FALSE(engine.isOnline());
    EXPECT_FALSE(collaboration.myUsername());
    EXPECT_TRUE(document.context().objects(CollaborationStatus::staticEntityName()).empty());
    bool signedInAgain = false;
    session.login([&] { signedInAgain = true; });
    ASSERT_TRUE(waitUntil([&] { return session.sheet().isVisible() || signedInAgain; }));
    EXPECT_FALSE(signedInAgain) << "the web profile kept the session";
    session.sheet().reject();
    EXPECT_FALSE(session.sheet().isVisible());

    // The internal browser shows a page once however often it is asked.
    WebBrowserWindowController& browser = session.browser();
    browser.showURLInInternalWebBrowser(QUrl(server.baseUrl().toString() + QStringLiteral("/")));
    browser.showURLInInternalWebBrowser(QUrl(server.baseUrl().toString() + QStringLiteral("/")));
    EXPECT_EQ(browser.loadsStarted(), 1);
    browser.close();
}

} // namespace
} // namespace qv::test
