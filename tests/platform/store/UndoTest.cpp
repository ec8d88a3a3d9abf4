#include "tests/platform/store/StoreFixture.h"

namespace qv::store::test {
namespace {

class Undo : public ::testing::Test {
protected:
    Undo()
    {
        context.addChangeObserver([this](const ChangeEvent& e) {
            events.push_back(e);
            log.push_back(e.isUndo ? "undo event" : e.isRedo ? "redo event" : "event");
        });
        undo()->setDidUndoHandler([this] { log.push_back("did undo"); });
        undo()->setDidRedoHandler([this] { log.push_back("did redo"); });
        project = context.insert("Project");
        other = context.insert("Project");
        task = context.insert<Task>("Task");
        task->setName("original");
        task->setProject(project);
        tag = context.insert("Tag");
        task->addToMany("tags", tag);
        note = context.insert("Note");
        task->setToOne("note", note);
        settle();
        undo()->removeAllActions();
    }

    void settle()
    {
        context.processPendingChanges();
        scheduler.runPosted();
        events.clear();
        log.clear();
    }
    UndoManager* undo() { return context.undoManager(); }

    ManualScheduler scheduler;
    Model model = testModel();
    Context context{model, scheduler};
    std::vector<ChangeEvent> events;
    std::vector<std::string> log;
    ManagedObject* project = nullptr;
    ManagedObject* other = nullptr;
    Task* task = nullptr;
    ManagedObject* tag = nullptr;
    ManagedObject* note = nullptr;
};

TEST_F(Undo, GivenAnInsertion_WhenUndone_ThenTheHandlerSeesTheObjectWhileItStillHoldsItsValues)
{
    std::vector<std::string> seen;
    undo()->setWillUndoHandler([&](const std::vector<ManagedObject*>& removed) {
        for (ManagedObject* object : removed)
            seen.push_back(object->isDeleted() ? "deleted"
                                               : static_cast<Task*>(object)->name().toStdString());
    });
    auto* added = context.insert<Task>("Task");
    added->setName("added");
    task->setName("renamed");
    settle();

    undo()->undo();
    EXPECT_EQ(seen, std::vector<std::string>{"added"});
    EXPECT_TRUE(added->isDeleted());
    // Redo, and an undo that takes nothing out, tell nothing.
    undo()->redo();
    task->setName("again");
    settle();
    undo()->undo();
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(Undo, GivenAnUndoObserver_ThenItLearnsEachChangeOfWhatCanBeUndone_AlsoWhenNoChangeEventTellsOfIt)
{
    std::vector<std::string> told;
    const Context::ObserverId id = context.addUndoObserver([&] {
        const UndoManager* manager = context.undoManager();
        told.push_back(!manager ? "away"
                                : std::string(manager->canUndo() ? "undo" : "-") +
                                      (manager->canRedo() ? "+redo" : ""));
    });
    task->setName("renamed");
    settle();
    EXPECT_EQ(told, std::vector<std::string>{"undo"});

    // Set aside around a write that is no step of the history, and brought back after its event.
    std::unique_ptr<UndoManager> parked = context.takeUndoManager();
    task->setValue("index", 3);
    context.processPendingChanges();
    context.setUndoManager(std::move(parked));
    EXPECT_EQ(told, (std::vector<std::string>{"undo", "away", "undo"}));

    told.clear();
    undo()->undo();
    undo()->redo();
    undo()->removeAllActions();
    EXPECT_EQ(told, (std::vector<std::string>{"-+redo", "undo", "-"}));

    context.removeUndoObserver(id);
    task->setName("again");
    settle();
    EXPECT_EQ(told.size(), 3u);
}

using UndoAttributes = Undo;

TEST_F(UndoAttributes, GivenARename_WhenUndoneAndRedone_ThenObserversSeeUndoAndRedoEventsBeforeTheHandlers)
{
    task->setName("renamed");
    settle();
    ASSERT_TRUE(undo()->canUndo());

    undo()->undo();
    EXPECT_EQ(task->name(), "original");
    EXPECT_EQ(log, (std::vector<std::string>{"undo event", "did undo"}));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].isUndo);
    EXPECT_TRUE(events[0].changedKeys.value(task).contains("name"));
    EXPECT_FALSE(undo()->canUndo());
    ASSERT_TRUE(undo()->canRedo());

