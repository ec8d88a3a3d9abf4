// The server going away and coming back, and two devices editing through faults and restarts.
#include "tests/sync/SyncFixture.h"

#include <QRandomGenerator>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace qv::test {
namespace {

class ServerOutage : public SyncFixture {};

TEST_F(ServerOutage, GivenTheServerDownForAWhile_WhenItIsBack_ThenEveryEditMadeMeanwhileArrivesExactlyOnce)
{
    start(*device);
    TODOList* project = ProjectBuilder(device->context(), "P");
    tick(5'000);
    std::vector<TODOItem*> known;
    for (int i = 0; i < 12; ++i)
        known.push_back(ItemBuilder(QStringLiteral("k%1").arg(i)).madeBy(*device->document, project));
    tick(5'000);
    std::map<qint64, qint64> versionBefore;
    for (TODOItem* item : known)
        versionBefore[item->serverID()] = server.item(item->serverID()).value("version_id").toInteger();

    const quint16 port = server.port();
    server.close();
    std::vector<TODOItem*> created;
    for (int minute = 0; minute < 5; ++minute) {
        for (int i = 0; i < 3; ++i)
            created.push_back(ItemBuilder(QStringLiteral("new %1.%2").arg(minute).arg(i))
                                  .madeBy(*device->document, project));
        known[size_t(minute)]->setName(QStringLiteral("edited while down %1").arg(minute));
        known[size_t(minute + 5)]->setQuadrant(2);
        tick(60'000);
    }
    EXPECT_FALSE(device->sync().isOnline());
    ASSERT_TRUE(server.listen(port));
    tick(QVRestManager::kKeepAliveIntervalMs);
    ASSERT_TRUE(device->sync().isOnline());
    tick(15'000);

    EXPECT_EQ(server.itemCount(), int(known.size() + created.size()));
    for (TODOItem* item : created) {
        ASSERT_TRUE(item->isValidUniID());
        EXPECT_EQ(item->edited_since(), 0);
        EXPECT_EQ(server.item(item->serverID()).value("version_id").toInteger(), 1)
            << item->name().toStdString();
    }
    for (size_t i = 0; i < known.size(); ++i) {
        TODOItem* item = known[i];
        EXPECT_EQ(item->edited_since(), 0);
        const QJsonObject remote = server.item(item->serverID());
        EXPECT_EQ(remote.value("name").toString(), item->name());
        EXPECT_EQ(remote.value("quadrant").toInt(), item->quadrant());
        const qint64 edits = i < 10 ? 1 : 0;
        EXPECT_EQ(remote.value("version_id").toInteger(), versionBefore[item->serverID()] + edits)
            << item->name().toStdString();
    }
}

// Seeds that once found a fault, and a plain one. QV_SYNC_SEED=<n> runs only that seed,
// QV_SYNC_SEED=random one drawn afresh (the seed is printed when it fails).
std::vector<quint32> seedsToRun()
{
    const QByteArray chosen = qgetenv("QV_SYNC_SEED");
    if (chosen == "random")
        return {QRandomGenerator::global()->generate()};
    if (!chosen.isEmpty())
        return {chosen.toUInt()};
    return {
        3286467850u, // a 200 reply to a PUT that is not the item taken for acceptance
        67u,         // a poll that missed objects counted as having looked for a lost POST
        181u,        // a lost POST's item, edited on the other device, not adopted but posted again
        65u,         // one device still offline after a failed keep-alive when the test looked
        223u,        // the same
        1u,
    };
}

// Two devices, one server, random edits on both sides with random faults and restarts; then a
// quiet period with the network up.
class TwoDevices : public SyncFixture, public ::testing::WithParamInterface<quint32> {
protected:
    struct Run {
        std::mt19937 random;
        int created = 0;
        int next(int bound) { return int(std::uniform_int_distribution<int>(0, bound - 1)(random)); }
    };

    std::vector<TODOItem*> editable(SyncDevice& d)
    {
        std::vector<TODOItem*> all;
        for (TODOItem* item : d.items())
            if (item->state() == 0 || item->state() == 1)
                all.push_back(item);
        return all;
    }
    std::vector<TODOList*> projects(SyncDevice& d)
    {
        std::vector<TODOList*> all;
        for (store::ManagedObject* object : d.context().objects(TODOList::staticEntityName()))
            if (static_cast<TODOList*>(object)->isValidUniID())
                all.push_back(static_cast<TODOList*>(object));
        return all;
    }

    void randomEdit(Run& run, SyncDevice& d, const QString& tag)
    {
        const int op = run.next(100);
        std::vector<TODOItem*> items = editable(d);
        TODOItem* item = items.empty() ? nullptr : items[size_t(run.next(int(items.size())))];
        if (op < 35 || !item) {
            const auto all = projects(d);
            if (all.empty())
                return;
            ItemBuilder(QStringLiteral("%1-%2").arg(tag).arg(run.created++))
                .madeBy(*d.document, all[size_t(run.next(int(all.size())))]);
        } else if (op < 70) {
            item->setName(item->name().section(QLatin1Char('~'), 0, 0) +
                          QStringLiteral("~%1%2").arg(tag).arg(run.next(1000)));
        } else if (op < 82) {
            item->setQuadrant(run.next(4));
        } else if (op < 92) {
            item->setState(item->state() == 0 ? 1 : 0);
        } else {
            item->setState(2);
        }
    }

    void randomFault(Run& run)
    {
        const QString items = QStringLiteral("/api/v1/item/");
        switch (run.next(9)) {
        case 0:
            server.failNext(items, 500);
            break;
        case 1:
            server.failNext(items, 400);
            break;
        case 2:
            server.dropNext(items);
            break;
        case 3:
            server.malformNext(items);
            break;
        case 4:
            server.truncateNext(items);
            break;
        case 5:
            server.omitFromBulkNext(items, 1 + run.next(3));
            break;
        case 6:
            server.failNext(QStringLiteral("/api/v1/project/"), 503);
            break;
        case 7:
            server.dropNext(QStringLiteral("/api/v1/project/"));
            break;
        default:
            server.failNext(QStringLiteral("/api/v1/rest_config/"), 502);
            break;
        }
    }

    void restart(Run& run, SyncDevice& d)
    {
        if (run.next(2) == 0) {
            d.save(); // a crash right after an autosave
            d.kill();
        } else {
            d.quit();
        }
        start(d);
    }

    // A device whose keep-alive failed stays offline until its next 120 s tick, holding nothing
    // to send but not yet polling either: the quiet period lasts until both are back.
    bool converged()
    {
        return device->sync().isOnline() && other->sync().isOnline() && device->countEdited() == 0 &&
               other->countEdited() == 0 && device->sync().syncingObjectsCount() == 0 &&
               other->sync().syncingObjectsCount() == 0;
    }

    // Every server item in the state the server gave it, on both devices; nothing else anywhere.
    void expectSameEverywhere(int created)
    {
        EXPECT_EQ(server.itemCount(), created) << "items lost or duplicated on the server";
        for (SyncDevice* d : {device.get(), other.get()}) {
            SCOPED_TRACE(d->deviceUID().left(1).toStdString());
            for (TODOItem* item : d->items()) {
                EXPECT_TRUE(item->isValidUniID())
                    << item->name().toStdString() << " never reached the server";
                EXPECT_EQ(item->edited_since(), 0) << item->name().toStdString();
            }
            for (const QJsonObject& remote : server.items()) {
                const qint64 id = remote.value("id").toInteger();
                const int state = remote.value("state").toInt();
                TODOItem* local = d->itemWithServerID(id);
                if (!local) {
                    // Items trashed before this device ever saw them are not created from the server.
                    EXPECT_EQ(state, 2) << "item " << id << " missing";
                    continue;
                }
                EXPECT_EQ(local->name(), remote.value("name").toString()) << id;
                EXPECT_EQ(local->quadrant(), remote.value("quadrant").toInt()) << id;
                EXPECT_EQ(local->state(), state)
                    << id << " " << local->name().toStdString() << " ts "
                    << remote.value("timestamp").toInteger() << " cursor "
                    << d->sync().getInstantSyncStatus()->lastItemPollingDate().toSecsSinceEpoch();
                EXPECT_EQ(local->versionID(), remote.value("version_id").toInteger()) << id;
                const QJsonArray projectsOf = remote.value("projects").toArray();
                ASSERT_TRUE(local->list()) << id;
                EXPECT_EQ(FakeSyncServer::projectUri(local->list()->id_()), projectsOf.first().toString())
                    << id;
            }
        }
    }
};

TEST_P(TwoDevices, GivenRandomEditsFaultsAndRestarts_WhenTheNetworkIsQuiet_ThenBothDevicesAndTheServerAgree)
{
    const quint32 seed = GetParam();
    SCOPED_TRACE(::testing::Message() << "QV_SYNC_SEED=" << seed);
    RecordProperty("seed", int(seed & 0x7fffffff));
    Run run{std::mt19937(seed)};

    SyncDevice& second = addOtherDevice();
    start(*device);
    start(second);
    ProjectBuilder(device->context(), "alpha");
    ProjectBuilder(device->context(), "beta");
    ProjectBuilder(second.context(), "gamma");
    tick(15'000);
    ASSERT_EQ(projects(*device).size(), 3u);
    ASSERT_EQ(projects(second).size(), 3u);

    for (int step = 0; step < 300; ++step) {
        const bool first = run.next(2) == 0;
        SyncDevice& d = first ? *device : second;
        const int what = run.next(100);
        if (what < 80)
            randomEdit(run, d, first ? QStringLiteral("A") : QStringLiteral("B"));
        else if (what < 95)
            randomFault(run);
        else
            restart(run, d);
        tick(200 + run.next(2800));
    }

    server.clearFaults();
    for (int i = 0; i < 30 && !converged(); ++i)
        tick(5'000);
    ASSERT_TRUE(converged()) << "edits still waiting after the quiet period";
    tick(30'000); // both devices poll what the other sent last
    expectSameEverywhere(run.created);
}

INSTANTIATE_TEST_SUITE_P(, TwoDevices, ::testing::ValuesIn(seedsToRun()),
                         [](const ::testing::TestParamInfo<quint32>& info) {
                             return "seed" + std::to_string(info.param);
                         });

} // namespace
} // namespace qv::test
