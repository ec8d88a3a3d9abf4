// Merging remote items must run at 40,000 items a second or more and grow linearly with their
// number (10x the items within 11x the time); a first download of 100,000 items must stay
// within 300 MB of peak memory; sending one edited item must cost the same in a small and in a
// large store.
#include "bench/BenchServices.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "platform/store/Context.h"
#include "sync/ItemUpdaterLoop.h"
#include "sync/QVRestManager.h"
#include "tests/support/FakeSyncServer.h"
#include "ui/details/InboxModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>

#include <QFile>

#include <functional>
#include <memory>

namespace {

constexpr qint64 kStart = 1'700'000'000;
constexpr int kPages = 100;

bool waitUntil(qv::ManualScheduler& scheduler, const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        scheduler.runPosted();
        QCoreApplication::processEvents();
        if (timer.elapsed() > 60'000)
            return false;
    }
    return true;
}

// A document of `items` items in one project (server ids 1..items), an engine that has had its
// keep-alive reply, and the fake server knowing the same items.
struct World : BenchServices {
    qv::test::FakeSyncServer server;
    std::unique_ptr<qv::MyDocument> document;
    std::unique_ptr<qv::QVRestManager> engine;
    qv::TODOList* project = nullptr;
    std::vector<qv::TODOItem*> items;

