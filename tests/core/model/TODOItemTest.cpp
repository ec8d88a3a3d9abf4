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

TEST_F(ItemDates, GivenStartDate_WhenDueDateSetBeforeIt_ThenStartMovesToAnHourBeforeDue)
{
    TODOItem* item = newItem(QStringLiteral("a"));
    item->setStartDate(utc(2024, 5, 10, 12));
    item->setDueDate(utc(2024, 5, 9, 12));
    EXPECT_EQ(item->dueDate(), utc(2024, 5, 9, 12));
    EXPECT_EQ(item->startDate(), utc(2024, 5, 9, 11));
}

TEST_F(ItemDates, GivenDueDate_WhenStartDateSetAfterIt_ThenDueMovesToAnHourAfterStart)
{
    TODOItem* item = newItem(QStringLiteral("a"));
    item->setDueDate(utc(2024, 5, 9, 12));
    item->setStartDate(utc(2024, 5, 10, 8));
    EXPECT_EQ(item->startDate(), utc(2024, 5, 10, 8));
    EXPECT_EQ(item->dueDate(), utc(2024, 5, 10, 9));
}

TEST_F(ItemDates, GivenOrderedDates_WhenClearedOrKeptApart_ThenTheOtherDateStays)
{
    TODOItem* item = newItem(QStringLiteral("a"));
    item->setStartDate(utc(2024, 5, 1));
    item->setDueDate(utc(2024, 5, 9));
    item->setDueDate(QDateTime());
    EXPECT_TRUE(item->isNull(QStringLiteral("dueDate")));
    EXPECT_EQ(item->startDate(), utc(2024, 5, 1));
    item->setDueDate(utc(2024, 5, 1)); // equal is not "after"
    EXPECT_EQ(item->startDate(), utc(2024, 5, 1));
}

using ItemIdentity = EntityFixture;

TEST_F(ItemIdentity, GivenNoResourcePathAndServerIdZero_WhenAskedForURI_ThenNone)
{
    TODOItem* item = newItem(QStringLiteral("a"));
    item->setResourceURI(QString());
    item->setServerID(0);
    EXPECT_TRUE(item->getURI().isEmpty());
    EXPECT_FALSE(item->isValidUniID());
    item->setServerID(9007199254740993);
    EXPECT_EQ(item->getURI(), QStringLiteral("/api/v1/item/9007199254740993/"));
    item->setResourceURI(QStringLiteral("/api/v1/item/7/"));
    EXPECT_EQ(item->getURI(), QStringLiteral("/api/v1/item/7/"));
}

TEST_F(ItemIdentity, GivenProjectOrProjectPaths_WhenAskedForProjectID_ThenProjectFirstThenPaths)
{
    TODOItem* item = newItem(QStringLiteral("a"));
    EXPECT_FALSE(item->getProjectID().has_value());
    EXPECT_TRUE(item->getProjectURIs().isEmpty());

    item->setProjectURIs({QStringLiteral("/api/v1/project/42/"), QStringLiteral("/api/v1/project/43/")});
    EXPECT_EQ(item->getProjectID(), 42);

    item->setProjectURIs({QStringLiteral("/api/v1/project/x/")});
    EXPECT_FALSE(item->getProjectID().has_value());

    item->setProjectURIs({});
    item->setList(newProject(QStringLiteral("p"), 77));
    EXPECT_EQ(item->getProjectID(), 77);
    EXPECT_EQ(item->getProjectURIs(), QStringList{QStringLiteral("/api/v1/project/77/")});
}

TEST_F(ItemIdentity, GivenTags_WhenNamesAsked_ThenSortedIgnoringCase)
{
    TODOItem* item = newItem(QStringLiteral("a"));
    for (const char* name : {"beta", "Alpha", "gamma"}) {
        auto* tag = context.insert<ItemTag>(ItemTag::staticEntityName());
        tag->setName(QString::fromLatin1(name));
        item->addTagsObject(tag);
    }
    EXPECT_EQ(item->getTagNames(),
              (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("gamma")}));
}

TEST(ItemIdentifierDrawing, GivenRandomSource_WhenDrawn_ThenTakenModuloLimit)
{
    EXPECT_EQ(ItemIdentifiers::generateItemId([] { return 0xffffffffu; }), qint64(0xffffffffu % 0x7ffffff8u));
    EXPECT_EQ(ItemIdentifiers::generateItemId([] { return 0x7ffffff8u; }), 0);
    for (int i = 0; i < 100; ++i) {
        const qint64 id = ItemIdentifiers::generateItemId();
        EXPECT_GE(id, 0);
        EXPECT_LT(id, 0x7ffffff8);
    }
}

