// Receiving remote item changes: paging and cursors, the conflict rule, unknown projects,
// own echoes, the inbox.
#include "tests/sync/SyncFixture.h"

namespace qv::test {
namespace {

class ItemPoll : public SyncFixture {
protected:
    // Every "updatedItems" list the item loop announced.
    std::vector<QVariantList> watchItemAnnouncements()
    {
        device->notifications.addObserver(
            this, kNotificationItemUpdaterLooped, [this](const Notification& n) {
                announcements.push_back(n.userInfo.value(QStringLiteral("updatedItems")).toList());
            });
        return {};
    }
    InstantSyncStatus* status() { return device->sync().getInstantSyncStatus(); }
    QDateTime at(qint64 seconds) const { return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()); }

    std::vector<QVariantList> announcements;
};

TEST_F(ItemPoll, GivenSeveralPages_ThenNextIsFollowedTheCursorMovesAfterTheLastPageAndAllChangesAreAnnounced)
{
    TODOList* project = startWithProject();
    watchItemAnnouncements();
    server.setPageSize(3);
    QSet<qint64> created;
    for (int i = 0; i < 7; ++i)
        created.insert(server.createItemAsOtherDevice(
            {{"name", QStringLiteral("r%1").arg(i)}, {"idd", 100 + i}}, project->id_()));
    const QDateTime cursorBefore = status()->lastItemPollingDate();
    server.clearRequests();
    tick(5'000);

    const auto polls = requests("GET", QStringLiteral("/api/v1/item/"));
    ASSERT_EQ(polls.size(), 3);
    EXPECT_FALSE(polls[0].hasQueryItem(QStringLiteral("offset")));
    EXPECT_EQ(polls[1].queryItem(QStringLiteral("offset")), QStringLiteral("3"));
    EXPECT_EQ(polls[2].queryItem(QStringLiteral("offset")), QStringLiteral("6"));
    for (const HttpRequest& poll : polls)
        EXPECT_EQ(poll.queryItem(QStringLiteral("timestamp__gte")),
                  polls[0].queryItem(QStringLiteral("timestamp__gte")));
    EXPECT_GT(status()->lastItemPollingDate(), cursorBefore);
    for (qint64 id : created)
        EXPECT_NE(device->itemWithServerID(id), nullptr);

    ASSERT_EQ(announcements.size(), 1u);
    QSet<qint64> announced;
    for (const QVariant& id : announcements.front())
        announced.insert(id.toLongLong());
    EXPECT_EQ(announced, created);
}

TEST_F(ItemPoll, GivenTwoPollsEndingOnTheSameDate_ThenTheCursorMovesOneSecondPastIt)
{
    TODOList* project = startWithProject();
    const qint64 changedAt = server.now();
    server.createItemAsOtherDevice({{"name", "r"}, {"idd", 5}}, project->id_());
    tick(20'000);
    EXPECT_EQ(status()->lastItemPollingDate(), at(changedAt + 1));
    EXPECT_FALSE(status()->lastItemPollingDateWithResults().isValid());
    tick(10'000);
    EXPECT_EQ(status()->lastItemPollingDate(), at(changedAt + 1));
}

TEST_F(ItemPoll, GivenAnItemOfAProjectNotKnownHere_ThenTheProjectIsDownloadedWithItsItems)
{
    start(*device);
    const qint64 projectID = server.createProjectAsOtherDevice({{"name", "theirs"}});
    const qint64 first = server.createItemAsOtherDevice({{"name", "one"}, {"idd", 1}}, projectID);
    const qint64 second = server.createItemAsOtherDevice({{"name", "two"}, {"idd", 2}}, projectID);
    tick(5'000);
    TODOList* project = device->projectWithID(projectID);
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(project->name(), QStringLiteral("theirs"));
    for (qint64 id : {first, second}) {
        TODOItem* item = device->itemWithServerID(id);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->list(), project);
        EXPECT_EQ(item->edited_since(), 0);
    }
    EXPECT_EQ(project->edited_since(), 0);
    tick(5'000);
    EXPECT_EQ(itemUploads(), 0);
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/project/")), 0);
}

TEST_F(ItemPoll, GivenAnItemMovedToAProjectNotKnownHere_ThenItKeepsItsProjectUntilTheNewOneHasCome)
{
    TODOList* homeProject = startWithProject();
    TODOItem* item = ItemBuilder("moving").madeBy(*device->document, homeProject);
    tick(5'000);
    ASSERT_TRUE(item->isValidUniID());
    const qint64 elsewhere = server.createProjectAsOtherDevice({{"name", "elsewhere"}});
    server.modifyItemAsOtherDevice(
        item->serverID(),
        {{"projects", QJsonArray{FakeSyncServer::projectUri(elsewhere)}}, {"name", "moved"}});
    // The download of the new project waits. The item poll may have run before it or wait
    // behind it in the queue: either way the item is never detached into the inbox.
    ASSERT_TRUE(holdNextPass(QStringLiteral("/api/v1/project/%1/").arg(elsewhere)));
    EXPECT_EQ(item->list(), homeProject);

    server.releaseHeldReplies();
    settle();
    EXPECT_EQ(item->name(), QStringLiteral("moved"));
    TODOList* target = device->projectWithID(elsewhere);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(item->list(), target);
    EXPECT_EQ(item->edited_since(), 0);
}

TEST_F(ItemPoll, GivenTwoRemoteChangesBetweenSaves_ThenTheSecondIsMergedAndNothingIsSentBack)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("v1").madeBy(*device->document, project);
    tick(5'000);
    device->save();
    const qint64 id = item->serverID();
    server.modifyItemAsOtherDevice(id, {{"name", "v2"}, {"quadrant", 1}});
    tick(5'000);
    ASSERT_EQ(item->name(), QStringLiteral("v2"));
    // No save since the first merge: its unsaved copy must not pass for a local edit.
    server.modifyItemAsOtherDevice(id, {{"name", "v3"}});
    server.clearRequests();
    tick(5'000);
    EXPECT_EQ(item->name(), QStringLiteral("v3"));
    EXPECT_EQ(item->quadrant(), 1);
    EXPECT_EQ(item->edited_since(), 0);
    EXPECT_EQ(itemUploads(), 0);
    EXPECT_EQ(server.item(id).value("name").toString(), QStringLiteral("v3"));
}

TEST_F(ItemPoll, GivenACopyLeavingKeysOut_ThenTheirLocalValuesStayAndAKeySentAsNullClearsItsValue)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("v1")
                         .inQuadrant(2)
                         .due(QDateTime::fromSecsSinceEpoch(1'800'000'000))
                         .madeBy(*device->document, project);
    item->setDescriptionText(QStringLiteral("kept"));
    tick(5'000);
    const qint64 id = item->serverID();
    // Read straight from the reply, and mapped first (a relationship key left out as well).
    for (const QString& name : {QStringLiteral("read"), QStringLiteral("mapped")}) {
        server.modifyItemAsOtherDevice(id, {{"name", name}, {"dueDate", QJsonValue::Null}});
        QStringList left{QStringLiteral("descriptionText"), QStringLiteral("quadrant")};
        if (name == QLatin1String("mapped"))
            left << QStringLiteral("tags");
        server.omitItemFields(id, left);
        tick(5'000);
        EXPECT_EQ(item->name(), name);
        EXPECT_EQ(item->descriptionText(), QStringLiteral("kept")) << name.toStdString();
        EXPECT_EQ(item->quadrant(), 2) << name.toStdString();
        EXPECT_TRUE(item->isNull(QStringLiteral("dueDate"))) << name.toStdString();
    }
}

TEST_F(ItemPoll, GivenTheOwnerChangedOnTheServer_ThenTheDelegationIsAnnouncedAndTheItemHighlighted)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("task").madeBy(*device->document, project);
    tick(5'000);
    QVariantMap delegated;
    device->notifications.addObserver(this, kNotificationItemDelegated,
                                      [&](const Notification& n) { delegated = n.userInfo; });
    server.modifyItemAsOtherDevice(item->serverID(), {{"owner_username", "colleague@example.com"},
                                                      {"edited_by_username", "boss@example.com"}});
    tick(5'000);
    EXPECT_EQ(delegated.value("serverID").toLongLong(), item->serverID());
    EXPECT_EQ(delegated.value("ownerUsername").toString(), QStringLiteral("colleague@example.com"));
    EXPECT_EQ(delegated.value("editedByUsername").toString(), QStringLiteral("boss@example.com"));
    EXPECT_EQ(item->highlight(), 1);
    EXPECT_EQ(project->highlight(), 1);
    EXPECT_EQ(item->edited_since(), 0);
}

// --- The conflict rule, on the merge itself.

class ConflictRule : public ItemPoll {
protected:
    void SetUp() override
    {
        project = startWithProject();
        local = ItemBuilder("local").madeBy(*device->document, project);
        tick(5'000);
        ASSERT_EQ(local->edited_since(), 0);
        local->context()->processPendingChanges();
        incoming = ItemBuilder("remote").withServerID(local->serverID()).withId(local->id_()).in(scratch);
    }
    bool merge()
    {
        QVRestManager::TrackingPause pause(device->sync());
        return device->sync().itemLoop().update(local, incoming);
    }

    store::Context scratch{TodoModel::shared(), scheduler};
    TODOList* project = nullptr;
    TODOItem* local = nullptr;
    TODOItem* incoming = nullptr;
};

TEST_F(ConflictRule, GivenTheServerVersionAndTimestamp_ThenTheNewerCopyWinsAndAnEqualOneCopiesNothing)
{
    const struct {
        const char* what;
        qint64 versionAhead;
        qint64 timestampAhead;
        bool serverWins;
    } cases[] = {
        {"equal versions and timestamps", 0, 0, false},
        {"equal versions, newer server timestamp", 0, 1, true},
        {"higher server version, older timestamp", 1, -100, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString before = local->name();
        incoming->setName(QString::fromLatin1(c.what));
        incoming->setVersionID(local->versionID() + c.versionAhead);
        incoming->setTimestamp(local->timestamp() + c.timestampAhead);
        EXPECT_TRUE(merge());
        EXPECT_EQ(local->name(), c.serverWins ? QString::fromLatin1(c.what) : before);
        EXPECT_EQ(local->edited_since(), 0);
    }
}

TEST_F(ConflictRule, GivenAPendingLocalEdit_ThenTheLocalCopyWinsAndIsSentLater)
{
    device->sync().blockSyncForItem(local);
    local->setName(QStringLiteral("mine"));
    local->context()->processPendingChanges();
    ASSERT_EQ(local->edited_since(), 1);
    incoming->setVersionID(local->versionID() + 5);
    EXPECT_FALSE(merge());
    EXPECT_EQ(local->name(), QStringLiteral("mine"));
    EXPECT_EQ(local->edited_since(), 1);

    // Through the real poll as well: the server's newer version does not overwrite the edit.
    server.modifyItemAsOtherDevice(local->serverID(), {{"name", "theirs"}});
    tick(5'000);
    EXPECT_EQ(local->name(), QStringLiteral("mine"));
    device->sync().unblockSyncForItem(local);
    tick(5'000);
    EXPECT_EQ(server.item(local->serverID()).value("name").toString(), QStringLiteral("mine"));
    EXPECT_EQ(local->edited_since(), 0);
}

TEST_F(ConflictRule, GivenAnUploadInFlight_ThenIncomingDataDoesNotTouchTheItem)
{
    ASSERT_TRUE(device->sync().itemLoop().objectsBeingSent().insert(local, InFlightSet::Kind::Upload));
    incoming->setVersionID(local->versionID() + 1);
    EXPECT_FALSE(merge());
    EXPECT_EQ(local->name(), QStringLiteral("local"));
    device->sync().itemLoop().objectsBeingSent().remove(local);
}

// --- The inbox

class InboxPoll : public ItemPoll {};

TEST_F(InboxPoll, GivenItemsSentToTheInbox_ThenTheyArriveUnmarkedAndAreNotSentBack)
{
    start(*device);
    int looped = 0;
    QVariantList applied;
    device->notifications.addObserver(this, kNotificationInboxUpdaterLooped, [&](const Notification& n) {
        ++looped;
        applied = n.userInfo.value(QStringLiteral("updatedItemIDs")).toList();
    });
    const qint64 id = server.createItemAsOtherDevice({{"name", "mailed"}, {"idd", 3}});
    // The inbox poll alone, before any modified-items poll could bring the item.
    std::vector<TODOItem*> loaded;
    device->sync().GETInboxItemsForLatestTimestamp(
        [&](const std::vector<TODOItem*>& items) { loaded = items; }, {});
    settle();
    ASSERT_EQ(loaded.size(), 1u);
    TODOItem* item = device->itemWithServerID(id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->list(), nullptr);
    EXPECT_EQ(item->edited_since(), 0);
    EXPECT_EQ(looped, 1);
    EXPECT_EQ(applied, QVariantList{QVariant(id)});
    tick(10'000);
    EXPECT_EQ(item->edited_since(), 0);
    EXPECT_EQ(itemUploads(), 0);
}

TEST_F(InboxPoll, GivenTheFirstPoll_ThenItAsksForOpenItemsAndTheCursorGrowsBySecondsWhenNothingIsNewer)
{
    openSyncedBefore(*device);
    start(*device);
    tick(ItemUpdaterLoop::kInboxIntervalMs * 2);
    const auto polls = requests("GET", QStringLiteral("/api/v1/me/inbox/"));
    ASSERT_EQ(polls.size(), 3);
    EXPECT_EQ(polls[0].queryItem(QStringLiteral("state")), QStringLiteral("0"));
    EXPECT_FALSE(polls[1].hasQueryItem(QStringLiteral("state")));
    EXPECT_EQ(polls[1].queryItem(QStringLiteral("timestamp__gte")),
              QStringLiteral("1970-01-01 00:00:01.000000-00:00"));
    EXPECT_EQ(polls[2].queryItem(QStringLiteral("timestamp__gte")),
              QStringLiteral("1970-01-01 00:00:02.000000-00:00"));
    EXPECT_EQ(device->sync().itemLoop().lastInboxItemTimestamp(), 3);
}

TEST_F(InboxPoll, GivenAnInboxOfOneItemMoreThanAPage_ThenEveryItemArrivesOverTwoRequests)
{
    for (int i = 0; i < 1'001; ++i)
        server.createItemAsOtherDevice({{"name", QStringLiteral("mailed %1").arg(i)}});
    openSyncedBefore(*device);
    start(*device);
    const auto polls = requests("GET", QStringLiteral("/api/v1/me/inbox/"));
    ASSERT_EQ(polls.size(), 2);
    // The first request as always; the second asks for the page the reply named.
    EXPECT_EQ(polls[0].queryItem(QStringLiteral("state")), QStringLiteral("0"));
    EXPECT_EQ(polls[0].queryItem(QStringLiteral("limit")), QStringLiteral("1000"));
    EXPECT_FALSE(polls[0].hasQueryItem(QStringLiteral("offset")));
    EXPECT_EQ(polls[1].queryItem(QStringLiteral("state")), QStringLiteral("0"));
    EXPECT_EQ(polls[1].queryItem(QStringLiteral("offset")), QStringLiteral("1000"));
    EXPECT_EQ(polls[1].queryItem(QStringLiteral("limit")), QStringLiteral("1000"));
    EXPECT_EQ(device->items().size(), 1'001u);
    EXPECT_EQ(device->sync().itemLoop().completedInboxPolls(), 1);

    // A device new to the account gets all of them with the whole sync of its start.
    SyncDevice& b = addOtherDevice();
    start(b);
    EXPECT_EQ(b.items().size(), 1'001u);
    EXPECT_EQ(b.countEdited(), 0);
}

} // namespace
} // namespace qv::test
