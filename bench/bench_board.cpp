// Arranging a project's items must grow no faster than n log n (x12.5 from 10,000 to 100,000
// items): the first arrangement, the selection of a project (its items into the board's four
// quadrants), a re-sort by every sort mode and a search-text filter, each at 10,000 and 100,000
// items.
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "core/util/Predicate.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "ui/board/ArrayController.h"
#include "ui/board/BoardArrangement.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <map>
#include <memory>
#include <random>

namespace {

// One project of n items with varied values for every sort key.
struct Project {
    qv::FakeClock clock;
    qv::ManualScheduler scheduler{&clock};
    qv::store::Context context{qv::TodoModel::shared(), scheduler};
    qv::TODOList* list = nullptr;
    std::vector<qv::store::ManagedObject*> items;

    explicit Project(int n)
    {
        static const QStringList words = {"plan",  "call",  "write", "review", "éclair", "Budget",
                                          "alpha", "Delta", "mail",  "fix",    "design", "ship"};
        std::mt19937 random(42);
        list = context.insert<qv::TODOList>(qv::TODOList::staticEntityName());
        const QDateTime now = clock.now();
        for (int i = 0; i < n; ++i) {
            auto* item = context.insert<qv::TODOItem>(qv::TODOItem::staticEntityName());
            item->setName(words[int(random() % words.size())] + ' ' + QString::number(random() % 100000));
            item->setDescriptionText(words[int(random() % words.size())]);
            item->setIndex(qint64(random() % 1000000));
            item->setQuadrant(i % 4);
            item->setState(random() % 5 == 0 ? 1 : 0);
            item->setCompletionPercentage(qint64(random() % 101));
            if (random() % 3 != 0)
                item->setEffort(qint64(random() % 20));
            item->setIcon(words[int(random() % words.size())] + QStringLiteral(".png"));
            item->setCreationDate(now.addSecs(-qint64(random() % 10000000)));
            if (random() % 2 == 0)
                item->setCompletionDate(now.addSecs(-qint64(random() % 10000000)));
            if (random() % 2 == 0)
                item->setDueDate(now.addSecs(qint64(random() % 20000000) - 10000000));
            item->setAllDay(random() % 4 == 0);
            item->setLastModifiedTimestamp(qint64(random() % 2000000000));
            if (random() % 3 != 0)
                item->setOwnerUsername(QStringLiteral("user%1@example.com").arg(random() % 50));
            item->setStarred(random() % 10 == 0);
            list->addItem(item);
            items.push_back(item);
        }
        context.processPendingChanges();
    }
};

Project& project(int n)
{
    static std::map<int, std::unique_ptr<Project>> projects;
    auto& slot = projects[n];
    if (!slot)
        slot = std::make_unique<Project>(n);
    return *slot;
}

void arrange(benchmark::State& state)
{
    Project& p = project(int(state.range(0)));
    const auto mode = qv::BoardArrangement::sortMode(0);
    for (auto _ : state) {
        qv::ArrayController controller;
        controller.setSortDescriptors({mode->descriptor});
        controller.setFilterPredicate(qv::BoardArrangement::stateFilterPredicate(0),
                                      qv::ArrayController::FilterReads::ObjectOnly);
        controller.setContent(p.items);
        benchmark::DoNotOptimize(controller.arrangedObjects().data());
    }
    state.SetComplexityN(state.range(0));
}

// The board shows a project: each quadrant's controller takes the project's items and arranges
// those of its quadrant by the chosen sort mode and filter.
void selectProject(benchmark::State& state)
{
    Project& p = project(int(state.range(0)));
    QTemporaryDir folder;
    qv::Preferences preferences(folder.filePath(QStringLiteral("prefs.conf")));
    std::array<qv::ArrayController, 4> quadrants;
    qv::BoardArrangement arrangement(preferences,
                                     {&quadrants[0], &quadrants[1], &quadrants[2], &quadrants[3]});
    arrangement.updateSortDescriptors();
    arrangement.updateFilters();
    for (auto _ : state) {
        for (qv::ArrayController& controller : quadrants)
            controller.setContent({});
        std::vector<qv::store::ManagedObject*> items;
        for (qv::TODOItem* item : p.list->items())
            items.push_back(item);
        for (qv::ArrayController& controller : quadrants) {
            controller.setContent(items);
            benchmark::DoNotOptimize(controller.arrangedObjects().data());
        }
    }
    state.SetComplexityN(state.range(0));
}

void resortByMode(benchmark::State& state, int mode)
{
    Project& p = project(int(state.range(0)));
    qv::ArrayController controller;
    controller.setContent(p.items);
    const qv::SortDescriptor descriptor = qv::BoardArrangement::sortMode(mode)->descriptor;
    for (auto _ : state) {
        controller.setSortDescriptors({descriptor});
        benchmark::DoNotOptimize(controller.arrangedObjects().data());
    }
    state.SetComplexityN(state.range(0));
}

void filterBySearchText(benchmark::State& state)
{
    Project& p = project(int(state.range(0)));
    qv::ArrayController controller;
    controller.setSortDescriptors({qv::BoardArrangement::sortMode(0)->descriptor});
    controller.setContent(p.items);
    const qv::ObjectPredicate search = qv::BoardArrangement::fromPredicate(
        qv::Predicate::withFormat(QStringLiteral("name CONTAINS[cd] %@ OR descriptionText CONTAINS[cd] %@"),
                                  {QStringLiteral("ECLAIR"), QStringLiteral("ECLAIR")}));
    const qv::ObjectPredicate filter =
        qv::BoardArrangement::both(qv::BoardArrangement::stateFilterPredicate(1), search);
    for (auto _ : state) {
        controller.setFilterPredicate(filter);
        benchmark::DoNotOptimize(controller.arrangedObjects().data());
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const auto sizes = [](benchmark::internal::Benchmark* b) {
        b->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);
    };
    benchmark::RegisterBenchmark("arrange", arrange)->Apply(sizes);
    benchmark::RegisterBenchmark("selectProject", selectProject)->Apply(sizes);
    for (int mode = 0; mode < qv::BoardArrangement::kSortModeCount; ++mode) {
        benchmark::RegisterBenchmark(("resort/mode" + std::to_string(mode)).c_str(),
                                     [mode](benchmark::State& state) { resortByMode(state, mode); })
            ->Apply(sizes);
    }
    benchmark::RegisterBenchmark("filterBySearchText", filterBySearchText)->Apply(sizes);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
