// The first download of a large account in the real program: signed in on an empty store, it
// fetches the 100,000 items the test server holds in the whole sync it runs at start. Timed from
// starting the program to the end of that sync; peak_MiB is the program's peak resident size
// (VmHWM) once it has settled after it, so the first save of what arrived counts too (target
// 300 MB). peak_at_end_MiB is the peak when the sync ended, rss_MiB what it still holds after.
#include "bench/AppProcess.h"
#include "bench/BenchServices.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kItems = 100'000;

std::unique_ptr<bench::Server>& server()
{
    static std::unique_ptr<bench::Server> running;
    return running;
}

void BM_FirstDownload(benchmark::State& state)
{
    if (!server())
        server() = std::make_unique<bench::Server>(kItems);
    if (server()->origin().isEmpty()) {
        state.SkipWithError("the test server did not start");
        return;
    }
    const bool milestones = bench::buildHasMilestones();
    double peak = 0;
    double peakAtEnd = 0;
    double rss = 0;
    double requests = 0;
    for (auto _ : state) {
        bench::Home home;
        home.signIn(QStringLiteral("user@example.com"));
        const int requestsBefore = server()->requests();
        bench::App app(home, server()->origin(), false);
        server()->onRequest([&app](const QByteArray& line) { app.serverRequest(line); });
        const bool ended = app.waitFor(
            [&] { return milestones ? app.wholeSyncEndMs().has_value() : app.regularPollMs().has_value(); },
            600'000);
        peakAtEnd = bench::statusMiB(app.pid(), "VmHWM:");
        if (!ended || (milestones && !app.wholeSyncCompleted())) {
            server()->onRequest({});
            state.SkipWithError(qPrintable(QStringLiteral("the download did not complete: ") +
                                           QString::fromUtf8(app.errors())));
            break;
        }
        // A build without the line: the regular polls begin kLoopStartDelayMs after the sync.
        const double endMs = milestones ? *app.wholeSyncEndMs() : *app.regularPollMs() - 2'000;
        state.SetIterationTime(endMs / 1000.0);
        app.settle(3'000, 60'000);
        server()->onRequest({});
        peak = bench::statusMiB(app.pid(), "VmHWM:");
        rss = bench::statusMiB(app.pid(), "VmRSS:");
        requests = server()->requests() - requestsBefore;
        app.kill();
    }
    state.counters["peak_MiB"] = peak;
    state.counters["peak_at_end_MiB"] = peakAtEnd;
    state.counters["rss_MiB"] = rss;
    state.counters["requests"] = requests;
    state.counters["items"] = kItems;
    state.SetLabel(milestones ? "end from the program's line" : "end from the polls that follow it");
}
BENCHMARK(BM_FirstDownload)->Iterations(1)->Repetitions(2)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksInPrivateHome(argc, argv, [] { server().reset(); });
}
