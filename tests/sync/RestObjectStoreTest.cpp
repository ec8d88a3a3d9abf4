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

} // namespace
} // namespace qv::test
