#include "tests/ui/board/BoardDocumentFixture.h"

#include "core/document/Collaboration.h"
#include "core/document/DocumentWindow.h"
#include "platform/Log.h"
#include "ui/board/ItemFilterPanel.h"

namespace qv::test {
namespace {

class RecordingView final : public BoardView {
public:
    QStringList calls;
    void editTitle(int quadrant, qsizetype row) override
    {
        calls << QStringLiteral("edit %1:%2").arg(quadrant).arg(row);
    }
    void scrollToRow(int quadrant, qsizetype row) override
    {
        calls << QStringLiteral("scroll %1:%2").arg(quadrant).arg(row);
    }
    void focusQuadrant(int quadrant) override { calls << QStringLiteral("focus %1").arg(quadrant); }
    void focusProjectList() override { calls << "focus list"; }
    void cleanListCustomCells() override { calls << "cleanListCustomCells"; }
    void showUndeleteWindow() override { calls << "undelete"; }
    void toggleShowDetail() override { calls << "toggleShowDetail"; }
    void endEditing() override { calls << "endEditing"; }
};

class FakeFilterPanel final : public ItemFilterPanel {
public:
    bool filtering = false;
    QStringList owners;
    int resets = 0;
    Preferences* preferences = nullptr;
    bool getIsFiltering() const override { return filtering; }
    void reset() override
    {
        ++resets;
        filtering = false;
        preferences->setValue("kItemFilterState", 1);
    }
    QStringList currentOwnerEmails() const override { return owners; }
    Predicate userFilterPredicate() const override { return Predicate(); }
};

class FakeMe final : public CollaborationInterface {
public:
    std::optional<QString> me;
    std::optional<QString> myUsername() const override { return me; }
};

// The window half as far as the document reaches it: filters go to the board.
class BoardWindow final : public DocumentWindow {
public:
    Board* board = nullptr;
    ProjectList* projectList() override { return nullptr; }
    void changeFiltersToNormal() override { board->changeFiltersToNormal(); }
    void updateFilters() override { board->updateFilters(); }
    Predicate userFilterPredicate() const override { return board->userFilterPredicate(); }
    void startObservingSyncEngine() override {}
    void startCalendarSyncTimer() override {}
    void stopObserving() override {}
    void inboxItemAdded(TODOItem*) override {}
};

class BoardOperationsTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        project = ProjectBuilder(context(), "Launch").atIndex(1000);
        board = std::make_unique<Board>(*document, services);
        window.board = board.get();
        document->setWindow(&window);
        board->setView(&view);
        board->updateFilters();
        board->updateSortDescriptors();
        board->showProject(project);
        view.calls.clear();
    }

    void TearDown() override
    {
        document->setWindow(nullptr);
        board.reset();
    }

    ArrayController& quadrant(int q) const { return board->controller(q); }
    void reshow()
    {
        board->showProject(nullptr);
        board->showProject(project);
    }
    void select(int q, const QList<qsizetype>& rows)
    {
        board->setActiveQuadrant(q);
        quadrant(q).setSelectionIndexes(rows);
    }

    RecordingView view;
    BoardWindow window;
    std::unique_ptr<Board> board;
};

// --- Adding an item to a quadrant

TEST_F(BoardOperationsTest, GivenAnEmptyQuadrant_WhenAnItemIsAdded_ThenItsIndexIsZeroAndItsTitleOpens)
{
    TODOItem* item = board->addTODOItemToQuadrant(2);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->index(), 0);
    EXPECT_EQ(item->quadrant(), 2);
    EXPECT_EQ(item->name(), QString(""));
    EXPECT_EQ(item->icon(), "empty_orange128.png");
    EXPECT_EQ(item->list(), project);
    EXPECT_EQ(item->creationDate(), clock.now());
    EXPECT_EQ(item->lastModifiedTimestamp(), clock.now().toSecsSinceEpoch());
    EXPECT_NE(item->id_(), 0);
    EXPECT_EQ(project->lastItemIndex(), 1);
    EXPECT_EQ(quadrant(2).selectedObjects(), std::vector<store::ManagedObject*>{item});
    EXPECT_TRUE(view.calls.contains("edit 2:0"));
    EXPECT_EQ(board->addingItem(), item);
    EXPECT_TRUE(sync.blocked.contains(item));
}

