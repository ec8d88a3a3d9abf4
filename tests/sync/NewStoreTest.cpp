// A device whose store was removed while its preferences and session stayed: the start finds the
// account signed in but nothing of it in the store, and must fetch what the server holds. Run in
// a child process of its own, as the program would be started, and killed once it has saved.
#include "tests/sync/ChildFixture.h"

namespace qv::test {
namespace {

class NewStore : public ChildFixture {
protected:
    QString devicePath() const { return folderOf("a"); }
    int projectsHere() { return int(device->context().count(TODOList::staticEntityName())); }
};

TEST_F(NewStore, GivenTheStoreRemovedAndTheSessionKept_WhenStarted_ThenWhatTheServerHoldsArrives)
{
    for (int p = 0; p < 3; ++p) {
        const qint64 project =
            server.createProjectAsOtherDevice({{"name", QStringLiteral("project %1").arg(p)}});
        for (int i = 0; i < 2; ++i)
            server.createItemAsOtherDevice({{"name", QStringLiteral("task %1.%2").arg(p).arg(i)}}, project);
    }
    // Done already: the open items of the inbox are not all it holds.
    server.createItemAsOtherDevice({{"name", "done mail"}, {"state", 1}});
    // Signed in here before, with the whole sync of the sign-in.
    ASSERT_TRUE(device->open());
    server.setNow(clock.now());
    std::optional<bool> synced;
    device->sync().runFullPass([&](bool completed, const QString&) { synced = completed; });
    ASSERT_TRUE(waitUntil([&] { return synced.has_value(); }));
    ASSERT_TRUE(*synced);
    ASSERT_EQ(projectsHere(), 3);
    ASSERT_EQ(device->items().size(), 7u);
    device->quit();
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(device->storePath() + suffix);
    ASSERT_TRUE(QFile::exists(devicePath() + QStringLiteral("/prefs.conf")));
    device.reset();
    // Started a good while after everything was made.
    clock.advance(600'000);
    server.setNow(clock.now());

    ASSERT_NO_FATAL_FAILURE(launchChild(devicePath(), kDeviceA));
    tell("tick 5000");
    tell("save");
    killChild();

    device =
        std::make_unique<SyncDevice>(devicePath(), kDeviceA, clock, scheduler, server.baseUrl().toString());
    ASSERT_TRUE(device->open());
    EXPECT_EQ(projectsHere(), 3);
    EXPECT_EQ(int(device->items().size()), server.itemCount());
    for (const QJsonObject& record : server.items()) {
        TODOItem* item = device->itemWithServerID(record.value("id").toInteger());
        ASSERT_NE(item, nullptr) << record.value("name").toString().toStdString();
        EXPECT_EQ(item->name(), record.value("name").toString());
        EXPECT_EQ(item->edited_since(), 0);
    }
}

TEST_F(NewStore, GivenAnInboxOfOneItemMoreThanAPage_WhenANewDeviceStarts_ThenEveryItemReachesItsStore)
{
    for (int i = 0; i < 1'001; ++i)
        server.createItemAsOtherDevice({{"name", QStringLiteral("mailed %1").arg(i)}});

    ASSERT_NO_FATAL_FAILURE(launchChild(devicePath(), kDeviceA));
    tell("tick 5000");
    tell("save");
    killChild();

    // The page after the first was asked for.
    bool nextPage = false;
    for (const HttpRequest& poll : server.requestsTo("GET", QStringLiteral("/api/v1/me/inbox/")))
        nextPage |= poll.queryItem(QStringLiteral("offset")) == QStringLiteral("1000");
    EXPECT_TRUE(nextPage);
    device =
        std::make_unique<SyncDevice>(devicePath(), kDeviceA, clock, scheduler, server.baseUrl().toString());
    ASSERT_TRUE(device->open());
    EXPECT_EQ(device->items().size(), 1'001u);
    EXPECT_EQ(device->countEdited(), 0);
}

} // namespace
} // namespace qv::test
