#include "tests/app/ShellFakes.h"

#include "app/QuitSignals.h"
#include "app/ShellAdapters.h"
#include "core/model/TODOItem.h"
#include "core/util/FontSizeTiers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>

namespace qv::test {

namespace {

// A delegate whose collaborators are all there; the tests of each rule start from it.
using LaunchTest = ShellFixture;
using ActivationTest = ShellFixture;
using QuitTest = ShellFixture;
using BadgeTest = ShellFixture;
using ColorListTest = ShellFixture;

} // namespace

// --- Launch, first half

TEST_F(LaunchTest, GivenAFreshUser_WhenTheFirstHalfRuns_ThenPreferencesAgentUrlHandlerAndFontTierAreSetUp)
{
    preferences.setValue("kWorkOfflineOnly", true);

    makeDelegate().applicationWillFinishLaunching();

    EXPECT_FALSE(preferences.boolValue("kWorkOfflineOnly"));
    EXPECT_EQ(preferences.intValue("kNumberOfRuns"), 1);
    EXPECT_TRUE(delegate->isQVTeam());
    EXPECT_FALSE(delegate->terminating());
    EXPECT_FALSE(delegate->initialized());
    EXPECT_TRUE(QFileInfo::exists(launchAgent.agentPath())); // on by default
    EXPECT_TRUE(log.has("run xdg-mime default quadrivo.desktop x-scheme-handler/quadrivo"));
    EXPECT_EQ(QFileInfo(delegate->restStorePath()).absoluteFilePath(),
              QDir(home.cacheHome()).absoluteFilePath("Quadrivo/sync.sqlite"));

    const QVariant tier = preferences.value("FONT_TIER");
    ASSERT_TRUE(tier.isValid());
    EXPECT_GE(tier.toInt(), FontSizeTiers::kMinTier);
    EXPECT_LE(tier.toInt(), FontSizeTiers::kMaxTier);
    EXPECT_FALSE(preferences.hasUserValue("FONT_TIER"));
    // "never set" must stay detectable for the launch agent's default.
    EXPECT_TRUE(preferences.hasUserValue("kLaunchOnStart"));
}

TEST_F(LaunchTest, GivenLaunchesOneToFour_WhenEachStarts_ThenOnlyTheFourthChecksForUpdates)
{
    QList<bool> checked;
    for (int launchNumber = 1; launchNumber <= 4; ++launchNumber) {
        log.calls.clear();
        makeDelegate().applicationWillFinishLaunching();
        checked << log.has("updater.check");
        delegate.reset();
    }
    EXPECT_EQ(checked, (QList<bool>{false, false, false, true}));
    EXPECT_EQ(preferences.intValue("kNumberOfRuns"), 4);
}

TEST_F(LaunchTest, GivenTheLinkHandlerAlreadySet_WhenLaunched_ThenOursIsRegisteredOnlyWhereNoneIsThereToKeep)
{
    QDir().mkpath(home.dataHome() + "/applications/org");
    for (const char* entry : {"other.desktop", "org/browser.desktop"})
        ASSERT_TRUE(writeFile(home.dataHome() + QStringLiteral("/applications/") + entry));
    const struct {
        const char* handler;
        bool installed;
        bool registers;
    } cases[] = {
        {"", true, true},
        {"other.desktop\n", true, false},
        {"org-browser.desktop\n", true, false},
        {"uninstalled.desktop\n", true, true},
        {"", false, false},
    };
    for (const auto& [handler, installed, registers] : cases) {
        SCOPED_TRACE(std::string(handler) + (installed ? " installed" : " in a build folder"));
        log.calls.clear();
        commandOutput = handler;
        AppDelegate::Dependencies deps = dependencies();
        deps.programInstalled = installed;
        AppDelegate(std::move(deps)).applicationWillFinishLaunching();
        EXPECT_EQ(log.has("run xdg-mime default quadrivo.desktop x-scheme-handler/quadrivo"), registers);
        EXPECT_EQ(log.calls.filter("run ").isEmpty(), !installed);
    }
}

TEST_F(LaunchTest, GivenSettingsThatCannotBeWritten_WhenLaunchedAndChanged_ThenOneAlertSaysSoAndTheTickIsTrue)
{
    // Root writes into read-only folders; nobody writes a file where a folder stands or makes
    // a folder where a file stands.
    ASSERT_TRUE(QDir().mkpath(preferences.fileName()));
    ASSERT_TRUE(writeFile(home.configHome() + "/autostart"));

    launch();

    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown()[0].message, "Some settings could not be saved.");
    EXPECT_TRUE(alerts.shown()[0].informative.contains(preferences.fileName()));
    EXPECT_TRUE(alerts.shown()[0].informative.contains(launchAgent.agentPath()));
    EXPECT_FALSE(preferences.boolValue(LaunchAgent::key()));

