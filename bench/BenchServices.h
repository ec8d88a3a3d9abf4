#pragma once

#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"

#include <QTemporaryDir>

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
