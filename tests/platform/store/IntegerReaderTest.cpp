// IntegerReader answers from a column the context keeps once asked: it must read what value()
// reads after every way a value can change, for objects made or read after the column.
#include "tests/platform/store/StoreFixture.h"

#include <limits>
#include <optional>

namespace qv::store::test {
namespace {

const QStringList kIntegerKeys = {"serverID", "index", "state", "dueDate", "done"};

std::optional<qint64> expected(const ManagedObject& object, const QString& key)
{
    const QVariant value = object.value(key);
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toMSecsSinceEpoch();
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    return value.toLongLong();
}

// Every task, every integer key, through readers made before the step (kept columns) and
// through fresh ones.
void expectAgreement(Context& context, std::vector<IntegerReader>& readers, const char* step)
{
    for (ManagedObject* task : context.objects("Task")) {
        for (qsizetype k = 0; k < kIntegerKeys.size(); ++k) {
            const QString& key = kIntegerKeys[k];
            EXPECT_EQ(readers[size_t(k)](*task), expected(*task, key))
                << step << ": " << key.toStdString() << " of task " << task->objectID();
            EXPECT_EQ(IntegerReader(key)(*task), expected(*task, key)) << step;
        }
    }
}

std::vector<IntegerReader> makeReaders()
{
    std::vector<IntegerReader> readers;
    for (const QString& key : kIntegerKeys)
        readers.emplace_back(key);
    return readers;
}

class IntegerColumns : public StoreFixture {
protected:
    void fill(Context& context, int count)
    {
        for (int i = 0; i < count; ++i) {
            auto* task = context.insert<Task>("Task");
            task->setValue("serverID", i + 1);
            task->setValue("index", i % 3 == 0 ? QVariant() : QVariant(qint64(-i * 1000003)));
            task->setValue("state", i % 4);
            if (i % 2)
                task->setValue("dueDate", utcMs(qint64(i) * 86400000 - 5000));
            task->setValue("done", i % 5 == 0);
        }
    }
};

TEST_F(IntegerColumns, GivenKeptColumns_WhenValuesChangeEveryWay_ThenReadersAgreeWithValue)
{
    Context context{model, scheduler};
    fill(context, 12);
    std::vector<IntegerReader> readers = makeReaders();
    expectAgreement(context, readers, "made");

    std::vector<ManagedObject*> tasks = context.objects("Task");
    tasks[1]->setValue("index", std::numeric_limits<qint64>::min());
    tasks[2]->setValue("dueDate", QVariant());
    tasks[3]->setValue("done", true);
    expectAgreement(context, readers, "setValue");

    tasks[4]->setValues({{tasks[4]->entity().attributeIndex("state"), 7},
                         {tasks[4]->entity().attributeIndex("dueDate"), utcMs(-86400000)},
                         {tasks[4]->entity().attributeIndex("index"), QVariant()}});
    expectAgreement(context, readers, "setValues");

    fill(context, 3); // objects made after the columns
    context.deleteObject(tasks[5]);
    expectAgreement(context, readers, "insert and delete");

    context.processPendingChanges();
    context.undoManager()->undo();
    expectAgreement(context, readers, "undo");
    context.undoManager()->redo();
    expectAgreement(context, readers, "redo");

    IntegerReader name("name");
    IntegerReader effort("effort");
    IntegerReader starred("starred"); // transient
    EXPECT_FALSE(name.reads(*tasks[0]));
    EXPECT_FALSE(effort.reads(*tasks[0]));
    EXPECT_FALSE(starred.reads(*tasks[0]));
    EXPECT_EQ(IntegerReader("nothing")(*tasks[0]), std::nullopt);
}

TEST_F(IntegerColumns, GivenFileReadOnDemand_WhenObjectsAreReadAfterTheColumnAndReleased_ThenReadersAgree)
{
    {
        auto context = openStore();
        ASSERT_TRUE(context);
        fill(*context, 20);
        ASSERT_TRUE(context->save());
    }
    for (const Context::Loading loading : {Context::Loading::All, Context::Loading::OnDemand}) {
        StoreError error;
        auto context =
            Context::open(storePath(), model, scheduler, &error, Context::IntegrityCheck::Run, loading);
        ASSERT_TRUE(context) << error.message.toStdString();
        context->takeUndoManager();
        std::vector<IntegerReader> readers = makeReaders();
        ASSERT_TRUE(context->lookupFirst("Task", "serverID", 3));
        expectAgreement(*context, readers, "first read");
        for (int id = 1; id <= 20; id += 2)
            ASSERT_TRUE(context->lookupFirst("Task", "serverID", id));
        expectAgreement(*context, readers, "read after the column");
        if (loading == Context::Loading::OnDemand) {
            ASSERT_TRUE(context->releaseObjects());
            ASSERT_TRUE(context->lookupFirst("Task", "serverID", 8));
            expectAgreement(*context, readers, "read after release");
        }
        ManagedObject* task = context->lookupFirst("Task", "serverID", 9);
        ASSERT_TRUE(task);
        task->setValue("state", 42);
        ASSERT_TRUE(context->save());
        expectAgreement(*context, readers, "saved");
    }
}

} // namespace
} // namespace qv::store::test
