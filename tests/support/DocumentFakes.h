#pragma once

#include "core/document/DocumentWindow.h"
#include "core/document/MyDocument.h"
#include "core/document/StoreFiles.h"
#include "core/document/SyncEngine.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "core/util/Predicate.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "platform/store/Context.h"
#include "tests/support/Printers.h"
#include "tests/support/TestEnvironment.h"

#include <QDateTime>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace qv::test {

// The services a document runs on, every one a fake: a private home with its own preferences
// file, hand-driven time, a notification centre and alerts that answer from a script.
template <class AlertsType = ScriptedAlerts> class FakeServices {
public:
    FakeServices() : preferences(home.root() + QStringLiteral("/prefs.conf")) { wire(); }
    explicit FakeServices(const QDateTime& start)
        : clock(start), preferences(home.root() + QStringLiteral("/prefs.conf"))
    {
        wire();
    }

    // The document over the store file in the private home, opened as the application opens
    // it; nullptr, with the reason in error, when it cannot be.
    std::unique_ptr<MyDocument> openDocument(QString* error)
    {
        store::StoreError storeError;
        auto context =
            store::Context::open(StoreFiles::pathForDataFile(), TodoModel::shared(), scheduler, &storeError);
        if (!context) {
            *error = storeError.message;
            return nullptr;
        }
        return std::make_unique<MyDocument>(services, std::move(context));
    }

    TempHome home;
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    Preferences preferences;
    NotificationCenter notifications;
    AlertsType alerts;
    Services services;

private:
    void wire()
    {
        services.clock = &clock;
        services.scheduler = &scheduler;
        services.preferences = &preferences;
        services.notifications = &notifications;
        services.alerts = &alerts;
    }
};

// A sync engine that answers from its fields and sends nothing; sendItemToServer() is
// recorded. Fakes override what else they record.
class StubSyncEngine : public SyncEngineInterface {
public:
    std::optional<qint64> serverTime;
    bool online = true;
    bool editing = false;
    bool itemsAreEdited = false;
    bool projectsAreEdited = false;
    QStringList calls;

    std::optional<qint64> getServerSecondsSince1970() const override { return serverTime; }
    bool isOnline() const override { return online; }
    bool uiIsEditing() const override { return editing; }
    void setItemsAreEdited(bool edited) override { itemsAreEdited = edited; }
    void setProjectsAreEdited(bool edited) override { projectsAreEdited = edited; }
    void sendEditedItemsToServer() override {}
    void sendEditedProjectsToServer() override {}
    bool sendItemToServer(TODOItem* item) override
    {
        calls << QStringLiteral("sendItem ") + item->name();
        return true;
    }
};

// The window half of a document: the project list it is given, an item filter, and a record
// of the calls.
class RecordingWindow : public DocumentWindow {
public:
    ProjectList* list = nullptr;
    Predicate filter;
    QStringList calls;

    ProjectList* projectList() override { return list; }
    void changeFiltersToNormal() override { calls << QStringLiteral("changeFiltersToNormal"); }
    void updateFilters() override { calls << QStringLiteral("updateFilters"); }
    Predicate userFilterPredicate() const override { return filter; }
    void startObservingSyncEngine() override { calls << QStringLiteral("startObservingSyncEngine"); }
    void startCalendarSyncTimer() override { calls << QStringLiteral("startCalendarSyncTimer"); }
    void stopObserving() override { calls << QStringLiteral("stopObserving"); }
    void inboxItemAdded(TODOItem* item) override
    {
        calls << QStringLiteral("inboxItemAdded ") + item->name();
    }
};

// The names and the indexes of objects, in order, to compare lists by.
inline QStringList names(const std::vector<store::ManagedObject*>& objects)
{
    QStringList out;
    for (const store::ManagedObject* object : objects)
        out << object->value(QStringLiteral("name")).toString();
    return out;
}

// The sorted names of an entity's objects in a store file, as another reader sees them.
inline QStringList namesInStoreFile(const QString& path, const QString& entity = TODOList::staticEntityName())
{
    ManualScheduler scheduler;
    store::StoreError error;
    auto context = store::Context::open(path, TodoModel::shared(), scheduler, &error);
    if (!context)
        return {QStringLiteral("<unreadable: %1>").arg(error.message)};
    QStringList found = names(context->objects(entity));
    found.sort();
    return found;
}

inline QStringList indexes(const std::vector<store::ManagedObject*>& objects)
{
    QStringList out;
    for (const store::ManagedObject* object : objects)
        out << QString::number(object->value(QStringLiteral("index")).toLongLong());
    return out;
}

} // namespace qv::test
