// The keep-alive, the server clock, the status line, online state and the sync gate.
#include "tests/sync/SyncFixture.h"

#include "platform/rest/NetworkReachability.h"

#include <QSignalSpy>

namespace qv::test {
namespace {

class KeepAlive : public SyncFixture {};

TEST_F(KeepAlive, GivenAFirstReplyWithTimeT_When10Point7SecondsPass_ThenTheServerClockReadsTPlus10)
{
    openSyncedBefore(*device);
    InstantSyncStatus* status = device->sync().getInstantSyncStatus();
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->lastItemPollingDate().isValid());
    EXPECT_FALSE(device->sync().getServerSecondsSince1970());
    EXPECT_FALSE(device->sync().getServerDate().isValid());

    server.setNow(1'800'000'000);
    device->sync().startAllLoops();
    settle();
    ASSERT_EQ(device->sync().getServerSecondsSince1970(), 1'800'000'000);
    // The first reply fills every cursor but the server poll's.
    const QDateTime requested = QDateTime::fromSecsSinceEpoch(1'800'000'000, QTimeZone::utc());
    EXPECT_EQ(status->lastItemPollingDate(), requested);
    EXPECT_EQ(status->lastItemPollingDateWithResults(), requested);
    EXPECT_EQ(status->lastProjectPollingDate(), requested);
    EXPECT_EQ(status->lastProjectPollingDateWithResults(), requested);
    EXPECT_FALSE(status->lastServerPollingDate().isValid());

    scheduler.advance(10'700);
    EXPECT_EQ(device->sync().getServerSecondsSince1970(), 1'800'000'010);
    EXPECT_EQ(device->sync().getServerDate().toSecsSinceEpoch(), 1'800'000'010);
}

TEST_F(
    KeepAlive,
    GivenStartedLoops_WhenStartedAgainOrAKeepAliveFails_ThenNoSecondTimerAndOfflineUntilTheNextTickSucceeds)
{
    openSyncedBefore(*device);
    QSignalSpy online(&device->sync(), &QVRestManager::isOnlineChanged);
    start(*device);
    ASSERT_TRUE(device->sync().isOnline());
    const int keepAlives = count("GET", QStringLiteral("/api/v1/rest_config/"));
    const int polls = count("GET", QStringLiteral("/api/v1/item/"));
    ASSERT_EQ(keepAlives, 1);

    device->sync().startAllLoops();
    tick(5'000);
    // One poll per 5 s tick and no extra keep-alive.
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/rest_config/")), 1);
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/item/")), polls + 1);

    server.failNext(QStringLiteral("/api/v1/rest_config/"), 503);
    tick(QVRestManager::kKeepAliveIntervalMs);
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/rest_config/")), 2);
    EXPECT_FALSE(device->sync().isOnline());
    tick(QVRestManager::kKeepAliveIntervalMs);
    EXPECT_TRUE(device->sync().isOnline());
    EXPECT_EQ(online.count(), 3); // on, off, on
}

TEST_F(KeepAlive, GivenAKeepAliveRequest_ThenItsQueryNamesPlatformAndVersion)
{
    SyncOptions options;
    options.version = QStringLiteral("1.2");
    openSyncedBefore(*device, options);
    device->sync().startAllLoops();
    settle();
    const auto sent = requests("GET", QStringLiteral("/api/v1/rest_config/"));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(
        QString::fromLatin1(sent.front().target),
        QStringLiteral(
            "/api/v1/rest_config/?format=json&limit=1&device_type=Mac&qv_platform=Halvern&qv_version=1.2"));
}

TEST_F(KeepAlive, GivenEachCondition_ThenTheStatusLineAndItsSignalFollowTheEightMessagesInOrder)
{
    device->preferences.remove(QStringLiteral("_currentUser"));
    device->open();
    QVRestManager& sync = device->sync();
    QStringList seen;
    QObject::connect(&sync, &QVRestManager::statusMessageChanged, [&](const QString& m) { seen << m; });
    const auto shows = [&](const char* message) {
        EXPECT_EQ(sync.statusMessage(), QString::fromLatin1(message));
        EXPECT_TRUE(seen.contains(QString::fromLatin1(message))) << message;
    };
    EXPECT_EQ(sync.statusMessage(), QStringLiteral("Not signed in -- Click Sync to sign in"));

    sync.setCurrentUser(kUser, false);
    shows("Offline -- Signed out or app is in background ");

    start(*device);
    sync.setEditing(true, QStringLiteral("itemNameTextCell"));
    shows("Item editing in progress -- Sync is on hold...");
    sync.markAsNotEditing();

    sync.setIsManualSyncing(true);
    shows("Syncing your data ... Please wait");
    sync.setIsManualSyncing(false);

    sync.addSyncingObjects(1);
    shows("Syncing...");
    sync.addSyncingObjects(-1);

    sync.setItemsAreEdited(true);
    shows("Modified...");
    sync.setItemsAreEdited(false);
    // The poll a moment ago counts as just synced...
    shows("Your data was just synced");

    // ...and a poll more than 30 s ago does not (no poll runs while the lock is held).
    sync.setEditing(true, QStringLiteral("itemNameTextCell"));
    scheduler.advance(31'000);
    sync.markAsNotEditing();
    shows("Syncing from Server");
}

TEST_F(KeepAlive, GivenTheServerSaysNotOnline_ThenTheClientIsOfflineAndSendsNothing)
{
    server.setOnline(false);
    device->open();
    TODOList* project = ProjectBuilder(device->context(), "P");
    ItemBuilder("x").madeBy(*device->document, project);
    start(*device);
    tick(10'000);

    EXPECT_FALSE(device->sync().isOnline());
    EXPECT_EQ(device->sync().statusMessage(),
              QStringLiteral("Offline -- Signed out or app is in background "));
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/")), 0);
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/item/")), 0);
}

TEST_F(KeepAlive, GivenReachabilityLost_ThenLoopsStopAndResumeWhenItReturns)
{
    rest::NetworkReachability reachability(rest::NetworkReachability::Backend::Manual);
    SyncOptions options;
    options.reachability = &reachability;
    device->open(options);
    start(*device);
    ASSERT_TRUE(device->sync().isOnline());

    reachability.setReachable(false);
    EXPECT_FALSE(device->sync().isOnline());
    EXPECT_FALSE(device->sync().isStarted());
    server.clearRequests();
    tick(30'000);
    EXPECT_TRUE(server.requests().isEmpty());

    reachability.setReachable(true);
    settle();
    tick(QVRestManager::kLoopStartDelayMs);
    EXPECT_TRUE(device->sync().isOnline());
    EXPECT_GT(count("GET", QStringLiteral("/api/v1/item/")), 0);
}

TEST_F(KeepAlive, GivenNoOrigin_ThenTheEngineWorksOfflineAndNeverSends)
{
    SyncDevice offline(home.root() + QStringLiteral("/offline"), kDeviceB, clock, scheduler, QString());
    offline.open();
    TODOList* project = ProjectBuilder(offline.context(), "P");
    TODOItem* item = ItemBuilder("x").madeBy(*offline.document, project);
    offline.sync().startAllLoops();
    scheduler.advance(30'000);
    settle();
    EXPECT_FALSE(offline.sync().isOnline());
    EXPECT_FALSE(offline.sync().addTagName(QStringLiteral("t"), item, {}, {}));
    EXPECT_TRUE(server.requests().isEmpty());
}

class EditingLock : public SyncFixture {};

TEST_F(EditingLock, GivenTheLockHeld_ThenNoSendPollOrMergeUntilItIsReleased)
{
    TODOList* project = startWithProject();
    const qint64 remote = server.createItemAsOtherDevice({{"name", "remote"}, {"idd", 7}}, project->id_());

    device->sync().setEditing(true, QStringLiteral("itemNameTextCell"));
    ItemBuilder("local").madeBy(*device->document, project);
    server.clearRequests();
    tick(20'000);
    EXPECT_EQ(itemUploads(), 0);
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/item/")), 0);
    EXPECT_EQ(device->itemWithServerID(remote), nullptr);

    // A release under another name leaves sync on hold.
    device->sync().setEditing(false, QStringLiteral("projectNameTextCell"));
    EXPECT_TRUE(device->sync().uiIsEditing());
    tick(10'000);
    EXPECT_EQ(itemUploads(), 0);

    device->sync().setEditing(false, QStringLiteral("itemNameTextCell"));
    EXPECT_FALSE(device->sync().uiIsEditing());
    tick(10'000);
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/item/")), 1);
    EXPECT_NE(device->itemWithServerID(remote), nullptr);
}

TEST_F(EditingLock, GivenAReplyArrivingWhileLocked_ThenItIsNotMerged)
{
    TODOList* project = startWithProject();
    const qint64 remote = server.createItemAsOtherDevice({{"name", "remote"}, {"idd", 7}}, project->id_());
    ASSERT_TRUE(holdNextPass(QStringLiteral("/api/v1/item/")));

    device->sync().setEditing(true, QStringLiteral("itemNameTextCell"));
    server.releaseHeldReplies();
    settle();
    EXPECT_EQ(device->itemWithServerID(remote), nullptr);

    device->sync().markAsNotEditing();
    tick(5'000);
    EXPECT_NE(device->itemWithServerID(remote), nullptr);
}

} // namespace
} // namespace qv::test
