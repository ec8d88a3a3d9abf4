// The sync engine's own store "sync.sqlite": a cache of what the server sent.
#include "tests/sync/SyncFixture.h"

#include "sync/RestObjectStore.h"

#include <QFile>
#include <QFileInfo>

namespace qv::test {
namespace {

using DamagedCache = SyncFixture;

TEST_F(DamagedCache, GivenADamagedSyncCache_WhenTheEngineStarts_ThenItIsSetAsideAndFilledAgainFromTheServer)
{
    TODOList* project = startWithProject();
    const qint64 projectID = project->id_();
    device->quit();
    const QString cache = home.root() + QStringLiteral("/a/sync.sqlite");
    {
        QFile file(cache);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(QByteArray(100, char(0x5a)));
    }
    const QByteArray damaged = readFile(cache);

    start(*device);
    const qint64 remote =
        server.createItemAsOtherDevice({{"name", QStringLiteral("from the server")}}, projectID);
    tick(5'000);

    EXPECT_EQ(readFile(cache + QStringLiteral(".damaged")), damaged);
    EXPECT_NE(device->itemWithServerID(remote), nullptr);
    EXPECT_NE(TODOItem::findWithID(remote, device->sync().restStore().context()), nullptr);
    device->quit();
    EXPECT_EQ(QFileInfo(cache).permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther),
              QFileDevice::Permissions());
    ManualScheduler reopenScheduler;
    store::StoreError error;
    auto reopened = store::Context::open(cache, TodoModel::shared(), reopenScheduler, &error);
    ASSERT_NE(reopened, nullptr) << error.message.toStdString();
    EXPECT_NE(TODOItem::findWithID(remote, *reopened), nullptr);
}

// A record whose project path holds a number beyond 64 bits is malformed: mapping it or reading
// it for a merge refuses it, as the check of a whole reply does, instead of taking it for an
// inbox item.
TEST(RestRecords, GivenAnItemWhoseProjectPathNamesNoProject_WhenMappedOrRead_ThenItIsRefusedLikeTheReply)
{
    ManualScheduler scheduler;
    RestObjectStore store(scheduler, QString());
    const auto record = [](const QString& projectPath) {
        return QJsonObject{{"id", 7}, {"idd", 70}, {"name", "x"}, {"projects", QJsonArray{projectPath}}};
    };
    for (const QJsonObject& beyond : {record(QStringLiteral("/api/v1/project/99999999999999999999/")),
                                      QJsonObject{{"projects", "/api/v1/project/99999999999999999999/"}}}) {
        EXPECT_FALSE(store.isWellFormed(QJsonArray{beyond}, TODOItem::staticEntityName()));
        EXPECT_EQ(store.mapItem(beyond), nullptr);
        EXPECT_FALSE(store.readItem(beyond).has_value());
    }
    EXPECT_TRUE(store.context().objects(TODOItem::staticEntityName()).empty());

    const QJsonObject named = record(QStringLiteral("/api/v1/project/12/"));
    EXPECT_TRUE(store.isWellFormed(QJsonArray{named}, TODOItem::staticEntityName()));
    const TODOItem* item = store.mapItem(named);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->getProjectID(), 12);
    EXPECT_EQ(store.readItem(named)->getProjectID(), 12);
}

} // namespace
} // namespace qv::test
