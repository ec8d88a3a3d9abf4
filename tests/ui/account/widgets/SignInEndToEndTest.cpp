// Through the real web sheet against the fake server: sign in, the session reaching the engine,
// the loops online with it, a whole sync, and sign-out clearing both cookie stores; a failed sync
// that keeps the session unless the server ended it, whatever else "/me/" answers then; Escape
// and passwords in the sign-in form.
// Without a page: the cookie hooks between the web profile and the engine's jar, before and
// after the jar is gone.
#include "tests/support/Printers.h"
#include "tests/ui/account/widgets/SignInFixture.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace qv::test {
namespace {

using namespace signin;
using SignInEndToEndTest = SignInFixture;

TEST_F(SignInEndToEndTest,
       GivenTheServersSignInPage_WhenTheUserSignsInSyncsAndSignsOut_ThenTheEngineFollowsTheSession)
{
    // Sign in: the form opens in the sheet over a grey board.
    bool didLogin = false;
    session->login([&] { didLogin = true; });
    ASSERT_TRUE(waitUntil([&] { return session->sheet().isVisible(); })) << "the sign-in sheet never opened";
    EXPECT_EQ(page()->url().path(), QStringLiteral("/desktoplogin/"));
    EXPECT_TRUE(session->isGrayOverlayShown());
    EXPECT_EQ(page()->url().query(QUrl::FullyEncoded), QString());

    // A link the user clicks leaves for the desktop's browser; the sheet stays.
    run(QStringLiteral("document.querySelector('a[href^=\"https:\"]').click();"));
    ASSERT_TRUE(waitUntil([&] { return !external.isEmpty(); }));
    EXPECT_EQ(external.first(), QUrl(QStringLiteral("https://example.com/help")));
    EXPECT_EQ(page()->url().path(), QStringLiteral("/desktoplogin/"));

    run(QStringLiteral("document.querySelector('input[name=username]').value = '%1';"
                       "document.querySelector('input[name=password]').value = '%2';"
                       "document.querySelector('button').click();")
            .arg(kUser, kPassword));
    ASSERT_TRUE(waitUntil([&] { return didLogin; })) << "never signed in";
    EXPECT_FALSE(session->sheet().isVisible());
    EXPECT_FALSE(session->isGrayOverlayShown());
    EXPECT_TRUE(hasSessionCookie(engine->cookieJar()->cookies())) << "the session never reached the engine";

    // "/me/" named the account; the loops run with the session and the engine is online.
    ASSERT_TRUE(waitUntil([&] { return engine->getCurrentUserEmail() == kUser && engine->isOnline(); }));
    EXPECT_TRUE(collaboration->isLoginEmail(kUser));
    EXPECT_EQ(collaboration->myUsername(), kUser);
    EXPECT_EQ(keychain->passwordForUsername(kUser), kPassword);
    ASSERT_TRUE(
        waitUntil([&] { return !server.requestsTo("GET", QStringLiteral("/api/v1/item/")).isEmpty(); }));
    for (const HttpRequest& request : server.requestsTo({}, QStringLiteral("/api/v1/")))
        EXPECT_TRUE(server.hasSession(request)) << request.target.constData();
    EXPECT_NE(engine->statusMessage(), QStringLiteral("Not signed in -- Click Sync to sign in"));

    // A whole sync through the sheet's sync page takes a new project up.
    ProjectBuilder(document->context(), "Taken up");
    bool didSync = false;
    session->sync([&] { didSync = true; });
    ASSERT_TRUE(waitUntil([&] { return didSync; })) << "the manual sync never completed";
    EXPECT_EQ(server.projectCount(), 1);
    EXPECT_TRUE(waitUntil([&] { return engine->isStarted(); }));

    // Sign-out: the session is gone from both stores, the next sign-in asks again.
    session->logout();
    EXPECT_FALSE(hasSessionCookie(engine->cookieJar()->cookies()));
    EXPECT_EQ(keychain->passwordForUsername(kUser), QString(QLatin1String("")));
    EXPECT_FALSE(engine->isOnline());
    EXPECT_FALSE(collaboration->myUsername());
    EXPECT_TRUE(document->context().objects(CollaborationStatus::staticEntityName()).empty());
    bool signedInAgain = false;
    session->login([&] { signedInAgain = true; });
    ASSERT_TRUE(waitUntil([&] { return session->sheet().isVisible() || signedInAgain; }));
    EXPECT_FALSE(signedInAgain) << "the web profile kept the session";
    session->sheet().reject();
    EXPECT_FALSE(session->sheet().isVisible());

    // The internal browser shows a page once however often it is asked.
    WebBrowserWindowController& browser = session->browser();
    browser.showURLInInternalWebBrowser(QUrl(server.baseUrl().toString() + QStringLiteral("/")));
    browser.showURLInInternalWebBrowser(QUrl(server.baseUrl().toString() + QStringLiteral("/")));
    EXPECT_EQ(browser.loadsStarted(), 1);
    browser.close();
}

TEST_F(
    SignInEndToEndTest,
    GivenASignedInSession_WhenAManualSyncFails_ThenItNamesTheStepAndSignsOutOnlyWhenTheServerEndedTheSession)
{
    signIn();
    QStringList shown;
    QObject::connect(&window->commands().statusBar(), &StatusBarController::textChanged, window.get(),
                     [&shown](const QString& text) { shown << text; });
    // The fault strikes the whole sync's project poll: armed by the sync page, when the instant
    // loops have stopped.
    enum class Fault { None, ProjectPollFails, SessionEnds };
    Fault next = Fault::None;
    Fault armed = Fault::None;
    QObject::connect(&server, &FakeSyncServer::requestReceived, &server, [&](const HttpRequest& request) {
        if (request.path == "/isloggedindesktop/") {
            armed = std::exchange(next, Fault::None);
            return;
        }
        if (request.path != "/api/v1/project/" || armed == Fault::None)
            return;
        if (armed == Fault::ProjectPollFails)
            server.failNext(QStringLiteral("/api/v1/project/"), 500, 1, PathMatch::Exact);
        else
            server.endSessions();
        armed = Fault::None;
    });
    const auto syncUntilShown = [&](Fault fault, const QString& text) {
        shown.clear();
        next = fault;
        bool didSync = false;
        session->sync([&] { didSync = true; });
        const bool appeared = waitUntil([&] { return shown.contains(text); });
        EXPECT_FALSE(didSync);
        return appeared;
    };

    // A step that fails on the server's side leaves the session as it was and says which.
    EXPECT_TRUE(syncUntilShown(Fault::ProjectPollFails,
                               QStringLiteral("Sync failed: the project poll did not complete. You are still "
                                              "signed in: press Sync to try again. If that does not help, "
                                              "write to help@example.com for help.")))
        << shown.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("Logged Out")));
    EXPECT_TRUE(hasSessionCookie(engine->cookieJar()->cookies()));
    EXPECT_EQ(engine->getCurrentUserEmail(), kUser);
    EXPECT_EQ(keychain->passwordForUsername(kUser), kPassword);
    EXPECT_TRUE(waitUntil([&] { return engine->isStarted() && engine->isOnline(); }))
        << "instant sync did not resume";

    // The server ending the session in the middle of the pass is what signs out.
    EXPECT_TRUE(syncUntilShown(Fault::SessionEnds,
                               QStringLiteral("Sync failed: the project poll did not complete. The server "
                                              "ended your session: sign in again to sync.")))
        << shown.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Logged Out")));
    EXPECT_FALSE(hasSessionCookie(engine->cookieJar()->cookies()));
    EXPECT_TRUE(engine->getCurrentUserEmail().isEmpty());
    EXPECT_FALSE(engine->isStarted());
}