TEST_F(ItemIdentity, GivenProjectWithTakenIds_WhenDrawingUnique_ThenDrawsAgainUntilFree)
{
    TODOList* project = newProject(QStringLiteral("p"), 1);
    newItem(QStringLiteral("a"), 0, project)->setId_(5);
    newItem(QStringLiteral("b"), 0, project)->setId_(6);
    std::deque<quint32> draws{5, 6, 5, 7, 8};
    auto source = [&] {
        const quint32 v = draws.front();
        draws.pop_front();
        return v;
    };
    EXPECT_EQ(ItemIdentifiers::newUniqueIdForItemInList(project, source), 7);
    EXPECT_EQ(draws.size(), 1u);
    // Without a project the first draw is taken.
    EXPECT_EQ(ItemIdentifiers::newUniqueIdForItemInList(nullptr, [] { return 5u; }), 5);
}

TEST_F(ItemIdentity, GivenServerIdentity_WhenIDsReset_ThenServerIdentityAndResourcePathCleared)
{
    TODOList* project = newProject(QStringLiteral("p"), 1);
    newItem(QStringLiteral("other"), 0, project)->setId_(11);
    TODOItem* item = newItem(QStringLiteral("a"), 99, project);
    item->setId_(10);
    item->setVersionID(3);
    item->setBoxFolderID(QStringLiteral("box"));
    item->setCopiedFromID(12);
    item->setResourceURI(QStringLiteral("/api/v1/item/99/"));

    std::deque<quint32> draws{11, 20};
    item->resetIDs([&] {
        const quint32 v = draws.front();
        draws.pop_front();
        return v;
    });

    EXPECT_EQ(item->id_(), 20);
    for (const char* key : {"serverID", "versionID", "boxFolderID", "copiedFromID", "resourceURI"})
        EXPECT_TRUE(item->isNull(QString::fromLatin1(key))) << key;
    EXPECT_TRUE(item->getURI().isEmpty());
}

using ItemLookup = EntityFixture;

TEST_F(ItemLookup, GivenRemovedItemWithSameServerId_WhenFound_ThenOnlyTheLiveOneIsReturned)
{
    TODOItem* removed = newItem(QStringLiteral("gone"), 42);
    removed->setState(3);
    EXPECT_EQ(TODOItem::findWithID(42, context), nullptr);
    TODOItem* live = newItem(QStringLiteral("live"), 42);
    LogCapture log;
    EXPECT_EQ(TODOItem::findWithID(42, context), live);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(TODOItem::findWithID(43, context), nullptr);
}

TEST_F(ItemLookup, GivenDuplicates_WhenFound_ThenLoggedAndFirstReturned)
{
    TODOItem* first = newItem(QStringLiteral("one"), 42);
    first->setId_(1);
    newItem(QStringLiteral("two"), 42)->setId_(2);
    LogCapture log;
    EXPECT_EQ(TODOItem::findWithID(42, context), first);
    EXPECT_EQ(log.lines(), (QStringList{QStringLiteral("2 duplicated items with id: 42"),
                                        QStringLiteral("42\t1: one"), QStringLiteral("42\t2: two")}));
}

using ItemCopy = EntityFixture;

TEST_F(ItemCopy, GivenDatesAtOrNearTheEpoch_WhenCopied_ThenOnlyRealDatesAreCopied)
{
    TODOItem* source = newItem(QStringLiteral("src"));
    source->setValue(QStringLiteral("startDate"), QDateTime::fromSecsSinceEpoch(0, QTimeZone::utc()));
    source->setValue(QStringLiteral("dueDate"), QDateTime::fromMSecsSinceEpoch(500, QTimeZone::utc()));
    source->setValue(QStringLiteral("creationDate"), QDateTime::fromSecsSinceEpoch(1, QTimeZone::utc()));
    TODOItem* copy = newItem(QStringLiteral("dst"));
    copy->setValue(QStringLiteral("startDate"), utc(2020, 1, 1));
    copy->setValue(QStringLiteral("completionDate"), utc(2020, 1, 1));

    source->copyTo(copy);

    EXPECT_TRUE(copy->isNull(QStringLiteral("startDate")));
    EXPECT_TRUE(copy->isNull(QStringLiteral("dueDate")));
    EXPECT_TRUE(copy->isNull(QStringLiteral("completionDate")));
    EXPECT_EQ(copy->creationDate(), QDateTime::fromSecsSinceEpoch(1, QTimeZone::utc()));
    EXPECT_EQ(copy->name(), QStringLiteral("src"));
}

