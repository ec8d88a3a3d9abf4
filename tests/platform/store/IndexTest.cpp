// An indexed attribute's index is made at its first lookup: what changed before it, and what
// changes after it, must be found exactly as a scan of the live objects finds it.
#include "tests/platform/store/StoreFixture.h"

#include <algorithm>

namespace qv::store::test {
namespace {

std::vector<ManagedObject*> scan(Context& context, qint64 serverID)
{
    std::vector<ManagedObject*> found;
    for (ManagedObject* task : context.objects("Task")) {
        if (!task->isDeleted() && task->intValue("serverID") == serverID && !task->isNull("serverID"))
            found.push_back(task);
    }
    std::sort(found.begin(), found.end(),
              [](const ManagedObject* a, const ManagedObject* b) { return a->objectID() < b->objectID(); });
    return found;
}

void expectLookupsMatchScans(Context& context, const char* step)
{
    for (qint64 id = 0; id <= 12; ++id)
        EXPECT_EQ(context.lookup("Task", "serverID", id), scan(context, id)) << step << ", serverID " << id;
}

class LazyIndex : public StoreFixture {};

TEST_F(LazyIndex, GivenChangesBeforeAndAfterTheFirstLookup_ThenLookupsFindWhatAScanFinds)
{
    {
        auto context = openStore();
        ASSERT_TRUE(context);
        for (int i = 1; i <= 10; ++i)
            context->insert<Task>("Task")->setValue("serverID", i % 4 == 0 ? 0 : i);
        ASSERT_TRUE(context->save());
    }
    auto context = openStore();
    ASSERT_TRUE(context);
    std::vector<ManagedObject*> tasks = context->objects("Task");
    tasks[0]->setValue("serverID", 11);
    tasks[1]->setValues({{tasks[1]->entity().attributeIndex("serverID"), 12}});
    context->processPendingChanges();
    context->deleteObject(tasks[2]);
    context->processPendingChanges();
    context->deleteObject(tasks[4]);
    context->processPendingChanges();
    context->undoManager()->undo(); // task 4 comes back
    ASSERT_TRUE(tasks[2]->isDeleted());
    ASSERT_FALSE(tasks[4]->isDeleted());
    context->insert<Task>("Task")->setValue("serverID", 3);
    expectLookupsMatchScans(*context, "first lookup");

    tasks[5]->setValue("serverID", 0);
    context->deleteObject(tasks[6]);
    context->insert<Task>("Task")->setValue("serverID", 12);
    expectLookupsMatchScans(*context, "after the first lookup");
}

TEST_F(LazyIndex, GivenRepeatedEmptyAndDeletedTexts_WhenDistinctTextsAsked_ThenEachLiveNonEmptyTextOnce)
{
    Context context{model, scheduler};
    for (const char* name : {"Zoë", "alpha", "", "Zoë", "alpha", "gone", "ALPHA"})
        context.insert<Task>("Task")->setName(QString::fromUtf8(name));
    context.insert<Task>("Task"); // no name at all
    for (ManagedObject* task : context.objects("Task")) {
        if (static_cast<Task*>(task)->name() == QLatin1String("gone"))
            context.deleteObject(task);
    }
    QStringList texts = context.distinctTexts("Task", "name");
    texts.sort();
    EXPECT_EQ(texts, QStringList({"ALPHA", "Zoë", "alpha"}));
    // Values that are not stored texts are read one by one.
    context.objects("Task").front()->setValue("index", 7);
    EXPECT_EQ(context.distinctTexts("Task", "index"), QStringList({"7"}));
}

} // namespace
} // namespace qv::store::test