TEST_F(SignInEndToEndTest,
       GivenAFailedManualSync_WhenMeFailsToo_ThenOnlyA401Or403FromItSignsOutNotAServerErrorOrA404)
{
    signIn();
    QStringList shown;
    QObject::connect(&window->commands().statusBar(), &StatusBarController::textChanged, window.get(),
                     [&shown](const QString& text) { shown << text; });
    // Armed by the sync page: the whole sync's project poll fails, and from then on "/me/", which
    // the failed sync asks whether the session still holds, answers with the status given.
    int next = 0;
    int armed = 0;
    QObject::connect(&server, &FakeSyncServer::requestReceived, &server, [&](const HttpRequest& request) {
        if (request.path == "/isloggedindesktop/") {
            armed = std::exchange(next, 0);
            return;
        }
        if (request.path != "/api/v1/project/" || armed == 0)
            return;
        server.failNext(QStringLiteral("/api/v1/project/"), 500, 1, PathMatch::Exact);
        server.failNext(QStringLiteral("/api/v1/me/"), armed, -1, PathMatch::Exact);
        armed = 0;
    });
    const QString failed = QStringLiteral("Sync failed: the project poll did not complete. ");
    const auto failedSync = [&](int meStatus) {
        shown.clear();
        next = meStatus;
        bool didSync = false;
        session->sync([&] { didSync = true; });
        const auto said = [&] {
            return std::find_if(shown.cbegin(), shown.cend(),
                                [&](const QString& text) { return text.startsWith(failed); });
        };
        EXPECT_TRUE(waitUntil([&] { return said() != shown.cend(); })) << shown.join(u'|').toStdString();
        server.clearFaults();
        EXPECT_FALSE(didSync);
        return said() != shown.cend() ? said()->mid(failed.size()) : QString();
    };

    for (const int status : {500, 502, 404}) {
        SCOPED_TRACE(status);
        ASSERT_EQ(failedSync(status),
                  QStringLiteral("You are still signed in: press Sync to try again. If "
                                 "that does not help, write to help@example.com for help."));
        EXPECT_FALSE(shown.contains(QStringLiteral("Logged Out")));
        EXPECT_TRUE(hasSessionCookie(engine->cookieJar()->cookies()));
        EXPECT_EQ(engine->getCurrentUserEmail(), kUser);
        EXPECT_EQ(keychain->passwordForUsername(kUser), kPassword);
        EXPECT_TRUE(waitUntil([&] { return engine->isStarted() && engine->isOnline(); }))
            << "instant sync did not resume";
    }

    // 403 is the server's word that the session is not signed in, as 401 is.
    EXPECT_EQ(failedSync(403), QStringLiteral("The server ended your session: sign in again to sync."));
    EXPECT_TRUE(shown.contains(QStringLiteral("Logged Out")));
    EXPECT_FALSE(hasSessionCookie(engine->cookieJar()->cookies()));
    EXPECT_TRUE(engine->getCurrentUserEmail().isEmpty());
    EXPECT_FALSE(engine->isStarted());
}

