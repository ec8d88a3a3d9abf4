// Sign-in and the manual whole-document sync: the page rules, the guards, how a sync ends,
// sign-out, and the faults of an abandoned sync, the user in the address and "qv-login".
#include "sync/SyncWindowController.h"
#include "core/document/StoreFiles.h"
#include "platform/rest/PersistentCookieJar.h"
#include "tests/sync/SyncFixture.h"

#include <QFile>
#include <QNetworkCookie>

namespace qv::test {
namespace {

// Everything the sheet, the window and the collaboration manager were told, in order.
struct Recorder final : SignInPages, SyncWindowHost, SignInCollaboration, AccountPasswords {
    QStringList events;
    QList<QUrl> loads;
    QStringList statuses;
    QHash<QString, QString> passwords;
    QString meEmail = kUser;
    QString loginEmail;
    bool meFails = false;
    // How "/me/" fails: the server saying the session is over, or not answering.
    bool meSessionEnded = false;
    bool spinning = false;

    void load(const QUrl& url) override { loads.append(url); }
    void openSheet() override { events << "open"; }
    void closeSheet() override { events << "close"; }
    void setSpinning(bool on) override { spinning = on; }
    void fillSignInForm(const QString&, const QString&) override {}
    void deleteAllCookies() override { events << "web cookies deleted"; }

    void showGrayOverlay() override { events << "overlay"; }
    void hideGrayOverlay() override { events << "no overlay"; }
    void setStatusBarMessage(const QString& message) override
    {
        statuses << message;
        events << "status";
    }
    void updateFilters() override { events << "filters"; }
    void refreshController() override { events << "refresh"; }
    void selectProject(TODOList* project) override { events << "select " + project->name(); }
    void clearFilters() override { events << "clear filters"; }

    void reloadMe(std::function<void(const QString&)> success, std::function<void(bool)> failure) override
    {
        events << "reload me";
        if (meFails)
            failure(meSessionEnded);
        else
            success(meEmail);
    }
    void initCollaboration() override { events << "init collaboration"; }
    void deleteCollaboration() override { events << "delete collaboration"; }
    void forgetMe() override { events << "forget me"; }
    void setLoginEmail(const QString& email) override { loginEmail = email; }

    QString passwordForUsername(const QString& email) override { return passwords.value(email); }
    bool setPasswordForUsername(const QString& password, const QString& email) override
    {
        passwords.insert(email, password);
        return true;
    }
};

class SyncWindowControllerTest : public SyncFixture {
protected:
    void SetUp() override
    {
        project = startWithProject();
        makeController();
    }
    void makeController()
    {
        SyncWindowController::Parts parts;
        parts.services = device->services;
        parts.document = device->document.get();
        parts.engine = &device->sync();
        parts.host = &recorder;
        parts.pages = &recorder;
        parts.collaboration = &recorder;
        parts.passwords = &recorder;
        parts.supportAddress = QStringLiteral("help@example.com");
        controller = std::make_unique<SyncWindowController>(parts);
    }
    QUrl page(const QString& path) const { return QUrl::fromEncoded((origin() + path).toLatin1()); }
    QString origin() const { return device->sync().origin(); }
    // A sync through the sync page, to its end.
    void syncThroughPage()
    {
        controller->sync();
        controller->pageFinished(page("/isloggedindesktop/"), "GET");
        settle();
        scheduler.runPosted();
    }
    Preferences& prefs() { return device->preferences; }

