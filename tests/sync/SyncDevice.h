#pragma once

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "sync/QVRestManager.h"

#include <QDir>

#include <memory>
#include <vector>

namespace qv::test {

inline const QString kUser = QStringLiteral("user@example.com");

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

    // Opens the store file, the document (tracking on) and the engine (not started); false when
    // the store cannot be opened.
    bool open(SyncOptions options = {})
    {
        store::StoreError error;
        auto context = store::Context::open(storePath(), TodoModel::shared(), *services.scheduler, &error);
        if (!context) {
            qWarning("store not opened: %s", qUtf8Printable(error.message));
            return false;
        }
        document = std::make_unique<MyDocument>(services, std::move(context));
        document->awakeFromNib();
        options.origin = m_origin;
        options.deviceUID = m_deviceUID;
        options.earlierDeviceUID = m_earlierDeviceUID;
        options.restStorePath = m_folder + QStringLiteral("/sync.sqlite");
        options.cookieFolder = m_folder;
        engine = std::make_unique<QVRestManager>(services, *document, options);
        return true;
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

} // namespace qv::test
