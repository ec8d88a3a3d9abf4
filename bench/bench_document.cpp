// Lookups by identifier must not grow with the store; adding and copying items must grow linearly.
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Clock.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "platform/store/Context.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>

namespace {

constexpr int kProjects = 100;

struct Store {
    qv::FakeClock clock;
    qv::ManualScheduler scheduler{&clock};
    qv::Services services;
    std::unique_ptr<qv::MyDocument> document;

    Store()
    {
        services.clock = &clock;
        services.scheduler = &scheduler;
        document = std::make_unique<qv::MyDocument>(
            services, std::make_unique<qv::store::Context>(qv::TodoModel::shared(), scheduler));
    }
};

// One store per size, filled once: items spread over the projects, server ids 1..items.
Store& filledStore(int items)
{
    static std::map<int, std::unique_ptr<Store>> stores;
    auto& store = stores[items];
    if (!store) {
        store = std::make_unique<Store>();
        qv::store::Context& context = store->document->context();
        std::vector<qv::TODOList*> projects;
        for (int p = 0; p < kProjects; ++p) {
            auto* project = context.insert<qv::TODOList>(qv::TODOList::staticEntityName());
            project->setId_(p + 1);
            projects.push_back(project);
        }
        for (int i = 0; i < items; ++i) {
            qv::TODOItem* item = store->document->newItemForProject(projects[std::size_t(i % kProjects)]);
            item->setServerID(i + 1);
        }
        store->scheduler.runPosted();
    }
    return *store;
}

// The same few ids spread over the whole store, so the figure is the lookup's cost and not
// that of cache misses on a large heap.
std::vector<int> spreadIds(int items)
{
    std::vector<int> ids;
    ids.reserve(256);
    for (int i = 0; i < 256; ++i)
        ids.push_back(1 + int(qint64(i) * items / 256));
    std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
    return ids;
}

void BM_FindWithID(benchmark::State& state)
{
    const int items = int(state.range(0));
    Store& store = filledStore(items);
    const std::vector<int> ids = spreadIds(items);
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qv::TODOItem::findWithID(ids[next], store.document->context()));
        next = (next + 1) % ids.size();
    }
    state.SetComplexityN(items);
}
BENCHMARK(BM_FindWithID)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Complexity(benchmark::o1);

void BM_GetProjectWithID(benchmark::State& state)
{
    const int items = int(state.range(0));
    Store& store = filledStore(items);
    std::mt19937 random(11);
    std::uniform_int_distribution<int> pick(1, kProjects);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.document->getProjectWithID(pick(random)));
    state.SetComplexityN(items);
}
BENCHMARK(BM_GetProjectWithID)->Arg(1'000)->Arg(10'000)->Arg(100'000)->Complexity(benchmark::o1);

// Times work(document, project) on a project of a fresh store, once per repetition; the store is
// made (with itemsBefore items) and taken down outside the timing.
template <class Work> void timeOnFreshProject(benchmark::State& state, int itemsBefore, Work work)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<Store>();
        auto* project = store->document->context().insert<qv::TODOList>(qv::TODOList::staticEntityName());
        for (int i = 0; i < itemsBefore; ++i)
            store->document->newItemForProject(project, i % 4)->setName(QStringLiteral("Item %1").arg(i));
        state.ResumeTiming();
        work(*store->document, project);
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

// Adds n items to one project of a fresh store.
void BM_NewItemForProject(benchmark::State& state)
{
    timeOnFreshProject(state, 0,
                       [items = int(state.range(0))](qv::MyDocument& document, qv::TODOList* project) {
                           for (int i = 0; i < items; ++i)
                               benchmark::DoNotOptimize(document.newItemForProject(project, i % 4));
                       });
}

// Copies a project of n items with its items; each copy draws a fresh id unique in the new project.
void BM_CloneProject(benchmark::State& state)
{
    timeOnFreshProject(state, int(state.range(0)), [](qv::MyDocument& document, qv::TODOList* project) {
        benchmark::DoNotOptimize(document.cloneList(project, true));
    });
}

// 1,000 to 10,000 items, linear.
void atSizes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Arg(1'000)
        ->Arg(2'500)
        ->Arg(5'000)
        ->Arg(10'000)
        ->Complexity(benchmark::oN)
        ->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_NewItemForProject)->Apply(atSizes);
BENCHMARK(BM_CloneProject)->Apply(atSizes);

} // namespace

BENCHMARK_MAIN();
