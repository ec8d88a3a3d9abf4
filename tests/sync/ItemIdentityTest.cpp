// Items whose edits the send pass once could never make: records without a client identifier
// ("idd") and items of a trashed project. Every edit reaches the server, and the two sides agree.
#include "tests/sync/ChildFixture.h"

#include <algorithm>

namespace qv::test {
namespace {

class ItemIdentity : public ChildFixture {
protected:
    // An item of another client's in the project, whose record carries no "idd".
    qint64 itemWithoutIdd(const char* name, qint64 projectId)
    {
        const qint64 id = server.createItemAsOtherDevice({{"name", name}}, projectId);
        server.omitItemFields(id, {QStringLiteral("idd")});
        return id;
    }
    void edit(SyncDevice& d, qint64 serverID, const char* key, const QString& value)
    {
        TODOItem* item = d.itemWithServerID(serverID);
        ASSERT_NE(item, nullptr);
        item->setValue(QString::fromLatin1(key), value);
        scheduler.runPosted();
    }
    qint64 serverIdd(qint64 serverID) const { return server.item(serverID).value("idd").toInteger(); }
    // Rewrites the device's store as earlier versions left it, which gave an item that came
    // without "idd" no identifier of its own: those items have none; edited ones wait to be sent.
    void storeWithoutClientIds(const std::vector<qint64>& serverIDs, bool edited)
    {
        device->quit();
        ManualScheduler direct;
        store::StoreError error;
        auto context = store::Context::open(device->storePath(), TodoModel::shared(), direct, &error);
        ASSERT_NE(context, nullptr) << error.message.toStdString();
        for (const qint64 id : serverIDs) {
            TODOItem* item = TODOItem::findWithID(id, *context);
            ASSERT_NE(item, nullptr);
            ItemBuilder old;
            old.withValue("id_", QVariant());
            if (edited)
                old.titled(QStringLiteral("renamed %1").arg(id)).edited();
            old.onto(item);
        }
        ASSERT_TRUE(context->save(&error)) << error.message.toStdString();
    }
    // The store as the next start reads it holds the item with that identifier, sent.
    void expectKeptInStore(qint64 serverID, qint64 clientId)
    {
        device->quit();
        ASSERT_TRUE(device->open());
        const TODOItem* item = device->itemWithServerID(serverID);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->id_(), clientId);
        EXPECT_EQ(item->edited_since(), 0);
    }
};

TEST_F(ItemIdentity, GivenAnItemWithoutIddEditedHereAndOnTheServer_ThenBothEditsReachBothSides)
{
    const qint64 project = server.createProjectAsOtherDevice({{"name", "P"}});
    const qint64 id = itemWithoutIdd("plain", project);
    ASSERT_TRUE(device->open());
    device->document->setItemIdSource([] { return 4711u; });
    start(*device);
    tick(5'000);
    TODOItem* item = device->itemWithServerID(id);
    ASSERT_NE(item, nullptr);
    // Given here, and sent with the next upload.
    EXPECT_EQ(item->id_(), 4711);
    EXPECT_FALSE(server.item(id).contains("idd"));

    edit(*device, id, "name", QStringLiteral("renamed here"));
    tick(5'000);
    EXPECT_EQ(server.item(id).value("name").toString(), QStringLiteral("renamed here"));
    EXPECT_EQ(serverIdd(id), 4711);
    EXPECT_EQ(item->edited_since(), 0);

    // A later change on the server is applied here; the pending edit no longer wins for ever.
    server.advance(5);
    server.modifyItemAsOtherDevice(id, {{"descriptionText", "noted there"}});
    tick(10'000);
    EXPECT_EQ(item->descriptionText(), QStringLiteral("noted there"));
    EXPECT_EQ(item->name(), QStringLiteral("renamed here"));
    EXPECT_EQ(item->id_(), 4711);
    EXPECT_EQ(device->countEdited(), 0);
}

TEST_F(ItemIdentity, GivenTheProgramEditingAnItemWithoutIdd_ThenItsEditGoesOutAndTheServersComesBack)
{
    const qint64 project = server.createProjectAsOtherDevice({{"name", "P"}});
    const qint64 id = itemWithoutIdd("plain", project);
    device.reset();
    ASSERT_NO_FATAL_FAILURE(launchChild(folderOf("a"), kDeviceA));
    tell("tick 5000");
    tell(QByteArrayLiteral("rename ") + QByteArray::number(id) + " renamed in the child");
    tell("tick 5000");
    EXPECT_EQ(server.item(id).value("name").toString(), QStringLiteral("renamed in the child"));
    const qint64 given = serverIdd(id);
    EXPECT_NE(given, 0);
    server.advance(10);
    server.modifyItemAsOtherDevice(id, {{"descriptionText", "noted there"}});
    tell("tick 10000");
    tell("save");
    killChild();

    device =
        std::make_unique<SyncDevice>(folderOf("a"), kDeviceA, clock, scheduler, server.baseUrl().toString());
    ASSERT_TRUE(device->open());
    TODOItem* item = device->itemWithServerID(id);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->name(), QStringLiteral("renamed in the child"));
    EXPECT_EQ(item->descriptionText(), QStringLiteral("noted there"));
    EXPECT_EQ(item->id_(), given);
    EXPECT_EQ(item->edited_since(), 0);
}

TEST_F(ItemIdentity, GivenTwoDevicesThatEachGaveTheItemAnIdentifier_ThenBothTakeTheOneTheServerKeeps)
{
    const qint64 id = itemWithoutIdd("inboxed", 0);
    SyncDevice& b = addOtherDevice();
    ASSERT_TRUE(device->open());
    device->document->setItemIdSource([] { return 111u; });
    start(*device);
    ASSERT_TRUE(b.open());
    b.document->setItemIdSource([] { return 222u; });
    start(b);
    tick(5'000);
    ASSERT_NE(device->itemWithServerID(id), nullptr);
    ASSERT_NE(b.itemWithServerID(id), nullptr);
    EXPECT_EQ(device->itemWithServerID(id)->id_(), 111);
    EXPECT_EQ(b.itemWithServerID(id)->id_(), 222);

    // The first upload gives the server's record an identifier; it wins everywhere.
    edit(*device, id, "name", QStringLiteral("from A"));
    tick(5'000);
    EXPECT_EQ(serverIdd(id), 111);
    tick(ItemUpdaterLoop::kInboxIntervalMs);
    EXPECT_EQ(b.itemWithServerID(id)->name(), QStringLiteral("from A"));
    EXPECT_EQ(b.itemWithServerID(id)->id_(), 111);

    // B's later edit carries the server's identifier, not its own.
    edit(b, id, "name", QStringLiteral("from B"));
    tick(ItemUpdaterLoop::kInboxIntervalMs);
    EXPECT_EQ(serverIdd(id), 111);
    EXPECT_EQ(device->itemWithServerID(id)->name(), QStringLiteral("from B"));
    EXPECT_EQ(device->itemWithServerID(id)->id_(), 111);
    EXPECT_EQ(device->countEdited() + b.countEdited(), 0);
}

TEST_F(ItemIdentity, GivenAnItemRenamedOfflineAndItsProjectTrashed_ThenBothEditsAreSentAndAWholeSyncCompletes)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("before").madeBy(*device->document, project);
    tick(5'000);
    ASSERT_TRUE(item->isValidUniID());

    // Signed out meanwhile: nothing goes out.
    device->sync().stopAllLoops();
    item->setName(QStringLiteral("after"));
    project->setObjectState(ObjectState::Trashed);
    scheduler.runPosted();

    std::optional<bool> completed;
    QString failure;
    device->sync().runFullPass([&](bool done, const QString& why) {
        completed = done;
        failure = why;
    });
    ASSERT_TRUE(waitUntil([&] { return completed.has_value(); }));
    EXPECT_TRUE(*completed) << failure.toStdString();
    EXPECT_EQ(server.project(project->id_()).value("state").toInt(), 2);
    EXPECT_EQ(server.item(item->serverID()).value("name").toString(), QStringLiteral("after"));
    EXPECT_EQ(item->edited_since(), 0);
    EXPECT_EQ(item->state(), 0);
}

TEST_F(
    ItemIdentity,
    GivenAStoreWithTwoEditedItemsWithoutIdentifier_WhenTheSendPassSendsThemTogether_ThenEachGetsOneAndKeepsIt)
{
    const qint64 project = server.createProjectAsOtherDevice({{"name", "P"}});
    const std::vector<qint64> ids{itemWithoutIdd("first", project), itemWithoutIdd("second", project)};
    start(*device);
    tick(5'000);
    ASSERT_NO_FATAL_FAILURE(storeWithoutClientIds(ids, true));
    ASSERT_TRUE(device->open());
    server.clearRequests();
    start(*device);
    tick(5'000);

    // One bulk upload carrying both, each with an identifier of its own.
    const QList<HttpRequest> uploads = requests("PUT", QStringLiteral("/api/v1/item/"));
    ASSERT_EQ(uploads.size(), 1);
    const QJsonArray sent = uploads.front().json().object().value("objects").toArray();
    ASSERT_EQ(sent.size(), 2);
    std::vector<qint64> given;
    for (const qint64 id : ids) {
        TODOItem* item = device->itemWithServerID(id);
        ASSERT_NE(item, nullptr);
        EXPECT_NE(item->id_(), 0);
        EXPECT_EQ(item->edited_since(), 0);
        EXPECT_EQ(server.item(id).value("name").toString(), QStringLiteral("renamed %1").arg(id));
        EXPECT_EQ(serverIdd(id), item->id_());
        given.push_back(item->id_());
    }
    EXPECT_NE(given[0], given[1]);
    for (const QJsonValue& object : sent)
        EXPECT_TRUE(std::find(given.begin(), given.end(), object.toObject().value("idd").toInteger()) !=
                    given.end());
    for (size_t i = 0; i < ids.size(); ++i)
        ASSERT_NO_FATAL_FAILURE(expectKeptInStore(ids[i], given[i]));
}

TEST_F(ItemIdentity, GivenAStoreWithAnItemWithoutIdentifier_WhenEditedAndSentAlone_ThenItGetsOneAndKeepsIt)
{
    const qint64 project = server.createProjectAsOtherDevice({{"name", "P"}});
    const qint64 id = itemWithoutIdd("alone", project);
    start(*device);
    tick(5'000);
    ASSERT_NO_FATAL_FAILURE(storeWithoutClientIds({id}, false));
    ASSERT_TRUE(device->open());
    start(*device);
    TODOItem* item = device->itemWithServerID(id);
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isNull(QStringLiteral("id_")));

    // Marked edited, and sent by itself before the pass that the edit starts runs.
    item->setName(QStringLiteral("renamed here"));
    device->context().processPendingChanges();
    ASSERT_EQ(item->edited_since(), 1);
    server.clearRequests();
    EXPECT_TRUE(device->sync().itemLoop().sendToServer(item));
    settle();

    const QList<HttpRequest> uploads = requests("PUT", QStringLiteral("/api/v1/item/"));
    ASSERT_EQ(uploads.size(), 1);
    EXPECT_EQ(uploads.front().path, FakeSyncServer::itemUri(id).toUtf8());
    EXPECT_NE(item->id_(), 0);
    EXPECT_EQ(uploads.front().json().object().value("idd").toInteger(), item->id_());
    EXPECT_EQ(serverIdd(id), item->id_());
    EXPECT_EQ(server.item(id).value("name").toString(), QStringLiteral("renamed here"));
    EXPECT_EQ(item->edited_since(), 0);
    ASSERT_NO_FATAL_FAILURE(expectKeptInStore(id, item->id_()));
}

} // namespace
} // namespace qv::test
