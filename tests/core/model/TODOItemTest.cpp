#include "tests/core/model/EntityFixture.h"

#include "core/model/DocumentContext.h"
#include "core/model/ItemIdentifiers.h"
#include "core/model/TagManager.h"
#include "core/model/TagServer.h"
#include "platform/Log.h"

#include <algorithm>
#include <deque>

namespace qv::test {
namespace {

using ItemDates = EntityFixture;

TEST_F(ItemDates, GivenDatesSetPastEachOtherOrCleared_ThenTheFirstMovesToKeepAnHourApartOrTheOtherStays)
{
    TODOItem* item = ItemBuilder("a").starting(utc(2024, 5, 10, 12)).due(utc(2024, 5, 9, 12)).in(context);
    EXPECT_EQ(item->dueDate(), utc(2024, 5, 9, 12));
    EXPECT_EQ(item->startDate(), utc(2024, 5, 9, 11));

    item = ItemBuilder("b").due(utc(2024, 5, 9, 12)).starting(utc(2024, 5, 10, 8)).in(context);
    EXPECT_EQ(item->startDate(), utc(2024, 5, 10, 8));
    EXPECT_EQ(item->dueDate(), utc(2024, 5, 10, 9));

    item = ItemBuilder("c").starting(utc(2024, 5, 1)).due(utc(2024, 5, 9)).in(context);
    item->setDueDate(QDateTime());
    EXPECT_TRUE(item->isNull(QStringLiteral("dueDate")));
    EXPECT_EQ(item->startDate(), utc(2024, 5, 1));
    item->setDueDate(utc(2024, 5, 1)); // equal is not "after"
    EXPECT_EQ(item->startDate(), utc(2024, 5, 1));
}

using ItemIdentity = EntityFixture;

TEST_F(ItemIdentity,
       GivenNoPathsOrServerIdOrProject_WhenAskedForURIOrProjectID_ThenNoneElseTheProjectFirstThenPaths)
{
    TODOItem* item = ItemBuilder("a").withServerID(0).in(context);
    EXPECT_TRUE(item->getURI().isEmpty());
    EXPECT_FALSE(item->isValidUniID());
    item->setServerID(9007199254740993);
    EXPECT_EQ(item->getURI(), QStringLiteral("/api/v1/item/9007199254740993/"));
    item->setResourceURI(QStringLiteral("/api/v1/item/7/"));
    EXPECT_EQ(item->getURI(), QStringLiteral("/api/v1/item/7/"));

    item = ItemBuilder("b").in(context);
    EXPECT_FALSE(item->getProjectID().has_value());
    EXPECT_TRUE(item->getProjectURIs().isEmpty());

    item->setProjectURIs({QStringLiteral("/api/v1/project/42/"), QStringLiteral("/api/v1/project/43/")});
    EXPECT_EQ(item->getProjectID(), 42);

    item->setProjectURIs({QStringLiteral("/api/v1/project/x/")});
    EXPECT_FALSE(item->getProjectID().has_value());

    item->setProjectURIs({});
    item->setList(ProjectBuilder(context, "p").withId(77));
    EXPECT_EQ(item->getProjectID(), 77);
    EXPECT_EQ(item->getProjectURIs(), QStringList{QStringLiteral("/api/v1/project/77/")});
}

TEST_F(ItemIdentity, GivenTags_WhenNamesAsked_ThenSortedIgnoringCase)
{
    TODOItem* item = ItemBuilder("a").taggedWith("beta").in(context);
    for (const char* name : {"Alpha", "gamma"}) {
        auto* tag = context.insert<ItemTag>(ItemTag::staticEntityName());
        tag->setName(QString::fromLatin1(name));
        item->addTagsObject(tag);
    }
    EXPECT_EQ(item->getTagNames(), (QStringList{"Alpha", "beta", "gamma"}));
}

TEST(ItemIdentifierDrawing, GivenRandomSource_WhenDrawn_ThenTakenModuloLimit)
{
    EXPECT_EQ(ItemIdentifiers::generateItemId([] { return 0xffffffffu; }), qint64(0xffffffffu % 0x7ffffff8u));
    EXPECT_EQ(ItemIdentifiers::generateItemId([] { return 0x7ffffff8u; }), 0);
}

// Draws from a list, as a random source would.
ItemIdentifiers::RandomSource drawsFrom(std::deque<quint32>& draws)
{
    return [&draws] {
        const quint32 v = draws.front();
        draws.pop_front();
        return v;
    };
}

TEST_F(ItemIdentity, GivenProjectWithTakenIds_WhenDrawingUnique_ThenDrawsAgainUntilFree)
{
    TODOList* project =
        ProjectBuilder(context, "p").withId(1).with(ItemBuilder("a").withId(5), ItemBuilder("b").withId(6));
    std::deque<quint32> draws{5, 6, 5, 7, 8};
    EXPECT_EQ(ItemIdentifiers::newUniqueIdForItemInList(project, drawsFrom(draws)), 7);
    EXPECT_EQ(draws.size(), 1u);
    // Without a project the first draw is taken.
    EXPECT_EQ(ItemIdentifiers::newUniqueIdForItemInList(nullptr, [] { return 5u; }), 5);
}

TEST_F(ItemIdentity, GivenServerIdentity_WhenIDsReset_ThenServerIdentityAndResourcePathCleared)
{
    TODOList* project = ProjectBuilder(context, "p").withId(1).with(ItemBuilder("other").withId(11));
    TODOItem* item = ItemBuilder("a")
                         .withServerID(99)
                         .withId(10)
                         .withValue("versionID", 3)
                         .withValue("boxFolderID", "box")
                         .withValue("copiedFromID", 12)
                         .withValue("resourceURI", "/api/v1/item/99/")
                         .in(project);

    std::deque<quint32> draws{11, 20};
    item->resetIDs(drawsFrom(draws));

    EXPECT_EQ(item->id_(), 20);
    for (const char* key : {"serverID", "versionID", "boxFolderID", "copiedFromID", "resourceURI"})
        EXPECT_TRUE(item->isNull(QString::fromLatin1(key))) << key;
    EXPECT_TRUE(item->getURI().isEmpty());
}

using ItemLookup = EntityFixture;

TEST_F(ItemLookup, GivenTheSameServerId_WhenFound_ThenTheLiveOneOrWithDuplicatesTheFirstIsReturned)
{
    ItemBuilder("gone").withServerID(42).removed().in(context);
    EXPECT_EQ(TODOItem::findWithID(42, context), nullptr);
    TODOItem* live = ItemBuilder("live").withServerID(42).in(context);
    LogCapture log;
    EXPECT_EQ(TODOItem::findWithID(42, context), live);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(TODOItem::findWithID(43, context), nullptr);

    TODOItem* first = ItemBuilder("one").withServerID(44).withId(1).in(context);
    ItemBuilder("two").withServerID(44).withId(2).in(context);
    EXPECT_EQ(TODOItem::findWithID(44, context), first);
    // Duplicates are logged by id, the titles by their length only.
    EXPECT_EQ(log.lines(),
              (QStringList{"2 duplicated items with id: 44", "44\t1: <3 chars>", "44\t2: <3 chars>"}));
}

using ItemCopy = EntityFixture;

TEST_F(ItemCopy, GivenDatesAtOrNearTheEpoch_WhenCopied_ThenOnlyRealDatesAreCopied)
{
    TODOItem* source = ItemBuilder("src")
                           .withValue("startDate", QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc()))
                           .withValue("dueDate", QDateTime::fromMSecsSinceEpoch(500, QTimeZone::utc()))
                           .withValue("creationDate", QDateTime::fromSecsSinceEpoch(1, QTimeZone::utc()))
                           .in(context);
    TODOItem* copy = ItemBuilder("dst")
                         .withValue("startDate", utc(2020, 1, 1))
                         .withValue("completionDate", utc(2020, 1, 1))
                         .in(context);