    delegate->toggleLaunchOnStart();
    delegate->quitCommand();
    scheduler.advance(AppDelegate::kQuitDelayMs);
    EXPECT_FALSE(preferences.boolValue(LaunchAgent::key()));
    EXPECT_EQ(alerts.shown().size(), 1);
}

TEST_F(LaunchTest,
       GivenTheWindowsFirstFrameNotPaintedYet_WhenLaunched_ThenThePreferencesAreWrittenOnlyAfterIt)
{
    // Read as another program would: unwritten values are shared within this process.
    const auto onDisk = [this] {
        return readFile(preferences.fileName());
    };
    // Not the first run, whose autostart default is written at once.
    preferences.setValue(LaunchAgent::key(), true);
    ASSERT_TRUE(preferences.flush());
    window.holdFirstFrame = true;
    launch();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(onDisk().contains("kNumberOfRuns")) << onDisk().constData();

    window.paintFirstFrame();
    EXPECT_TRUE(onDisk().contains("kNumberOfRuns"));
    EXPECT_TRUE(onDisk().contains("fontsize"));
}

TEST_F(LaunchTest,
       GivenSettingsThatCannotBeWritten_WhenTheFirstFrameComes_ThenTheStartUpsTroublesShareOneAlert)
{
    ASSERT_TRUE(QDir().mkpath(preferences.fileName()));
    ASSERT_TRUE(writeFile(home.configHome() + "/autostart"));
    window.holdFirstFrame = true;

    launch();
    EXPECT_TRUE(alerts.shown().isEmpty());

    window.paintFirstFrame();
    scheduler.runPosted();
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_TRUE(alerts.shown()[0].informative.contains(preferences.fileName()));
    EXPECT_TRUE(alerts.shown()[0].informative.contains(launchAgent.agentPath()));
}

// --- Launch, second half and the start-up completion

TEST_F(LaunchTest, GivenNoStore_WhenTheSecondHalfRuns_ThenTheStoreIsCreatedAndTheSyncStartsOnTheNextTurn)
{
    preferences.setValue("fontsize", 9);
    makeDelegate().applicationWillFinishLaunching();
    log.calls.clear();

    delegate->applicationDidFinishLaunching();

    EXPECT_TRUE(QFileInfo::exists(StoreFiles::pathForDataFile()));
    EXPECT_EQ(preferences.intValue("fontsize"), 14);
    EXPECT_TRUE(delegate->initialized());
    for (const char* call : {"crash.start", "window.show", "ping startapp", "window.reselectLastProject"})
        EXPECT_TRUE(log.has(QString::fromLatin1(call))) << call;
    EXPECT_FALSE(log.has("sync.startAllLoops"));

    scheduler.runPosted();
    for (const char* call : {"colors 12", "sync.startAllLoops", "window.reloadCollaborators"})
        EXPECT_TRUE(log.has(QString::fromLatin1(call))) << call;

    ProjectBuilder(delegate->document()->context(), "Kept");
    ASSERT_TRUE(delegate->document()->saveFile());

    // The next launch opens that store; without the signed-in user, no collaborators to reload.
    delegate.reset();
    log.calls.clear();
    collaboration.meLoads = false;
    launch();
    EXPECT_TRUE(std::ranges::any_of(delegate->document()->getAllProjects(),
                                    [](TODOList* project) { return project->name() == "Kept"; }));
    EXPECT_TRUE(log.has("collaboration.reloadMe"));
    EXPECT_FALSE(log.has("window.reloadCollaborators"));
}