    undo()->redo();
    EXPECT_EQ(task->name(), "renamed");
    EXPECT_EQ(log, (std::vector<std::string>{"undo event", "did undo", "redo event", "did redo"}));
    EXPECT_TRUE(events.back().isRedo);
    EXPECT_TRUE(undo()->canUndo());
}

TEST_F(UndoAttributes, GivenChangesInOneEvent_ThenTheyAreUndoneTogetherAndEachEventIsItsOwnGroupUpToTheLimit)
{
    task->setName("one");
    task->setValue("index", 1);
    settle();
    task->setValue("index", 2);
    settle();
    EXPECT_EQ(undo()->undoCount(), 2);

    undo()->undo();
    EXPECT_EQ(task->intValue("index"), 1);
    EXPECT_EQ(task->name(), "one");
    undo()->undo();
    EXPECT_TRUE(task->isNull("index"));
    EXPECT_EQ(task->name(), "original");

    // With a limit, only the newest groups are kept.
    undo()->setLevelsOfUndo(2);
    for (int i = 0; i < 4; ++i) {
        task->setValue("index", i);
        settle();
    }
    EXPECT_EQ(undo()->undoCount(), 2);
    for (int i = 0; i < 3; ++i)
        undo()->undo();
    EXPECT_EQ(task->intValue("index"), 1);
}

TEST_F(UndoAttributes,
       GivenPendingChangesOrANewChangeAfterAnUndo_ThenPendingChangesAreUndoneFirstAndRedoIsGone)
{
    task->setName("pending");
    undo()->undo();
    EXPECT_EQ(task->name(), "original");
    EXPECT_EQ(log.front(), "event"); // the pending change was announced before its undo

    task->setName("a");
    settle();
    undo()->undo();
    task->setName("b");
    settle();
    EXPECT_FALSE(undo()->canRedo());
}

TEST_F(UndoAttributes, GivenAnObserverThatMarksObjectsOnEveryChange_ThenOneUndoTakesBothAndRedoStillWorks)
{
    context.addChangeObserver([this](const ChangeEvent& e) {
        if (e.changedKeys.value(task).contains("name"))
            task->setValue("state", task->intValue("state") + 1);
    });
    task->setName("renamed");
    settle();
    EXPECT_EQ(task->intValue("state"), 1);
    EXPECT_EQ(undo()->undoCount(), 1);

    undo()->undo();
    scheduler.runPosted(); // the observer's answer to the undo
    EXPECT_EQ(task->name(), "original");
    EXPECT_FALSE(undo()->canUndo());
    ASSERT_TRUE(undo()->canRedo());

    undo()->redo();
    scheduler.runPosted();
    EXPECT_EQ(task->name(), "renamed");
    ASSERT_TRUE(undo()->canUndo());
    undo()->undo();
    EXPECT_EQ(task->name(), "original");
}

using UndoInsertDelete = Undo;

TEST_F(UndoInsertDelete, GivenAnInsert_WhenUndone_ThenTheObjectIsDeletedAndRedoBringsTheSameObjectBack)
{
    auto* fresh = context.insert<Task>("Task");
    fresh->setName("fresh");
    fresh->setProject(project);
    const QString uri = fresh->uri();
    settle();

    undo()->undo();
    EXPECT_TRUE(fresh->isDeleted());
    EXPECT_EQ(context.objectForURI(uri), nullptr);
    EXPECT_EQ(project->toMany("tasks").size(), 1u);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].deleted, std::vector<ManagedObject*>{fresh});

    undo()->redo();
    EXPECT_FALSE(fresh->isDeleted());
    EXPECT_EQ(context.objectForURI(uri), fresh);
    EXPECT_EQ(fresh->name(), "fresh");
    EXPECT_EQ(fresh->project(), project);
    EXPECT_EQ(events.back().inserted, std::vector<ManagedObject*>{fresh});
}