    source->copyTo(copy);

    EXPECT_TRUE(copy->isNull(QStringLiteral("startDate")));
    EXPECT_TRUE(copy->isNull(QStringLiteral("dueDate")));
    EXPECT_TRUE(copy->isNull(QStringLiteral("completionDate")));
    EXPECT_EQ(copy->creationDate(), QDateTime::fromSecsSinceEpoch(1, QTimeZone::utc()));
    EXPECT_EQ(copy->name(), QStringLiteral("src"));
}

TEST_F(ItemCopy, GivenCopyWithoutIdentifiers_WhenCopied_ThenDestinationKeepsItsOwn)
{
    TODOItem* source = ItemBuilder("src")
                           .withServerID(1)
                           .withId(10)
                           .withValue("versionID", 4)
                           .withValue("resourceURI", "/api/v1/item/1/")
                           .withValue("highlight", 3)
                           .inQuadrant(2)
                           .in(context);
    TODOItem* copy = ItemBuilder("dst").withServerID(2).withId(20).in(context);

    source->copyTo(copy, TODOItem::CopyNoFlags);
    EXPECT_EQ(copy->serverID(), 2);
    EXPECT_EQ(copy->id_(), 20);
    EXPECT_TRUE(copy->isNull(QStringLiteral("versionID")));
    EXPECT_TRUE(copy->isNull(QStringLiteral("resourceURI")));
    EXPECT_EQ(copy->quadrant(), 2);
    EXPECT_EQ(copy->highlight(), 0); // not among the copied values

    source->copyTo(copy, TODOItem::CopyIdentifiers);
    EXPECT_EQ(copy->serverID(), 1);
    EXPECT_EQ(copy->id_(), 10);
    EXPECT_EQ(copy->versionID(), 4);
    EXPECT_EQ(copy->resourceURI(), QStringLiteral("/api/v1/item/1/"));
}

TEST_F(ItemCopy, GivenTagsInAnotherContext_WhenCopiedWithTags_ThenDestinationGetsTagsOfItsOwnContext)
{
    store::Context other(TodoModel::shared(), scheduler);
    TODOItem* source = ItemBuilder("src").taggedWith("Work").in(other);
    TODOItem* copy = ItemBuilder("dst").taggedWith("old").in(context);

    source->copyTo(copy, TODOItem::CopyTags);

    ASSERT_EQ(copy->tags().size(), 1u);
    EXPECT_EQ(copy->tags().front()->name(), QStringLiteral("work"));
    EXPECT_EQ(copy->tags().front()->context(), &context);
}

TEST_F(ItemCopy, GivenSourceProject_WhenCopiedWithProject_ThenDestinationJoinsTheDocumentsProject)
{
    DocumentContext document(&context);
    store::Context server(TodoModel::shared(), scheduler);
    TODOItem* downloaded = ItemBuilder("remote").withServerID(5).in(server);
    downloaded->setProjectURIs({QStringLiteral("/api/v1/project/31/")});
    TODOList* local = ProjectBuilder(context, "local").withId(31);
    TODOList* elsewhere = ProjectBuilder(context, "elsewhere").withId(32);
    TODOItem* copy = ItemBuilder("copy").in(elsewhere);

    downloaded->copyTo(copy, TODOItem::CopyIdentifiers | TODOItem::CopyProject);
    EXPECT_EQ(copy->list(), local);
    EXPECT_TRUE(elsewhere->items().empty());

    downloaded->copyTo(copy, TODOItem::CopyIdentifiers);
    EXPECT_EQ(copy->list(), local);
}

TEST_F(ItemCopy, GivenItemWithServerReminder_WhenCopiedInTheSameStore_ThenOriginalKeepsItsReminder)
{
    TODOItem* source = ItemBuilder("src").withServerID(1).in(context);
    ItemReminder* own = newReminder(500);
    own->setNotes(QStringLiteral("call"));
    own->setTimestamp(10);
    own->setReminder_date(utc(2024, 1, 2, 9));
    source->setReminder(own);
    TODOItem* copy = ItemBuilder("dst").in(context);

    source->copyTo(copy, TODOItem::CopyTags);

    EXPECT_EQ(source->reminder(), own);
    EXPECT_EQ(own->item(), source);
    ASSERT_NE(copy->reminder(), nullptr);
    EXPECT_NE(copy->reminder(), own);
    EXPECT_EQ(copy->reminder()->notes(), QStringLiteral("call"));
    EXPECT_EQ(copy->reminder()->reminder_date(), utc(2024, 1, 2, 9));
    // A new reminder of a new item: not yet on the server.
    EXPECT_EQ(copy->reminder()->identifier(), 0);
    EXPECT_EQ(copy->reminder()->timestamp(), 0);

    // A recurrence follow-up takes the reminder away instead.
    TODOItem* followUp = ItemBuilder("next").in(context);
    source->copyTo(followUp, TODOItem::CopyTags | TODOItem::MoveOwnReminder);
    EXPECT_EQ(followUp->reminder(), own);
    EXPECT_EQ(source->reminder(), nullptr);
}

TEST_F(ItemCopy, GivenLocallyEditedOrNewerReminder_WhenCopied_ThenItIsLeftAlone)
{
    store::Context server(TodoModel::shared(), scheduler);
    TODOItem* source = ItemBuilder("src").withServerID(1).in(server);
    ItemReminder* remote = newReminder(500, &server);
    remote->setNotes(QStringLiteral("server"));
    remote->setTimestamp(10);
    source->setReminder(remote);

    TODOItem* local = ItemBuilder("dst").withServerID(1).in(context);
    ItemReminder* mine = newReminder(500);
    mine->setNotes(QStringLiteral("mine"));
    mine->setEdited_since(1);
    local->setReminder(mine);

    source->copyTo(local);
    EXPECT_EQ(mine->notes(), QStringLiteral("mine"));

    mine->setEdited_since(0);
    mine->setTimestamp(11);
    source->copyTo(local);
    EXPECT_EQ(mine->notes(), QStringLiteral("mine"));

    mine->setTimestamp(10);
    source->copyTo(local);
    EXPECT_EQ(mine->notes(), QStringLiteral("server"));
    EXPECT_EQ(local->reminder(), mine);
}

TEST_F(ItemCopy, GivenAttachments_WhenCopiedWithFiles_ThenFilesAreFoundOrMadeInTheDocument)
{
    DocumentContext document(&context);
    store::Context server(TodoModel::shared(), scheduler);
    TODOItem* source = ItemBuilder("src").withServerID(8).in(server);
    auto* file = server.insert<ItemFile>(ItemFile::staticEntityName());
    file->setIdd(70);
    file->setFilename(QStringLiteral("a.pdf"));
    source->addFilesObject(file);

    TODOItem* local = ItemBuilder("dst").withServerID(8).in(context);
    source->copyTo(local, TODOItem::CopyIdentifiers | TODOItem::CopyFiles);

    ItemFile* copied = ItemFile::findWithID(70, context, local);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->filename(), QStringLiteral("a.pdf"));
    EXPECT_EQ(copied->item(), local);
}

