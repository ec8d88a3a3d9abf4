#include "tests/core/model/EntityFixture.h"

#include "platform/Log.h"

#include <QJsonObject>

namespace qv::test {
namespace {

using DefaultReminder = EntityFixture;

TEST_F(DefaultReminder, GivenStartDueOrNoDates_WhenMade_ThenAnHourBeforeTheStartOrDueOrADayFromNow)
{
    TODOItem* item = ItemBuilder("a").due(utc(2024, 4, 11, 9)).starting(utc(2024, 4, 10, 14)).in(context);
    ItemReminder* reminder = ItemReminder::reminderForItem(item, &clock);
    ASSERT_NE(reminder, nullptr);
    EXPECT_EQ(reminder->reminder_date(), utc(2024, 4, 10, 13));
    EXPECT_EQ(reminder->identifier(), 0);
    EXPECT_EQ(reminder->timestamp(), 0);
    EXPECT_EQ(item->reminder(), reminder);
    EXPECT_EQ(ItemReminder::reminderForItem(item, &clock), reminder);

    TODOItem* due = ItemBuilder("due").due(utc(2024, 4, 11, 9)).in(context);
    EXPECT_EQ(ItemReminder::reminderForItem(due, &clock)->reminder_date(), utc(2024, 4, 11, 8));

    // A start date alone does not count.
    TODOItem* undated = ItemBuilder("undated").starting(utc(2024, 4, 1)).in(context);
    EXPECT_EQ(ItemReminder::reminderForItem(undated, &clock)->reminder_date(), clock.now().addSecs(86400));

    ItemReminder* detached = ItemReminder::reminderForItem(nullptr, &clock, &context);
    ASSERT_NE(detached, nullptr);
    EXPECT_EQ(detached->item(), nullptr);
}

using ReminderLookup = EntityFixture;

TEST_F(ReminderLookup,
       GivenZeroUnknownOrDuplicatedIdentifiers_WhenLookedUp_ThenTheItemsOwnOneDetachedReminderOrTheFirst)
{
    newReminder(0);
    EXPECT_EQ(ItemReminder::findWithID(0, context, nullptr, &clock), nullptr);
    TODOItem* item = ItemBuilder("a").in(context);
    ItemReminder* own = newReminder(0);
    item->setReminder(own);
    EXPECT_EQ(ItemReminder::findWithID(0, context, item, &clock), own);
    EXPECT_EQ(context.count(ItemReminder::staticEntityName()), 2);

    ItemReminder* made = ItemReminder::findWithID(321, context, nullptr, &clock);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->identifier(), 321);
    EXPECT_EQ(made->reminder_date(), clock.now().addSecs(3600));
    EXPECT_EQ(made->item(), nullptr);
    EXPECT_EQ(ItemReminder::findWithID(321, context, nullptr, &clock), made);
    EXPECT_EQ(context.count(ItemReminder::staticEntityName()), 3);

    ItemReminder* first = newReminder(9);
    newReminder(9);
    LogCapture log;
    EXPECT_EQ(ItemReminder::findWithID(9, context, nullptr, &clock), first);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("2 duplicated reminders with id: 9")});
}

TEST_F(ReminderLookup, GivenReminder_WhenCopied_ThenNeitherItemNorEditMarkTravel)
{
    TODOItem* item = ItemBuilder("a").in(context);
    ItemReminder* source = newReminder(4);
    source->setEnabled(true);
    source->setNotes(QStringLiteral("n"));
    source->setRepeat_after(3);
    source->setRemind_all_followers(true);
    source->setReminder_date(utc(2024, 1, 1, 8));
    source->setTimestamp(77);
    source->setEdited_since(1);
    source->setItem(item);
    ItemReminder* target = newReminder(0);

    source->copyTo(target);

    EXPECT_EQ(target->identifier(), 4);
    EXPECT_TRUE(target->enabled());
    EXPECT_EQ(target->notes(), QStringLiteral("n"));
    EXPECT_EQ(target->repeat_after(), 3);
    EXPECT_TRUE(target->remind_all_followers());
    EXPECT_EQ(target->reminder_date(), utc(2024, 1, 1, 8));
    EXPECT_EQ(target->timestamp(), 77);
    EXPECT_EQ(target->edited_since(), 0);
    EXPECT_EQ(target->item(), nullptr);
    EXPECT_EQ(item->reminder(), source);
}