TEST_F(LaunchTest,
       GivenAnUnreadableStore_WhenLaunched_ThenTheUserIsToldAndTheApplicationEndsWithAFailureAndStillQuits)
{
    ASSERT_TRUE(writeFile(StoreFiles::pathForDataFile(), QByteArray(4096, 'x')));

    launch();

    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_TRUE(alerts.shown()[0].informative.contains(StoreFiles::pathForDataFile()));
    EXPECT_EQ(log.calls.filter(QStringLiteral("terminateApplication")),
              QStringList{QStringLiteral("terminateApplication 1")});
    EXPECT_FALSE(delegate->initialized());
    EXPECT_EQ(delegate->document(), nullptr);
    EXPECT_FALSE(log.has("documentOpened"));
    EXPECT_FALSE(log.has("sync.startAllLoops"));
    EXPECT_FALSE(log.has("ping startapp"));
    // The file is left for the user, not replaced by an empty store.
    EXPECT_EQ(readFile(StoreFiles::pathForDataFile()), QByteArray(4096, 'x'));

    // Without a document the quit sequence still runs when the loop ends.
    delegate->applicationAboutToQuit();
    EXPECT_TRUE(log.has("ping endapp"));
}

TEST_F(
    LaunchTest,
    GivenAFailedHandlerRegistrationAndALinkBeforeTheDocument_WhenStarted_ThenItIsLoggedAndNoProjectReselected)
{
    commandStatus = 3;
    makeDelegate().applicationWillFinishLaunching();
    delegate->handleURL("quadrivo://");
    delegate->applicationDidFinishLaunching();

    EXPECT_TRUE(logCapture.contains("Error registering default app: 3"));
    EXPECT_TRUE(delegate->initialized());
    EXPECT_TRUE(delegate->receivedURL());
    EXPECT_FALSE(log.has("window.reselectLastProject"));
}

// --- Sync at start and the 120 s rule

TEST_F(LaunchTest,
       GivenSyncAfterStartAndNoEarlierSync_WhenLaunched_ThenTheSyncRunsInsteadOfTheLoopsAndTheToggleFollows)
{
    preferences.setValue("SYNC_AFTER_START", true);
    preferences.setValue("lastSelectedProjectRow", 1);
    window.rows = 3;

    launch();

    EXPECT_TRUE(delegate->syncAfterStart());
    EXPECT_TRUE(log.has("window.syncAndRunAfter"));
    EXPECT_FALSE(log.has("sync.startAllLoops"));
    EXPECT_FALSE(log.has("collaboration.init"));
    ASSERT_TRUE(window.pendingSync);
    window.pendingSync();
    EXPECT_TRUE(log.has("window.selectRow 1"));

    delegate->toggleSyncAfterStart();
    EXPECT_FALSE(preferences.boolValue("SYNC_AFTER_START"));
    delegate->setSyncAfterStart(true);
    EXPECT_TRUE(preferences.boolValue("SYNC_AFTER_START"));

    // A window that cannot sync (no sync server): the usual start runs instead.
    delegate.reset();
    log.calls.clear();
    window.canSync = false;
    launch();
    EXPECT_TRUE(log.has("window.syncAndRunAfter"));
    EXPECT_TRUE(log.has("sync.startAllLoops"));
    EXPECT_TRUE(log.has("collaboration.init"));
}