TEST_F(ItemCopy, GivenCopyWithoutIdentifiers_WhenCopied_ThenDestinationKeepsItsOwn)
{
    TODOItem* source = newItem(QStringLiteral("src"), 1);
    source->setId_(10);
    source->setVersionID(4);
    source->setResourceURI(QStringLiteral("/api/v1/item/1/"));
    source->setHighlight(3);
    source->setQuadrant(2);
    TODOItem* copy = newItem(QStringLiteral("dst"), 2);
    copy->setId_(20);

    source->copyTo(copy, false, false, false, false);
    EXPECT_EQ(copy->serverID(), 2);
    EXPECT_EQ(copy->id_(), 20);
    EXPECT_TRUE(copy->isNull(QStringLiteral("versionID")));
    EXPECT_TRUE(copy->isNull(QStringLiteral("resourceURI")));
    EXPECT_EQ(copy->quadrant(), 2);
    EXPECT_EQ(copy->highlight(), 0); // not among the copied values

    source->copyTo(copy, false);
    EXPECT_EQ(copy->serverID(), 1);
    EXPECT_EQ(copy->id_(), 10);
    EXPECT_EQ(copy->versionID(), 4);
    EXPECT_EQ(copy->resourceURI(), QStringLiteral("/api/v1/item/1/"));
}

TEST_F(ItemCopy, GivenTagsInAnotherContext_WhenCopiedWithTags_ThenDestinationGetsTagsOfItsOwnContext)
{
    store::Context other(TodoModel::shared(), scheduler);
    TODOItem* source = newItem(QStringLiteral("src"), 0, nullptr, &other);
    source->addTagsObject(TagManager::getItemTagForName(QStringLiteral("Work"), other));
    TODOItem* copy = newItem(QStringLiteral("dst"));
    copy->addTagsObject(TagManager::getItemTagForName(QStringLiteral("old"), context));

    source->copyTo(copy, false, true, false, false);

    ASSERT_EQ(copy->tags().size(), 1u);
    EXPECT_EQ(copy->tags().front()->name(), QStringLiteral("work"));
    EXPECT_EQ(copy->tags().front()->context(), &context);
}

TEST_F(ItemCopy, GivenSourceProject_WhenCopiedWithProject_ThenDestinationJoinsTheDocumentsProject)
{
    DocumentContext document(&context);
    store::Context server(TodoModel::shared(), scheduler);
    TODOItem* downloaded = newItem(QStringLiteral("remote"), 5, nullptr, &server);
    downloaded->setProjectURIs({QStringLiteral("/api/v1/project/31/")});
    TODOList* local = newProject(QStringLiteral("local"), 31);
    TODOList* elsewhere = newProject(QStringLiteral("elsewhere"), 32);
    TODOItem* copy = newItem(QStringLiteral("copy"), 0, elsewhere);

    downloaded->copyTo(copy, true);
    EXPECT_EQ(copy->list(), local);
    EXPECT_TRUE(elsewhere->items().empty());

    downloaded->copyTo(copy, false);
    EXPECT_EQ(copy->list(), local);
}

TEST_F(ItemCopy, GivenItemWithServerReminder_WhenCopiedInTheSameStore_ThenOriginalKeepsItsReminder)
{
    TODOItem* source = newItem(QStringLiteral("src"), 1);
    ItemReminder* own = newReminder(500);
    own->setNotes(QStringLiteral("call"));
    own->setTimestamp(10);
    own->setReminder_date(utc(2024, 1, 2, 9));
    source->setReminder(own);
    TODOItem* copy = newItem(QStringLiteral("dst"));

    source->copyTo(copy, false, true, false, false);

    EXPECT_EQ(source->reminder(), own);
    EXPECT_EQ(own->item(), source);
    ASSERT_NE(copy->reminder(), nullptr);
    EXPECT_NE(copy->reminder(), own);
    EXPECT_EQ(copy->reminder()->notes(), QStringLiteral("call"));
    EXPECT_EQ(copy->reminder()->reminder_date(), utc(2024, 1, 2, 9));
    // A new reminder of a new item: not yet on the server.
    EXPECT_EQ(copy->reminder()->identifier(), 0);
    EXPECT_EQ(copy->reminder()->timestamp(), 0);
}

