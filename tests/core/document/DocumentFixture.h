#pragma once

#include "core/document/CalendarSync.h"
#include "core/document/Collaboration.h"
#include "core/document/MyDocument.h"
#include "core/document/ProjectList.h"
#include "core/document/RemindersSync.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "platform/store/Context.h"
#include "tests/support/DocumentFakes.h"
#include "tests/support/TestData.h"

#include <QStringList>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace qv::test {

// Records what the document asks of the sync engine.
class FakeSyncEngine : public StubSyncEngine {
public:
    void sendEditedItemsToServer() override { calls << QStringLiteral("sendEditedItems"); }
    void sendEditedProjectsToServer() override { calls << QStringLiteral("sendEditedProjects"); }
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
    void updateEventForItem(TODOItem* item, TODOList*) override { updated << item->name(); }
    QStringList updated;
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

// The window half over a store-backed project list.
class FakeWindow : public RecordingWindow {
public:
    explicit FakeWindow(store::Context& context) : projects(context) { list = &projects; }

    FakeProjectList projects;
};

// A document over its own store file in a private home, with fake neighbours and hand-driven
// time, in a zone with daylight saving.
class DocumentFixture : public ::testing::Test, protected FakeServices<> {
protected:
    void SetUp() override
    {
        QString error;
        document = openDocument(&error);
        ASSERT_NE(document, nullptr) << error.toStdString();
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

    FakeSyncEngine sync;
    FakeReminders reminders;
    FakeCalendar calendar;
    FakeCollaboration collaboration;
    const QTimeZone berlin{QByteArrayLiteral("Europe/Berlin")};
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<FakeWindow> window;
};

} // namespace qv::test