TEST_F(LaunchTest, GivenSyncAfterStart_WhenLaunched_ThenItSyncsOnlyWhenTheLastSyncIs120SecondsAwayOrMore)
{
    const struct {
        bool syncAfterStart;
        std::optional<qint64> lastSyncSecs; // from now
        bool syncs;
    } cases[] = {{true, -119, false}, {true, -120, true}, {true, 30, false}, {false, std::nullopt, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lastSyncSecs.value_or(0));
        preferences.setValue("SYNC_AFTER_START", c.syncAfterStart);
        sync.lastSync = c.lastSyncSecs ? clock.now().addSecs(*c.lastSyncSecs) : QDateTime();
        log.calls.clear();
        launch();
        EXPECT_EQ(log.has("window.syncAndRunAfter"), c.syncs);
        EXPECT_EQ(log.has("sync.startAllLoops"), !c.syncs);
        delegate.reset();
    }
}

TEST_F(LaunchTest, GivenAStoredRowBeyondTheList_WhenTheSyncAtStartCompletes_ThenNoRowIsSelected)
{
    preferences.setValue("SYNC_AFTER_START", true);
    window.rows = 2;
    for (const int stored : {2, 7, -1}) {
        preferences.setValue("lastSelectedProjectRow", stored);
        log.calls.clear();
        launch();
        ASSERT_TRUE(window.pendingSync);
        window.pendingSync();
        EXPECT_TRUE(log.calls.filter("window.selectRow").isEmpty()) << stored;
        delegate.reset();
    }
}

// --- The one-time REST cache wipe, two seconds into the run

TEST_F(LaunchTest, GivenTheCacheNotYetErased_WhenTwoSecondsHavePassed_ThenItIsWipedUnderTheSheet)
{
    requestCacheFolder = home.cacheHome() + "/Quadrivo/RequestCache-sync.test";
    ASSERT_TRUE(QDir().mkpath(requestCacheFolder + "/PermanentStore/a"));

    launch();
    scheduler.advance(1999);
    EXPECT_FALSE(log.has("sheet.begin"));
    scheduler.advance(1);

    EXPECT_EQ(log.calls.filter("sheet."), (QStringList{"sheet.begin", "sheet.end"}));
    EXPECT_FALSE(QFileInfo::exists(requestCacheFolder + "/PermanentStore"));
    EXPECT_TRUE(preferences.boolValue("_permanentCacheErased"));

    // The next launch shows no sheet.
    delegate.reset();
    log.calls.clear();
    launch();
    scheduler.advance(5000);
    EXPECT_FALSE(log.has("sheet.begin"));
}

// --- Activation

