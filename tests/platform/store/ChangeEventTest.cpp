#include "tests/platform/store/StoreFixture.h"

namespace qv::store::test {
namespace {

QSet<QString> keys(std::initializer_list<const char*> names)
{
    QSet<QString> set;
    for (const char* n : names)
        set.insert(QString::fromLatin1(n));
    return set;
}

class ChangeEvents : public ::testing::Test {
protected:
    ChangeEvents()
    {
        context.addChangeObserver([this](const ChangeEvent& e) { events.push_back(e); });
        project = context.insert("Project");
        task = context.insert<Task>("Task");
        task->setProject(project);
        context.processPendingChanges();
        scheduler.runPosted();
        events.clear();
    }

    const ChangeEvent& only()
    {
        EXPECT_EQ(events.size(), 1u);
        static const ChangeEvent none;
        return events.empty() ? none : events.back();
    }

    ManualScheduler scheduler;
    Model model = testModel();
    Context context{model, scheduler};
    std::vector<ChangeEvent> events;
    ManagedObject* project = nullptr;
    Task* task = nullptr;
};

using ChangeEventPosting = ChangeEvents;

TEST_F(ChangeEventPosting, GivenTheFirstMutation_ThenOneProcessingIsPostedAndItDeliversOneEventForAll)
{
    task->setName("a");
    EXPECT_EQ(scheduler.pendingPosts(), 1);
    task->setValue("index", 2);
    project->setValue("name", "p");
    EXPECT_EQ(scheduler.pendingPosts(), 1);
    EXPECT_TRUE(events.empty());

    scheduler.runPosted();

    const ChangeEvent& e = only();
    EXPECT_EQ(e.updated, (std::vector<ManagedObject*>{task, project}));
    EXPECT_EQ(e.changedKeys.value(task), keys({"name", "index"}));
    EXPECT_EQ(e.changedKeys.value(project), keys({"name"}));
    EXPECT_FALSE(e.isUndo || e.isRedo);
}

TEST_F(ChangeEventPosting, GivenAnExplicitProcessingOrAGoneContext_ThenThePostedProcessingDeliversNothing)
{
    task->setName("a");
    context.processPendingChanges();
    EXPECT_EQ(events.size(), 1u);
    EXPECT_TRUE(task->changedKeysInCurrentEvent().isEmpty());
    scheduler.runPosted();
    EXPECT_EQ(events.size(), 1u);

    auto other = std::make_unique<Context>(model, scheduler);
    other->insert("Task");
    other.reset();
    scheduler.runPosted(); // must not touch the destroyed context
    SUCCEED();
}

using EqualValues = ChangeEvents;

TEST_F(EqualValues, GivenAnEqualValueOfAnotherType_ThenNothingIsRecordedButNullAndEmptyTextDiffer)
{
    task->setValue("index", 5);
    context.processPendingChanges();
    events.clear();

    task->setValue("index", qint64(5));
    task->setValue("index", 5.0);
    task->setValue("dueDate", QVariant());
    task->setValue("name", QString()); // null text on a null attribute
    task->setValue("effort", QVariant::fromValue(nullptr));
    project->setValue("archived", QVariant());
    task->setToOne("project", project);
    context.processPendingChanges();

    EXPECT_TRUE(events.empty());
    EXPECT_EQ(scheduler.pendingPosts(), 1); // only the one from the first change

    task->setValue("name", QLatin1String(""));
    context.processPendingChanges();
    EXPECT_EQ(only().changedKeys.value(task), keys({"name"}));
    EXPECT_FALSE(task->isNull("name"));
}

using RevertedKeys = ChangeEvents;

TEST_F(RevertedKeys,
       GivenAKeyChangedBackOrAnObjectInsertedAndDeletedInOneEvent_ThenNeitherIsReportedNorTheirNeighbours)
{
    ManagedObject* passing = context.insert("Task");
    passing->setToOne("project", project);
    context.deleteObject(passing);
    task->setName("temporary");
    task->setName(QString());
    project->setValue("index", 1);
    project->setValue("index", QVariant());
    project->setValue("name", "kept");
    ManagedObject* other = context.insert("Project");
    task->setProject(other);
    task->setProject(project);
    context.processPendingChanges();

    const ChangeEvent& e = only();
    EXPECT_EQ(e.updated, std::vector<ManagedObject*>{project});
    EXPECT_EQ(e.changedKeys.value(project), keys({"name"}));
    EXPECT_FALSE(e.changedKeys.contains(task));
    EXPECT_EQ(e.inserted, std::vector<ManagedObject*>{other});
    EXPECT_TRUE(e.deleted.empty());
    EXPECT_FALSE(passing->isInserted());
    EXPECT_TRUE(passing->isDeleted());
}

using EventContents = ChangeEvents;

TEST_F(EventContents, GivenAnInsertThenADelete_ThenEveryKeySetAtInsertIsReportedAndTheRelationsUpdated)
{
    auto* fresh = context.insert<Task>("Task");
    fresh->setName("new");
    fresh->setProject(project);
    context.processPendingChanges();

    const ChangeEvent& e = only();
    EXPECT_EQ(e.inserted, std::vector<ManagedObject*>{fresh});
    EXPECT_EQ(e.changedKeys.value(fresh), keys({"name", "state", "done", "project"}));
    EXPECT_EQ(e.updated, std::vector<ManagedObject*>{project});
    EXPECT_EQ(e.changedKeys.value(project), keys({"tasks"}));
    EXPECT_EQ(fresh->insertedCount, 1);

    events.clear();
    context.deleteObject(task);
    context.processPendingChanges();
    const ChangeEvent& deleted = only();
    EXPECT_EQ(deleted.deleted, std::vector<ManagedObject*>{task});
    EXPECT_TRUE(deleted.changedKeys.value(task).contains("project"));
    EXPECT_EQ(deleted.updated, std::vector<ManagedObject*>{project});
    EXPECT_EQ(deleted.changedKeys.value(project), keys({"tasks"}));
}

TEST_F(EventContents, GivenObjectsInsertedAlikeAndUnlike_ThenEachReportsItsKeysAndAlikeOnesShareOneSet)
{
    std::vector<Task*> alike;
    for (int i = 0; i < 3; ++i) {
        alike.push_back(context.insert<Task>("Task"));
        alike.back()->setName("new");
        alike.back()->setValue("starred", true);
    }
    auto* unlike = context.insert<Task>("Task");
    unlike->setProject(project);
    context.processPendingChanges();

    const ChangeEvent& e = only();
    for (Task* t : alike)
        EXPECT_EQ(e.changedKeys.value(t), keys({"name", "state", "done", "starred"}));
    EXPECT_EQ(e.changedKeys.value(unlike), keys({"state", "done", "project"}));
    // One copy for the objects inserted alike, not one each.
    const QSet<QString> first = e.changedKeys.value(alike[0]);
    const QSet<QString> second = e.changedKeys.value(alike[2]);
    EXPECT_EQ(&*first.constBegin(), &*second.constBegin());

    // A caller that edits the set it was given (the unsaved keys leave out transient ones)
    // changes no other object's keys.
    EXPECT_EQ(alike[1]->changedKeysSinceSave(), keys({"name", "state", "done"}));
    events.clear();
    auto* later = context.insert<Task>("Task");
    later->setName("later");
    later->setValue("starred", true);
    context.processPendingChanges();
    EXPECT_EQ(only().changedKeys.value(later), keys({"name", "state", "done", "starred"}));
}

TEST_F(EventContents, GivenATransientChange_ThenItIsReportedButNeverSaved)
{
    task->setValue("starred", true);
    EXPECT_TRUE(task->boolValue("starred"));
    context.processPendingChanges();
    EXPECT_EQ(only().changedKeys.value(task), keys({"starred"}));
    EXPECT_FALSE(task->changedKeysSinceSave().contains("starred"));
    EXPECT_EQ(context.undoManager()->undoCount(), 1); // the setup's insert only
}

TEST_F(EventContents, GivenSeveralValuesSetInOneCall_ThenOneEventHasWhatChangedAndOneUndoRestoresIt)
{
    task->setName("before");
    context.processPendingChanges();
    events.clear();
    const int undoCount = context.undoManager()->undoCount();
    const auto at = [this](const char* key) {
        return task->entity().attributeIndex(QString::fromLatin1(key));
    };

    task->setValues({{at("name"), "after"},
                     {at("index"), 1},
                     {at("index"), 2},         // the later value wins
                     {at("state"), qint64(0)}, // equal: not a change
                     {at("serverID"), 7},
                     {at("starred"), true}});
    context.processPendingChanges();

    EXPECT_EQ(only().changedKeys.value(task), keys({"name", "index", "serverID", "starred"}));
    EXPECT_EQ(task->intValue("index"), 2);
    EXPECT_EQ(context.lookupFirst("Task", "serverID", 7), task);
    EXPECT_EQ(context.undoManager()->undoCount(), undoCount + 1);

    context.undoManager()->undo();
    EXPECT_EQ(task->name(), "before");
    EXPECT_TRUE(task->isNull("index") && task->isNull("serverID"));
    EXPECT_EQ(context.lookupFirst("Task", "serverID", 7), nullptr);
}

using ObserverMutations = ChangeEvents;

TEST_F(ObserverMutations, GivenAnObserverThatChangesObjects_ThenItsChangesFormTheNextEvent)
{
    context.addChangeObserver([this](const ChangeEvent& e) {
        for (ManagedObject* o : e.updated) {
            if (o == task && !e.changedKeys.value(o).contains("state"))
                task->setValue("state", 1);
        }
    });
    std::vector<QSet<QString>> seenInside;
    context.addChangeObserver(
        [this, &seenInside](const ChangeEvent&) { seenInside.push_back(task->changedKeysInCurrentEvent()); });

    task->setName("renamed");
    context.processPendingChanges();

    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].changedKeys.value(task), keys({"name"}));
    ASSERT_EQ(seenInside.size(), 1u);
    EXPECT_TRUE(seenInside[0].contains("name"));
    EXPECT_EQ(task->changedKeysInCurrentEvent(), keys({"state"}));
    EXPECT_EQ(scheduler.pendingPosts(), 1);