using ItemChangeTest = EntityFixture;

TEST_F(ItemChangeTest, GivenChangedKeys_WhenAsked_ThenOnlyTrackedKeysOfTheCurrentEventThatDifferNeedAnUpload)
{
    TODOItem* item = ItemBuilder("a").in(context);
    context.processPendingChanges();
    item->setTimestamp(100);
    item->setEdited_since(1);
    item->setHighlight(2);
    EXPECT_FALSE(item->needToUploadGiven(nullptr));

    store::Context server(TodoModel::shared(), scheduler);
    TODOItem* remote = ItemBuilder("renamed").in(server);
    context.processPendingChanges();
    item->setName(QStringLiteral("renamed"));
    item->setTimestamp(5);
    EXPECT_TRUE(item->needToUploadGiven(nullptr));
    EXPECT_FALSE(item->needToUploadGiven(remote));
    remote->setName(QStringLiteral("other"));
    EXPECT_TRUE(item->needToUploadGiven(remote));

    // Changes of an earlier event no longer count.
    context.processPendingChanges();
    EXPECT_FALSE(item->needToUploadGiven(nullptr));
    item->setDueDate(utc(2024, 1, 1));
    EXPECT_TRUE(item->needToUploadGiven(nullptr));
}

using ItemOrdering = EntityFixture;