    World(int count, bool onServer)
    {
        server.listen();

        document = std::make_unique<qv::MyDocument>(
            services, std::make_unique<qv::store::Context>(qv::TodoModel::shared(), scheduler));
        qv::store::Context& context = document->context();
        project = context.insert<qv::TODOList>(qv::TODOList::staticEntityName());
        project->setName(QStringLiteral("P"));
        project->setId_(1);
        const qint64 projectID = onServer ? server.createProjectAsOtherDevice({{"name", "P"}}) : 1;
        project->setId_(projectID);
        items.reserve(size_t(count));
        for (int i = 0; i < count; ++i) {
            qv::TODOItem* item = document->newItemForProject(project);
            item->setName(QStringLiteral("item %1").arg(i));
            item->setVersionID(1);
            item->setTimestamp(kStart);
            item->setServerID(onServer ? server.createItemAsOtherDevice(
                                             {{"name", item->name()}, {"idd", item->id_()}}, projectID)
                                       : i + 1);
            items.push_back(item);
        }
        context.processPendingChanges();
        document->awakeFromNib();
        // Polls start after the items' creation: nothing to bring in.
        server.setNow(kStart + 100);

        qv::SyncOptions options;
        options.origin = server.baseUrl().toString();
        options.deviceUID = QStringLiteral("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
        options.restStorePath = folder.path() + QStringLiteral("/sync.sqlite");
        options.cookieFolder = folder.path();
        engine = std::make_unique<qv::QVRestManager>(services, *document, options);
        // A device that has synced here before: the account's status row is in the store, so the
        // start runs no whole sync first.
        engine->getInstantSyncStatus();
        engine.reset();
        engine = std::make_unique<qv::QVRestManager>(services, *document, options);
        engine->startAllLoops();
        waitUntil(scheduler, [&] { return engine->isOnline(); });
        scheduler.advance(qv::QVRestManager::kLoopStartDelayMs);
        waitUntil(scheduler, [&] { return engine->pendingRequestCount() == 0; });
    }
    ~World()
    {
        engine.reset();
        document.reset();
    }
};

// One page of the modified-items reply: items [offset, offset + limit) in a newer version.
QJsonObject page(int offset, int limit, int total, qint64 projectID)
{
    QJsonArray objects;
    for (int i = offset; i < offset + limit; ++i) {
        objects.append(QJsonObject{
            {"id", i + 1},
            {"idd", 1'000'000 + i},
            {"resource_uri", QStringLiteral("/api/v1/item/%1/").arg(i + 1)},
            {"name", QStringLiteral("remote %1").arg(i)},
            {"descriptionText", QStringLiteral("notes of %1").arg(i)},
            {"quadrant", i % 4},
            {"index", i * 1000},
            {"icon", "empty_orange128.png"},
            {"state", 0},
            {"timestamp", kStart + 10},
            {"version_id", 2},
            {"editedByDevice", "0123456789abcdef0123456789abcdef01234567"},
            {"edited_by_username", "other@example.com"},
            {"owner_username", "user@example.com"},
            {"creator_username", "user@example.com"},
            {"projects", QJsonArray{QStringLiteral("/api/v1/project/%1/").arg(projectID)}},
            {"tags", QJsonArray{}},
            {"files", QJsonArray{}},
            {"reminder", QJsonValue::Null},
        });
    }
    QJsonObject meta{{"limit", limit},
                     {"offset", offset},
                     {"total_count", total},
                     {"requested_time", kStart + 10},
                     {"server_time", kStart + 20}};
    if (offset + limit < total)
        meta.insert("next",
                    QStringLiteral("/api/v1/item/?offset=%1&limit=%2").arg(offset + limit).arg(limit));
    return QJsonObject{{"meta", meta}, {"objects", objects}};
}

// The process's peak resident memory is measured from here on.
void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The process's peak resident memory in MB (VmHWM); 0 when unknown.
double peakMemoryMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

// N remote items in 100 pages merged into a store of N items. The pages arrive one at a time,
// as the poll receives them; making each one is not timed.
void BM_MergeRemoteItems(benchmark::State& state)
{
    const int count = int(state.range(0));
    const int limit = count / kPages;
    for (auto _ : state) {
        state.PauseTiming();
        World world(count, false);
        state.ResumeTiming();

        for (int p = 0; p < kPages; ++p) {
            state.PauseTiming();
            const QJsonObject reply = page(p * limit, limit, count, world.project->id_());
            state.ResumeTiming();
            world.engine->itemLoop().objectLoaderDidLoadObjects(reply);
        }
        world.document->context().processPendingChanges();

        state.PauseTiming();
        if (world.items.back()->versionID() != 2)
            state.SkipWithError("the items were not merged");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_MergeRemoteItems)->Arg(10'000)->Arg(100'000)->Iterations(1)->Unit(benchmark::kMillisecond);

// N items of a project this device has not seen, in pages of 1,000 that arrive one at a time,
// downloaded into a store holding only the project, with the inbox's list following the store as
// the window's does; the peak memory of the process from the start of the download (printed,
// and reported as peak_MB).
void BM_FirstDownload(benchmark::State& state)
{
    const int count = int(state.range(0));
    constexpr int kLimit = 1000;
    double peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<World>(0, false);
        auto inbox = std::make_unique<qv::InboxModel>(*world->document);
        const qint64 projectID = world->project->id_();
        resetPeakMemory();
        state.ResumeTiming();

        for (int offset = 0; offset < count; offset += kLimit) {
            state.PauseTiming(); // the reply as the network layer would hand it over
            const QJsonObject reply = page(offset, kLimit, count, projectID);
            state.ResumeTiming();
            world->engine->itemLoop().objectLoaderDidLoadObjects(reply);
        }
        world->document->context().processPendingChanges();

        state.PauseTiming();
        peak = std::max(peak, peakMemoryMB());
        if (world->project->items().size() != size_t(count))
            state.SkipWithError("the items were not created");
        inbox.reset();
        world.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["peak_MB"] = peak;
    std::fprintf(stderr, "First download of %d items: peak memory %.0f MB\n", count, peak);
}
BENCHMARK(BM_FirstDownload)->Arg(100'000)->Iterations(1)->Unit(benchmark::kMillisecond);

// One item edited and sent, reply merged, in a store of N items.
void BM_SendOneEditedItem(benchmark::State& state)
{
    World world(int(state.range(0)), true);
    qv::TODOItem* item = world.items[world.items.size() / 2];
    int round = 0;
    for (auto _ : state) {
        item->setName(QStringLiteral("edit %1").arg(++round));
        world.scheduler.runPosted();
        world.engine->sendEditedItemsToServer();
        if (!waitUntil(world.scheduler, [&] {
                return item->edited_since() == 0 && world.engine->pendingRequestCount() == 0;
            })) {
            state.SkipWithError("the edit was not accepted");
            break;
        }
    }
}
BENCHMARK(BM_SendOneEditedItem)->Arg(1'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksInPrivateHome(argc, argv);
}
