// The server going away and coming back, and two devices editing through faults and restarts.
#include "tests/sync/SyncFixture.h"

#include "core/util/Utils.h"

#include <QRandomGenerator>
#include <QSet>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace qv::test {
namespace {

class ServerOutage : public SyncFixture {};

TEST_F(ServerOutage, GivenTheServerDownForAWhile_WhenItIsBack_ThenEveryEditMadeMeanwhileArrivesExactlyOnce)
{
    TODOList* project = startWithProject();
    const std::vector<TODOItem*> known = newItems(project, "k", 12);
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

TEST_F(ServerOutage, GivenTheServerUnreachableFor150sWithEditsOnBothSides_ThenEachSideEndsWithAllOfThem)
{
    TODOList* project = startWithProject();
    const std::vector<TODOItem*> items = newItems(project, "i", 4);
    tick(5'000);
    const quint16 port = server.port();
    server.close();
    items[0]->setName(QStringLiteral("here"));
    ItemBuilder("new here").madeBy(*device->document, project);
    ASSERT_TRUE(server.modifyItemAsOtherDevice(items[1]->serverID(), {{"name", "there"}}));
    server.createItemAsOtherDevice({{"name", "new there"}, {"idd", 77}}, project->id_());
    tick(150'000);
    ASSERT_TRUE(server.listen(port));
    tick(QVRestManager::kKeepAliveIntervalMs + 40'000);

    QStringList here;
    for (TODOItem* item : device->items()) {
        here << item->name();
        EXPECT_EQ(item->edited_since(), 0) << item->name().toStdString();
    }
    QStringList there;
    for (const QJsonObject& remote : server.items())
        there << remote.value("name").toString();
    here.sort();
    there.sort();
    const QStringList all{"i2", "i3", "new here", "new there", "here", "there"};
    EXPECT_EQ(here.size(), all.size());
    EXPECT_EQ(here, there);
    for (const QString& name : all)
        EXPECT_TRUE(here.contains(name)) << name.toStdString();
}

TEST_F(ServerOutage, GivenTwoThousandItemsPagedThenTwoThousandInANewProject_ThenEachArrivesOnce)
{
    TODOList* project = startWithProject();
    server.setPageSize(100);
    const auto createMany = [&](qint64 projectID, const QString& prefix) {
        for (int i = 0; i < 2'000; ++i)
            server.createItemAsOtherDevice({{"name", prefix + QString::number(i)}, {"idd", i + 1}},
                                           projectID);
    };
    createMany(project->id_(), QStringLiteral("a"));
    tick(10'000);
    createMany(server.createProjectAsOtherDevice({{"name", "new"}}), QStringLiteral("b"));
    tick(20'000);
    std::map<QString, int> names;
    for (TODOItem* item : device->items())
        ++names[item->name()];
    EXPECT_EQ(names.size(), 4'000u);
    for (const auto& [name, count] : names)
        ASSERT_EQ(count, 1) << name.toStdString();
    EXPECT_EQ(device->countEdited(), 0);
}

// Two machines with one host name, one of them still telling itself by that name; it is then
// upgraded and tells itself by its machine identifier, so what it uploaded before names
// another device.
class DeviceUpgrade : public SyncFixture {};

TEST_F(DeviceUpgrade, GivenTwoMachinesOfOneHostName_WhenOneIsUpgraded_ThenEachHasAllWorkOnceAndNothingIsLost)
{
    const QString host = QStringLiteral("debian");
    device->setDeviceUID(Utils::deviceUIDForHostName(host));
    SyncDevice& second = addOtherDevice();
    second.setDeviceUID(Utils::deviceUIDFor({"0f2c9a1e5b7d4c3a8e6f1b2d3c4a5e6f", host}));
    start(*device);
    start(second);
    TODOList* mine = ProjectBuilder(device->context(), "mine");
    tick(5'000);
    for (const char* name : {"kept", "edited there", "edited here"})
        ItemBuilder(name).madeBy(*device->document, mine);
    tick(10'000);
    ASSERT_NE(second.itemNamed(QStringLiteral("edited there")), nullptr);

    device->quit();
    second.itemNamed(QStringLiteral("edited there"))->setName(QStringLiteral("edited there, meanwhile"));
    TODOList* theirs = ProjectBuilder(second.context(), "theirs");
    tick(5'000);
    ItemBuilder("new there").madeBy(*second.document, theirs);
    tick(5'000);
    device->setDeviceUID(Utils::deviceUIDFor({"4c4c4544004d3510804bb4c04f4e3532", host}));
    start(*device);
    device->itemNamed(QStringLiteral("edited here"))->setName(QStringLiteral("edited here, upgraded"));
    tick(20'000);

    const QStringList projects{QStringLiteral("mine"), QStringLiteral("theirs")};
    const QStringList items{QStringLiteral("edited here, upgraded"),
                            QStringLiteral("edited there, meanwhile"), QStringLiteral("kept"),
                            QStringLiteral("new there")};
    EXPECT_EQ(server.projectCount(), int(projects.size()));
    EXPECT_EQ(server.itemCount(), int(items.size()));
    for (SyncDevice* d : {device.get(), &second}) {
        SCOPED_TRACE(d == &second ? "other machine" : "upgraded machine");
        QStringList projectNames;
        for (store::ManagedObject* object : d->context().objects(TODOList::staticEntityName()))
            projectNames.append(static_cast<TODOList*>(object)->name());
        projectNames.sort();
        EXPECT_EQ(projectNames, projects);
        QStringList itemNames;
        for (TODOItem* item : d->items()) {
            itemNames.append(item->name());
            EXPECT_TRUE(item->isValidUniID());
            EXPECT_EQ(item->edited_since(), 0);
        }
        itemNames.sort();
        EXPECT_EQ(itemNames, items);
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
        2u,          // projects of the same instant taken for second copies of each other
        12u,         // a post lost with an unsaved store: the stale local copy overwrote an edit
        37u,         // an item put into a second copy of a project, removed with that copy
        7u,          // faults of lost posts, mended before the seed joined the list
        15u,         // the same
        31u,         // the same
        34u,         // the same
        1u,
    };
}

// Two devices, one server, random edits (new items in projects and in the inbox, new projects,
// changes) with random faults and restarts, some of them kills before any save; then a quiet
// period with the network up. Items and projects are known by the names they were created with.
class TwoDevices : public SyncFixture, public ::testing::WithParamInterface<quint32> {
protected:
    // What one field of an item was last set to, and by whom.
    struct Edits {
        QSet<QChar> editors;
        QString name;
        std::optional<qint64> quadrant;
        std::optional<qint64> state;
        bool uncertain = false; // a kill may have taken the last edit with it
    };
    struct Run {
        explicit Run(quint32 seed) : random(seed) {}
        std::mt19937 random;
        int created = 0;
        // Created names, with whether a kill before the save may have lost them for good.
        std::map<QString, bool> items;
        std::map<QString, bool> projects;
        std::map<QString, Edits> edits;
        int next(int bound) { return int(std::uniform_int_distribution<int>(0, bound - 1)(random)); }
    };

    static QString baseName(const QString& name) { return name.section(QLatin1Char('~'), 0, 0); }

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

    void randomEdit(Run& run, SyncDevice& d, QChar tag)
    {
        const int op = run.next(100);
        std::vector<TODOItem*> items = editable(d);
        TODOItem* item = items.empty() ? nullptr : items[size_t(run.next(int(items.size())))];
        if (op < 3) {
            const QString name = QStringLiteral("P%1-%2").arg(tag).arg(run.created++);
            ProjectBuilder(d.context(), name);
            run.projects[name] = false;
        } else if (op < 30 || !item) {
            const auto all = projects(d);
            const QString name = QStringLiteral("%1-%2").arg(tag).arg(run.created++);
            if (all.empty() || run.next(4) == 0)
                d.document->addItemWithTitle(name);
            else
                ItemBuilder(name).madeBy(*d.document, all[size_t(run.next(int(all.size())))]);
            run.items[name] = false;
        } else {
            Edits& edits = run.edits[baseName(item->name())];
            edits.editors.insert(tag);
            if (op < 65) {
                item->setName(baseName(item->name()) + QStringLiteral("~%1%2").arg(tag).arg(run.next(1000)));
                edits.name = item->name();
            } else if (op < 80) {
                item->setQuadrant(run.next(4));
                edits.quadrant = item->quadrant();
            } else {
                item->setState(op < 92 ? (item->state() == 0 ? 1 : 0) : 2);
                edits.state = item->state();
            }
        }
    }

    void randomFault(Run& run)
    {
        const QString items = QStringLiteral("/api/v1/item/");
        const QString projects = QStringLiteral("/api/v1/project/");
        const QString path = run.next(4) == 0 ? projects : items;
        // The project poll and posts only: a failed download of a new project is not retried yet.
        const PathMatch match = path == projects ? PathMatch::Exact : PathMatch::Prefix;
        const std::function<void()> faults[] = {
            [&] { server.failNext(path, 500, 1, match); },
            [&] { server.failNext(items, 400); },
            [&] { server.dropNext(path, 1, match); },
            [&] { server.malformNext(items); },
            [&] { server.truncateNext(path, 1, match); },
            [&] { server.omitFromBulkNext(items, 1 + run.next(3)); },
            [&] { server.applyThenDropNext(path, 1, match); },
            [&] { server.applyThenFailNext(path, 502, 1, match); },
            [&] { server.applyThenCutNext(path, 1, match); },
            [&] { server.failNext(path, 503, 1, match); },
            [&] { server.failNext(QStringLiteral("/api/v1/me/inbox/"), 500); },
            [&] { server.failNext(QStringLiteral("/api/v1/rest_config/"), 502); },
        };
        faults[run.next(12)]();
    }

    void restart(Run& run, SyncDevice& d, QChar tag)
    {
        switch (run.next(3)) {
        case 0:
            d.save(); // a crash right after an autosave
            d.kill();
            break;
        case 1: {
            // A crash with unsaved work: what only this device held may be gone, and so may its
            // last edits; nothing may come back twice.
            for (TODOItem* item : d.items()) {
                const QString base = baseName(item->name());
                if (run.items.count(base) && !item->isValidUniID())
                    run.items[base] = true;
            }
            for (store::ManagedObject* object : d.context().objects(TODOList::staticEntityName())) {
                auto* project = static_cast<TODOList*>(object);
                if (run.projects.count(project->name()) && !project->isValidUniID())
                    run.projects[project->name()] = true;
            }
            for (auto& [name, edits] : run.edits)
                edits.uncertain = edits.uncertain || edits.editors.contains(tag);
            d.kill();
            break;
        }
        default:
            d.quit();
            break;
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

    // Every created name once on the server and on both devices (or, when a kill may have taken
    // it, at most once everywhere); every uncontested edit in its final value; every server item
    // in the state the server gave it on both devices.
    void expectSameEverywhere(const Run& run)
    {
        std::map<QString, int> onServer;
        std::map<QString, int> openOnServer;
        for (const QJsonObject& remote : server.items()) {
            const int state = remote.value("state").toInt();
            onServer[baseName(remote.value("name").toString())] += state != 3 ? 1 : 0;
            openOnServer[baseName(remote.value("name").toString())] += state == 0 || state == 1 ? 1 : 0;
        }
        std::map<QString, int> projectsOnServer;
        for (const QJsonObject& remote : server.projects())
            projectsOnServer[remote.value("name").toString()] += remote.value("state").toInt() != 3 ? 1 : 0;
        for (const auto& [name, mayBeLost] : run.items) {
            if (mayBeLost)
                EXPECT_LE(onServer[name], 1) << name.toStdString() << " twice on the server";
            else
                EXPECT_EQ(onServer[name], 1) << name.toStdString() << " lost or twice on the server";
        }
        for (const auto& [name, mayBeLost] : run.projects) {
            if (mayBeLost)
                EXPECT_LE(projectsOnServer[name], 1) << name.toStdString() << " twice on the server";
            else
                EXPECT_EQ(projectsOnServer[name], 1) << name.toStdString() << " lost or twice on the server";
        }

        for (SyncDevice* d : {device.get(), other.get()}) {
            SCOPED_TRACE(d->deviceUID().left(1).toStdString());
            // Items trashed before a device saw them are not created there.
            std::map<QString, int> openHere;
            for (TODOItem* item : d->items()) {
                EXPECT_TRUE(item->isValidUniID())
                    << item->name().toStdString() << " never reached the server";
                EXPECT_EQ(item->edited_since(), 0) << item->name().toStdString();
                openHere[baseName(item->name())] += item->state() == 0 || item->state() == 1 ? 1 : 0;
            }
            for (const auto& [name, count] : openOnServer)
                EXPECT_EQ(openHere[name], count) << name.toStdString() << " differs from the server";
            std::map<QString, int> projectsHere;
            for (store::ManagedObject* object : d->context().objects(TODOList::staticEntityName())) {
                auto* project = static_cast<TODOList*>(object);
                projectsHere[project->name()] += project->state() != 3 ? 1 : 0;
                EXPECT_TRUE(project->isValidUniID()) << project->name().toStdString();
            }
            for (const auto& [name, count] : projectsOnServer)
                EXPECT_EQ(projectsHere[name], count) << "project " << name.toStdString();

            for (const QJsonObject& remote : server.items()) {
                const qint64 id = remote.value("id").toInteger();
                const int state = remote.value("state").toInt();
                TODOItem* local = d->itemWithServerID(id);
                if (!local) {
                    // Trashed before this device saw it, or a second copy removed at once.
                    EXPECT_TRUE(state == 2 || state == 3) << "item " << id << " missing";
                    continue;
                }
                EXPECT_EQ(local->name(), remote.value("name").toString()) << id;
                EXPECT_EQ(local->quadrant(), remote.value("quadrant").toInt()) << id;
                EXPECT_EQ(local->state(), state) << id << " " << local->name().toStdString();
                EXPECT_EQ(local->versionID(), remote.value("version_id").toInteger()) << id;
                const QJsonArray projectsOf = remote.value("projects").toArray();
                if (projectsOf.isEmpty()) {
                    EXPECT_EQ(local->list(), nullptr) << id;
                } else {
                    ASSERT_TRUE(local->list()) << id;
                    EXPECT_EQ(FakeSyncServer::projectUri(local->list()->id_()), projectsOf.first().toString())
                        << id;
                }
            }
        }

        // An edit only one device made, and no kill may have taken, is what the server holds.
        for (const auto& [name, edits] : run.edits) {
            if (edits.editors.size() != 1 || edits.uncertain)
                continue;
            std::optional<QJsonObject> found;
            for (const QJsonObject& remote : server.items())
                if (baseName(remote.value("name").toString()) == name && remote.value("state").toInt() != 3)
                    found = remote;
            if (!found)
                continue; // the item itself was lost in a kill
            if (!edits.name.isEmpty()) {
                EXPECT_EQ(found->value("name").toString(), edits.name) << name.toStdString();
            }
            if (edits.quadrant) {
                EXPECT_EQ(found->value("quadrant").toInteger(), *edits.quadrant) << name.toStdString();
            }
            if (edits.state) {
                EXPECT_EQ(found->value("state").toInteger(), *edits.state) << name.toStdString();
            }
        }
    }
};

TEST_P(TwoDevices, GivenRandomEditsFaultsAndRestarts_WhenTheNetworkIsQuiet_ThenBothDevicesAndTheServerAgree)
{
    const quint32 seed = GetParam();
    SCOPED_TRACE(::testing::Message() << "QV_SYNC_SEED=" << seed);
    RecordProperty("seed", int(seed & 0x7fffffff));
    Run run(seed);

    SyncDevice& second = addOtherDevice();
    start(*device);
    start(second);
    for (const char* name : {"alpha", "beta"}) {
        ProjectBuilder(device->context(), name);
        run.projects[name] = false;
    }
    ProjectBuilder(second.context(), "gamma");
    run.projects["gamma"] = false;
    tick(40'000);
    ASSERT_EQ(projects(*device).size(), 3u);
    ASSERT_EQ(projects(second).size(), 3u);

    for (int step = 0; step < 300; ++step) {
        const bool first = run.next(2) == 0;
        SyncDevice& d = first ? *device : second;
        const QChar tag = first ? QLatin1Char('A') : QLatin1Char('B');
        const int what = run.next(100);
        if (what < 80)
            randomEdit(run, d, tag);
        else if (what < 95)
            randomFault(run);
        else
            restart(run, d, tag);
        tick(200 + run.next(2800));
    }

    server.clearFaults();
    for (int i = 0; i < 30 && !converged(); ++i)
        tick(5'000);
    ASSERT_TRUE(converged()) << "edits still waiting after the quiet period";
    tick(40'000); // both devices poll (the inbox too) what the other sent last
    expectSameEverywhere(run);
}

INSTANTIATE_TEST_SUITE_P(, TwoDevices, ::testing::ValuesIn(seedsToRun()),
                         [](const ::testing::TestParamInfo<quint32>& seed) {
                             return "seed" + std::to_string(seed.param);
                         });

} // namespace
} // namespace qv::test