    TODOList* project = nullptr;
    Recorder recorder;
    std::unique_ptr<SyncWindowController> controller;
};

TEST_F(SyncWindowControllerTest, GivenEachPage_WhenItFinishesLoading_ThenItsRuleActs)
{
    struct Case {
        const char* path;
        QByteArray method;
        QStringList events;
        bool uploads;
    };
    const QString linkedIn = "/accounts/login/linkedin/?next=" + origin() + "/isloggedindesktop/";
    const std::vector<Case> cases{
        {"/desktoplogin/?username=a%40b.c", "GET", {"overlay", "open"}, false},
        {"/desktoplogin/", "POST", {}, false},
        {"/isloggedindesktop/", "POST", {}, false},
        {"",
         "GET",
         {"close", "no overlay", "no overlay", "status", "reload me", "init collaboration"},
         false},
        {"/",
         "GET",
         {"close", "no overlay", "no overlay", "status", "reload me", "init collaboration"},
         false},
        {"/accounts/dismiss/", "GET", {"close", "no overlay"}, false},
        {"/accounts/login/linkedin_failed", "GET", {"close", "no overlay"}, false},
        {"/about/", "GET", {}, false},
        {"/isloggedindesktop/?username=a%40b.c&x=1",
         "GET",
         {"close", "no overlay", "status", "overlay"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        device->sync().stopAllLoops(); // offline: a sign-in page opens the sheet
        recorder.events.clear();
        controller->pageFinished(page(QString::fromLatin1(c.path)), c.method);
        EXPECT_EQ(recorder.events, c.events);
        EXPECT_EQ(controller->isSyncing(), c.uploads);
        EXPECT_EQ(device->sync().isManualSyncing(), c.uploads);
        settle();
        scheduler.runPosted();
    }
    device->sync().stopAllLoops();
    recorder.events.clear();
    controller->pageFinished(page(linkedIn), "GET");
    EXPECT_EQ(recorder.events, QStringList({"overlay", "open"}));

    // Online, the sign-in page needs no sheet.
    start(*device);
    recorder.events.clear();
    controller->pageFinished(page("/desktoplogin/"), "GET");
    EXPECT_EQ(recorder.events, QStringList());
    EXPECT_FALSE(recorder.spinning);
    EXPECT_EQ(SyncWindowController::navigationPolicy(true), SyncWindowController::Navigation::OpenExternally);
    EXPECT_EQ(SyncWindowController::navigationPolicy(false), SyncWindowController::Navigation::Follow);
}

TEST_F(SyncWindowControllerTest, GivenInstantSyncInFlight_WhenLoginOrSync_ThenTheAlertAndNothingElse)
{
    device->sync().addSyncingObjects(1);
    controller->login();
    controller->sync();
    ASSERT_EQ(device->alerts.shown().size(), 2);
    EXPECT_EQ(device->alerts.shown()[0].message, "Instant Sync");
    EXPECT_EQ(device->alerts.shown()[0].informative,
              "Instant sync is running now. Try logging in afterwards.");
    EXPECT_EQ(device->alerts.shown()[0].button, "Ok");
    EXPECT_EQ(device->alerts.shown()[1].informative, "Instant sync is running now. Try syncing afterwards.");
    EXPECT_TRUE(recorder.loads.isEmpty());
    EXPECT_TRUE(device->sync().isStarted());
    EXPECT_TRUE(device->document->isReceivingEditingNotifications());
    device->sync().addSyncingObjects(-1);

    // While a manual sync runs, both are ignored without a word.
    server.holdNext("/api/v1/rest_config/");
    controller->sync();
    controller->pageFinished(page("/isloggedindesktop/"), "GET");
    ASSERT_TRUE(controller->isSyncing());
    recorder.loads.clear();
    controller->sync();
    controller->login();
    EXPECT_TRUE(recorder.loads.isEmpty());
    EXPECT_EQ(device->alerts.shown().size(), 2);
    server.releaseHeldReplies();
}

TEST_F(SyncWindowControllerTest, GivenAnEmailWithPlus_WhenLoginOrSync_ThenTheUserIsEncodedInTheAddress)
{
    prefs().setValue("_currentUser", "a+b@example.com");
    controller->login();
    controller->sync();
    ASSERT_EQ(recorder.loads.size(), 2);
    EXPECT_EQ(recorder.loads[0].toEncoded(),
              (origin() + "/desktoplogin/?username=a%2Bb%40example.com").toLatin1());
    EXPECT_EQ(recorder.loads[1].toEncoded(),
              (origin() + "/isloggedindesktop/?username=a%2Bb%40example.com").toLatin1());
    EXPECT_EQ(recorder.statuses, QStringList({"Connecting to server...", "Connecting to server..."}));
}

TEST_F(SyncWindowControllerTest,
       GivenAnEditedItem_WhenTheManualSyncCompletes_ThenItIsUploadedAndEverythingResumes)
{
    ItemBuilder("new").madeBy(*device->document, project);
    int didSync = 0;
    QStringList orderAtDidSync;
    controller->setOnDidSync([&] {
        ++didSync;
        orderAtDidSync = recorder.events;
    });
    recorder.events.clear();
    syncThroughPage();

    EXPECT_EQ(didSync, 1);
    EXPECT_EQ(server.itemCount(), 1);
    EXPECT_FALSE(device->sync().isManualSyncing());
    EXPECT_EQ(recorder.statuses,
              QStringList({"Connecting to server...", "Please wait. Syncing may take some time...",
                           "Done syncing your data!"}));
    EXPECT_TRUE(SyncWindowController::timeLastSync(prefs()).isValid());
    EXPECT_EQ(orderAtDidSync.mid(orderAtDidSync.indexOf("filters")),
              QStringList({"filters", "refresh", "status", "reload me", "init collaboration"}));
    EXPECT_TRUE(device->sync().isStarted());
    EXPECT_FALSE(device->document->isReceivingEditingNotifications());
    tick(SyncWindowController::kRestoreTrackingDelayMs);
    EXPECT_TRUE(device->document->isReceivingEditingNotifications());
    // The store was backed up on the sync track first.
    EXPECT_TRUE(waitUntil([] { return QFile::exists(StoreFiles::backupPath("sync", 0)); }));
}

TEST_F(SyncWindowControllerTest,
       GivenAPassThatDoesNotComplete_WhenTheManualSyncEnds_ThenOnlyTheServersWordThatTheSessionEndedSignsOut)
{
    struct Case {
        std::function<void()> arrange;
        const char* what;
        QString step;
        bool signsOut = false;
    };
    const auto noUser = [&](bool sessionEnded) {
        prefs().remove("_currentUser");
        recorder.meFails = true;
        recorder.meSessionEnded = sessionEnded;
    };
    const std::vector<Case> cases{
        {[&] { server.failNext("/api/v1/rest_config/", 500); }, "keep-alive fails",
         "the connection to the server failed"},
        {[&] { server.setOnline(false); }, "server offline", "the server reports it is offline"},
        {[&] { server.failNext("/api/v1/project/", 500, 1, PathMatch::Exact); }, "project poll fails",
         "the project poll did not complete"},
        {[&] { server.failNext("/api/v1/item/", 500, 1, PathMatch::Exact); }, "item poll fails",
         "the item and inbox poll did not complete"},
        {[&] { server.failNext("/api/v1/me/inbox/", 500); }, "inbox poll fails",
         "the item and inbox poll did not complete"},
        {[&] { noUser(false); }, "no user known, the server not answering",
         "the signed-in user could not be loaded"},
        {[&] {
             server.failNext("/api/v1/project/", 401, 1, PathMatch::Exact);
             recorder.meFails = true;
             recorder.meSessionEnded = true;
         },
         "the server ended the session", "the project poll did not complete", true},
        {[&] { noUser(true); }, "no user known, the server ending the session",
         "the signed-in user could not be loaded", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        start(*device);
        prefs().setValue("_currentUser", kUser);
        prefs().remove("kLastSyncTime");
        recorder.passwords.insert(kUser, "secret");
        recorder.statuses.clear();
        recorder.events.clear();
        int didSync = 0;
        controller->setOnDidSync([&] { ++didSync; });
        c.arrange();
        syncThroughPage();

        EXPECT_EQ(didSync, 0);
        EXPECT_FALSE(controller->isSyncing());
        EXPECT_FALSE(device->sync().isManualSyncing());
        EXPECT_FALSE(SyncWindowController::timeLastSync(prefs()).isValid());
        EXPECT_TRUE(recorder.events.contains("reload me")) << "the server was not asked about the session";
        if (c.signsOut) {
            EXPECT_EQ(recorder.statuses.mid(2), QStringList({"Logged Out", "Sync failed: " + c.step +
                                                                               ". The server ended your "
                                                                               "session: sign in again to "
                                                                               "sync."}));
            EXPECT_TRUE(recorder.events.contains("forget me"));
            EXPECT_TRUE(recorder.events.contains("delete collaboration"));
            EXPECT_FALSE(prefs().hasUserValue("_currentUser"));
            EXPECT_FALSE(device->sync().isStarted());
        } else {
            EXPECT_EQ(recorder.statuses.mid(2),
                      QStringList({"Sync failed: " + c.step +
                                   ". You are still signed in: press Sync to try again. If that does not "
                                   "help, write to help@example.com for help."}));
            EXPECT_FALSE(recorder.events.contains("delete collaboration"));
            EXPECT_EQ(prefs().stringValue("_currentUser"), recorder.meFails ? QString() : kUser);
            EXPECT_EQ(recorder.passwords.value(kUser), "secret");
            EXPECT_TRUE(device->sync().isStarted()) << "instant sync did not resume";
        }
        tick(SyncWindowController::kRestoreTrackingDelayMs);
        EXPECT_TRUE(device->document->isReceivingEditingNotifications());
        device->sync().stopAllLoops();
        server.setOnline(true);
        server.clearFaults();
        recorder.meFails = false;
        recorder.meSessionEnded = false;
    }
}

TEST_F(SyncWindowControllerTest, GivenASignedInUser_WhenLogout_ThenCookiesPasswordCachesAndUserAreGone)
{
    rest::PersistentCookieJar& jar = *device->sync().cookieJar();
    jar.setCookiesFromUrl({QNetworkCookie("sessionid", "s1")}, QUrl(origin() + "/"));
    jar.setCookiesFromUrl({QNetworkCookie("other", "o1")}, QUrl("http://elsewhere.example/"));
    recorder.passwords.insert(kUser, "secret");

    controller->logout();

    EXPECT_EQ(jar.cookies().size(), 1);
    EXPECT_EQ(jar.cookies().value(0).name(), "other");
    EXPECT_EQ(recorder.passwords.value(kUser), "");
    EXPECT_FALSE(recorder.passwords.value(kUser).isNull());
    EXPECT_EQ(recorder.events,
              QStringList({"web cookies deleted", "delete collaboration", "status", "clear filters"}));
    EXPECT_EQ(recorder.statuses, QStringList({"Logged Out"}));
    EXPECT_FALSE(prefs().hasUserValue("_currentUser"));
    EXPECT_FALSE(device->sync().isStarted());

    // With nobody signed in no password changes, the rest is done all the same.
    recorder.passwords.insert(kUser, "kept");
    recorder.events.clear();
    controller->logout();
    EXPECT_EQ(recorder.passwords.value(kUser), "kept");
    EXPECT_TRUE(recorder.events.contains("web cookies deleted"));
}

TEST_F(SyncWindowControllerTest, GivenTheSignInForm_WhenTheLandingPageLoads_ThenTheAccountIsKeptAndKnown)
{
    prefs().remove("_currentUser");
    recorder.meEmail = "New.User@example.com";
    int didLogin = 0;
    controller->setOnDidLogin([&] { ++didLogin; });
    controller->login();
    controller->signInFormSubmitted(" New.User@example.com ", "pässword");
    controller->pageFinished(page("/desktoplogin/"), "POST");
    controller->pageFinished(page("/"), "GET");
    scheduler.runPosted();

    EXPECT_EQ(didLogin, 1);
    EXPECT_EQ(recorder.passwords.value("New.User@example.com"), "pässword");
    EXPECT_EQ(prefs().stringValue("_currentUser"), "New.User@example.com");
    EXPECT_EQ(recorder.loginEmail, "New.User@example.com");
    EXPECT_EQ(recorder.statuses.last(), "Done logging in");

    // Signed in while the loops ran offline (not signed in when they last asked): online at once.
    device->sync().stopAllLoops();
    server.setOnline(false);
    start(*device);
    ASSERT_FALSE(device->sync().isOnline());
    server.setOnline(true);
    controller->pageFinished(page("/"), "GET");
    settle();
    EXPECT_TRUE(device->sync().isOnline());

    // The next sheet is filled from the keychain a second later.
    recorder.passwords.insert("New.User@example.com", "stored");
    makeController();
    EXPECT_EQ(controller->email(), "New.User@example.com");
    EXPECT_TRUE(controller->password().isNull());
    tick(SyncWindowController::kFillPasswordDelayMs);
    EXPECT_EQ(controller->password(), "stored");
}

TEST_F(SyncWindowControllerTest,
       GivenAManualSyncGivenUpBeforeItsUpload_WhenTheSheetCloses_ThenTrackingAndLoopsResume)
{
    struct Case {
        std::function<void()> giveUp;
        const char* how;
        bool offlineOnly = false;
        bool signInShown = true;
    };
    const std::vector<Case> cases{
        {[&] { controller->cancelOperation(); }, "Escape"},
        {[&] { controller->pageFinished(page("/accounts/dismiss/"), "GET"); }, "give-up page"},
        {[&] { controller->pageFinished(page("/"), "GET"); }, "signed in instead"},
        {[&] { controller->pageFailed(page("/isloggedindesktop/")); }, "page failed", false, false},
        {[&] { controller->cancelOperation(); }, "Escape, working offline only", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        start(*device);
        prefs().setValue("kWorkOfflineOnly", c.offlineOnly);
        controller->sync();
        if (c.signInShown)
            controller->pageFinished(page("/desktoplogin/"), "GET");
        ASSERT_FALSE(device->document->isReceivingEditingNotifications());
        ASSERT_FALSE(device->sync().isStarted());
        c.giveUp();
        scheduler.runPosted();
        EXPECT_TRUE(device->document->isReceivingEditingNotifications());
        EXPECT_EQ(device->sync().isStarted(), !c.offlineOnly);
        device->sync().stopAllLoops();
    }
    prefs().remove("kWorkOfflineOnly");

    // An edit made afterwards reaches the server.
    start(*device);
    ItemBuilder("after").madeBy(*device->document, project);
    tick(10'000);
    EXPECT_EQ(server.itemCount(), 1);
}

} // namespace
} // namespace qv::test
