#include "tests/core/document/DocumentFixture.h"

#include "core/model/ItemReminder.h"
#include "core/model/ItemTag.h"
#include "core/model/ListTag.h"
#include "core/model/TagManager.h"

#include <deque>

namespace qv::test {
namespace {

class RecordingController : public ItemArrayController {
public:
    std::vector<TODOItem*> added;
    void addObject(TODOItem* item) override { added.push_back(item); }
};

class ItemLifecycleTest : public DocumentFixture {
protected:
    void SetUp() override
    {
        DocumentFixture::SetUp();
        project = ProjectBuilder(context(), "P");
    }

    TODOItem* recurring(const QString& frequency, const QDateTime& due)
    {
        return ItemBuilder(frequency).withValue("frequency", frequency).due(due).madeBy(*document, project);
    }

    ItemReminder* remind(TODOItem* item, qint64 identifier)
    {
        auto* reminder = context().insert<ItemReminder>(ItemReminder::staticEntityName());
        reminder->setIdentifier(identifier);
        reminder->setNotes("call back");
        reminder->setReminder_date(berlinTime(2024, 5, 1, 8));
        item->setReminder(reminder);
        return reminder;
    }

    TODOList* project = nullptr;
};

// --- New items

TEST_F(ItemLifecycleTest,
       GivenAProjectOrNone_WhenItemsAreMade_ThenTheirIndexesAre1000ApartOrAnInboxItemIsAtZero)
{
    project->setLastItemIndex(5000);

    TODOItem* first = document->newItemForProject(project, 2);
    TODOItem* second = document->newItemForProject(project);

    EXPECT_EQ(first->index(), 5000);
    EXPECT_EQ(second->index(), 6000);
    EXPECT_EQ(project->lastItemIndex(), 7000);
    EXPECT_EQ(first->quadrant(), 2);
    EXPECT_EQ(second->quadrant(), 0);
    EXPECT_EQ(first->state(), 0);
    EXPECT_EQ(first->icon(), "empty_orange128.png");
    EXPECT_EQ(first->creationDate(), clock.now());
    EXPECT_EQ(first->list(), project);

    TODOItem* item = document->newItemForProject(nullptr, 1);

    EXPECT_EQ(item->list(), nullptr);
    EXPECT_EQ(item->index(), 0);
    EXPECT_FALSE(item->isNull("id_"));
}

TEST_F(ItemLifecycleTest, GivenTakenIdentifiers_WhenANewOneIsDrawn_ThenOnlyTheSameProjectsItemsCount)
{
    std::deque<quint32> draws = {11, 11, 22, 33};
    document->setItemIdSource([&] {
        const quint32 next = draws.front();
        draws.pop_front();
        return next;
    });
    ItemBuilder("holds 11").withId(11).in(project);
    ItemBuilder("holds 22").withId(22).in(ProjectBuilder(context(), "Q"));
    draws = {11, 11, 22, 33};

    EXPECT_EQ(document->newUniqueIdForItemInList(project), 22);
    EXPECT_EQ(document->newUniqueIdForItemInList(nullptr), 33);
}

// --- Trash, complete, reopen

TEST_F(ItemLifecycleTest, GivenAnItemWithADueDate_WhenTrashed_ThenItsCalendarEventGoesToo)
{
    TODOItem* due = ItemBuilder("due").due(berlinTime(2024, 5, 1, 9)).madeBy(*document, project);
    TODOItem* undated = ItemBuilder("undated").madeBy(*document, project);

    document->markTODOItemAsTrashed(due, project);
    document->markTODOItemAsTrashed(undated, project);

    EXPECT_EQ(due->state(), 2);
    EXPECT_EQ(undated->state(), 2);
    EXPECT_EQ(calendar.deleted, QStringList({"due"}));
}

TEST_F(ItemLifecycleTest,
       GivenTrashedOrCompletedItems_WhenMarked_ThenTheStateAndCompletionDateFollowTheHundred)
{
    TODOItem* item =
        ItemBuilder("x").withValue("completionPercentage", 30).trashed().madeBy(*document, project);
    document->markTODOItem(item, project, nullptr, 50);
    EXPECT_EQ(item->state(), 2) << "a trashed item stays there below a hundred";
    EXPECT_EQ(item->completionPercentage(), 30);
    document->markTODOItem(item, project, nullptr, 100);
    EXPECT_EQ(item->state(), 1);
    EXPECT_EQ(item->completionDate(), clock.now());

    const QDateTime earlier = berlinTime(2024, 1, 2, 3);
    item = ItemBuilder("y").withValue("completionDate", earlier).madeBy(*document, project);
    document->markTODOItem(item, project, nullptr, 120);
    EXPECT_EQ(item->completionDate(), earlier);
    document->markTODOItem(item, project, nullptr, 40);
    EXPECT_EQ(item->state(), 0);
    EXPECT_EQ(item->completionPercentage(), 40);
    EXPECT_TRUE(item->isNull("completionDate"));
}

// --- Recurrence

TEST_F(ItemLifecycleTest,
       GivenAMonthlyItemDueOn31January_WhenCompleted_ThenTheFollowUpIsDueAtTheEndOfFebruary)
{
    TODOItem* item = ItemBuilder()
                         .starting(berlinTime(2023, 1, 30, 8))
                         .onto(recurring("Monthly", berlinTime(2023, 1, 31, 9, 15)));

    document->markTODOItem(item, project, nullptr, 100);

    ASSERT_NE(item->childID(), 0);
    const auto follow = context().lookup(TODOItem::staticEntityName(), "id_", item->childID());
    ASSERT_EQ(follow.size(), 1u);
    auto* followUp = store::as<TODOItem>(follow.front());
    EXPECT_EQ(followUp->dueDate(), berlinTime(2023, 2, 28, 9, 15));
    EXPECT_EQ(followUp->startDate(), berlinTime(2023, 2, 28, 8));
}

TEST_F(ItemLifecycleTest, GivenWeeklyAndYearlySteps_WhenTheyCrossAClockChange_ThenTheTimeOfDayIsKept)
{
    const struct {
        const char* frequency;
        QDateTime due;
        QDateTime next;
    } cases[] = {
        // Summer time starts on 31 March 2024: seven calendar days are 167 hours here.
        {"Weekly", berlinTime(2024, 3, 28, 9), berlinTime(2024, 4, 4, 9)},
        {"Daily", berlinTime(2024, 10, 26, 23, 30), berlinTime(2024, 10, 27, 23, 30)},
        {"Biweekly", berlinTime(2024, 3, 20, 7), berlinTime(2024, 4, 3, 7)},
        {"4-weekly", berlinTime(2024, 3, 20, 7), berlinTime(2024, 4, 17, 7)},
        {"Quarterly", berlinTime(2024, 1, 15, 18), berlinTime(2024, 4, 15, 18)},
        {"Semesterly", berlinTime(2024, 8, 31, 6), berlinTime(2025, 2, 28, 6)},
        {"Yearly", berlinTime(2024, 2, 29, 12), berlinTime(2025, 2, 28, 12)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frequency);
        TODOItem* item = recurring(c.frequency, c.due);
        TODOItem* followUp = document->performRecurrenceForTODOItem(item, project, nullptr);
        ASSERT_NE(followUp, nullptr);
        EXPECT_EQ(followUp->dueDate(), c.next);
    }
}

TEST_F(ItemLifecycleTest, GivenAnUntilDate_WhenTheNextDueDateWouldPassIt_ThenNoFollowUpIsMade)
{
    const QDateTime due = berlinTime(2024, 3, 28, 9);

    TODOItem* lastOne = recurring("Weekly", due);
    lastOne->setUntilDate(berlinTime(2024, 4, 4, 9));
    EXPECT_NE(document->performRecurrenceForTODOItem(lastOne, project, nullptr), nullptr);

    TODOItem* over = recurring("Weekly", due);
    over->setUntilDate(berlinTime(2024, 4, 3, 9));
    EXPECT_EQ(document->performRecurrenceForTODOItem(over, project, nullptr), nullptr);
    EXPECT_EQ(over->childID(), 0);
}

TEST_F(ItemLifecycleTest,
       GivenARecurringItem_WhenCompleted_ThenTheFollowUpIsAFreshOpenCopyLinkedBothWaysWithTheReminder)
{
    TODOItem* item = recurring("Daily", berlinTime(2024, 5, 1, 9));
    ItemBuilder()
        .withServerID(9001)
        .inQuadrant(3)
        .withValue("descriptionText", "notes")
        .ownedBy("ana")
        .taggedWith("home")
        .onto(item);
    ItemReminder* reminder = remind(item, 31);
    RecordingController controller;

    document->markTODOItem(item, project, &controller, 100);

    ASSERT_EQ(controller.added.size(), 1u);
    TODOItem* followUp = controller.added.front();
    EXPECT_EQ(followUp->list(), project);
    EXPECT_EQ(followUp->parentID(), item->id_());
    EXPECT_EQ(item->childID(), followUp->id_());
    EXPECT_NE(followUp->id_(), item->id_());
    EXPECT_EQ(followUp->childID(), 0);
    EXPECT_EQ(followUp->state(), 0);
    EXPECT_EQ(followUp->completionPercentage(), 0);
    EXPECT_TRUE(followUp->isNull("completionDate"));
    EXPECT_EQ(followUp->serverID(), 0);
    EXPECT_EQ(followUp->name(), "Daily");
    EXPECT_EQ(followUp->quadrant(), 3);
    EXPECT_EQ(followUp->descriptionText(), "notes");
    EXPECT_EQ(followUp->ownerUsername(), "ana");
    EXPECT_EQ(followUp->frequency(), "Daily");
    EXPECT_EQ(followUp->getTagNames(), QStringList({"home"}));
    EXPECT_EQ(followUp->reminder(), reminder) << "the reminder moves to the follow-up";
    EXPECT_EQ(item->reminder(), nullptr);
    EXPECT_EQ(item->state(), 1);
    EXPECT_EQ(window->calls, QStringList({"changeFiltersToNormal", "updateFilters"}));
}

TEST_F(ItemLifecycleTest,
       GivenAFollowUpOrNoUsableRecurrence_WhenCompletedAgainOrAtAll_ThenNoSecondFollowUpIsMade)
{
    TODOItem* item = recurring("Weekly", berlinTime(2024, 5, 1, 9));

    document->markTODOItem(item, project, nullptr, 100);
    document->markTODOItem(item, project, nullptr, 0);
    document->markTODOItem(item, project, nullptr, 100);

    EXPECT_EQ(project->items().size(), 2u);
    window->calls.clear();

    TODOItem* undated = ItemBuilder("undated").withValue("frequency", "Daily").madeBy(*document, project);
    TODOItem* never = recurring("Never", berlinTime(2024, 5, 1, 9));
    TODOItem* unknown = recurring("Fortnightly", berlinTime(2024, 5, 1, 9));
    TODOItem* none = recurring(QString(), berlinTime(2024, 5, 1, 9));

    for (TODOItem* unrepeated : {undated, never, unknown, none})
        document->markTODOItem(unrepeated, project, nullptr, 100);

    EXPECT_EQ(project->items().size(), 6u);
    EXPECT_TRUE(window->calls.isEmpty());
}

// --- Clone

TEST_F(ItemLifecycleTest, GivenAProject_WhenClonedWithItems_ThenTheCloneIsNewAndItsItemsAreUnowned)
{
    ProjectBuilder(project)
        .named("Launch")
        .withId(555)
        .atIndex(40)
        .withValue("textFirstQuadrant", "Now")
        .taggedWith("work");
    TODOItem* a = ItemBuilder("a")
                      .inQuadrant(2)
                      .withServerID(71)
                      .ownedBy("ana")
                      .withValue("owner", "/api/v1/user/3/")
                      .madeBy(*document, project);
    ItemBuilder("b").inQuadrant(1).madeBy(*document, project);

    TODOList* clone = document->cloneList(project, true);

    EXPECT_NE(clone, project);
    EXPECT_EQ(clone->id_(), 0);
    EXPECT_EQ(clone->edited_since(), 1);
    EXPECT_EQ(clone->index(), 42);
    EXPECT_EQ(clone->name(), "Launch");
    EXPECT_EQ(clone->textFirstQuadrant(), "Now");
    EXPECT_EQ(clone->getTagNames(), QStringList({"work"}));
    const std::vector<TODOItem*> copies = clone->items();
    ASSERT_EQ(copies.size(), 2u);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const TODOItem* original = project->items()[i];
        EXPECT_EQ(copies[i]->name(), original->name());
        EXPECT_EQ(copies[i]->quadrant(), original->quadrant());
        EXPECT_EQ(copies[i]->index(), original->index());
        EXPECT_EQ(copies[i]->serverID(), 0);
        EXPECT_TRUE(copies[i]->ownerUsername().isEmpty());
        EXPECT_TRUE(copies[i]->owner().isEmpty());
        EXPECT_EQ(copies[i]->edited_since(), 1);
    }
    EXPECT_EQ(a->ownerUsername(), "ana");
    EXPECT_EQ(project->items().size(), 2u);
    EXPECT_EQ(window->projects.calls, QStringList({"adjustIndices", "rearrange"}));
}

TEST_F(ItemLifecycleTest, GivenItemsWithReminders_WhenTheirProjectIsCloned_ThenTheOriginalsKeepTheirReminders)
{
    project->setId_(8);
    TODOItem* synced = ItemBuilder("synced reminder").madeBy(*document, project);
    ItemReminder* known = remind(synced, 12);
    TODOItem* local = ItemBuilder("local reminder").madeBy(*document, project);
    ItemReminder* unsent = remind(local, 0);

    TODOList* clone = document->cloneList(project, true);

    EXPECT_EQ(synced->reminder(), known);
    EXPECT_EQ(known->item(), synced);
    EXPECT_EQ(known->identifier(), 12);
    EXPECT_EQ(local->reminder(), unsent);
    ASSERT_EQ(clone->items().size(), 2u);
    EXPECT_NE(clone->items()[0]->reminder(), nullptr);
    for (TODOItem* copy : clone->items()) {
        if (ItemReminder* own = copy->reminder()) {
            EXPECT_NE(own, known);
            EXPECT_NE(own, unsent);
            EXPECT_EQ(own->identifier(), 0);
            EXPECT_EQ(own->notes(), "call back");
        }
    }
}

// --- Inbox items

TEST_F(ItemLifecycleTest,
       GivenATitleOrABlankOne_WhenAnInboxItemIsAdded_ThenItIsMarkedAndSentAtOnceOrNoneIsMade)
{
    TODOItem* item = document->addItemWithTitle("  \n Buy milk \n", "two litres");

    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->list(), nullptr);
    EXPECT_EQ(item->name(), "Buy milk");
    EXPECT_EQ(item->descriptionText(), "two litres");
    EXPECT_EQ(item->timestamp(), clock.secondsSince1970());
    EXPECT_EQ(item->creationDate(), clock.now());
    EXPECT_EQ(item->edited_since(), 1);
    EXPECT_EQ(item->icon(), "empty_orange128.png");
    EXPECT_EQ(sync.calls, QStringList({"sendItem Buy milk"}));
    EXPECT_EQ(window->calls, QStringList({"inboxItemAdded Buy milk"}));

    EXPECT_EQ(document->addItemWithTitle(" \n\t ", "notes"), nullptr);
    EXPECT_EQ(context().count(TODOItem::staticEntityName()), 1);
    EXPECT_EQ(sync.calls.size(), 1);
}

} // namespace
} // namespace qv::test