TEST_F(UndoInsertDelete, GivenACascadingDelete_WhenUndone_ThenTheSameObjectsReturnWithTheirRelations)
{
    auto* second = context.insert<Task>("Task");
    second->setProject(project);
    settle();
    const qint64 id = task->objectID();
    const QString uri = task->uri();

    context.deleteObject(project);
    settle();
    ASSERT_TRUE(task->isDeleted());
    ASSERT_TRUE(note->isDeleted());
    EXPECT_TRUE(tag->toMany("tasks").empty());

    undo()->undo();
    EXPECT_FALSE(project->isDeleted());
    EXPECT_EQ(project->toMany("tasks"), (std::vector<ManagedObject*>{task, second}));
    EXPECT_EQ(task->project(), project);
    EXPECT_EQ(task->objectID(), id);
    EXPECT_EQ(context.objectForURI(uri), task);
    EXPECT_EQ(task->toOne("note"), note);
    EXPECT_EQ(note->toOne("task"), task);
    EXPECT_TRUE(tag->containsInMany("tasks", task));
    EXPECT_EQ(context.lookupFirst("Project", "id_", QVariant()), project);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].inserted.size(), 4u);
}

using UndoRelations = Undo;

TEST_F(UndoRelations, GivenATaskMovedToAnotherProject_WhenUndone_ThenItIsBackInPlaceOnBothSides)
{
    auto* later = context.insert<Task>("Task");
    later->setProject(project);
    settle();

    task->setProject(other);
    task->removeFromMany("tags", tag);
    settle();
    undo()->undo();

    EXPECT_EQ(task->project(), project);
    EXPECT_EQ(project->toMany("tasks"), (std::vector<ManagedObject*>{task, later}));
    EXPECT_TRUE(other->toMany("tasks").empty());
    EXPECT_TRUE(task->containsInMany("tags", tag));
    EXPECT_TRUE(tag->containsInMany("tasks", task));
}

using DetachedUndo = Undo;

TEST_F(DetachedUndo, GivenTheManagerTakenAway_ThenChangesAreNotRecordedUntilItIsBack)
{
    task->setName("recorded");
    settle();
    std::unique_ptr<UndoManager> parked = context.takeUndoManager();
    ASSERT_TRUE(parked);
    EXPECT_EQ(context.undoManager(), nullptr);
    EXPECT_FALSE(parked->canUndo());

    task->setValue("index", 9);
    settle();
    EXPECT_EQ(parked->undoCount(), 1);

    UndoManager* manager = parked.get();
    context.setUndoManager(std::move(parked));
    task->setValue("effort", 2.5);
    settle();
    EXPECT_EQ(manager->undoCount(), 2);
    manager->undo();
    EXPECT_TRUE(task->isNull("effort"));
    manager->undo();
    EXPECT_EQ(task->name(), "original");
    EXPECT_EQ(task->intValue("index"), 9); // made while detached: kept
}

using UndoAndSave = StoreFixture;

TEST_F(UndoAndSave, GivenASavedDelete_WhenUndoneAndSavedAgain_ThenTheFileHasTheObjectBack)
{
    auto context = openStore();
    auto* task = context->insert<Task>("Task");
    task->setName("survivor");
    ASSERT_TRUE(context->save());
    context->deleteObject(task);
    ASSERT_TRUE(context->save());

    context->undoManager()->undo();
    EXPECT_TRUE(context->hasChanges());
    ASSERT_TRUE(context->save());
    const qint64 id = task->objectID();
    context.reset();

    context = openStore();
    auto* back = as<Task>(context->objectWithID("Task", id));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->name(), "survivor");
}

} // namespace
} // namespace qv::store::test