using FileLookup = EntityFixture;

TEST_F(FileLookup,
       GivenIdentifiers_WhenLookedUp_ThenUnknownOnesMakeOneRowAndOnlyTheItemsOwnAttachmentsAreSearched)
{
    ItemFile* made = ItemFile::findWithID(55, context, nullptr);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->idd(), 55);
    EXPECT_EQ(made->item(), nullptr);
    EXPECT_EQ(ItemFile::findWithID(55, context, nullptr), made);
    EXPECT_EQ(context.count(ItemFile::staticEntityName()), 1);

    TODOItem* item = ItemBuilder("a").in(context);
    ItemFile* elsewhere = ItemFile::findWithID(5, context, nullptr);
    EXPECT_EQ(ItemFile::findWithID(5, context, item), nullptr);
    item->addFilesObject(elsewhere);
    EXPECT_EQ(ItemFile::findWithID(5, context, item), elsewhere);

    ItemFile* first = context.insert<ItemFile>(ItemFile::staticEntityName());
    first->setIdd(3);
    context.insert<ItemFile>(ItemFile::staticEntityName())->setIdd(3);
    LogCapture log;
    EXPECT_EQ(ItemFile::findWithID(3, context, nullptr), first);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("2 duplicated files with id: 3")});
}

using FileUpdate = EntityFixture;

TEST_F(FileUpdate,
       GivenPartialServerRecordsOrAnItemPath_WhenApplied_ThenOnlyPresentKeysChangeAndTheItemIsFound)
{
    TODOItem* item = ItemBuilder("a").withServerID(9007199254740993).in(context);
    ItemFile* file = ItemFile::findWithID(1, context, nullptr);
    file->setSize(10);
    file->setResource_uri(QStringLiteral("/api/v1/file/1/"));

    file->updateFrom(QJsonObject{{"filename", "b.txt"}}, context);
    EXPECT_EQ(file->size(), 10);
    EXPECT_EQ(file->filename(), QStringLiteral("b.txt"));

    file->updateFrom(QJsonObject{{"size", 2048}}, context);
    EXPECT_EQ(file->size(), 2048);
    EXPECT_EQ(file->resource_uri(), QStringLiteral("/api/v1/file/1/"));

    file->updateFrom(QJsonObject{{"id", 1},
                                 {"item", "/api/v1/item/9007199254740993/"},
                                 {"owner", "/api/v1/user/3/"},
                                 {"url", "https://files.invalid/1"}},
                     context);
    EXPECT_EQ(file->item(), item);
    EXPECT_EQ(file->item_uri(), QStringLiteral("/api/v1/item/9007199254740993/"));
    EXPECT_EQ(file->owner_uri(), QStringLiteral("/api/v1/user/3/"));
    EXPECT_EQ(file->url(), QStringLiteral("https://files.invalid/1"));

    file->updateFrom(QJsonObject{{"item", "/api/v1/item/404/"}}, context);
    EXPECT_EQ(file->item(), nullptr);
}

using FileCopy = EntityFixture;

TEST_F(FileCopy, GivenSourceItemNotOnServer_WhenCopied_ThenDestinationHasNoItem)
{
    store::Context server(TodoModel::shared(), scheduler);
    TODOItem* remoteItem = ItemBuilder("r").in(server);
    auto* source = server.insert<ItemFile>(ItemFile::staticEntityName());
    source->setIdd(4);
    source->setFilename(QStringLiteral("x.png"));
    source->setSize(99);
    remoteItem->addFilesObject(source);
    ItemFile* target = ItemFile::findWithID(4, context, nullptr);
    target->setItem(ItemBuilder("stale").withServerID(1).in(context));

    source->copyTo(target, context);
    EXPECT_EQ(target->filename(), QStringLiteral("x.png"));
    EXPECT_EQ(target->size(), 99);
    EXPECT_EQ(target->item(), nullptr);

    remoteItem->setServerID(12);
    TODOItem* local = ItemBuilder("local").withServerID(12).in(context);
    source->copyTo(target, context);
    EXPECT_EQ(target->item(), local);
}

} // namespace
} // namespace qv::test
