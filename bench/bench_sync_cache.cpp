// The sync engine's own store "sync.sqlite" on an account of 100,000 items: what starting the
// engine costs in time and heap, against opening the same file with every object loaded (what
// the engine did at start before it read its cache on demand); and the first reply's cost, the
// file opened and the named item read from it.
#include "bench/BenchServices.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TodoModel.h"
#include "platform/store/Context.h"
#include "platform/store/ObjectPool.h"
#include "platform/store/UndoManager.h"
#include "sync/QVRestManager.h"
#include "sync/RestObjectStore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <malloc.h>
#include <memory>

namespace {

constexpr int kItems = 100'000;
constexpr qint64 kStart = 1'700'000'000;

// One item as the server sends it; one in ten is tagged.
QJsonObject itemJson(int i)
{
    QJsonObject item{
        {"id", i + 1},
        {"idd", 1'000'000 + i},
        {"resource_uri", QStringLiteral("/api/v1/item/%1/").arg(i + 1)},
        {"name", QStringLiteral("Call the supplier about order #%1").arg(i)},
        {"descriptionText",
         QStringLiteral("Ask whether the delivery can move to next week, order %1.").arg(i)},
        {"quadrant", i % 4},
        {"index", i * 1000},
        {"icon", "empty_orange128.png"},
        {"state", i % 10 == 0 ? 1 : 0},
        {"timestamp", kStart + i},
        {"version_id", 2},
        {"editedByDevice", "0123456789abcdef0123456789abcdef01234567"},
        {"edited_by_username", "other@example.com"},
        {"owner_username", "user@example.com"},
        {"creator_username", "user@example.com"},
        {"projects", QJsonArray{QStringLiteral("/api/v1/project/%1/").arg(1 + i % 100)}},
        {"files", QJsonArray{}},
        {"reminder", QJsonValue::Null},
    };
    item.insert("tags", i % 10 == 0 ? QJsonArray{QJsonObject{{"name", "work"}}} : QJsonArray{});
    return item;
}

// A sync.sqlite holding kItems items, mapped from replies as the engine maps them; made once.
const QString& cachePath()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        const QString file = folder.path() + QStringLiteral("/sync.sqlite");
        qv::ManualScheduler scheduler;
        qv::RestObjectStore store(scheduler, file);
        for (int page = 0; page < kItems / 1000; ++page) {
            QJsonArray objects;
            for (int i = page * 1000; i < (page + 1) * 1000; ++i)
                objects.append(itemJson(i));
            store.mapItems(objects);
            store.save();
        }
        return file;
    }();
    return path;
}

// Heap in use, in bytes: what a structure still alive holds, whatever the allocator or the
// store's pool keeps for later.
double heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) - double(qv::store::detail::idlePoolBytes());
}

void reportHeap(benchmark::State& state, double bytes)
{
    state.counters["heap_MB"] = bytes / (1024.0 * 1024.0);
}

// The file opened with every object loaded, as the engine opened its cache before.
void BM_SyncCacheOpenLoadingAll(benchmark::State& state)
{
    const QString& path = cachePath();
    qv::ManualScheduler scheduler;
    double heap = 0;
    for (auto _ : state) {
        const double before = heapInUse();
        qv::store::StoreError error;
        auto context = qv::store::Context::open(path, qv::TodoModel::shared(), scheduler, &error);
        if (!context || context->count(qv::TODOItem::staticEntityName()) != kItems) {
            state.SkipWithError("the cache did not load");
            break;
        }
        context->takeUndoManager();
        state.PauseTiming();
        heap = heapInUse() - before;
        context.reset();
        state.ResumeTiming();
    }
    reportHeap(state, heap);
}
BENCHMARK(BM_SyncCacheOpenLoadingAll)->Unit(benchmark::kMillisecond);