TEST_F(
    SignInEndToEndTest,
    GivenTheSignInSheet_WhenEscapeIsPressedInThePageOrAPasswordWasMistypedOrSignedOut_ThenItClosesAndNoPasswordComesBack)
{
    const auto openSheet = [&] {
        session->login({});
        return waitUntil([&] { return session->sheet().isVisible(); });
    };
    // The engine's word on the account, as the application shows it under the window's messages.
    QObject::connect(engine.get(), &QVRestManager::statusMessageChanged, window.get(),
                     &MainWindow::setStatusMessage);
    window->setStatusMessage(engine->statusMessage());
    const QString before = window->commands().statusBar().text();
    ASSERT_FALSE(before.isEmpty());

    // Escape with the cursor in the page's password field closes the sheet.
    ASSERT_TRUE(openSheet());
    EXPECT_EQ(window->commands().statusBar().text(), QStringLiteral("Connecting to server..."));
    session->sheet().activateWindow();
    session->sheet().page()->view()->setFocus();
    run(QStringLiteral("document.querySelector('input[name=password]').focus();"));
    ASSERT_TRUE(evaluate(QStringLiteral("document.activeElement.name")).toString() ==
                QStringLiteral("password"));
    QWidget* keys = session->sheet().page()->view()->focusProxy()
                        ? session->sheet().page()->view()->focusProxy()
                        : session->sheet().page()->view();
    ASSERT_TRUE(waitUntil([&] { return keys->hasFocus(); }));
    QTest::keyClick(keys, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !session->sheet().isVisible(); }, 5'000))
        << "Escape in the page left the sheet open";
    EXPECT_FALSE(session->isGrayOverlayShown());
    // Nothing is connecting any more: the status says again what it said.
    EXPECT_EQ(window->commands().statusBar().text(), before);

    // A mistyped password is not offered again.
    ASSERT_TRUE(openSheet());
    submit(kUser, QStringLiteral("mistyped"));
    ASSERT_TRUE(waitUntil([&] {
        return evaluate(QStringLiteral("document.body.innerText.indexOf('do not match') >= 0")).toBool();
    }));
    session->sheet().reject();
    ASSERT_TRUE(openSheet());
    EXPECT_EQ(passwordInForm(), QString());
    EXPECT_TRUE(keychain->passwordForUsername(kUser).isNull());

    // Signed in and out again, the form starts empty and the keychain holds an empty password.
    bool didLogin = false;
    session->controller().setOnDidLogin([&] { didLogin = true; });
    submit(kUser, kPassword);
    ASSERT_TRUE(waitUntil([&] { return didLogin && engine->getCurrentUserEmail() == kUser; }));
    EXPECT_EQ(keychain->passwordForUsername(kUser), kPassword);
    session->logout();
    EXPECT_EQ(keychain->passwordForUsername(kUser), QString(QLatin1String("")));
    EXPECT_TRUE(session->controller().password().isEmpty());
    ASSERT_TRUE(openSheet());
    EXPECT_EQ(passwordInForm(), QString());
    session->sheet().reject();
}

TEST(WebCookiesTest,
     GivenTheEnginesJar_WhenThePagesCookiesChangeBeforeAndAfterItGoes_ThenItFollowsWhileItLives)
{
    TempHome home;
    auto jar = std::make_unique<rest::PersistentCookieJar>(home.root());
    const web::EngineSetup setup = AccountSession::webSetup(
        home.root() + QStringLiteral("/web"), home.root() + QStringLiteral("/webcache"), jar.get());
    QNetworkCookie session(FakeSyncServer::kSessionCookie, "1");
    session.setDomain(QStringLiteral("example.com"));
    session.setPath(QStringLiteral("/"));
    setup.cookieAdded(session);
    EXPECT_TRUE(hasSessionCookie(jar->cookies()));
    // The page names the domain with a leading dot; it is the same cookie.
    QNetworkCookie dotted = session;
    dotted.setDomain(QStringLiteral(".example.com"));
    setup.cookieRemoved(dotted);
    EXPECT_FALSE(hasSessionCookie(jar->cookies()));

    // The profile outlives the engine: what it reports after the jar is gone is dropped.
    jar.reset();
    setup.cookieAdded(session);
    setup.cookieRemoved(session);
}

} // namespace
} // namespace qv::test
