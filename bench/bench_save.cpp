// The application's save, as the main thread pays for it: the commit of one edit plus its share
// of the backup that follows (the copy itself runs on the backup thread). It must cost about
// the same in a small and a large store, and not much more than a bare WAL commit of one row
// on the same file.
#include "core/document/MyDocument.h"
#include "core/document/StoreFiles.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "platform/store/Context.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kProjects = 100;

// Every repetition writes a name no earlier one wrote, in whichever run of a benchmark.
QString freshName()
{
    static qint64 counter = 0;
    return QStringLiteral("Call the supplier, take %1").arg(++counter);
}

QTemporaryDir& home()
{
    static QTemporaryDir dir;
    return dir;
}

// Each size in a home of its own, so its store file, backups and counters are its own.
void useHome(int items)
{
    const QByteArray root = QFile::encodeName(home().path() + QStringLiteral("/%1").arg(items));
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
}

QString storeFile(int items)
{
    useHome(items);
    return qv::StoreFiles::pathForDataFile();
}

void buildStore(int items)
{
    qv::ManualScheduler scheduler;
    qv::store::StoreError error;
    auto context = qv::store::Context::open(storeFile(items), qv::TodoModel::shared(), scheduler, &error);
    if (!context) {
        std::fprintf(stderr, "cannot create the store: %s\n", qPrintable(error.message));
        std::exit(1);
    }
    std::vector<qv::TODOList*> projects;
    for (int p = 0; p < kProjects; ++p) {
        auto* project = context->insert<qv::TODOList>(qv::TODOList::staticEntityName());
        project->setId_(p + 1);
        project->setName(QStringLiteral("Project %1").arg(p));
        projects.push_back(project);
    }
    for (int i = 0; i < items; ++i) {
        auto* item = context->insert<qv::TODOItem>(qv::TODOItem::staticEntityName());
        item->setId_(i + 1);
        item->setServerID(100'000 + i);
        item->setName(QStringLiteral("Call the supplier about order #%1").arg(i));
        item->setDescriptionText(
            QStringLiteral("Ask whether the delivery can move to next week, order %1.").arg(i));
        item->setQuadrant(i % 4);
        item->setIndex(qint64(i) * 1000);
        projects[std::size_t(i % kProjects)]->addItem(item);
    }
    if (!context->save(&error)) {
        std::fprintf(stderr, "cannot save the store: %s\n", qPrintable(error.message));
        std::exit(1);
    }
}

// The document as the application runs it, over the store of one size.
struct Application {
    explicit Application(int items)
        : size(items), preferences(home().path() + QStringLiteral("/%1/prefs.conf").arg(items))
    {
        services.clock = &clock;
        services.scheduler = &scheduler;
        services.preferences = &preferences;
        qv::store::StoreError error;
        auto context = qv::store::Context::open(storeFile(items), qv::TodoModel::shared(), scheduler, &error);
        if (!context) {
            std::fprintf(stderr, "cannot open the store: %s\n", qPrintable(error.message));
            std::exit(1);
        }
        document = std::make_unique<qv::MyDocument>(services, std::move(context));
        for (qv::store::ManagedObject* object : document->context().objects(qv::TODOItem::staticEntityName()))
            items_.push_back(static_cast<qv::TODOItem*>(object));
    }

    // One edit, as the user makes it; not part of the save.
    void edit()
    {
        useHome(size); // where this size's backups go
        items_[std::size_t(next++ % qint64(items_.size()))]->setName(freshName());
        document->context().processPendingChanges();
    }

    // The save and what the main thread spends on its backup.
    bool save() { return document->saveFile(); }

    // The backup thread's copy, made while the user goes on working.
    void waitForTheCopy() { document->storeFiles().waitForBackups(); }

    int size;
    qv::FakeClock clock;
    qv::ManualScheduler scheduler{&clock};
    qv::Preferences preferences;
    qv::Services services;
    std::unique_ptr<qv::MyDocument> document;
    std::vector<qv::TODOItem*> items_;
    qint64 next = 0;
};

// One row changed and committed through a bare connection, with the store's journal settings.
class BareCommit {
public:
    explicit BareCommit(int items)
    {
        sqlite3_open_v2(QFile::encodeName(storeFile(items)).constData(), &m_db, SQLITE_OPEN_READWRITE,
                        nullptr);
        sqlite3_exec(m_db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db, "UPDATE \"TODOItem\" SET \"name\" = ? WHERE \"Z_PK\" = ?", -1, &m_update,
                           nullptr);
        m_rows = items;
    }
    ~BareCommit()
    {
        sqlite3_finalize(m_update);
        sqlite3_close(m_db);
    }

    bool commit()
    {
        const QByteArray name = freshName().toUtf8();
        sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_bind_text(m_update, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(m_update, 2, 1 + m_next++ % m_rows);
        const bool updated = sqlite3_step(m_update) == SQLITE_DONE && sqlite3_changes(m_db) == 1;
        sqlite3_reset(m_update);
        return sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK && updated;
    }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_update = nullptr;
    qint64 m_rows = 1;
    qint64 m_next = 0;
};

void BM_ApplicationSave(benchmark::State& state)
{
    Application application(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        application.waitForTheCopy();
        application.edit();
        state.ResumeTiming();
        if (!application.save())
            state.SkipWithError("save failed");
    }
    application.waitForTheCopy();
}
BENCHMARK(BM_ApplicationSave)->Arg(1'000)->Arg(100'000)->Unit(benchmark::kMicrosecond)->UseRealTime();

// One edit as the user makes it and the save that follows, both on the main thread, on a store of
// an ordinary size.
void BM_ApplicationEditAndSave(benchmark::State& state)
{
    Application application(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        application.waitForTheCopy();
        state.ResumeTiming();
        application.edit();
        if (!application.save())
            state.SkipWithError("save failed");
    }
    application.waitForTheCopy();
}
BENCHMARK(BM_ApplicationEditAndSave)->Arg(10'000)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_BareWalCommit(benchmark::State& state)
{
    BareCommit bare(int(state.range(0)));
    for (auto _ : state) {
        if (!bare.commit())
            state.SkipWithError("commit failed");
    }
}
BENCHMARK(BM_BareWalCommit)->Arg(1'000)->Arg(100'000)->Unit(benchmark::kMicrosecond)->UseRealTime();

double medianMs(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// The figures the targets speak of, as medians of interleaved repetitions so that the
// machine's load weighs on each the same.
void printFigures()
{
    constexpr int kRepetitions = 60;
    std::map<int, std::vector<double>> saves;
    std::vector<double> bare;
    {
        Application small(1'000);
        Application large(100'000);
        BareCommit commit(100'000);
        QElapsedTimer timer;
        for (int i = 0; i < kRepetitions; ++i) {
            for (auto [items, application] : {std::pair{1'000, &small}, std::pair{100'000, &large}}) {
                application->waitForTheCopy();
                application->edit();
                timer.start();
                application->save();
                saves[items].push_back(double(timer.nsecsElapsed()) / 1e6);
            }
            large.waitForTheCopy();
            timer.start();
            commit.commit();
            bare.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        small.waitForTheCopy();
        large.waitForTheCopy();
    }
    const double small = medianMs(saves[1'000]);
    const double large = medianMs(saves[100'000]);
    const double commit = medianMs(bare);
    std::printf("Save path (commit + the main thread's share of the backup), median of %d:\n"
                "  1000 items %.3f ms, 100000 items %.3f ms: %.2fx (target <= 1.5x)\n"
                "  bare WAL commit of one row on the 100000-item file %.3f ms: the large save is %.2fx "
                "(target <= 2x)\n",
                kRepetitions, small, large, large / small, commit, large / commit);
}

} // namespace

int main(int argc, char** argv)
{
    buildStore(1'000);
    buildStore(10'000);
    buildStore(100'000);
    printFigures();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