// The engine made on a document and the cache's file, as the application starts it.
void BM_SyncEngineStart(benchmark::State& state)
{
    const QString& path = cachePath();
    BenchServices world;
    qv::MyDocument document(world.services,
                            std::make_unique<qv::store::Context>(qv::TodoModel::shared(), world.scheduler));
    document.awakeFromNib();
    qv::SyncOptions options;
    options.origin.clear();
    options.deviceUID = QStringLiteral("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
    options.restStorePath = path;
    options.cookieFolder = world.folder.path();
    double heap = 0;
    for (auto _ : state) {
        const double before = heapInUse();
        auto engine = std::make_unique<qv::QVRestManager>(world.services, document, options);
        benchmark::DoNotOptimize(engine.get());
        state.PauseTiming();
        heap = heapInUse() - before;
        engine.reset();
        state.ResumeTiming();
    }
    reportHeap(state, heap);
}
BENCHMARK(BM_SyncEngineStart)->Unit(benchmark::kMillisecond);

// The cache made and a first reply naming one item of the file mapped: the file opened (with its
// integrity checked) and the item found again, not copied.
void BM_SyncCacheFirstReply(benchmark::State& state)
{
    const QString& path = cachePath();
    qv::ManualScheduler scheduler;
    QJsonObject reply = itemJson(kItems / 2);
    reply.insert("name", QStringLiteral("renamed elsewhere"));
    double heap = 0;
    for (auto _ : state) {
        const double before = heapInUse();
        auto store = std::make_unique<qv::RestObjectStore>(scheduler, path);
        qv::TODOItem* item = store->mapItem(reply);
        if (!item || item->isInserted()) {
            state.SkipWithError("the item was not found in the file");
            break;
        }
        state.PauseTiming();
        heap = heapInUse() - before;
        store.reset(); // unsaved: the file stays as it was for the next round
        state.ResumeTiming();
    }
    reportHeap(state, heap);
}
BENCHMARK(BM_SyncCacheFirstReply)->Unit(benchmark::kMillisecond);

// As the first reply, on a file an earlier version wrote: the indexes lookups use are made first,
// once.
void BM_SyncCacheFirstReplyOnOlderFile(benchmark::State& state)
{
    const QString& path = cachePath();
    const QString older = path + QStringLiteral(".older");
    qv::ManualScheduler scheduler;
    const QJsonObject reply = itemJson(kItems / 2);
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(older);
        QFile::copy(path, older);
        sqlite3* db = nullptr;
        sqlite3_open(older.toUtf8().constData(), &db);
        QByteArrayList drops;
        sqlite3_exec(
            db, "SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE 'Z_%_KEY'",
            [](void* list, int, char** values, char**) {
                static_cast<QByteArrayList*>(list)->append("DROP INDEX \"" + QByteArray(values[0]) + "\"");
                return 0;
            },
            &drops, nullptr);
        for (const QByteArray& drop : drops)
            sqlite3_exec(db, drop.constData(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        state.ResumeTiming();
        auto store = std::make_unique<qv::RestObjectStore>(scheduler, older);
        qv::TODOItem* item = store->mapItem(reply);
        if (!item || item->isInserted()) {
            state.SkipWithError("the item was not found in the file");
            break;
        }
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SyncCacheFirstReplyOnOlderFile)->Unit(benchmark::kMillisecond);

// A whole download of the account mapped into a new cache, page by page, each page saved.
void BM_SyncCacheMapAccount(benchmark::State& state)
{
    std::vector<QJsonArray> pages(kItems / 1000);
    for (int i = 0; i < kItems; ++i)
        pages[size_t(i / 1000)].append(itemJson(i));
    QTemporaryDir folder;
    qv::ManualScheduler scheduler;
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = folder.filePath(QStringLiteral("sync.sqlite"));
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
        state.ResumeTiming();
        auto store = std::make_unique<qv::RestObjectStore>(scheduler, path);
        for (const QJsonArray& page : pages) {
            store->mapItems(page);
            store->save();
        }
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kItems);
}
BENCHMARK(BM_SyncCacheMapAccount)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksInPrivateHome(argc, argv);
}