TEST_F(ItemOrdering, GivenStarredAndIndexedItems_WhenStableSortedByStar_ThenStarredFirstThenIndexDescending)
{
    TODOItem* d = ItemBuilder("d").in(context); // no index: counts as 0
    TODOItem* e = ItemBuilder("e").atIndex(0).in(context);
    TODOItem* f = ItemBuilder("f").atIndex(-10).in(context);
    std::vector<TODOItem*> items{ItemBuilder("a").atIndex(100).in(context),
                                 ItemBuilder("b").atIndex(5000).in(context),
                                 ItemBuilder("c").atIndex(1).taggedWith("starred").in(context),
                                 d,
                                 e,
                                 f};
    std::stable_sort(items.begin(), items.end(), TODOItem::lessByStar);
    QStringList names;
    for (TODOItem* item : items)
        names << item->name();
    EXPECT_EQ(names, (QStringList{"c", "b", "a", "d", "e", "f"}));

    // Irreflexive and consistent both ways, also for a missing index.
    EXPECT_FALSE(TODOItem::lessByStar(d, d));
    EXPECT_FALSE(TODOItem::lessByStar(d, e));
    EXPECT_FALSE(TODOItem::lessByStar(e, d));
    EXPECT_TRUE(TODOItem::lessByStar(d, f));
    EXPECT_FALSE(TODOItem::lessByStar(f, d));
}

