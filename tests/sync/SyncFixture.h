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

inline const QString kUser = QStringLiteral("user@example.com");
inline const QString kDeviceA = QStringLiteral("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
inline const QString kDeviceB = QStringLiteral("bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");

// One client ("device"): its preferences, store file, document and sync engine, in a folder of
// its own. The engine can be killed (gone without any quit step) and the device reopened.
class SyncDevice {
public:
    SyncDevice(const QString& folder, const QString& deviceUID, FakeClock& clock, ManualScheduler& scheduler,
               const QString& origin)
        : preferences(folder + QStringLiteral("/prefs.conf")), m_folder(folder), m_deviceUID(deviceUID),
          m_origin(origin)
    {
        QDir().mkpath(folder);
        services.clock = &clock;
        services.scheduler = &scheduler;
        services.preferences = &preferences;
        services.notifications = &notifications;
        services.alerts = &alerts;
        preferences.setValue(QStringLiteral("kAddedMyProject"), true);
        preferences.setValue(QStringLiteral("_currentUser"), kUser);
    }
    ~SyncDevice() { kill(); }

    // Opens the store file, the document (tracking on) and the engine (not started).
    void open(SyncOptions options = {})
    {
        store::StoreError error;
        auto context = store::Context::open(storePath(), TodoModel::shared(), *services.scheduler, &error);
        ASSERT_NE(context, nullptr) << error.message.toStdString();
        document = std::make_unique<MyDocument>(services, std::move(context));
        document->awakeFromNib();
        options.origin = m_origin;
        options.deviceUID = m_deviceUID;
        options.earlierDeviceUID = m_earlierDeviceUID;
        options.restStorePath = m_folder + QStringLiteral("/sync.sqlite");
        options.cookieFolder = m_folder;
        engine = std::make_unique<QVRestManager>(services, *document, options);
    }
    // Gone at once: no stop, no save; what the last save wrote is what the file holds.
    void kill()
    {
        engine.reset();
        document.reset();
    }
    // The application's quit: stop the loops, save, go.
    void quit()
    {
        if (engine)
            engine->stopAllLoops();
        if (document)
            document->saveFile();
        kill();
    }
    void save() { document->saveFile(); }

    QString storePath() const { return m_folder + QStringLiteral("/store.sqlite"); }
    const QString& deviceUID() const { return m_deviceUID; }
    // Taken at the next open, as by a new version that tells the device by other means.
    void setDeviceUID(const QString& uid, const QString& earlier = {})
    {
        m_deviceUID = uid;
        m_earlierDeviceUID = earlier;
    }
    bool isOpen() const { return engine != nullptr; }
    store::Context& context() { return document->context(); }
    QVRestManager& sync() { return *engine; }

    std::vector<TODOItem*> items()
    {
        std::vector<TODOItem*> all;
        for (store::ManagedObject* object : context().objects(TODOItem::staticEntityName()))
            all.push_back(static_cast<TODOItem*>(object));
        return all;
    }
    TODOItem* itemNamed(const QString& name)
    {
        for (TODOItem* item : items())
            if (item->name() == name)
                return item;
        return nullptr;
    }
    TODOItem* itemWithServerID(qint64 id) { return TODOItem::findWithID(id, context()); }
    TODOList* projectWithID(qint64 id) { return TODOList::findWithID(id, context()); }
    int countEdited()
    {
        int n = 0;
        for (TODOItem* item : items())
            n += item->edited_since() == 1 ? 1 : 0;
        return n;
    }

    Preferences preferences;
    NotificationCenter notifications;
    ScriptedAlerts alerts;
    Services services;
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<QVRestManager> engine;

private:
    QString m_folder;
    QString m_deviceUID;
    QString m_earlierDeviceUID;
    QString m_origin;
};

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
    // further work are seen through).
    void settle()
    {
        int quiet = 0;
        const bool ok = waitUntil([&] {
            quiet = idle() ? quiet + 1 : 0;
            return quiet >= 2;
        });
        ASSERT_TRUE(ok) << "requests still out after 5 s";
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
        if (!d.isOpen())
            d.open();
        server.setNow(clock.now());
        d.sync().startAllLoops();
        settle();
        tick(QVRestManager::kLoopStartDelayMs);
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