TEST_F(BoardOperationsTest, GivenItemsAt5000And4000_WhenAddingToTheTopOrBottom_ThenTheNewItemGets5100Or3900)
{
    ItemBuilder("top").atIndex(5000).in(project);
    ItemBuilder("last").atIndex(4000).in(project);
    reshow();
    TODOItem* first = board->addTODOItemToQuadrant(0);
    EXPECT_EQ(first->index(), 5100);
    EXPECT_EQ(names(quadrant(0).arrangedObjects()), QStringList({"", "top", "last"}));
    EXPECT_TRUE(view.calls.contains("edit 0:0"));
    first->setName("first");
    board->editingItemDidEnd(0, Board::TextMovement::Other);

    preferences.setValue("addNewItemsToTop", false);
    EXPECT_EQ(board->addTODOItemToQuadrant(0)->index(), 3900);
    EXPECT_EQ(names(quadrant(0).arrangedObjects()), QStringList({"first", "top", "last", ""}));
    EXPECT_TRUE(view.calls.contains("edit 0:3"));
}

TEST_F(BoardOperationsTest,
       GivenTheFilterPanelFiltersOrAUserIsSignedIn_WhenAnItemIsAdded_ThenThePanelIsResetFirstAndTheOwnerSet)
{
    FakeFilterPanel panel;
    panel.preferences = &preferences;
    panel.filtering = true;
    panel.owners = {"ana@example.com"};
    board->setFilterPanel(&panel);
    preferences.setValue("kItemFilterState", 2);

    TODOItem* item = board->addTODOItemToQuadrant(0);
    EXPECT_EQ(panel.resets, 1);
    EXPECT_EQ(preferences.intValue("kItemFilterState"), 1);
    EXPECT_EQ(item->ownerUsername(), "ana@example.com");
    EXPECT_EQ(quadrant(0).arrangedIndexOf(item), 0);

    panel.owners.clear(); // the owners chosen on the panel come first
    FakeMe me;
    me.me = "me@example.com";
    board->setCollaboration(&me);
    EXPECT_EQ(board->addTODOItemToQuadrant(1)->ownerUsername(), "me@example.com");
}

TEST_F(BoardOperationsTest,
       GivenAProjectStillBeingFetchedOrNoneOrAnUntitledNewItem_WhenAddingOrSwitching_ThenNothingIsLeftBehind)
{
    project->setLazyFetch(true);
    EXPECT_EQ(board->addTODOItemToQuadrant(0), nullptr);
    board->showProject(nullptr);
    EXPECT_EQ(board->addTODOItemToQuadrant(0, true), nullptr);
    EXPECT_EQ(context().count(TODOItem::staticEntityName()), 0);

    // A new item still waiting for its title is finished before another project shows.
    board->showProject(project);
    project->setLazyFetch(false);
    TODOItem* item = board->addTODOItemToQuadrant(0);
    board->showProject(ProjectBuilder(context(), "Other").atIndex(1000));
    EXPECT_TRUE(item->isDeleted());
    EXPECT_TRUE(sync.blocked.isEmpty());
    EXPECT_EQ(board->addingItem(), nullptr);
}

// --- The quick-add chain and the end of a title edit

TEST_F(BoardOperationsTest, GivenManualOrder_WhenTitlesEnd_ThenReturnOpensTheNextItemAndAnEmptyOneIsRemoved)
{
    TODOItem* first = board->addTODOItemToQuadrant(1);
    first->setName("Buy milk");
    board->editingItemDidEnd(1, Board::TextMovement::Return);

    EXPECT_EQ(board->addingItem(), nullptr);
    EXPECT_EQ(board->previouslySelectedItem(), first);
    EXPECT_FALSE(sync.blocked.contains(first));
    EXPECT_EQ(quadrant(1).arrangedCount(), 1);

    scheduler.runPosted();
    TODOItem* blank = board->addingItem();
    ASSERT_NE(blank, nullptr);
    EXPECT_NE(blank, first);
    // The chain goes on under the item just typed, while a single new item went to the top.
    EXPECT_EQ(names(quadrant(1).arrangedObjects()), QStringList({"Buy milk", ""}));
    EXPECT_TRUE(view.calls.contains("edit 1:1"));
    TODOItem* second = blank;
    second->setName("Bread");
    board->editingItemDidEnd(1, Board::TextMovement::Return);
    scheduler.runPosted();
    blank = board->addingItem();
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(names(quadrant(1).arrangedObjects()), QStringList({"Buy milk", "Bread", ""}));

    // Left empty, the quick-add item goes and the previous one is selected again.
    board->editingItemDidEnd(1, Board::TextMovement::Return);
    EXPECT_TRUE(blank->isDeleted());
    EXPECT_FALSE(sync.blocked.contains(blank));
    EXPECT_FALSE(quadrant(1).contentContains(blank));
    EXPECT_EQ(quadrant(1).selectedObjects(), std::vector<store::ManagedObject*>{second});
    EXPECT_EQ(board->previouslySelectedItem(), nullptr);
    scheduler.runPosted();
    EXPECT_EQ(board->addingItem(), nullptr);

    for (Board::TextMovement movement :
         {Board::TextMovement::Tab, Board::TextMovement::Cancel, Board::TextMovement::Other}) {
        board->addTODOItemToQuadrant(1)->setName("Named");
        board->editingItemDidEnd(1, movement);
        scheduler.runPosted();
        EXPECT_EQ(board->addingItem(), nullptr);
    }
    EXPECT_EQ(quadrant(1).arrangedCount(), 5);
    EXPECT_EQ(names(quadrant(1).arrangedObjects()).first(), QStringLiteral("Named"));
}