TEST_F(ActivationTest,
       GivenTheDocumentIsNotOpen_WhenTheApplicationBecomesActiveOrResigns_ThenOnlyTheBadgeMoves)
{
    makeDelegate().applicationWillFinishLaunching();
    delegate->applicationDidBecomeActive();
    delegate->applicationDidResignActive();
    scheduler.advance(200'000);

    EXPECT_EQ(log.calls.filter("sync.").size(), 0);
    EXPECT_TRUE(log.has("badge 0"));
    EXPECT_EQ(scheduler.pendingTimers(), 0);
}

TEST_F(ActivationTest, GivenAnOpenDocument_WhenTheApplicationBecomesActive_ThenOneSecondLaterTheLoopsRestart)
{
    sync.email = "ada@example.test";
    launch();
    log.calls.clear();

    delegate->applicationDidBecomeActive();
    scheduler.advance(999);
    EXPECT_TRUE(log.calls.isEmpty());
    scheduler.advance(1);

    EXPECT_EQ(log.calls, (QStringList{"crash.email ada@example.test", "sync.startAllLoops", "badge 0"}));
}

TEST_F(ActivationTest, GivenResigns_WhenThe180SecondCheckFires_ThenOneCheckStopsTheLoopsUnlessActiveAgain)
{
    launch();
    {
        SCOPED_TRACE("two resigns within 180 s: one check, from the last");
        delegate->applicationDidResignActive();
        scheduler.advance(100'000);
        delegate->applicationDidBecomeActive();
        delegate->applicationDidResignActive();
        log.calls.clear();
        scheduler.advance(79'999);
        EXPECT_FALSE(log.has("sync.stopAllLoops"));
        scheduler.advance(1);
        EXPECT_EQ(log.calls.count("sync.stopAllLoops"), 1);
        EXPECT_EQ(logCapture.count("STOPPING BECAUSE NOT ACTIVE"), 1);
        scheduler.advance(200'000);
        EXPECT_EQ(log.calls.count("sync.stopAllLoops"), 1);
    }
    {
        SCOPED_TRACE("after a fired check, a new resign schedules a new one");
        delegate->applicationDidResignActive();
        scheduler.advance(180'000);
        EXPECT_EQ(log.calls.count("sync.stopAllLoops"), 2);
    }
    {
        SCOPED_TRACE("active again when the check fires: the loops keep running");
        delegate->applicationDidResignActive();
        scheduler.advance(10'000);
        delegate->applicationDidBecomeActive();
        log.calls.clear();
        scheduler.advance(170'000);
        EXPECT_FALSE(log.has("sync.stopAllLoops"));
        EXPECT_TRUE(logCapture.contains("NOT STOPPING BECAUSE ACTIVE"));
    }
}

TEST_F(ActivationTest, GivenTheMainWindow_WhenItBecomesTheActiveWindow_ThenWakeappIsAnnouncedEachTime)
{
    launch();
    QObject mainWindow;
    const WindowActivation activation(mainWindow, [this] { delegate->windowDidBecomeKey(); });
    log.calls.clear();

    QEvent activate(QEvent::WindowActivate);
    QEvent deactivate(QEvent::WindowDeactivate);
    for (QEvent* event : {&activate, &deactivate, &activate})
        QCoreApplication::sendEvent(&mainWindow, event);

    EXPECT_EQ(log.calls, (QStringList{"ping wakeapp", "ping wakeapp"}));
}

TEST_F(ActivationTest, GivenAnEdit_WhenTheApplicationResignsActive_ThenTheDocumentAutosavesOnItsOwnTrack)
{
    launch();
    ProjectBuilder(delegate->document()->context(), "Edited before leaving");

    delegate->applicationDidResignActive();
    delegate->storeFiles().waitForBackups();
    EXPECT_TRUE(logCapture.contains(QStringLiteral("Autosaving document")));
    EXPECT_EQ(preferences.intValue(QStringLiteral("_currentBackupNumberautosave")), 1);
    EXPECT_FALSE(preferences.hasUserValue(QStringLiteral("_currentBackupNumbersave")));

    // Nothing new since: leaving again makes no second backup.
    delegate->applicationDidBecomeActive();
    delegate->applicationDidResignActive();
    delegate->storeFiles().waitForBackups();
    EXPECT_EQ(preferences.intValue(QStringLiteral("_currentBackupNumberautosave")), 1);
}

// --- The quit sequence, on every trigger

TEST_F(
    QuitTest,
    GivenAnEdit_WhenEachTriggerRunsTheSequence_ThenTheEditIsSavedAndTheApplicationEndsWithoutWaitingTheBound)
{
    using std::placeholders::_1;
    const std::pair<QString, std::function<void(AppDelegate&)>> triggers[] = {
        {"quit command", &AppDelegate::quitCommand},
        {"window closed", &AppDelegate::lastWindowClosed},
        {"SIGTERM", std::bind(&AppDelegate::terminationSignal, _1, SIGTERM)},
        {"SIGHUP", std::bind(&AppDelegate::terminationSignal, _1, SIGHUP)},
        {"SIGINT", std::bind(&AppDelegate::terminationSignal, _1, SIGINT)},
        {"session end", &AppDelegate::sessionQuitRequested},
    };
    for (const auto& [name, trigger] : triggers) {
        SCOPED_TRACE(name.toStdString());
        launch();
        ProjectBuilder(delegate->document()->context(), QStringLiteral("Edit before ") + name);
        log.calls.clear();
        logCapture.clear();
        terminations = 0;

        trigger(*delegate);

        EXPECT_TRUE(delegate->terminating());
        EXPECT_TRUE(delegate->document()->terminating());
        // The window goes at once; the rest runs behind the scenes.
        EXPECT_EQ(log.calls, (QStringList{"window.hide", "sync.stopAllLoops"}));
        EXPECT_TRUE(logCapture.contains("Saving document (applicationShouldTerminate)"));
        EXPECT_TRUE(logCapture.contains("Saved document (applicationShouldTerminate)"));
        EXPECT_TRUE(savedProjectNames().contains(QStringLiteral("Edit before ") + name));

        // Nothing in flight and "endapp" answered: the next turns end it.
        scheduler.advance(0);
        EXPECT_EQ(terminations, 1);
        EXPECT_EQ(log.calls.mid(2), (QStringList{"sync.stopObservingNotifications", "ping endapp", "badge 0",
                                                 "terminateApplication"}));
        EXPECT_TRUE(QFileInfo::exists(preferences.fileName()));
        // The backup is in place before the loop is ended.
        EXPECT_TRUE(QFileInfo::exists(StoreFiles::backupPath(QStringLiteral("save"), 0)));
        scheduler.advance(AppDelegate::kQuitDelayMs);
        EXPECT_EQ(terminations, 1);
        delegate.reset();
    }
}

TEST_F(QuitTest, GivenABackupThatFailsAsTheApplicationQuits_ThenNothingIsShownThenAndTheNextStartTellsIt)
{
    launch();
    ProjectBuilder(delegate->document()->context(), QStringLiteral("Edit before quitting"));
    const QString inTheWay = StoreFiles::backupPath(QStringLiteral("save"), 0) + QStringLiteral(".part");
    ASSERT_TRUE(QDir().mkpath(inTheWay));
    delegate->quitCommand();
    scheduler.advance(0);
    ASSERT_EQ(terminations, 1);
    EXPECT_TRUE(alerts.shown().isEmpty()); // the window is gone
    delegate.reset();

    launch();
    scheduler.advance(0);
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown().front().message, QStringLiteral("A backup of your data could not be made."));
    EXPECT_TRUE(alerts.shown().front().informative.contains(inTheWay))
        << alerts.shown().front().informative.toStdString();
}

TEST_F(QuitTest,
       GivenARequestOnTheWireAndASilentHost_WhenQuitting_ThenItEndsOnceAnsweredAndOneSecondAfterEndapp)
{
    launch();
    sync.inFlight = 1;
    announcementHost.answers = false;
    delegate->quitCommand();
    log.calls.clear();

    // The answer on its way may change the document: nothing final happens before it lands.
    scheduler.advance(2000);
    EXPECT_TRUE(log.calls.isEmpty()) << log.calls.join(u',').toStdString();
    ProjectBuilder(delegate->document()->context(), "Changed by the answer");
    sync.inFlight = 0;
    scheduler.advance(AppDelegate::kQuitPollMs);
    EXPECT_EQ(log.calls, (QStringList{"sync.stopObservingNotifications", "ping endapp", "badge 0"}));
    EXPECT_TRUE(savedProjectNames().contains("Changed by the answer"));

    // "endapp" gets its second, no more.
    scheduler.advance(AppDelegate::kEndAnnouncementWaitMs - 1);
    EXPECT_EQ(terminations, 0);
    scheduler.advance(1);
    EXPECT_EQ(terminations, 1);
    // Its late answer ends nothing twice.
    announcementHost.answerHeld();
    scheduler.advance(10'000);
    EXPECT_EQ(terminations, 1);
}

TEST_F(QuitTest, GivenAHostThatAnswersEndapp_WhenQuitting_ThenTheAnswerEndsItWithoutWaitingTheSecond)
{
    launch();
    announcementHost.answers = false;
    delegate->terminationSignal(SIGHUP);
    scheduler.advance(0);
    ASSERT_TRUE(log.has("ping endapp"));
    EXPECT_EQ(terminations, 0);
    scheduler.advance(300);
    announcementHost.answerHeld();
    scheduler.advance(0);
    EXPECT_EQ(terminations, 1);
}

TEST_F(QuitTest, GivenARequestThatIsNeverAnswered_WhenQuitting_ThenTheFiveSecondBoundEndsItWithTheEditSaved)
{
    launch();
    sync.inFlight = 1;
    announcementHost.answers = false;
    delegate->quitCommand();
    log.calls.clear();
    ProjectBuilder(delegate->document()->context(), "Late edit");
    // A second request during the wait changes nothing, and activation restarts nothing.
    delegate->applicationDidBecomeActive();
    delegate->terminationSignal(SIGTERM);
    scheduler.advance(AppDelegate::kQuitDelayMs - 1);
    EXPECT_EQ(terminations, 0);
    EXPECT_FALSE(log.has("sync.startAllLoops"));
    EXPECT_FALSE(log.has("ping endapp"));

    scheduler.advance(1);
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(savedProjectNames().contains("Late edit"));
    // At the bound "endapp" is sent, but not waited for.
    EXPECT_EQ(log.calls.count("ping endapp"), 1);
    scheduler.advance(10'000);
    EXPECT_EQ(terminations, 1);

    // The sequence has ended: the loop's end runs nothing twice.
    log.calls.clear();
    delegate->applicationAboutToQuit();
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(QuitTest,
       GivenTheSessionManagerAsksForTheDataThenTheLoopEnds_ThenTheDocumentIsSavedAndOnlyTheEndRunsTheSequence)
{
    launch();
    ProjectBuilder(delegate->document()->context(), "Before logout");
    log.calls.clear();
    delegate->commitData();
    EXPECT_TRUE(savedProjectNames().contains("Before logout"));
    EXPECT_FALSE(delegate->terminating());
    EXPECT_TRUE(log.calls.isEmpty());

    ProjectBuilder(delegate->document()->context(), "Unsaved");

    delegate->applicationAboutToQuit();

    EXPECT_TRUE(delegate->terminating());
    EXPECT_TRUE(savedProjectNames().contains("Unsaved"));
    EXPECT_EQ(log.calls, (QStringList{"window.hide", "sync.stopAllLoops", "sync.stopObservingNotifications",
                                      "ping endapp", "badge 0"}));
    scheduler.advance(10'000);
    EXPECT_EQ(terminations, 0);
}

// --- Font tiers

TEST(FontTierTest, GivenTiersAtTheEndsOrOutsideTheRange_WhenReadOrMoved_ThenTheyStopAtTheEndsAndAreClamped)
{
    TempHome home;
    Preferences preferences(home.root() + "/prefs.conf");
    LogCapture capture;
    const auto tierAfter = [&](qint64 stored, void (*move)(Preferences&)) {
        preferences.setValue("FONT_TIER", stored);
        move(preferences);
        return preferences.intValue("FONT_TIER");
    };
    EXPECT_EQ(tierAfter(8, FontSizeTiers::increaseFontTier), 8);
    EXPECT_EQ(tierAfter(0, FontSizeTiers::decreaseFontTier), 0);
    EXPECT_TRUE(capture.lines().isEmpty());
    EXPECT_EQ(tierAfter(0, FontSizeTiers::increaseFontTier), 1);
    EXPECT_EQ(capture.lines().size(), 1);
    // A tier set by hand outside the range reads as the nearest end; moving down starts from it.
    EXPECT_EQ(tierAfter(42, FontSizeTiers::increaseFontTier), 42);
    EXPECT_EQ(tierAfter(42, FontSizeTiers::decreaseFontTier), 7);

    const struct {
        qint64 stored;
        float size, rowHeight;
    } reads[] = {{0, 10, 20},  {4, 14, 35},  {8, 18, 50},
                 {42, 18, 50}, {-5, 10, 20}, {qint64(1) << 40, 18, 50}};
    for (const auto& [stored, size, rowHeight] : reads) {
        SCOPED_TRACE(stored);
        preferences.setValue("FONT_TIER", stored);
        EXPECT_EQ(FontSizeTiers::currentFontSize(preferences), size);
        EXPECT_EQ(FontSizeTiers::currentQuadrantRowHeight(preferences), rowHeight);
    }
}

// --- The badge

TEST_F(BadgeTest, GivenOverdueItems_WhenTheBadgeIsUpdated_ThenItShowsTheirCountAndZeroRemovesIt)
{
    launch();
    delegate->updateIconBadge();
    EXPECT_EQ(badge.count, 0);

    const ItemBuilder overdue = ItemBuilder("overdue").due(clock.now().addDays(-3));
    ProjectBuilder(delegate->document()->context(), "Late").with(overdue, overdue);
    delegate->updateIconBadge();
    EXPECT_EQ(badge.count, 2);
}

// --- The colour list

TEST_F(
    ColorListTest,
    GivenTheShippedResourceOrLinesWithoutOneSeparator_WhenParsed_ThenEveryGoodLineIsAColourAndOthersTakeNoPosition)
{
    const QByteArray text = readFile(":/colors.txt");
    const auto list = ColorList::load(":/colors.txt");
    ASSERT_TRUE(list);
    EXPECT_EQ(qsizetype(list->entries().size()), text.trimmed().split('\n').size());
    EXPECT_EQ(list->name(), "Quadrivo");

    const ColorList parsed = ColorList::parse("{1, 0, 0, 1};Red\n"
                                              "\n"
                                              "{0, 1, 0, 1}\n"
                                              "{0, 0, 1, 1};Blue;Extra\n"
                                              "not a colour;Broken\r\n"
                                              "{0, 0, 0, 1};Black\r\n");
    ASSERT_EQ(parsed.entries().size(), 2u);
    EXPECT_EQ(parsed.entries()[0].key, "Red");
    EXPECT_EQ(parsed.entries()[0].color, QColor::fromRgbF(1, 0, 0, 1));
    EXPECT_EQ(parsed.entries()[1].key, "Black");
}

TEST_F(ColorListTest, GivenAMissingOrNonAsciiResource_WhenLoaded_ThenTheErrorIsLoggedAndNoListIsAttached)
{
    const QString missing = home.root() + "/missing.txt";
    const QString nonAscii = home.root() + "/colors.txt";
    ASSERT_TRUE(writeFile(nonAscii, "{1, 0, 0, 1};R\xc3\xb6t\n"));

    for (const QString& path : {missing, nonAscii}) {
        auto deps = dependencies();
        deps.colorsResource = path;
        AppDelegate colourDelegate(deps);
        log.calls.clear();
        logCapture.clear();
        colourDelegate.loadColors();
        EXPECT_TRUE(log.calls.filter("colors").isEmpty());
        ASSERT_EQ(logCapture.lines().size(), 1);
        EXPECT_TRUE(logCapture.lines().first().startsWith("error while loading colors "));
    }
}

// --- SIGTERM and SIGINT reach the event loop through the pipe

TEST(QuitSignalTest, GivenTheHandlersInstalled_WhenTheProcessGetsSigterm_ThenTheLoopHearsIt)
{
    QuitSignals handlers;
    ASSERT_TRUE(handlers.isInstalled());
    QList<int> received;
    QObject::connect(&handlers, &QuitSignals::received, [&](int number) { received << number; });

    ::raise(SIGTERM);
    ::raise(SIGINT);
    const QDeadlineTimer deadline(5000);
    while (received.size() < 2 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(received, (QList<int>{SIGTERM, SIGINT}));
}

} // namespace qv::test
