#pragma once

#include "app/CalendarSync.h"
#include "app/Collaboration.h"
#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "app/ProjectList.h"
#include "app/RemindersSync.h"
#include "app/StoreFiles.h"
#include "app/SyncEngine.h"
#include "app/TODOItem.h"
#include "app/TODOList.h"
#include "app/TodoModel.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "tests/support/TestEnvironment.h"

#include <QStringList>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace qv::test {

// Records what the document asks of the sync engine.
class FakeSyncEngine : public SyncEngineInterface {
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
    void sendEditedItemsToServer() override { calls << QStringLiteral("sendEditedItems"); }
    void sendEditedProjectsToServer() override { calls << QStringLiteral("sendEditedProjects"); }
    bool sendItemToServer(TODOItem* item) override
    {
        calls << QStringLiteral("sendItem ") + item->name();
        return true;
    }
};

class FakeReminders : public RemindersSyncInterface {
public:
    int events = 0;
    bool objectContextDidChanged(const store::ChangeEvent&) override
    {
        ++events;
        return false;
    }
};

class FakeCalendar : public CalendarSyncInterface {
public:
    int observing = 0;
    QStringList deleted;
    void startObservingCalendarNotifications() override { ++observing; }
    void deleteEventForItem(TODOItem* item, TODOList*) override { deleted << item->name(); }
};

class FakeCollaboration : public CollaborationInterface {
public:
    std::optional<QString> me;
    std::optional<QString> myUsername() const override { return me; }
};

// The store's project list with a selection.
class FakeProjectList : public ProjectList {
public:
    explicit FakeProjectList(store::Context& context) : store(context) {}

    StoreProjectList store;
    TODOList* selected = nullptr;
    QStringList calls;

    TODOList* getSelectedProject() const override { return selected; }
    std::vector<TODOList*> getAllProjects() const override { return store.getAllProjects(); }
    int numProjects() const override { return store.numProjects(); }
    TODOList* newProjectForCloning() override { return store.newProjectForCloning(); }
    TODOList* addNewProjectWithName(const QString& name) override
    {
        return store.addNewProjectWithName(name);
    }
    void adjustIndices() override { calls << QStringLiteral("adjustIndices"); }
    void rearrange() override { calls << QStringLiteral("rearrange"); }
};

// The window half: a store-backed project list and a record of the calls.
class FakeWindow : public DocumentWindow {
public:
    explicit FakeWindow(store::Context& context) : list(context) {}

    FakeProjectList list;
    Predicate filter;
    QStringList calls;

    ProjectList* projectList() override { return &list; }
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

// A document over its own store file in a private home, with fake neighbours and hand-driven
// time, in a zone with daylight saving.
class DocumentFixture : public ::testing::Test {
protected:
    DocumentFixture() : preferences(home.root() + QStringLiteral("/prefs.conf"))
    {
        services.clock = &clock;
        services.scheduler = &scheduler;
        services.preferences = &preferences;
        services.notifications = &notifications;
        services.alerts = &alerts;
    }

    void SetUp() override
    {
        store::StoreError error;
        auto context =
            store::Context::open(StoreFiles::pathForDataFile(), TodoModel::shared(), scheduler, &error);
        ASSERT_NE(context, nullptr) << error.message.toStdString();
        document = std::make_unique<MyDocument>(services, std::move(context));
        document->setTimeZone(berlin);
        document->setSyncEngine(&sync);
        document->setRemindersSync(&reminders);
        document->setCalendarSync(&calendar);
        document->setCollaboration(&collaboration);
        window = std::make_unique<FakeWindow>(document->context());
        document->setWindow(window.get());
    }

    void TearDown() override
    {
        document.reset();
        window.reset();
    }

    store::Context& context() { return document->context(); }

    // Berlin wall-clock time as UTC.
    QDateTime berlinTime(int year, int month, int day, int hour, int minute = 0) const
    {
        return QDateTime(QDate(year, month, day), QTime(hour, minute), berlin).toUTC();
    }

    TODOList* addProject(const QString& name, qint64 id = 0)
    {
        auto* project = context().insert<TODOList>(TODOList::staticEntityName());
        project->setName(name);
        project->setId_(id);
        return project;
    }

    TempHome home;
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    Preferences preferences;
    NotificationCenter notifications;
    ScriptedAlerts alerts;
    Services services;
    FakeSyncEngine sync;
    FakeReminders reminders;
    FakeCalendar calendar;
    FakeCollaboration collaboration;
    const QTimeZone berlin{QByteArrayLiteral("Europe/Berlin")};
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<FakeWindow> window;
};

} // namespace qv::test