TEST_F(ItemOrdering, GivenDueAndStartDates_WhenComparedByDates_ThenDatedFirstAndTiesByStartThenCompletion)
{
    TODOItem* undated = ItemBuilder("u").in(context);
    TODOItem* early = ItemBuilder("e").due(utc(2024, 3, 1, 10)).in(context);
    TODOItem* late = ItemBuilder("l").due(utc(2024, 3, 2, 10)).in(context);
    EXPECT_LT(early->compareByDates(*late), 0);
    EXPECT_GT(late->compareByDates(*early), 0);
    EXPECT_LT(late->compareByDates(*undated), 0);
    EXPECT_GT(undated->compareByDates(*late), 0);

    // Seconds are dropped; equal due dates fall back to start dates, then percentages.
    TODOItem* sameMinute = ItemBuilder("s").due(utc(2024, 3, 1, 10, 0, 40)).in(context);
    EXPECT_EQ(early->compareByDates(*sameMinute), 0);
    sameMinute->setStartDate(utc(2024, 2, 1));
    EXPECT_GT(early->compareByDates(*sameMinute), 0);
    early->setStartDate(utc(2024, 2, 1));
    early->setCompletionPercentage(50);
    EXPECT_GT(early->compareByDates(*sameMinute), 0);

    // All-day dates ignore the time of day.
    const QDate day(2024, 6, 12);
    TODOItem* morning =
        ItemBuilder("m").due(QDateTime(day, QTime(8, 0))).withValue("allDay", true).in(context);
    TODOItem* evening =
        ItemBuilder("e").due(QDateTime(day, QTime(20, 0))).withValue("allDay", true).in(context);
    EXPECT_EQ(morning->compareByDates(*evening), 0);
    evening->setAllDay(false);
    EXPECT_LT(morning->compareByDates(*evening), 0);
}

using ItemStarring = EntityFixture;

TEST_F(ItemStarring,
       GivenTheStarredTag_WhenAddedRemovedOrStarred_ThenTheFlagFollowsAndOnlyDocumentItemsChangeTags)
{
    TODOItem* item = ItemBuilder("a").in(context);
    EXPECT_FALSE(item->starred().has_value());
    EXPECT_FALSE(item->getStarred());
    ItemTag* starred = TagManager::getItemTagForName(QStringLiteral("starred"), context);
    item->addTagsObject(starred);
    EXPECT_EQ(item->starred(), true);
    item->removeTags({starred});
    EXPECT_EQ(item->starred(), false);

    RecordingTagServer server;
    TagManager tags(TodoModel::shared(), scheduler, &server);
    DocumentContext document(&context);

    item->setStarred(true);
    EXPECT_TRUE(TagManager::itemHasTagName(item, QStringLiteral("starred")));
    item->setStarred(true); // unchanged: nothing more
    item->setStarred(false);
    EXPECT_FALSE(TagManager::itemHasTagName(item, QStringLiteral("starred")));
    EXPECT_EQ(server.calls, (QStringList{"add starred a", "remove starred a"}));

    store::Context scratch(TodoModel::shared(), scheduler);
    TODOItem* outside = ItemBuilder("b").in(scratch);
    outside->setStarred(true);
    EXPECT_TRUE(outside->getStarred());
    EXPECT_TRUE(outside->tags().empty());
    EXPECT_EQ(server.calls.size(), 2);
}

} // namespace
} // namespace qv::test
