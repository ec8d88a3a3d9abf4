// The collaboration manager against the fake server's team routes: shared downloads, the
// freshness of cached lists, offline calls, the archive in the store and signing out and in.
#include "sync/CollaborationManager.h"

#include "core/document/StoreFiles.h"
#include "platform/rest/NetworkReachability.h"
#include "platform/rest/RestClient.h"
#include "sync/AvatarManager.h"
#include "tests/support/FakeSyncServerAvatars.h"
#include "tests/support/FakeSyncServerTeam.h"
#include "tests/sync/SyncFixture.h"

#include <QCborValue>
#include <QSet>

namespace qv::test {
namespace {

const QString kCollaborators = QStringLiteral("/api/v1/me/collaborators/");
const QString kOwners = QStringLiteral("/api/v1/project/42/owners/");

QStringList emails(const QList<User>& users)
{
    QStringList list;
    for (const User& user : users)
        list << user.email;
    return list;
}

class Collaboration : public SyncFixture {
protected:
    Collaboration() : team(server, kUser)
    {
        team.collaborators = {FakeTeam::user(2, QStringLiteral("bob@x.com")),
                              FakeTeam::user(3, QStringLiteral("ann@firm.consulting"), true),
                              FakeTeam::user(4, QStringLiteral("zoé@x.com"))};
        team.owners[42] = {team.me, team.collaborators[1]};
        team.followers[7] = {team.collaborators[0]};
    }

    void open()
    {
        device->open();
        makeManager();
        project = ProjectBuilder(device->context(), "Shared").withId(42);
        item = ItemBuilder("Followed").withServerID(7).in(project);
    }
    void makeManager()
    {
        manager = std::make_unique<CollaborationManager>(device->services, device->sync());
        device->sync().setCollaborators(manager.get());
    }
    void reopen()
    {
        manager.reset();
        device->quit();
        device->open();
        makeManager();
        project = device->projectWithID(42);
        item = device->itemWithServerID(7);
        server.clearRequests();
    }
    QList<User> owners(bool force, int* starts = nullptr)
    {
        return manager->getOwnersForProject(
            project, [starts] { starts && ++*starts; }, {}, {}, force);
    }
    int statusRecords()
    {
        return int(device->context().objects(CollaborationStatus::staticEntityName()).size());
    }