TEST_F(ItemCopy, GivenFollowUpCopy_WhenReminderMoves_ThenItLeavesTheSource)
{
    TODOItem* source = newItem(QStringLiteral("src"), 1);
    ItemReminder* own = newReminder(500);
    source->setReminder(own);
    TODOItem* followUp = newItem(QStringLiteral("next"));

    source->copyTo(followUp, false, true, false, false, TODOItem::OwnReminder::MoveToCopy);

    EXPECT_EQ(followUp->reminder(), own);
    EXPECT_EQ(source->reminder(), nullptr);
}

TEST_F(ItemCopy, GivenLocallyEditedOrNewerReminder_WhenCopied_ThenItIsLeftAlone)
{
    store::Context server(TodoModel::shared(), scheduler);
    TODOItem* source = newItem(QStringLiteral("src"), 1, nullptr, &server);
    ItemReminder* remote = newReminder(500, &server);
    remote->setNotes(QStringLiteral("server"));
    remote->setTimestamp(10);
    source->setReminder(remote);

    TODOItem* local = newItem(QStringLiteral("dst"), 1);
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
    TODOItem* source = newItem(QStringLiteral("src"), 8, nullptr, &server);
    auto* file = server.insert<ItemFile>(ItemFile::staticEntityName());
    file->setIdd(70);
    file->setFilename(QStringLiteral("a.pdf"));
    source->addFilesObject(file);

    TODOItem* local = newItem(QStringLiteral("dst"), 8);
    source->copyTo(local, true, false, true, false);

    ItemFile* copied = ItemFile::findWithID(70, context, local);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->filename(), QStringLiteral("a.pdf"));
    EXPECT_EQ(copied->item(), local);
}

using ItemChangeTest = EntityFixture;

TEST_F(ItemChangeTest, GivenOnlyUntrackedKeysChanged_WhenAsked_ThenNoUploadNeeded)
{
    TODOItem* item = newItem(QStringLiteral("a"));
    context.processPendingChanges();
    item->setTimestamp(100);
    item->setEdited_since(1);
    item->setHighlight(2);
    EXPECT_FALSE(item->needToUploadGiven(nullptr));
}

TEST_F(ItemChangeTest, GivenNameChanged_WhenAskedWithoutOrWithOtherItem_ThenUploadOnlyWhenDifferent)
{
    store::Context server(TodoModel::shared(), scheduler);
    TODOItem* remote = newItem(QStringLiteral("renamed"), 0, nullptr, &server);
    TODOItem* item = newItem(QStringLiteral("a"));
    context.processPendingChanges();
    item->setName(QStringLiteral("renamed"));
    item->setTimestamp(5);
    EXPECT_TRUE(item->needToUploadGiven(nullptr));
    EXPECT_FALSE(item->needToUploadGiven(remote));
    remote->setName(QStringLiteral("other"));
    EXPECT_TRUE(item->needToUploadGiven(remote));
}

TEST_F(ItemChangeTest, GivenChangesOfAnEarlierEvent_WhenAsked_ThenOnlyTheCurrentEventCounts)
{
    TODOItem* item = newItem(QStringLiteral("a"));
    item->setName(QStringLiteral("b"));
    context.processPendingChanges();
    EXPECT_FALSE(item->needToUploadGiven(nullptr));
    item->setDueDate(utc(2024, 1, 1));
    EXPECT_TRUE(item->needToUploadGiven(nullptr));
}

using ItemOrdering = EntityFixture;

