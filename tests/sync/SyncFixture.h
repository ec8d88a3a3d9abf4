#pragma once

#include "core/document/MyDocument.h"
#include "core/model/StatusEntities.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "sync/ItemUpdaterLoop.h"
#include "sync/ProjectUpdaterLoop.h"
#include "sync/QVRestManager.h"
#include "sync/SyncNotifications.h"
#include "tests/support/FakeSyncServer.h"
#include "tests/support/Printers.h"
#include "tests/support/TestData.h"
#include "tests/support/TestEnvironment.h"
#include "tests/sync/SyncDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace qv::test {

inline const QString kDeviceA = QStringLiteral("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
inline const QString kDeviceB = QStringLiteral("bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");

// A fake server on 127.0.0.1, hand-driven time for the engines, and the real event loop for
// the network: tick() moves time in steps of at most a second and lets every request that
// falls due reach the server and come back before going on.
class SyncFixture : public ::testing::Test {
protected:
    SyncFixture()
    {
        const bool listening = server.listen();
        EXPECT_TRUE(listening);
        device = std::make_unique<SyncDevice>(home.root() + QStringLiteral("/a"), kDeviceA, clock, scheduler,
                                              server.baseUrl().toString());
    }
    ~SyncFixture() override
    {
        other.reset();
        device.reset();
    }

    SyncDevice& addOtherDevice()
    {
        other = std::make_unique<SyncDevice>(home.root() + QStringLiteral("/b"), kDeviceB, clock, scheduler,
                                             server.baseUrl().toString());
        return *other;
    }

    // Runs posted work and the event loop until done() holds; false after timeoutMs of real time.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            scheduler.runPosted();
            QCoreApplication::processEvents();
            scheduler.runPosted();
            if (done())
                return true;
            if (timer.elapsed() > timeoutMs)
                return false;
            QTest::qWait(1);
        }
    }
    bool idle()
    {
        if (scheduler.pendingPosts() > 0 || server.inFlightCount() > 0)
            return false;
        for (SyncDevice* d : {device.get(), other.get()}) {
            if (d && d->isOpen() && d->sync().pendingRequestCount() > 0)
                return false;
        }
        return true;
    }
    // Until no request is out and nothing is posted (twice in a row, so replies that start
    // further work are seen through). The bound is generous: a machine busy with every other
    // suite at once is slow, not wrong.
    void settle()
    {
        int quiet = 0;
        const bool ok = waitUntil(
            [&] {
                quiet = idle() ? quiet + 1 : 0;
                return quiet >= 2;
            },
            30'000);
        ASSERT_TRUE(ok) << "requests still out after 30 s";
    }
    void tick(qint64 ms)
    {
        settle();
        while (ms > 0) {
            const qint64 step = std::min<qint64>(ms, 1000);
            scheduler.advance(step);
            server.setNow(clock.now());
            settle();
            ms -= step;
        }
    }
    // The next pass sends its request to path; the server acts on it and holds the reply until
    // releaseHeldReplies(). False when no such request came.
    bool holdNextPass(const QString& path)
    {
        server.holdNext(path);
        scheduler.advance(5'000);
        server.setNow(clock.now());
        return waitUntil([&] { return server.heldReplyCount() == 1; });
    }
    // Opens the device and starts its engine: keep-alive answered, loops running.
    void start(SyncDevice& d)
    {
        if (!d.isOpen()) {
            ASSERT_TRUE(d.open());
        }
        server.setNow(clock.now());
        d.sync().startAllLoops();
        settle();
        tick(QVRestManager::kLoopStartDelayMs);
    }
    // Opens a device whose store already holds the account's status row, as one that synced
    // here before (its cursors still empty): its start runs no whole sync first.
    void openSyncedBefore(SyncDevice& d, SyncOptions options = {})
    {
        ASSERT_TRUE(d.open(options));
        ASSERT_NE(d.sync().getInstantSyncStatus(), nullptr);
        d.quit();
        ASSERT_TRUE(d.open(options));
    }
    // The device started, with one project known to the server.
    TODOList* startWithProject()
    {
        start(*device);
        TODOList* project = ProjectBuilder(device->context(), "P");
        tick(5'000);
        EXPECT_TRUE(project->isValidUniID());
        return project;
    }
    // New items of this device named prefix0, prefix1, ...
    std::vector<TODOItem*> newItems(TODOList* project, const char* prefix, int count)
    {
        std::vector<TODOItem*> made;
        for (int i = 0; i < count; ++i)
            made.push_back(
                ItemBuilder(QLatin1String(prefix) + QString::number(i)).madeBy(*device->document, project));
        return made;
    }
    QList<HttpRequest> requests(const QByteArray& method, const QString& prefix) const
    {
        return server.requestsTo(method, prefix);
    }
    int count(const QByteArray& method, const QString& prefix) const
    {
        return int(requests(method, prefix).size());
    }
    // Uploads of items: single POSTs and PUTs and bulk ones.
    int itemUploads() const
    {
        return count("POST", QStringLiteral("/api/v1/item/")) + count("PUT", QStringLiteral("/api/v1/item/"));
    }

    TempHome home;
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    FakeSyncServer server;
    std::unique_ptr<SyncDevice> device;
    std::unique_ptr<SyncDevice> other;
};

} // namespace qv::test
