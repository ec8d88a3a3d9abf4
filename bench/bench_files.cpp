// Uploading and downloading a 50 MB attachment must keep the client's peak memory within a few
// MB of what it uses idle: files stream from and to disk. The server runs in a process of its own
// so that what it keeps of the file does not count.
#include "bench/BenchServices.h"
#include "core/document/MyDocument.h"
#include "core/model/ItemFile.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "platform/rest/RestClient.h"
#include "platform/store/Context.h"
#include "sync/FileManager.h"
#include "sync/QVRestManager.h"
#include "tests/support/FakeAccountProfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr qint64 kFileSize = 50 * 1024 * 1024;

bool waitUntil(qv::ManualScheduler& scheduler, const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        scheduler.runPosted();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (timer.elapsed() > 120'000)
            return false;
    }
    return true;
}

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// VmHWM or VmRSS in MB; 0 when unknown.
double memoryMB(const QByteArray& key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// The server in its own process, a document with one item the server knows, an engine that is
// online and a file manager whose account may take the file.
struct World : BenchServices {
    QProcess server;
    qv::test::FakeAccountProfile profile;
    std::unique_ptr<qv::MyDocument> document;
    std::unique_ptr<qv::QVRestManager> engine;
    std::unique_ptr<qv::FileManager> files;
    qv::TODOItem* item = nullptr;
    QString bigFile;

    World()
    {
        const quint16 port = freePort();
        server.setStandardOutputFile(QProcess::nullDevice());
        server.start(QStringLiteral(QV_FAKE_SYNC_SERVER), {QStringLiteral("--port"), QString::number(port)});
        server.waitForStarted();

        document = std::make_unique<qv::MyDocument>(
            services, std::make_unique<qv::store::Context>(qv::TodoModel::shared(), scheduler));
        document->awakeFromNib();
        qv::SyncOptions options;
        options.origin = QStringLiteral("http://127.0.0.1:%1").arg(port);
        options.deviceUID = QStringLiteral("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
        options.restStorePath = folder.path() + QStringLiteral("/sync.sqlite");
        options.cookieFolder = folder.path();
        engine = std::make_unique<qv::QVRestManager>(services, *document, options);
        engine->startAllLoops();
        // The server may still be starting: ask again until it answers.
        for (int attempt = 0; attempt < 100 && !engine->isOnline(); ++attempt) {
            waitUntil(scheduler, [&] { return engine->pendingRequestCount() == 0; });
            if (engine->isOnline())
                break;
            QThread::msleep(100);
            engine->fire();
        }

        qint64 serverID = 0;
        engine->client().post(QStringLiteral("/item/"), QJsonDocument(QJsonObject{{"name", "big"}}),
                              [&](const qv::rest::Response& response) {
                                  serverID = response.json.object().value("id").toInteger();
                              });
        waitUntil(scheduler, [&] { return serverID != 0; });
        qv::TODOList* project = document->context().insert<qv::TODOList>(qv::TODOList::staticEntityName());
        item = document->newItemForProject(project);
        item->setServerID(serverID);
        document->context().processPendingChanges();

        profile.profile = QJsonObject{{"max_upload_size", 2 * kFileSize},
                                      {"total_upload_size", 10.0 * kFileSize},
                                      {"used_upload_size", 0.0}};
        files = std::make_unique<qv::FileManager>(*engine, &profile);

        bigFile = folder.path() + QStringLiteral("/big.bin");
        QFile out(bigFile);
        out.open(QIODevice::WriteOnly);
        QByteArray block(1024 * 1024, '\0');
        for (qint64 i = 0; i < kFileSize / block.size(); ++i) {
            block.fill(char('a' + i % 26));
            out.write(block);
        }
    }
    ~World()
    {
        files.reset();
        engine.reset();
        document.reset();
        server.kill();
        server.waitForFinished();
    }
};

// One upload of the 50 MB file and one download of it; peak_MB is the process's peak from the
// start of the transfers, idle_MB what it held before them, growth_MB the most a round trip
// took above that.
void BM_TransferLargeFile(benchmark::State& state)
{
    World world;
    if (!world.engine->isOnline()) {
        state.SkipWithError("the server did not answer");
        return;
    }
    const QString downloads = world.folder.path() + QStringLiteral("/downloads");
    QDir().mkpath(downloads);
    double peak = 0;
    double idle = 0;
    double growth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(downloads + QStringLiteral("/big.bin"));
        idle = memoryMB("VmRSS:");
        resetPeakMemory();
        state.ResumeTiming();

        qv::ItemFile* uploaded = nullptr;
        world.files->uploadFileAt(world.bigFile, world.item, false,
                                  [&](qv::ItemFile* file) { uploaded = file; });
        waitUntil(world.scheduler, [&] { return world.files->pendingRequestCount() == 0; });
        bool downloaded = false;
        if (uploaded)
            world.files->downloadItemFile(uploaded, downloads, [&] { downloaded = true; });
        waitUntil(world.scheduler, [&] { return world.files->pendingRequestCount() == 0; });

        state.PauseTiming();
        peak = std::max(peak, memoryMB("VmHWM:"));
        growth = std::max(growth, memoryMB("VmHWM:") - idle);
        if (!downloaded || QFileInfo(downloads + QStringLiteral("/big.bin")).size() != kFileSize)
            state.SkipWithError("the file did not make the round trip");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * 2 * kFileSize);
    state.counters["idle_MB"] = idle;
    state.counters["peak_MB"] = peak;
    state.counters["growth_MB"] = growth;
    std::fprintf(stderr, "50 MB up and down: idle %.1f MB, peak %.1f MB, at most %.1f MB above idle\n", idle,
                 peak, growth);
}
BENCHMARK(BM_TransferLargeFile)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksInPrivateHome(argc, argv);
}