TEST_F(BoardOperationsTest, GivenAnotherSortMode_WhenAQuickAddTitleEnds_ThenTheQuestionIsAskedOncePerRun)
{
    preferences.setValue("kItemSortingState", 1);
    alerts.answers = {1};
    TODOItem* item = board->addTODOItemToQuadrant(0);
    item->setName("B");
    board->editingItemDidEnd(0, Board::TextMovement::Return);
    scheduler.runPosted();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message, "Change to Manual Sorting Mode?");
    EXPECT_EQ(
        alerts.shown[0].informative,
        QStringLiteral("Manual sorting is the only sorting mode that allows you quickly add items once after "
                       "another.\nNote: You can access the other sorting modes in Sort & Filters in the main "
                       "toolbar."));
    EXPECT_EQ(alerts.shown[0].buttons, QStringList({"Yes", "No", "Don't bother me again"}));
    EXPECT_EQ(board->addingItem(), nullptr);
    EXPECT_EQ(quadrant(0).selectedObjects(), std::vector<store::ManagedObject*>{item});

    TODOItem* again = board->addTODOItemToQuadrant(0);
    again->setName("A");
    board->editingItemDidEnd(0, Board::TextMovement::Return);
    scheduler.runPosted();
    EXPECT_EQ(alerts.shown.size(), 1);
}

TEST_F(BoardOperationsTest,
       GivenTheQuickAddQuestion_WhenAnswered_ThenYesSwitchesToManualAndTheThirdButtonSilencesIt)
{
    preferences.setValue("kItemSortingState", 1);
    alerts.answers = {0};
    EXPECT_TRUE(board->suggestManualSortingForQuickAdd());
    EXPECT_EQ(preferences.intValue("kItemSortingState"), 0);

    Board other(*document, services);
    preferences.setValue("kItemSortingState", 1);
    alerts.answers = {2};
    EXPECT_FALSE(other.suggestManualSortingForQuickAdd());
    EXPECT_TRUE(preferences.boolValue("kNOAlertQuickAddManualSortingEver"));
    Board third(*document, services);
    EXPECT_FALSE(third.suggestManualSortingForQuickAdd());
    EXPECT_EQ(alerts.shown.size(), 2);
}

// --- Moving to the top and the bottom

TEST_F(BoardOperationsTest,
       GivenSelectedItems_WhenMovedToAnEdge_ThenTheyGoThereInTheirOrderUnlessAlreadyThere)
{
    const struct {
        bool top;
        QStringList items; // indexes 900, 800, ...
        QList<qsizetype> selected;
        QStringList order;
        QStringList indexes;
    } cases[] = {
        {true, {"top", "a", "b", "c"}, {1, 2, 3}, {"a", "b", "c", "top"}, {"1200", "1100", "1000", "900"}},
        {false, {"a", "b", "last"}, {0, 1}, {"last", "a", "b"}, {"700", "600", "500"}},
        {true, {"top", "a"}, {0, 1}, {"top", "a"}, {"900", "800"}},
    };
    for (int q = 0; q < 3; ++q)
        for (qsizetype i = 0; i < cases[q].items.size(); ++i)
            ItemBuilder(cases[q].items[i]).inQuadrant(q).atIndex(900 - 100 * i).in(project);
    reshow();
    for (int q = 0; q < 3; ++q) {
        select(q, cases[q].selected);
        board->moveSelectedItemsToFringe(cases[q].top);
        EXPECT_EQ(names(quadrant(q).arrangedObjects()), cases[q].order);
        EXPECT_EQ(indexes(quadrant(q).arrangedObjects()), cases[q].indexes);
    }
    EXPECT_TRUE(view.calls.contains("scroll 0:0"));
}