    FakeTeam team;
    std::unique_ptr<CollaborationManager> manager;
    TODOList* project = nullptr;
    TODOItem* item = nullptr;
};

TEST_F(Collaboration, GivenTwoCallersBeforeTheReply_ThenOneDownloadServesBothInOrder)
{
    open();
    QStringList calls;
    QList<User> first, second;
    manager->getCollaborators([&](const QList<User>& users) { calls << "first", first = users; });
    manager->getCollaborators([&](const QList<User>& users) { calls << "second", second = users; },
                              [&](const std::optional<QString>&) { calls << "failed"; });
    settle();

    EXPECT_EQ(count("GET", kCollaborators), 1);
    EXPECT_EQ(calls, QStringList({"first", "second"}));
    EXPECT_EQ(emails(first), emails(second));
    EXPECT_EQ(manager->resourceURIForEmail("ann@firm.consulting"), "/api/v1/user/3/");
    EXPECT_EQ(emails(manager->getCachedCollaboratorsForSearchString("  ")),
              QStringList({"ann@firm.consulting", "bob@x.com", "zoé@x.com"}));
    EXPECT_EQ(emails(manager->getCachedCollaboratorsForSearchString("ZOE")), QStringList{"zoé@x.com"});

    // A failed download calls the failures only, each once.
    server.failNext(kCollaborators, 500);
    calls.clear();
    manager->getCollaborators(
        [&](const QList<User>&) { calls << "success"; },
        [&](const std::optional<QString>& error) { calls << (error ? "error" : "none"); });
    manager->getCollaborators({}, [&](const std::optional<QString>&) { calls << "second error"; });
    settle();
    EXPECT_EQ(calls, QStringList({"error", "second error"}));
}

TEST_F(Collaboration, GivenOwnersDownloadedLessThan600SecondsAgo_ThenTheCacheAnswersWithoutARequest)
{
    open();
    int starts = 0;
    EXPECT_TRUE(owners(false, &starts).isEmpty());
    settle();
    ASSERT_EQ(count("GET", kOwners), 1);

    scheduler.advance(600'000);
    EXPECT_EQ(emails(owners(false, &starts)), QStringList({kUser, "ann@firm.consulting"}));
    settle();
    EXPECT_EQ(count("GET", kOwners), 1);
    EXPECT_EQ(starts, 1);

    scheduler.advance(1'000);
    owners(false, &starts);
    settle();
    EXPECT_EQ(count("GET", kOwners), 2);
    owners(true, &starts);
    settle();
    EXPECT_EQ(count("GET", kOwners), 3);
    EXPECT_EQ(starts, 3);

    // A project the server has not numbered yet asks nothing.
    TODOList* unsynced = ProjectBuilder(device->context(), "Local");
    EXPECT_TRUE(manager->getOwnersForProject(unsynced, {}, {}, {}, true).isEmpty());
    EXPECT_TRUE(manager->getSharingRequestsForProject(unsynced, {}, {}, {}, true).isEmpty());
    settle();
    EXPECT_EQ(server.requests().size(), 3);
}

TEST_F(Collaboration, GivenNoNetwork_WhenListsAreAskedFor_ThenFailureWithoutErrorAndTheCache)
{
    open();
    owners(true);
    settle();
    rest::NetworkReachability reachability(rest::NetworkReachability::Backend::Manual);
    reachability.setReachable(false);
    device->sync().client().setReachability(&reachability);
    server.clearRequests();

    std::vector<std::optional<QString>> failures;
    const auto failed = [&](const std::optional<QString>& error) {
        failures.push_back(error);
    };
    EXPECT_EQ(manager->getOwnersForProject(project, {}, {}, failed, true).size(), 2);
    EXPECT_FALSE(manager->followItem(item, {}, failed));
    EXPECT_FALSE(manager->getFollowersForItem(item, {}, {}, failed, true));
    settle();

    ASSERT_EQ(failures.size(), 3u);
    for (const auto& error : failures)
        EXPECT_FALSE(error);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(Collaboration, GivenFilledCaches_WhenArchivedAndRestoredInTheNextRun_ThenNothingIsDownloadedAgain)
{
    open();
    manager->initCollaboration(); // nothing archived yet: me and the collaborators come
    owners(true);
    manager->followItem(item, {}, {});
    settle();
    scheduler.advance(CollaborationManager::kArchiveIntervalMs);
    device->save();
    // Unchanged caches write nothing, so the save has nothing to back up.
    scheduler.advance(CollaborationManager::kArchiveIntervalMs);
    EXPECT_FALSE(device->context().hasChanges());

    reopen();
    manager->initCollaboration();
    EXPECT_EQ(manager->myUsername(), kUser);
    EXPECT_EQ(manager->me()->userProfile.value("userhash"), "h1");
    EXPECT_EQ(manager->me()->dailyReportAPIString(), "/accounts/report/1/h1");
    EXPECT_EQ(emails(manager->getCachedCollaborators()).size(), 3);
    EXPECT_EQ(emails(owners(false)), QStringList({kUser, "ann@firm.consulting"}));
    const auto followers = manager->getFollowersForItem(item, {}, {}, {}, false);
    ASSERT_TRUE(followers);
    EXPECT_EQ(emails(*followers), QStringList({"bob@x.com", kUser}));
    settle();
    EXPECT_TRUE(server.requests().isEmpty());
}

// A crash mid-write or another version may leave an archive that does not read to its end; Qt's
// reader leaves such a value unusable, so nothing of it is taken and it is downloaded again.
TEST_F(Collaboration, GivenAnArchiveCutShort_WhenRestoredInTheNextRun_ThenWhatItHeldIsDownloadedAgain)
{
    open();
    manager->initCollaboration();
    owners(true);
    settle();
    scheduler.advance(CollaborationManager::kArchiveIntervalMs);
    auto* status = store::as<CollaborationStatus>(
        device->context().objects(CollaborationStatus::staticEntityName()).front());
    const auto cut = [](const QByteArray& archive) {
        return archive.left(archive.size() - 3);
    };
    status->setCachedMe(cut(status->cachedMe()));
    status->setCachedCollaboratorsByEmail(cut(status->cachedCollaboratorsByEmail()));
    status->setCachedOwnersByProject(cut(status->cachedOwnersByProject()));
    device->save();

    reopen();
    manager->initCollaboration();
    EXPECT_TRUE(manager->getCachedOwnersForProject(project).isEmpty());
    owners(false);
    settle();
    const QList<HttpRequest> me = requests("GET", QStringLiteral("/api/v1/me/"));
    EXPECT_EQ(
        std::count_if(me.begin(), me.end(), [](const HttpRequest& r) { return r.path == "/api/v1/me/"; }), 1);
    EXPECT_EQ(count("GET", kCollaborators), 1);
    EXPECT_EQ(count("GET", kOwners), 1);
    EXPECT_EQ(manager->myUsername(), kUser);
    EXPECT_EQ(emails(manager->getCachedCollaborators()).size(), 3);
    EXPECT_EQ(emails(manager->getCachedOwnersForProject(project)),
              QStringList({kUser, "ann@firm.consulting"}));
}

// Measured by the backups the 120 s saves make: caches and avatars downloaded again without a
// change, and polls that find nothing, leave nothing worth a backup.
TEST_F(Collaboration, GivenCachesAvatarsAndPollsUnchanged_WhenThe120SecondSaveRuns_ThenNoBackupIsMade)
{
    FakeAvatars pictures(server, team);
    open();
    start(*device);
    AvatarManager avatars(device->services, device->sync());
    const auto backups = [&] {
        device->document->storeFiles().waitForBackups();
        return device->preferences.intValue(QStringLiteral("_currentBackupNumbersave"));
    };
    const auto downloadAll = [&] {
        manager->getCollaborators();
        owners(true);
        manager->getFollowersForItem(item, {}, {}, {}, true);
        avatars.avatarForEmail(QStringLiteral("bob@x.com"), true);
        settle();
    };
    manager->initCollaboration();
    downloadAll();
    tick(CollaborationManager::kArchiveIntervalMs);
    const int first = backups();

    for (int round = 0; round < 2; ++round) {
        tick(CollaborationManager::kArchiveIntervalMs / 2);
        downloadAll();
        tick(CollaborationManager::kArchiveIntervalMs / 2);
    }
    EXPECT_EQ(backups(), first);
    EXPECT_GE(count("GET", kOwners), 3);
    const QList<HttpRequest> me = requests("GET", QStringLiteral("/api/v1/me/"));
    EXPECT_GE(
        std::count_if(me.begin(), me.end(), [](const HttpRequest& r) { return r.path == "/api/v1/me/"; }), 2);
}

TEST_F(Collaboration, GivenASignOut_WhenTheUserSignsInAgainInTheSameRun_ThenTheCachesStartEmptyAndWork)
{
    open();
    manager->initCollaboration();
    owners(true);
    settle();
    scheduler.advance(CollaborationManager::kArchiveIntervalMs);
    ASSERT_EQ(statusRecords(), 1);

    manager->deleteCollaboration();
    device->preferences.remove(QStringLiteral("_currentUser"));
    EXPECT_FALSE(manager->myUsername());
    EXPECT_TRUE(manager->getCachedOwnersForProject(project).isEmpty());
    EXPECT_TRUE(manager->getCachedCollaborators().isEmpty());
    EXPECT_EQ(statusRecords(), 0);
    scheduler.advance(CollaborationManager::kArchiveIntervalMs); // signed out: stored nowhere
    EXPECT_EQ(statusRecords(), 0);

    device->sync().setCurrentUser(kUser, true);
    manager->initCollaboration();
    owners(false);
    settle();
    EXPECT_EQ(manager->myUsername(), kUser);
    EXPECT_EQ(manager->getCachedOwnersForProject(project).size(), 2);
    scheduler.advance(CollaborationManager::kArchiveIntervalMs);

    makeManager();
    manager->initCollaboration();
    EXPECT_EQ(manager->getCachedOwnersForProject(project).size(), 2);
}

// The archive must neither switch tracking back on under a manual sync or a caller that paused
// it, nor write while a manual sync merges.
TEST_F(Collaboration, GivenTrackingPausedByOthers_WhenTheArchiveRuns_ThenTrackingStaysPaused)
{
    open();
    manager->initCollaboration();
    settle();
    device->save();
    QVRestManager& engine = device->sync();

    engine.setIsManualSyncing(true);
    engine.disableChangeNotifications();
    scheduler.advance(CollaborationManager::kArchiveIntervalMs);
    EXPECT_FALSE(device->document->isReceivingEditingNotifications());
    EXPECT_FALSE(device->context().hasChanges());

    engine.setIsManualSyncing(false);
    scheduler.advance(CollaborationManager::kArchiveIntervalMs);
    EXPECT_FALSE(device->document->isReceivingEditingNotifications());
    EXPECT_TRUE(device->context().hasChanges());
    engine.enableChangeNotifications();
    EXPECT_TRUE(device->document->isReceivingEditingNotifications());
}

TEST_F(Collaboration, GivenTheMeDownloadFails_ThenMeIsNothingAndTheFailureHasTheError)
{
    open();
    team.me = {};
    std::optional<QString> error;
    manager->reloadMe({}, [&](const std::optional<QString>& e) { error = e; });
    settle();
    EXPECT_FALSE(manager->me());
    EXPECT_FALSE(manager->myEmail());
    EXPECT_TRUE(error && !error->isEmpty());
}

TEST_F(Collaboration, GivenASignIn_ThenTheSelfInvitationCheckKnowsTheLoginWhateverItsCase)
{
    open();
    EXPECT_FALSE(manager->isLoginEmail("ann@firm.consulting"));
    manager->setLoginEmail("Ann@Firm.Consulting");
    EXPECT_EQ(device->preferences.stringValue(CollaborationManager::kLoginKey), "Ann@Firm.Consulting");
    EXPECT_TRUE(manager->isLoginEmail("ann@firm.consulting"));
    EXPECT_FALSE(manager->isLoginEmail("bob@x.com"));
}

TEST_F(Collaboration, GivenAnInvitation_WhenPostedThenAnswered_ThenTheProjectsRequestsFollow)
{
    open();
    SharingRequest invitation;
    invitation.projectURI = FakeSyncServer::projectUri(42);
    invitation.targetUsername = "bob@x.com";
    manager->postSharingRequest(invitation, {}, {});
    settle();
    const QList<SharingRequest> open = manager->getCachedSharingRequestsForProject(project);
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open.first().status, SharingRequest::kInit);
    EXPECT_EQ(open.first().targetUsername, "bob@x.com");

    SharingRequest withdrawn = open.first();
    withdrawn.status = SharingRequest::kRejected;
    manager->putSharingRequest(withdrawn, {}, {});
    settle();
    EXPECT_TRUE(manager->getCachedSharingRequestsForProject(project).isEmpty());
    manager->getSharingRequestsForProject(project, {}, {}, {}, false);
    settle();
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/sharing_request/")), 1);
}

TEST(UserRecords, GivenServerJsonAndArchives_ThenUsersAreEqualByUsernameAndKeepTheirFlags)
{
    User one = User::fromJson(
        QJsonObject{{"username", "a@x.com"}, {"email", "one@x.com"}, {"teammate", QJsonValue()}});
    const User other = User::fromJson(QJsonObject{{"username", "a@x.com"}, {"email", "two@x.com"}});
    EXPECT_FALSE(one.teammate);
    EXPECT_EQ(QSet<User>({one, other}).size(), 1);
    EXPECT_EQ(one.dailyReportAPIString(), "/accounts/report/");

    one.teammate = one.owner = one.invited = true;
    const User restored = User::fromCbor(QCborValue::fromCbor(one.toCbor().toCbor()));
    EXPECT_TRUE(restored.teammate && restored.owner && restored.invited);
    EXPECT_EQ(restored.email, "one@x.com");

    // Read back, an archived user archives to the same bytes, empty texts and all: otherwise every
    // restart would rewrite (and back up) an unchanged archive.
    User blank;
    blank.username = QStringLiteral("");
    blank.email = QStringLiteral("b@x.com");
    const QByteArray archived = blank.toCbor().toCbor();
    EXPECT_EQ(User::fromCbor(QCborValue::fromCbor(archived)).toCbor().toCbor(), archived);
}

TEST_F(Collaboration, GivenOnePersonMoreThanAPage_ThenEveryCollaboratorAndOwnerIsRead)
{
    QList<QJsonObject> owners;
    for (int i = 0; i < 101; ++i) {
        team.collaborators.append(FakeTeam::user(1'000 + i, QStringLiteral("person%1@x.com").arg(i)));
        owners.append(team.collaborators.last());
    }
    team.owners[42] = owners;
    open();
    QList<User> collaborators;
    QList<User> projectOwners;
    manager->getCollaborators([&](const QList<User>& users) { collaborators = users; });
    manager->getOwnersForProject(
        project, {}, [&](const QList<User>& users) { projectOwners = users; }, {}, true);
    settle();
    EXPECT_EQ(collaborators.size(), 104);
    EXPECT_EQ(projectOwners.size(), 101);
    EXPECT_EQ(manager->resourceURIForEmail("person100@x.com"), "/api/v1/user/1100/");
    for (const QString& path : {kCollaborators, kOwners}) {
        const auto pages = requests("GET", path);
        ASSERT_EQ(pages.size(), 2) << path.toStdString();
        EXPECT_EQ(pages[0].queryItem(QStringLiteral("limit")), QStringLiteral("100"));
        EXPECT_FALSE(pages[0].hasQueryItem(QStringLiteral("offset")));
        EXPECT_EQ(pages[1].queryItem(QStringLiteral("offset")), QStringLiteral("100"));
    }
}

} // namespace
} // namespace qv::test