    scheduler.runPosted();

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].changedKeys.value(task), keys({"state"}));
    EXPECT_TRUE(task->changedKeysInCurrentEvent().isEmpty());
}

TEST_F(ObserverMutations, GivenAnObserverThatRemovesAnother_ThenTheRemovedOneIsNotCalled)
{
    int calls = 0;
    Context::ObserverId second = 0;
    context.addChangeObserver([&](const ChangeEvent&) { context.removeChangeObserver(second); });
    second = context.addChangeObserver([&](const ChangeEvent&) { ++calls; });
    task->setName("x");
    context.processPendingChanges();
    EXPECT_EQ(calls, 0);
}

using SinceSave = StoreFixture;

TEST_F(SinceSave, GivenASavedObject_WhenChanged_ThenItKnowsItsCommittedValuesUntilTheNextSave)
{
    auto context = openStore();
    auto* task = context->insert<Task>("Task");
    task->setName("saved");
    EXPECT_FALSE(task->committedValue("name").isValid()); // inserted: nothing committed yet
    ASSERT_TRUE(context->save());

    task->setName("edited");
    task->setValue("index", 3);
    task->setValue("index", QVariant());
    context->processPendingChanges();

    EXPECT_TRUE(task->isUpdated());
    EXPECT_EQ(task->changedKeysSinceSave(), keys({"name"}));
    EXPECT_EQ(task->committedValue("name").toString(), "saved");
    EXPECT_EQ(task->committedValue("state").toLongLong(), 0);
    ASSERT_TRUE(context->save());
    EXPECT_FALSE(task->isUpdated());
    EXPECT_TRUE(task->changedKeysSinceSave().isEmpty());
    EXPECT_EQ(task->committedValue("name").toString(), "edited");
}

} // namespace
} // namespace qv::store::test