// --- Completing

TEST_F(BoardOperationsTest,
       GivenSelectedOrClickedItems_WhenToggled_ThenOpenOnesCompleteCompletedOnesReopenAndOnlyTheClickedRow)
{
    preferences.setValue("kItemFilterState", 0);
    TODOItem* open = ItemBuilder("open").atIndex(900).in(project);
    TODOItem* done = ItemBuilder("done").atIndex(800).completed().in(project);
    done->setCompletionPercentage(100);
    TODOItem* itemA = ItemBuilder("a").inQuadrant(1).atIndex(900).in(project);
    TODOItem* itemB = ItemBuilder("b").inQuadrant(1).atIndex(800).in(project);
    reshow();
    select(0, {0, 1});
    board->toggleListOrItemsAsCompleted();
    EXPECT_EQ(open->state(), 1);
    EXPECT_EQ(open->completionPercentage(), 100);
    EXPECT_EQ(done->state(), 0);
    EXPECT_EQ(done->completionPercentage(), 0);
    EXPECT_TRUE(view.calls.contains("cleanListCustomCells"));

    board->markClickedItemAsDone(1, 1);
    EXPECT_EQ(itemA->state(), 0);
    EXPECT_EQ(itemB->state(), 1);
    board->markClickedItemAsDone(1, 1);
    EXPECT_EQ(itemB->state(), 0);
    board->markClickedItemAsDone(1, 7);
    board->markClickedItemAsDone(1, -1);
}

// Completing a recurring item adds its follow-up and filters the board again while the selection
// is being walked; every selected item must still be completed, and only those.
TEST_F(BoardOperationsTest,
       GivenSeveralSelectedItemsWithARecurringOne_WhenCompleted_ThenExactlyThoseAreCompleted)
{
    TODOItem* itemB = ItemBuilder("b").atIndex(900).in(project);
    TODOItem* recurring = ItemBuilder("daily").atIndex(800).in(project);
    recurring->setDueDate(clock.now().addDays(1));
    recurring->setFrequency("Daily");
    TODOItem* itemC = ItemBuilder("c").atIndex(700).in(project);
    TODOItem* untouched = ItemBuilder("d").atIndex(600).in(project);
    reshow();
    select(0, {0, 1, 2});
    alerts.answers = {0};

    board->markListOrItemsAsCompleted();

    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message, "Are you sure you want to complete the selected 3 items?");
    EXPECT_EQ(alerts.shown[0].informative, QString());
    EXPECT_EQ(alerts.shown[0].buttons, QStringList({"OK", "Cancel"}));
    for (TODOItem* item : {recurring, itemB, itemC}) {
        EXPECT_EQ(item->state(), 1) << item->name().toStdString();
        EXPECT_EQ(item->completionPercentage(), 100);
    }
    EXPECT_EQ(untouched->state(), 0);
    QStringList shown = names(quadrant(0).arrangedObjects());
    EXPECT_EQ(shown, QStringList({"daily", "d"}));
    TODOItem* followUp = store::as<TODOItem>(quadrant(0).arrangedObjects().front());
    EXPECT_NE(followUp, recurring);
    EXPECT_EQ(followUp->state(), 0);
    EXPECT_EQ(quadrant(0).selectionIndexes(), QList<qsizetype>{0});
}

TEST_F(BoardOperationsTest,
       GivenSelectedItemsOrNone_WhenCompletionOrDeletionIsDeclinedOrNotAsked_ThenTheyStayOrTheTrashBinOpens)
{
    TODOItem* item = ItemBuilder("").inQuadrant(2).atIndex(900).in(project);
    reshow();
    select(2, {0});
    alerts.answers = {1};
    board->markListOrItemsAsCompleted();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message, "Are you sure you want to complete item named 'Untitled'?");
    EXPECT_EQ(item->state(), 0);

    TODOItem* itemA = ItemBuilder("a").atIndex(900).in(project);
    TODOItem* itemB = ItemBuilder("b").atIndex(800).in(project);
    reshow();
    select(0, {0, 1});
    alerts.answers = {1};
    board->markItemsAsDeleted();
    EXPECT_EQ(alerts.shown.last().message, "Are you sure you want to delete 2 items?");
    EXPECT_EQ(itemA->state(), 0);
    EXPECT_EQ(itemB->state(), 0);

    // No selection: the trash bin opens; nothing to confirm answers no.
    quadrant(0).setSelectionIndexes({});
    board->markItemsAsDeleted();
    EXPECT_EQ(alerts.shown.size(), 2);
    EXPECT_TRUE(view.calls.contains("undelete"));
    EXPECT_FALSE(board->userConfirmsItemsCompleted({}));
    EXPECT_FALSE(board->userConfirmsItemsDeletion({}));
    EXPECT_EQ(alerts.shown.size(), 2);
}

