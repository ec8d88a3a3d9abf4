#pragma once

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
#include "ui/board/StatusBarController.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/WindowCommands.h"
#include "ui/web/WebEngineLoader.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkCookie>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

// Its own names: other fixtures have a kUser and a waitUntil of their own.
namespace qv::test::signin {

inline const QString kUser = QStringLiteral("a+b@example.com");
inline const QString kPassword = QStringLiteral("pässword");

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 30'000)
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

inline bool hasSessionCookie(const QList<QNetworkCookie>& cookies)
{
    return std::any_of(cookies.begin(), cookies.end(),
                       [](const QNetworkCookie& c) { return c.name() == FakeSyncServer::kSessionCookie; });
}

// The real sheet, window, engine and keychain over a fake server that wants a session.
class SignInFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        server.setUseSystemClock(true);
        server.setAccount(kUser, kPassword);
        server.setRequireLogin(true);
        preferences = std::make_unique<Preferences>(home.root() + QStringLiteral("/prefs.conf"));
        preferences->setValue(QStringLiteral("kAddedMyProject"), true);
        services = Services{&clock, &scheduler, preferences.get(), &notifications, &alerts};
        store::StoreError error;
        auto context = store::Context::open(home.root() + QStringLiteral("/store.sqlite"),
                                            TodoModel::shared(), scheduler, &error);
        ASSERT_NE(context, nullptr);
        document = std::make_unique<MyDocument>(services, std::move(context));
        QVRestManager::Options options;
        options.origin = server.baseUrl().toString();
        options.restStorePath = home.root() + QStringLiteral("/sync.sqlite");
        options.cookieFolder = home.root();
        engine = std::make_unique<QVRestManager>(services, *document, options);
        window = std::make_unique<MainWindow>(*document, services);
        window->resize(1000, 700);
        window->show();
        keychain = std::make_unique<Keychain>(secrets);
        collaboration = std::make_unique<CollaborationManager>(services, *engine);
        AccountSession::Options sessionOptions;
        sessionOptions.collaborationManager = collaboration.get();
        sessionOptions.webStorageFolder = home.root() + QStringLiteral("/web");
        sessionOptions.webCacheFolder = home.root() + QStringLiteral("/webcache");
        sessionOptions.supportAddress = QStringLiteral("help@example.com");
        sessionOptions.opener = [this](const QUrl& url) {
            external.append(url);
            return true;
        };
        session = std::make_unique<AccountSession>(*window, *document, *engine, services, keychain.get(), web,
                                                   sessionOptions);
    }
    void TearDown() override
    {
        session.reset();
        collaboration.reset();
        window.reset();
        engine.reset();
        document.reset();
    }

    // The sheet's page, once it has loaded one.
    web::Page* page() const { return session->sheet().page(); }
    void run(const QString& script) { page()->runJavaScript(script, web::World::Application, {}); }
    // The value the page's script gives, once the scripts sent before it have run.
    QVariant evaluate(const QString& script)
    {
        std::optional<QVariant> result;
        page()->runJavaScript(script, web::World::Application,
                              [&result](const QVariant& value) { result = value; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(QVariant());
    }
    void submit(const QString& user, const QString& password)
    {
        run(QStringLiteral("document.querySelector('input[name=username]').value = %1;"
                           "document.querySelector('input[name=password]').value = %2;"
                           "document.querySelector('button').click();")
                .arg(jsString(user), jsString(password)));
    }
    static QString jsString(const QString& text)
    {
        return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact))
            .mid(1)
            .chopped(1);
    }
    QString passwordInForm()
    {
        return evaluate(QStringLiteral("document.querySelector('input[name=password]').value")).toString();
    }
    // Signs in through the sheet and waits for the loops to run with the session.
    void signIn()
    {
        bool didLogin = false;
        session->login([&] { didLogin = true; });
        ASSERT_TRUE(waitUntil([&] { return session->sheet().isVisible(); }))
            << "the sign-in sheet never opened";
        submit(kUser, kPassword);
        ASSERT_TRUE(waitUntil([&] { return didLogin; })) << "never signed in";
        ASSERT_TRUE(waitUntil([&] { return engine->getCurrentUserEmail() == kUser && engine->isOnline(); }));
    }

    TempHome home;
    FakeSyncServer server;
    // Outlives the session's pages.
    WebEngineLoader web;
    SystemClock clock;
    QtScheduler scheduler;
    std::unique_ptr<Preferences> preferences;
    NotificationCenter notifications;
    ScriptedAlerts alerts;
    Services services;
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<QVRestManager> engine;
    std::unique_ptr<MainWindow> window;
    MemorySecretStore secrets;
    std::unique_ptr<Keychain> keychain;
    std::unique_ptr<CollaborationManager> collaboration;
    QList<QUrl> external;
    std::unique_ptr<AccountSession> session;
};

} // namespace qv::test::signin
