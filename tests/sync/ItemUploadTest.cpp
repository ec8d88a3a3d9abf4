// Sending local item edits: batches, retries, edits during an upload, lost replies and kills.
#include "tests/sync/SyncFixture.h"

#include "platform/store/UndoManager.h"
#include "sync/CollaboratorDirectory.h"

#include <QJsonDocument>

namespace qv::test {
namespace {

class ItemUpload : public SyncFixture {
protected:
    QList<QJsonObject> postedBodies()
    {
        QList<QJsonObject> bodies;
        for (const HttpRequest& r : requests("POST", QStringLiteral("/api/v1/item/")))
            bodies << r.json().object();
        return bodies;
    }
    void expectInStepWithServer(TODOItem* item)
    {
        ASSERT_TRUE(item->isValidUniID()) << item->name().toStdString();
        EXPECT_EQ(item->edited_since(), 0) << item->name().toStdString();
        EXPECT_EQ(server.item(item->serverID()).value("name").toString(), item->name());
    }
};

TEST_F(ItemUpload, Given23NewItems_ThenTheyGoAsBulkPostsOf10And10And3_AndOneNewItemAsASinglePost)
{
    TODOList* project = startWithProject();
    const std::vector<TODOItem*> items = newItems(project, "item ", 23);
    server.clearRequests();
    tick(5'000);

    const QList<QJsonObject> bodies = postedBodies();
    ASSERT_EQ(bodies.size(), 3);
    EXPECT_EQ(bodies[0].value("objects").toArray().size(), 10);
    EXPECT_EQ(bodies[1].value("objects").toArray().size(), 10);
    EXPECT_EQ(bodies[2].value("objects").toArray().size(), 3);
    // A bulk body holds "objects" only, and no item in it carries what the server sets.
    EXPECT_EQ(bodies[0].keys(), QStringList{QStringLiteral("objects")});
    for (const QJsonValue& sent : bodies[0].value("objects").toArray())
        for (const char* key : {"timestamp", "creator_username", "edited_by_username"})
            EXPECT_FALSE(sent.toObject().contains(QString::fromLatin1(key))) << key;
    for (TODOItem* item : items)
        expectInStepWithServer(item);
    EXPECT_EQ(server.itemCount(), 23);

    TODOItem* single = ItemBuilder("alone").madeBy(*device->document, project);
    server.clearRequests();
    tick(5'000);
    const QList<QJsonObject> singles = postedBodies();
    ASSERT_EQ(singles.size(), 1);
    EXPECT_FALSE(singles[0].contains("objects"));
    EXPECT_EQ(singles[0].value("name").toString(), QStringLiteral("alone"));
    expectInStepWithServer(single);
}

TEST_F(ItemUpload,
       GivenAnUploadedNextOccurrence_WhenTheCompletionIsUndone_ThenItGoesOnTheServerTooAndRedoBringsItBack)
{
    TODOList* project = startWithProject();
    TODOItem* weekly = ItemBuilder("Weekly")
                           .due(QDateTime(QDate(2026, 3, 2), QTime(9, 0)))
                           .withValue("frequency", "Weekly")
                           .madeBy(*device->document, project);
    tick(5'000);
    ASSERT_TRUE(weekly->isValidUniID());
    device->document->markTODOItem(weekly, project, nullptr, 100);
    device->context().processPendingChanges();
    tick(5'000);
    const auto open = [&] {
        std::vector<TODOItem*> found;
        for (TODOItem* item : device->items())
            if (!item->isDeleted() && item->name() == "Weekly" && item->objectState() == ObjectState::Open)
                found.push_back(item);
        return found;
    };
    ASSERT_EQ(open().size(), 1u);
    TODOItem* next = open().front();
    ASSERT_NE(next, weekly);
    ASSERT_TRUE(next->isValidUniID());
    const qint64 nextID = next->serverID();
    const qint64 weeklyID = weekly->serverID();
    EXPECT_EQ(server.item(nextID).value("state").toInt(), 0);

    store::UndoManager* undo = device->context().undoManager();
    undo->undo();
    tick(10'000);
    ASSERT_EQ(open().size(), 1u);
    EXPECT_EQ(open().front(), weekly);
    EXPECT_EQ(server.item(weeklyID).value("state").toInt(), 0);
    EXPECT_EQ(server.item(nextID).value("state").toInt(), 3);

    // Nothing comes back after a restart, and the next poll leaves it gone.
    device->quit();
    start(*device);
    tick(10'000);
    EXPECT_EQ(open().size(), 1u);

    // A redo in the same run brings the occurrence back, here and there.
    device->quit();
    start(*device);
    TODOItem* again = device->itemWithServerID(weeklyID);
    ASSERT_NE(again, nullptr);
    device->document->markTODOItem(again, again->list(), nullptr, 100);
    device->context().processPendingChanges();
    tick(5'000);
    ASSERT_EQ(open().size(), 1u);
    const qint64 secondID = open().front()->serverID();
    device->context().undoManager()->undo();
    tick(10'000);
    ASSERT_EQ(server.item(secondID).value("state").toInt(), 3);
    device->context().undoManager()->redo();
    tick(10'000);
    ASSERT_EQ(open().size(), 1u);
    EXPECT_EQ(open().front()->serverID(), secondID);
    EXPECT_EQ(server.item(secondID).value("state").toInt(), 0);
}

TEST_F(
    ItemUpload,
    GivenNextOccurrencesUploadingTogether_WhenTheCompletionIsUndoneBeforeTheAnswer_ThenTheyGoOnTheServerToo)
{
    TODOList* project = startWithProject();
    std::vector<TODOItem*> weekly;
    for (const char* title : {"Gym", "Report"})
        weekly.push_back(ItemBuilder(QString::fromLatin1(title))
                             .due(QDateTime(QDate(2026, 3, 2), QTime(9, 0)))
                             .withValue("frequency", "Weekly")
                             .madeBy(*device->document, project));
    tick(5'000);
    const auto openOnServer = [&] {
        int open = 0;
        for (const QJsonObject& item : server.items())
            open += item.value("state").toInt() == 0 ? 1 : 0;
        return open;
    };
    ASSERT_EQ(openOnServer(), 2);

    // Both next occurrences go out in one upload, which the server takes; the answer waits.
    server.holdNext(QStringLiteral("/api/v1/item/"), 1, PathMatch::Exact);
    for (TODOItem* item : weekly)
        device->document->markTODOItem(item, project, nullptr, 100);
    ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    ASSERT_EQ(openOnServer(), 4);
    device->context().undoManager()->undo();
    server.releaseHeldReplies();
    tick(10'000);
    EXPECT_EQ(openOnServer(), 2);
    EXPECT_EQ(device->items().size(), 4u); // the two stand-ins that removed them there

    device->context().undoManager()->redo();
    tick(10'000);
    EXPECT_EQ(openOnServer(), 2);
    EXPECT_EQ(server.itemCount(), 4);
    for (TODOItem* item : weekly)
        EXPECT_EQ(server.item(item->serverID()).value("state").toInt(), 1) << item->name().toStdString();
}

TEST_F(ItemUpload, GivenAnEditWhileTheUploadIsOut_ThenTheItemIsSentAgain)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("first").madeBy(*device->document, project);
    server.holdNext(QStringLiteral("/api/v1/item/"));
    ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    EXPECT_EQ(item->edited_since(), 1); // the stored flag stays set until the server has it

    item->setName(QStringLiteral("second"));
    scheduler.runPosted();
    server.releaseHeldReplies();
    // The reply to the first upload does not clear the mark of the second edit: it goes out too.
    settle();
    EXPECT_EQ(count("PUT", QStringLiteral("/api/v1/item/%1/").arg(item->serverID())), 1);
    expectInStepWithServer(item);
    EXPECT_EQ(server.item(item->serverID()).value("name").toString(), QStringLiteral("second"));
    EXPECT_EQ(server.itemCount(), 1);
}

TEST_F(ItemUpload, GivenA500Reply_ThenTheFlagStaysAndTheNextPassRetries)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("x").madeBy(*device->document, project);
    server.failNext(QStringLiteral("/api/v1/item/"), 500);
    settle(); // the document asks for the upload at once
    EXPECT_EQ(item->edited_since(), 1);
    EXPECT_FALSE(item->isValidUniID());
    EXPECT_EQ(device->sync().syncingObjectsCount(), 0);

    tick(5'000);
    expectInStepWithServer(item);
    EXPECT_EQ(server.itemCount(), 1);
}

TEST_F(ItemUpload, GivenAnItemInAProjectNotYetOnTheServer_ThenItWaitsForTheProject)
{
    start(*device);
    TODOList* project = ProjectBuilder(device->context(), "P");
    TODOItem* item = ItemBuilder("x").madeBy(*device->document, project);
    server.failNext(QStringLiteral("/api/v1/project/"), 500);
    tick(5'000);
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/item/")), 0);
    tick(10'000);
    EXPECT_TRUE(project->isValidUniID());
    expectInStepWithServer(item);
    EXPECT_EQ(server.item(item->serverID()).value("projects").toArray(),
              QJsonArray{FakeSyncServer::projectUri(project->id_())});
}

TEST_F(ItemUpload, GivenABlockedItem_ThenItIsNotSentUntilUnblocked)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("typing").madeBy(*device->document, project);
    device->sync().blockSyncForItem(item);
    tick(10'000);
    EXPECT_EQ(server.itemCount(), 0);
    device->sync().unblockSyncForItem(item);
    tick(5'000);
    expectInStepWithServer(item);
}

TEST_F(ItemUpload, GivenServerIdentifiersBeyond32Bits_ThenTheyAreStoredAndUsedInPaths)
{
    TODOList* project = startWithProject();
    const qint64 big = (qint64(1) << 40) + 3;
    server.setNextItemId(big);
    TODOItem* item = ItemBuilder("x").madeBy(*device->document, project);
    tick(5'000);
    ASSERT_EQ(item->serverID(), big);
    item->setName(QStringLiteral("y"));
    tick(5'000);
    EXPECT_EQ(count("PUT", QStringLiteral("/api/v1/item/%1/").arg(big)), 1);
    EXPECT_EQ(server.item(big).value("name").toString(), QStringLiteral("y"));
}

// --- Edits must survive stops, quits and crashes with uploads out.

class UploadDurability : public ItemUpload {};

TEST_F(UploadDurability, GivenAKillDuringAPost_WhenRestarted_ThenTheItemReachesTheServerOnce)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("precious").madeBy(*device->document, project);
    const qint64 localID = item->id_();
    ASSERT_TRUE(holdNextPass(QStringLiteral("/api/v1/item/")));
    // The server has acted on the POST; its reply is lost with the process. An autosave ran
    // while the upload was out.
    device->save();
    device->kill();
    server.releaseHeldReplies();
    ASSERT_EQ(server.itemCount(), 1);

    device->open();
    EXPECT_EQ(device->itemNamed(QStringLiteral("precious"))->edited_since(), 1);
    start(*device);
    tick(10'000);
    TODOItem* reopened = device->itemNamed(QStringLiteral("precious"));
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->id_(), localID);
    expectInStepWithServer(reopened);
    EXPECT_EQ(server.itemCount(), 1); // adopted, not posted twice
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/item/")), 1);
}

TEST_F(UploadDurability, GivenAKillDuringAPut_WhenRestarted_ThenTheEditIsStillMarkedAndSentAgain)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("v1").madeBy(*device->document, project);
    tick(5'000);
    const qint64 id = item->serverID();
    item->setName(QStringLiteral("v2"));
    ASSERT_TRUE(holdNextPass(QStringLiteral("/api/v1/item/%1/").arg(id)));
    device->save();
    device->kill();
    server.releaseHeldReplies();

    device->open();
    TODOItem* reopened = device->itemWithServerID(id);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->name(), QStringLiteral("v2"));
    EXPECT_EQ(reopened->edited_since(), 1); // the save during the upload kept the mark

    start(*device);
    tick(5'000);
    EXPECT_EQ(count("PUT", QStringLiteral("/api/v1/item/%1/").arg(id)), 2);
    expectInStepWithServer(reopened);
}

TEST_F(UploadDurability, GivenAStopAndQuitWithABatchOut_WhenRestarted_ThenNothingIsLostOrDuplicated)
{
    TODOList* project = startWithProject();
    newItems(project, "n", 3);
    ASSERT_TRUE(holdNextPass(QStringLiteral("/api/v1/item/")));
    device->quit();
    server.releaseHeldReplies();
    ASSERT_EQ(server.itemCount(), 3); // created on the server; the reply never arrived

    device->open();
    EXPECT_EQ(device->countEdited(), 3);
    start(*device);
    tick(10'000);
    EXPECT_EQ(server.itemCount(), 3);
    for (int i = 0; i < 3; ++i)
        expectInStepWithServer(device->itemNamed(QStringLiteral("n%1").arg(i)));
}

// --- Bulk replies

class BulkReply : public ItemUpload {};

TEST_F(BulkReply, GivenItemsLeftOutOfABulkPostReply_ThenTheyAreResolvedWithoutDuplicates)
{
    TODOList* project = startWithProject();
    const std::vector<TODOItem*> items = newItems(project, "b", 10);
    server.omitFromBulkNext(QStringLiteral("/api/v1/item/"), 3);
    settle();
    EXPECT_EQ(std::ranges::count_if(items, &TODOItem::isValidUniID), 7);
    EXPECT_EQ(std::ranges::count(items, 1, &TODOItem::edited_since), 3);
    EXPECT_EQ(device->sync().itemLoop().objectsBeingSent().size(), 0);

    tick(10'000);
    for (TODOItem* item : items)
        expectInStepWithServer(item);
    EXPECT_EQ(server.itemCount(), 10);
}

TEST_F(BulkReply, GivenItemsLeftOutOfABulkPutReply_ThenTheyAreSentAgain)
{
    TODOList* project = startWithProject();
    const std::vector<TODOItem*> items = newItems(project, "b", 4);
    tick(5'000);
    for (TODOItem* item : items)
        item->setName(item->name() + QStringLiteral(" edited"));
    server.omitFromBulkNext(QStringLiteral("/api/v1/item/"), 2);
    settle();
    EXPECT_EQ(std::ranges::count(items, 1, &TODOItem::edited_since), 2);
    tick(5'000);
    for (TODOItem* item : items)
        expectInStepWithServer(item);
}

TEST_F(BulkReply, GivenTwoItemsWithTheSameLocalIdInDifferentProjects_ThenEachGetsItsOwnServerItem)
{
    start(*device);
    TODOList* first = ProjectBuilder(device->context(), "first");
    TODOList* second = ProjectBuilder(device->context(), "second");
    tick(5'000);
    TODOItem* a = ItemBuilder("in first").madeBy(*device->document, first);
    TODOItem* b = ItemBuilder("in second").madeBy(*device->document, second);
    b->setId_(a->id_());
    tick(5'000);
    ASSERT_EQ(count("POST", QStringLiteral("/api/v1/item/")), 1);
    expectInStepWithServer(a);
    expectInStepWithServer(b);
    EXPECT_NE(a->serverID(), b->serverID());
    EXPECT_EQ(a->list(), first);
    EXPECT_EQ(b->list(), second);
}

TEST_F(BulkReply, GivenOneItemTheServerRefuses_ThenTheOthersOfItsBatchStillSync)
{
    TODOList* project = startWithProject();
    server.setItemRejection([](const QJsonObject& item) { return item.value("name").toString() == "bad"; });
    const std::vector<TODOItem*> good = newItems(project, "good ", 9);
    TODOItem* bad = ItemBuilder("bad").madeBy(*device->document, project);
    settle();
    EXPECT_EQ(server.itemCount(), 0); // the batch was refused as a whole
    tick(5'000);
    for (TODOItem* item : good)
        expectInStepWithServer(item);
    EXPECT_EQ(bad->edited_since(), 1);
    EXPECT_FALSE(bad->isValidUniID());
    EXPECT_EQ(server.itemCount(), 9);
}

// --- Owners

class StubDirectory : public CollaboratorDirectory {
public:
    std::optional<QString> resourceURIForEmail(const QString& email) const override
    {
        if (email == QLatin1String("known@example.com"))
            return QStringLiteral("/api/v1/user/42/");
        return std::nullopt;
    }
    std::optional<QString> myEmail() const override { return kUser; }
};

class UploadOwner : public ItemUpload {};

TEST_F(UploadOwner, GivenAnOwnerTheCacheDoesNotKnow_ThenASingleUploadKeepsTheOwner)
{
    StubDirectory directory;
    SyncOptions options;
    options.collaborators = &directory;
    device->open(options);
    TODOList* project = startWithProject();
    TODOItem* unknown = ItemBuilder("unknown owner").madeBy(*device->document, project);
    unknown->setOwnerUsername(QStringLiteral("stranger@example.com"));
    unknown->setOwner(QStringLiteral("/api/v1/user/7/"));
    tick(5'000);
    ASSERT_EQ(postedBodies().size(), 1);
    EXPECT_EQ(postedBodies().front().value("owner").toString(), QStringLiteral("/api/v1/user/7/"));
    EXPECT_EQ(unknown->owner(), QStringLiteral("/api/v1/user/7/"));

    TODOItem* known = ItemBuilder("known owner").madeBy(*device->document, project);
    known->setOwnerUsername(QStringLiteral("known@example.com"));
    server.clearRequests();
    tick(5'000);
    ASSERT_EQ(postedBodies().size(), 1);
    EXPECT_EQ(postedBodies().front().value("owner").toString(), QStringLiteral("/api/v1/user/42/"));
}

class UncertainReply : public ItemUpload {
protected:
    // A new item whose POST reached the server but whose reply was cut: stored there, not
    // yet known here. Returns the server's id for it.
    qint64 postWithLostReply()
    {
        TODOList* project = startWithProject();
        server.truncateNext(QStringLiteral("/api/v1/item/"));
        item = ItemBuilder("mine").madeBy(*device->document, project);
        settle();
        EXPECT_EQ(server.itemCount(), 1);
        EXPECT_FALSE(item->isValidUniID());
        return server.items().first().value("id").toInteger();
    }

    TODOItem* item = nullptr;
};

TEST_F(UncertainReply, GivenA200ReplyToAPutThatIsNotTheItem_ThenTheEditStaysMarkedAndIsSentAgain)
{
    TODOList* project = startWithProject();
    item = ItemBuilder("x").madeBy(*device->document, project);
    tick(5'000);
    ASSERT_TRUE(item->isValidUniID());
    // Together these answer 200 with {"objects": []}, without the server storing anything.
    server.malformNext(QStringLiteral("/api/v1/item/"));
    server.omitFromBulkNext(QStringLiteral("/api/v1/item/"), 1);
    item->setState(2);
    settle();
    EXPECT_EQ(item->edited_since(), 1);
    EXPECT_EQ(server.item(item->serverID()).value("state").toInt(), 0);

    tick(5'000);
    expectInStepWithServer(item);
    EXPECT_EQ(server.item(item->serverID()).value("state").toInt(), 2);
}

TEST_F(UncertainReply,
       GivenAPostWhoseReplyIsLost_WhenTheOtherDeviceEditsItFirst_ThenItIsAdoptedNotPostedAgain)
{
    const qint64 id = postWithLostReply();
    ASSERT_TRUE(server.modifyItemAsOtherDevice(id, QJsonObject{{"quadrant", 3}}));

    tick(15'000);
    EXPECT_EQ(server.itemCount(), 1);
    ASSERT_TRUE(item->isValidUniID());
    EXPECT_EQ(item->serverID(), id);
    EXPECT_EQ(device->items().size(), 1u);
}

TEST_F(UncertainReply,
       GivenAPostWhoseReplyIsLost_WhenTheOtherDeviceTrashesIt_ThenThePostCountsAsAcceptedAndTheTrashWins)
{
    const qint64 id = postWithLostReply();
    ASSERT_TRUE(server.modifyItemAsOtherDevice(id, QJsonObject{{"state", 2}}));
    server.clearRequests();

    tick(15'000);
    ASSERT_TRUE(item->isValidUniID());
    EXPECT_EQ(item->serverID(), id);
    EXPECT_EQ(item->state(), 2);
    EXPECT_EQ(item->edited_since(), 0);
    EXPECT_EQ(server.item(id).value("state").toInt(), 2);
    EXPECT_EQ(itemUploads(), 0);
}

TEST_F(
    UncertainReply,
    GivenAPostWhoseReplyIsLost_WhenTheUserRenamesItBeforeThePollAndTheOtherDeviceTrashesIt_ThenTheRenameIsPutAndWins)
{
    const qint64 id = postWithLostReply();
    item->setName(QStringLiteral("renamed"));
    settle();
    ASSERT_TRUE(server.modifyItemAsOtherDevice(id, QJsonObject{{"state", 2}}));
    server.clearRequests();

    tick(15'000);
    ASSERT_TRUE(item->isValidUniID());
    EXPECT_EQ(item->serverID(), id);
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/item/")), 0);
    EXPECT_GE(count("PUT", QStringLiteral("/api/v1/item/")), 1);
    expectInStepWithServer(item);
    EXPECT_EQ(server.item(id).value("name").toString(), QStringLiteral("renamed"));
    EXPECT_EQ(server.item(id).value("state").toInt(), 0);
    EXPECT_EQ(item->state(), 0);
    EXPECT_EQ(server.itemCount(), 1);
}

TEST_F(UncertainReply, GivenAPostWhoseReplyIsLost_WhenThePollThatFollowsMissesIt_ThenItIsNotPostedAgainYet)
{
    postWithLostReply();
    // The next poll's reply leaves the new item out.
    server.omitFromBulkNext(QStringLiteral("/api/v1/item/"), 1);

    tick(15'000);
    EXPECT_EQ(server.itemCount(), 1);
    EXPECT_TRUE(item->isValidUniID());
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/item/")), 1);
}

} // namespace
} // namespace qv::test