// --- Deleting

TEST_F(BoardOperationsTest,
       GivenSelectedItems_WhenDeletionIsConfirmed_ThenTheyGoToTheTrashAndTheNextRowIsSelected)
{
    ItemBuilder("a").atIndex(900).in(project);
    TODOItem* itemB = ItemBuilder("Write report").atIndex(800).in(project);
    ItemBuilder("c").atIndex(700).in(project);
    reshow();
    select(0, {1});
    alerts.answers = {0};
    board->markItemsAsDeleted();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message, "Are you sure you want to delete item named 'Write report'?");
    EXPECT_EQ(alerts.shown[0].informative, "Deleted items can later be restored by opening the trash bin.");
    EXPECT_EQ(alerts.shown[0].buttons, QStringList({"OK", "Cancel"}));
    EXPECT_EQ(itemB->state(), 2);
    EXPECT_EQ(names(quadrant(0).arrangedObjects()), QStringList({"a", "c"}));
    EXPECT_EQ(quadrant(0).selectionIndexes(), QList<qsizetype>{1});
}

// --- Stars

TEST_F(BoardOperationsTest, GivenTwoStarClicksWithinATenthOfASecond_WhenTimePasses_ThenEachItemFlipsOnce)
{
    TODOItem* itemA = ItemBuilder("a").atIndex(900).in(project);
    reshow();
    select(0, {0});
    board->flipStarForSelectedItems(0);
    scheduler.advance(50);
    board->flipStarForSelectedItems(0);
    EXPECT_FALSE(itemA->getStarred());
    scheduler.advance(50);
    EXPECT_TRUE(itemA->getStarred());
    scheduler.advance(500);
    EXPECT_TRUE(itemA->getStarred());
}

// --- The project shown follows the store

TEST_F(BoardOperationsTest, GivenTheProjectShown_WhenItemsJoinOrLeaveIt_ThenTheQuadrantsFollow)
{
    TODOList* other = ProjectBuilder(context(), "Other").atIndex(1000);
    TODOItem* moving = ItemBuilder("moving").inQuadrant(1).atIndex(500).in(other);
    scheduler.runPosted();
    EXPECT_EQ(quadrant(1).arrangedCount(), 0);

    ItemBuilder("synced").inQuadrant(1).atIndex(900).in(project);
    project->addItem(moving);
    scheduler.runPosted();
    EXPECT_EQ(names(quadrant(1).arrangedObjects()), QStringList({"synced", "moving"}));

    other->addItem(moving);
    scheduler.runPosted();
    EXPECT_EQ(names(quadrant(1).arrangedObjects()), QStringList({"synced"}));
}

TEST_F(BoardOperationsTest, GivenAFilterState_WhenTheStorePredicateIsAsked_ThenItMatchesTheBoard)
{
    preferences.setValue("kItemFilterState", 2);
    EXPECT_EQ(board->userFilterPredicate().format(),
              Predicate::withFormat("state <> 2 AND state <> 3 AND (state == 1 OR state<0)").format());
    preferences.setValue("kItemFilterState", 4);
    EXPECT_EQ(board->userFilterPredicate().format(),
              Predicate::withFormat("state <> 2 AND state <> 3").format());
}

// --- The editing lock

TEST_F(BoardOperationsTest, GivenClaimsAndADrag_WhenAllIsReleased_ThenTheLockIsFree)
{
    board->claimEditing(Board::kItemNameComponent);
    EXPECT_TRUE(sync.editing);
    board->releaseEditing("projectNameTextCell");
    EXPECT_TRUE(sync.editing);
    board->releaseAll();
    EXPECT_FALSE(sync.editing);
    board->beginDragging();
    EXPECT_TRUE(sync.editing);
    board->releaseAll();
    EXPECT_FALSE(sync.editing);
    board->releaseAll();
    EXPECT_EQ(sync.calls, QStringList({"claim itemNameTextCell", "release itemNameTextCell", "drag begins",
                                       "drag ends"}));
}

} // namespace
} // namespace qv::test
