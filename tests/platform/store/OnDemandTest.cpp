// A store opened OnDemand: objects are read from the file when asked for, and what is saved
// from it reads back as a store loading all of it reads it.
#include "tests/platform/store/StoreFixture.h"

namespace qv::store::test {
namespace {

// Two projects; tasks 1..20 in the first, the even ones tagged "red", task 3 with a note.
class OnDemand : public StoreFixture {
protected:
    void SetUp() override
    {
        auto context = openStore();
        ASSERT_TRUE(context);
        ManagedObject* first = context->insert("Project");
        first->setValue("id_", 1);
        context->insert("Project")->setValue("id_", 2);
        ManagedObject* red = context->insert("Tag");
        red->setValue("name", "red");
        for (int i = 1; i <= 20; ++i) {
            auto* task = context->insert<Task>("Task");
            task->setValue("serverID", i);
            task->setName(QStringLiteral("task %1").arg(i));
            task->setProject(first);
            if (i % 2 == 0)
                task->addToMany("tags", red);
            if (i == 3)
                task->setToOne("note", context->insert("Note"));
        }
        ASSERT_TRUE(context->save());
    }

    std::unique_ptr<Context> openOnDemand()
    {
        StoreError error;
        auto context = Context::open(storePath(), model, scheduler, &error, Context::IntegrityCheck::Run,
                                     Context::Loading::OnDemand);
        EXPECT_TRUE(context) << error.message.toStdString();
        return context;
    }
    static Task* task(Context& context, qint64 serverID)
    {
        return as<Task>(context.lookupFirst("Task", "serverID", serverID));
    }
};

TEST_F(OnDemand, GivenAnObjectAskedFor_ThenItComesWithItsToOnes_AndAToManyIsReadWhenListed)
{
    auto context = openOnDemand();
    ASSERT_TRUE(context);
    EXPECT_EQ(context->count("Task"), 0);
    Task* third = task(*context, 3);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->fetchedCount, 1);
    ASSERT_NE(third->project(), nullptr);
    ASSERT_NE(third->toOne("note"), nullptr);
    EXPECT_EQ(third->toOne("note")->toOne("task"), third);
    EXPECT_EQ(context->count("Task"), 1);
    EXPECT_EQ(context->objectWithID("Task", third->objectID()), third);
    EXPECT_EQ(context->objectForURI(third->project()->uri()), third->project());

    // Read before its tag, the fourth is listed by it; the others come when the list is asked for.
    ManagedObject* red = task(*context, 4)->toMany("tags").front();
    EXPECT_EQ(context->count("Task"), 2);
    EXPECT_EQ(red->toMany("tasks").size(), 10U);
    EXPECT_EQ(third->project()->toMany("tasks").size(), 20U);
    EXPECT_EQ(context->count("Task"), 20);
}

TEST_F(OnDemand,
       GivenEditsOfObjectsReadAndNew_WhenSaved_ThenAStoreLoadingAllReadsThemAndReleasedTheyAreReadAgain)
{
    {
        auto context = openOnDemand();
        ASSERT_TRUE(context);
        context->takeUndoManager();
        Task* fourth = task(*context, 4);
        ManagedObject* second = context->lookupFirst("Project", "id_", 2);
        ASSERT_NE(second, nullptr);
        fourth->setProject(second);
        fourth->removeFromMany("tags", fourth->toMany("tags").front());
        // What memory holds is looked up, not what the file still holds.
        fourth->setValue("serverID", 400);
        EXPECT_EQ(task(*context, 4), nullptr);
        EXPECT_EQ(task(*context, 400), fourth);
        // Numbered past every row of the file.
        auto* added = context->insert<Task>("Task");
        added->setValue("serverID", 21);
        added->setProject(second);
        task(*context, 3)->setName("renamed");
        context->deleteObject(task(*context, 6));

        EXPECT_FALSE(context->releaseObjects()); // unsaved
        ASSERT_TRUE(context->save());
        ASSERT_TRUE(context->releaseObjects());
        EXPECT_EQ(context->count("Task"), 0);
        EXPECT_EQ(task(*context, 400)->project(), context->lookupFirst("Project", "id_", 2));
    }
    auto all = openStore();
    ASSERT_TRUE(all);
    EXPECT_EQ(all->count("Task"), 20);
    ManagedObject* first = all->lookupFirst("Project", "id_", 1);
    ManagedObject* second = all->lookupFirst("Project", "id_", 2);
    EXPECT_EQ(first->toMany("tasks").size(), 18U);
    EXPECT_EQ(second->toMany("tasks").size(), 2U);
    EXPECT_EQ(task(*all, 3)->name(), QStringLiteral("renamed"));
    EXPECT_EQ(task(*all, 6), nullptr);
    EXPECT_EQ(all->lookupFirst("Tag", "name", "red")->toMany("tasks").size(), 8U);
    EXPECT_TRUE(task(*all, 400)->toMany("tags").empty());
}

TEST_F(OnDemand,
       GivenAFileWithoutTheLookupIndexes_WhenOpenedOnDemand_ThenTheyAreMadeAndTheFileStillLoadsWhole)
{
    {
        RawDb db(storePath());
        ASSERT_EQ(db.number("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name LIKE '%_KEY'"),
                  0);
    }
    ASSERT_TRUE(openOnDemand());
    {
        RawDb db(storePath());
        EXPECT_EQ(db.number("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = "
                            "'Z_Task_serverID_KEY'"),
                  1);
    }
    auto all = openStore();
    ASSERT_TRUE(all);
    EXPECT_EQ(all->count("Task"), 20);
}

} // namespace
} // namespace qv::store::test
