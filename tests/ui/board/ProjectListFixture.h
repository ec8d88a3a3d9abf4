#pragma once

#include "app/DocumentWindow.h"
#include "app/ListTag.h"
#include "app/MyDocument.h"
#include "app/StoreFiles.h"
#include "app/SyncEngine.h"
#include "app/TODOItem.h"
#include "app/TODOList.h"
#include "app/TagManager.h"
#include "app/TodoModel.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "tests/support/TestEnvironment.h"
#include "ui/board/ProjectListController.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace qv::test {

// Records the editing lock and the sends the panels ask for.
class RecordingSyncEngine : public SyncEngineInterface {
public:
    QStringList calls;
    QStringList lockCalls; // "+component" / "-component"
    QSet<QString> holders;

    std::optional<qint64> getServerSecondsSince1970() const override { return std::nullopt; }
    bool isOnline() const override { return true; }
    bool uiIsEditing() const override { return !holders.isEmpty(); }
    void setItemsAreEdited(bool) override {}
    void setProjectsAreEdited(bool) override {}
    void sendEditedItemsToServer() override {}
    void sendEditedProjectsToServer() override {}
    bool sendItemToServer(TODOItem* item) override
    {
        calls << QStringLiteral("sendItem ") + item->name();
        return true;
    }
    void setEditing(bool editing, const QString& component) override
    {
        lockCalls << (editing ? QStringLiteral("+") : QStringLiteral("-")) + component;
        if (editing)
            holders.insert(component);
        else
            holders.remove(component);
    }
};

// The window half, as far as the document asks for the project list and the item filter.
class ListWindow : public DocumentWindow {
public:
    ProjectList* list = nullptr;
    Predicate filter;
    QStringList calls;

    ProjectList* projectList() override { return list; }
    void changeFiltersToNormal() override {}
    void updateFilters() override {}
    Predicate userFilterPredicate() const override { return filter; }
    void startObservingSyncEngine() override {}
    void startCalendarSyncTimer() override {}
    void stopObserving() override {}
    void inboxItemAdded(TODOItem* item) override
    {
        calls << QStringLiteral("inboxItemAdded ") + item->name();
    }
};

// What the project list asks of the window, recorded.
class RecordingHost : public ProjectListHost {
public:
    bool filteringItems = false;
    bool refuseFirstResponder = false;
    QString search = QStringLiteral("");
    QStringList messages;
    int deselects = 0;
    int firstQuadrantRequests = 0;
    std::optional<bool> showingArchived;

    void deselectItems() override { ++deselects; }
    bool isFilteringItems() const override { return filteringItems; }
    QString searchString() const override { return search; }
    void setIsShowingArchived(bool showing) override { showingArchived = showing; }
    void setNoQuadrantsMessageLabel(const QString& text) override { messages << text; }
    void enableFirstQuadrantAndSelectRow(int) override { ++firstQuadrantRequests; }
    bool makeWindowFirstResponder() override { return !refuseFirstResponder; }
};

// A document over its own store in a private home, the window's project list, and hand-driven
// time. Projects and items made here are known to the list once settle() has run.
class ProjectListFixture : public ::testing::Test {
protected:
    ProjectListFixture() : preferences(home.root() + QStringLiteral("/prefs.conf"))
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
        document->setSyncEngine(&sync);
        document->setWindow(&window);
    }

    void TearDown() override
    {
        list.reset();
        document.reset();
    }

    // The list over what the store holds now.
    ProjectListController& makeList()
    {
        settle();
        list = std::make_unique<ProjectListController>(*document, services);
        list->setHost(&host);
        window.list = list.get();
        return *list;
    }

    store::Context& context() { return document->context(); }
    void settle() { scheduler.runPosted(); }

    TODOList* addProject(const QString& name, qint64 index = 0, qint64 id = 0)
    {
        auto* project = context().insert<TODOList>(TODOList::staticEntityName());
        project->setName(name);
        project->setIndex(index);
        project->setId_(id);
        return project;
    }

    TODOItem* addItem(TODOList* project, const QString& name, qint64 quadrant = 0, qint64 state = 0)
    {
        auto* item = context().insert<TODOItem>(TODOItem::staticEntityName());
        item->setName(name);
        item->setQuadrant(quadrant);
        item->setState(state);
        if (project)
            project->addItem(item);
        return item;
    }

    void tag(TODOList* project, const QString& name)
    {
        project->addTagsObject(TagManager::getListTagForName(name, context()));
    }

    QStringList rowNames() const
    {
        QStringList names;
        for (int row = 0; row < list->rowCount(); ++row)
            names << list->getProjectAtRow(row)->name();
        return names;
    }

    QString selectedName() const
    {
        const std::vector<store::ManagedObject*> selected =
            list->displayProjectsArrayController().selectedObjects();
        return selected.size() == 1 ? selected.front()->stringValue(QStringLiteral("name")) : QString();
    }

    TempHome home;
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    Preferences preferences;
    NotificationCenter notifications;
    ScriptedAlerts alerts;
    Services services;
    RecordingSyncEngine sync;
    ListWindow window;
    RecordingHost host;
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<ProjectListController> list;
};

} // namespace qv::test