TEST_F(ItemOrdering, GivenStarredAndIndexedItems_WhenStableSortedByStar_ThenStarredFirstThenIndexDescending)
{
    auto* starred = TagManager::getItemTagForName(QStringLiteral("starred"), context);
    TODOItem* a = newItem(QStringLiteral("a"));
    a->setIndex(100);
    TODOItem* b = newItem(QStringLiteral("b"));
    b->setIndex(5000);
    TODOItem* c = newItem(QStringLiteral("c"));
    c->setIndex(1);
    c->addTagsObject(starred);
    TODOItem* d = newItem(QStringLiteral("d"));
    d->clearValue(QStringLiteral("index")); // counts as 0
    TODOItem* e = newItem(QStringLiteral("e"));
    e->setIndex(0);
    TODOItem* f = newItem(QStringLiteral("f"));
    f->setIndex(-10);

    std::vector<TODOItem*> items{a, b, c, d, e, f};
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
    TODOItem* undated = newItem(QStringLiteral("u"));
    TODOItem* early = newItem(QStringLiteral("e"));
    early->setDueDate(utc(2024, 3, 1, 10));
    TODOItem* late = newItem(QStringLiteral("l"));
    late->setDueDate(utc(2024, 3, 2, 10));
    EXPECT_LT(early->compareByDates(*late), 0);
    EXPECT_GT(late->compareByDates(*early), 0);
    EXPECT_LT(late->compareByDates(*undated), 0);
    EXPECT_GT(undated->compareByDates(*late), 0);

    // Seconds are dropped; equal due dates fall back to start dates, then percentages.
    TODOItem* sameMinute = newItem(QStringLiteral("s"));
    sameMinute->setDueDate(utc(2024, 3, 1, 10, 0, 40));
    EXPECT_EQ(early->compareByDates(*sameMinute), 0);
    sameMinute->setStartDate(utc(2024, 2, 1));
    EXPECT_GT(early->compareByDates(*sameMinute), 0);
    early->setStartDate(utc(2024, 2, 1));
    early->setCompletionPercentage(50);
    EXPECT_GT(early->compareByDates(*sameMinute), 0);
}

TEST_F(ItemOrdering, GivenAllDayDates_WhenCompared_ThenTheTimeOfDayIsIgnored)
{
    const QDate day(2024, 6, 12);
    TODOItem* morning = newItem(QStringLiteral("m"));
    morning->setDueDate(QDateTime(day, QTime(8, 0)));
    morning->setAllDay(true);
    TODOItem* evening = newItem(QStringLiteral("e"));
    evening->setDueDate(QDateTime(day, QTime(20, 0)));
    evening->setAllDay(true);
    EXPECT_EQ(morning->compareByDates(*evening), 0);
    evening->setAllDay(false);
    EXPECT_LT(morning->compareByDates(*evening), 0);
}

using ItemStarring = EntityFixture;

TEST_F(ItemStarring, GivenTagMutations_WhenStarredTagAddedOrRemoved_ThenFlagFollows)
{
    TODOItem* item = newItem(QStringLiteral("a"));
    EXPECT_FALSE(item->starred().has_value());
    EXPECT_FALSE(item->getStarred());
    ItemTag* starred = TagManager::getItemTagForName(QStringLiteral("starred"), context);
    item->addTagsObject(starred);
    EXPECT_EQ(item->starred(), true);
    item->removeTags({starred});
    EXPECT_EQ(item->starred(), false);
}

TEST_F(ItemStarring, GivenDocumentItem_WhenStarred_ThenTagServiceAddsTheTagLocallyAndOnTheServer)
{
    RecordingTagServer server;
    TagManager tags(TodoModel::shared(), scheduler, &server);
    DocumentContext document(&context);
    TODOItem* item = newItem(QStringLiteral("a"));

    item->setStarred(true);
    EXPECT_TRUE(TagManager::itemHasTagName(item, QStringLiteral("starred")));
    item->setStarred(true); // unchanged: nothing more
    item->setStarred(false);
    EXPECT_FALSE(TagManager::itemHasTagName(item, QStringLiteral("starred")));
    EXPECT_EQ(server.calls, (QStringList{"add starred a", "remove starred a"}));
}

TEST_F(ItemStarring, GivenItemOutsideTheDocument_WhenStarred_ThenOnlyTheCacheChanges)
{
    RecordingTagServer server;
    TagManager tags(TodoModel::shared(), scheduler, &server);
    store::Context scratch(TodoModel::shared(), scheduler);
    DocumentContext document(&context);
    TODOItem* item = newItem(QStringLiteral("a"), 0, nullptr, &scratch);

    item->setStarred(true);
    EXPECT_TRUE(item->getStarred());
    EXPECT_TRUE(item->tags().empty());
    EXPECT_TRUE(server.calls.isEmpty());
}

} // namespace
} // namespace qv::test
