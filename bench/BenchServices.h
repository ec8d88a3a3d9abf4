#pragma once

#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <functional>

// What every benchmark's world stands on: the injected services over a private folder, time driven
// by hand, and one signed-in user.
struct BenchServices {
    QTemporaryDir folder;
    qv::FakeClock clock;
    qv::ManualScheduler scheduler{&clock};
    qv::Preferences preferences{folder.path() + QStringLiteral("/prefs.conf")};
    qv::NotificationCenter notifications;
    qv::Services services;

    BenchServices()
    {
        services.clock = &clock;
        services.scheduler = &scheduler;
        services.preferences = &preferences;
        services.notifications = &notifications;
        preferences.setValue(QStringLiteral("_currentUser"), QStringLiteral("user@example.com"));
        preferences.setValue(QStringLiteral("kAddedMyProject"), true);
    }
};

// The benchmarks' main: a private home and temporary folder, and our logs off unless QV_BENCH_LOG is set.
// atEnd runs after the benchmarks, while the application object still exists.
inline int runBenchmarksInPrivateHome(int argc, char** argv, const std::function<void()>& atEnd = {})
{
    QTemporaryDir home;
    for (const char* variable :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "TMPDIR"})
        qputenv(variable, home.path().toLocal8Bit());
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariableIsEmpty("QV_BENCH_LOG"))
        QLoggingCategory::setFilterRules(QStringLiteral("qv.*=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (atEnd)
        atEnd();
    return 0;
}
