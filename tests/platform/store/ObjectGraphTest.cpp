#include "tests/platform/store/StoreFixture.h"

namespace qv::store::test {
namespace {

class ObjectGraph : public ::testing::Test {
protected:
    ManualScheduler scheduler;
    Model model = testModel();
    Context context{model, scheduler};
};

using Inverses = ObjectGraph;

TEST_F(Inverses, GivenATaskMovedByItsToOneOrByAnotherProjectsList_ThenBothProjectsFollow)
{
    ManagedObject* a = context.insert("Project");
    ManagedObject* b = context.insert("Project");
    auto* task = context.insert<Task>("Task");

    task->setProject(a);
    EXPECT_TRUE(a->containsInMany("tasks", task));
    task->setProject(b);
    EXPECT_FALSE(a->containsInMany("tasks", task));
    EXPECT_EQ(b->toMany("tasks"), std::vector<ManagedObject*>{task});
    task->setProject(nullptr);
    EXPECT_TRUE(b->toMany("tasks").empty());

    a->addToMany("tasks", task);
    a->addToMany("tasks", task); // no repeats
    b->addToMany("tasks", task);
    EXPECT_TRUE(a->toMany("tasks").empty());
    EXPECT_EQ(task->project(), b);
    b->removeFromMany("tasks", task);
    EXPECT_EQ(task->project(), nullptr);
}

TEST_F(Inverses, GivenManyToManyOrOneToOne_ThenBothSidesChangeTogetherAndAFormerPartnerLetsGo)
{
    ManagedObject* tag = context.insert("Tag");
    ManagedObject* t1 = context.insert("Task");
    ManagedObject* t2 = context.insert("Task");
    t1->addToMany("tags", tag);
    tag->addToMany("tasks", t2);
    EXPECT_EQ(tag->toMany("tasks"), (std::vector<ManagedObject*>{t1, t2}));
    EXPECT_TRUE(t2->containsInMany("tags", tag));
    tag->removeFromMany("tasks", t1);
    EXPECT_FALSE(t1->containsInMany("tags", tag));

    ManagedObject* note = context.insert("Note");
    t1->setToOne("note", note);
    t2->setToOne("note", note);
    EXPECT_EQ(t1->toOne("note"), nullptr);
    EXPECT_EQ(note->toOne("task"), t2);
}

TEST_F(Inverses, GivenAWrongOrDeletedDestination_ThenTheChangeIsRefused)
{
    ManagedObject* task = context.insert("Task");
    ManagedObject* tag = context.insert("Tag");
    ManagedObject* gone = context.insert("Project");
    context.deleteObject(gone);
    task->setToOne("project", gone);
    EXPECT_EQ(task->toOne("project"), nullptr);
    task->addToMany("tags", context.insert("Note"));
    EXPECT_TRUE(task->toMany("tags").empty());
    context.deleteObject(task);
    task->addToMany("tags", tag);
    EXPECT_TRUE(tag->toMany("tasks").empty());
}

using DeleteRules = ObjectGraph;

TEST_F(DeleteRules, GivenNullify_ThenTheDeletedObjectLeavesEveryRelation)
{
    ManagedObject* tag = context.insert("Tag");
    ManagedObject* task = context.insert("Task");
    ManagedObject* project = context.insert("Project");
    task->addToMany("tags", tag);
    project->addToMany("tags", tag);

    context.deleteObject(tag);

    EXPECT_TRUE(tag->isDeleted());
    EXPECT_TRUE(task->toMany("tags").empty());
    EXPECT_TRUE(project->toMany("tags").empty());
    EXPECT_FALSE(task->isDeleted());
    EXPECT_EQ(context.count("Tag"), 0);
}

TEST_F(DeleteRules, GivenCascade_ThenDestinationsAreDeletedAlongTheChain)
{
    ManagedObject* project = context.insert("Project");
    ManagedObject* task = context.insert("Task");
    ManagedObject* note = context.insert("Note");
    ManagedObject* tag = context.insert("Tag");
    task->setToOne("project", project);
    task->setToOne("note", note);
    task->addToMany("tags", tag);
    note->setValue("text", "still readable");

    context.deleteObject(project);

    EXPECT_TRUE(task->isDeleted());
    EXPECT_TRUE(note->isDeleted());
    EXPECT_FALSE(tag->isDeleted()); // nullify only
    EXPECT_TRUE(tag->toMany("tasks").empty());
    EXPECT_EQ(note->stringValue("text"), "still readable");
    EXPECT_TRUE(context.objects("Task").empty());
}

using Lookups = ObjectGraph;

TEST_F(Lookups, GivenAnIndexedAttribute_ThenTheIndexFollowsEveryChange)
{
    auto* a = context.insert<Task>("Task");
    auto* b = context.insert<Task>("Task");
    a->setValue("serverID", 42);
    b->setValue("serverID", 42);
    EXPECT_EQ(context.lookup("Task", "serverID", qint64(42)), (std::vector<ManagedObject*>{a, b}));
    EXPECT_EQ(context.lookupFirst("Task", "serverID", 42.0), a);

    a->setValue("serverID", 7);
    EXPECT_EQ(context.lookup("Task", "serverID", 42), std::vector<ManagedObject*>{b});
    EXPECT_EQ(context.lookupFirst("Task", "serverID", "7"), a);

    context.processPendingChanges();
    context.deleteObject(b);
    EXPECT_TRUE(context.lookup("Task", "serverID", 42).empty());
    context.undoManager()->undo();
    EXPECT_EQ(context.lookupFirst("Task", "serverID", 42), b);
}

TEST_F(Lookups, GivenManyObjectsSharingAKey_WhenTheyGetTheirOwnValues_ThenEachIsFoundByItsOwn)
{
    std::vector<ManagedObject*> tasks;
    for (int i = 0; i < 20'000; ++i) {
        tasks.push_back(context.insert("Task"));
        tasks.back()->setValue("serverID", 0); // not uploaded yet
    }
    EXPECT_EQ(context.lookup("Task", "serverID", 0).size(), tasks.size());
    for (size_t i = 0; i < tasks.size(); ++i)
        tasks[i]->setValue("serverID", qint64(i) + 1);
    EXPECT_TRUE(context.lookup("Task", "serverID", 0).empty());
    EXPECT_EQ(context.lookupFirst("Task", "serverID", 12'345), tasks[12'344]);
}

TEST_F(Lookups, GivenTextAndUnindexedAttributes_ThenLookupsMatchByValue)
{
    ManagedObject* tag = context.insert("Tag");
    tag->setValue("name", QStringLiteral("Büro"));
    auto* task = context.insert<Task>("Task");
    task->setName("plain");
    EXPECT_EQ(context.lookupFirst("Tag", "name", QStringLiteral("Büro")), tag);
    EXPECT_EQ(context.lookupFirst("Tag", "name", QStringLiteral("büro")), nullptr);
    EXPECT_EQ(context.lookupFirst("Task", "name", "plain"), task);
    EXPECT_EQ(context.lookup("Task", "state", 0).size(), 1u);
    EXPECT_TRUE(context.lookup("Task", "serverID", "not a number").empty());
    EXPECT_EQ(context.lookupFirst("Task", "serverID", QVariant()), task);
}

using Factories = ObjectGraph;

TEST_F(Factories, GivenAnEntityWithAFactory_ThenItsObjectsAreOfThatClassAndOthersArePlain)
{
    ManagedObject* task = context.insert("Task");
    ManagedObject* tag = context.insert("Tag");
    ASSERT_NE(as<Task>(task), nullptr);
    EXPECT_EQ(as<Task>(task)->insertedCount, 1);
    EXPECT_EQ(as<Task>(tag), nullptr);
    EXPECT_EQ(tag->entityName(), "Tag");
    EXPECT_EQ(tag->context(), &context);
    EXPECT_EQ(context.objectWithID("Tag", tag->objectID()), tag);
}

} // namespace
} // namespace qv::store::test
