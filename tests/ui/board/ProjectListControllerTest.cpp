#include "tests/ui/board/ProjectListFixture.h"

#include "platform/Log.h"
#include "ui/board/ProjectTagFilter.h"

#include <QSignalSpy>

namespace qv::test {
namespace {

using ProjectListArchivedFilterTest = ProjectListFixture;

TEST_F(ProjectListArchivedFilterTest, GivenArchivedProject_WhenListed_ThenItIsHiddenButStillLive)
{
    addProject("Work", 3000);
    tag(addProject("Old", 2000), "archived");
    addProject("Home", 1000);
    makeList();
    list->reloadFilters();

    EXPECT_EQ(rowNames(), (QStringList{"Work", "Home"}));
    EXPECT_EQ(list->numProjects(), 3);
    EXPECT_EQ(host.showingArchived, std::optional<bool>(false));
}

TEST_F(ProjectListArchivedFilterTest, GivenArchivedProject_WhenArchivedIsToggled_ThenOnlyArchivedProjectsShow)
{
    addProject("Work", 3000);
    tag(addProject("Old", 2000), "archived");
    makeList();

    list->toggleArchived();
    EXPECT_EQ(rowNames(), (QStringList{"Old"}));
    EXPECT_EQ(list->getSelectedTags(), (QStringList{"archived"}));
    EXPECT_EQ(host.showingArchived, std::optional<bool>(true));
    EXPECT_EQ(preferences.stringListValue("_selectedTagNames"), (QStringList{"archived"}));

    list->toggleArchived();
    EXPECT_EQ(rowNames(), (QStringList{"Work"}));
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
}

TEST_F(ProjectListArchivedFilterTest, GivenNoArchivedTag_WhenArchivedIsToggled_ThenNothingChanges)
{
    addProject("Work");
    makeList();
    list->toggleArchived();
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
    EXPECT_EQ(rowNames(), (QStringList{"Work"}));
}

TEST_F(ProjectListArchivedFilterTest,
       GivenHiddenArchivedProject_WhenSelected_ThenArchivedAloneIsSelectedAndShowsIt)
{
    addProject("Work", 3000);
    addProject("Other", 2500);
    TODOList* old = addProject("Old", 2000, 77);
    tag(old, "archived");
    tag(old, "client");
    makeList();
    list->updateTags({"client"});
    ASSERT_EQ(rowNames(), QStringList()); // "client" alone still hides the archived project

    EXPECT_EQ(list->selectProject(old), 0);
    EXPECT_EQ(list->getSelectedTags(), (QStringList{"archived"}));
    EXPECT_EQ(list->getSelectedProject(), old);
}

TEST_F(ProjectListArchivedFilterTest, GivenDeletedProject_WhenSelected_ThenNoTagStaysSelectedAndMinusOne)
{
    TODOList* gone = addProject("Gone", 1000, 5);
    gone->setState(2);
    tag(addProject("Old", 900), "archived");
    makeList();
    list->updateTags({"work"});

    EXPECT_EQ(list->selectProject(gone), -1);
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
}

TEST_F(ProjectListArchivedFilterTest,
       GivenProjectsWithoutServerId_WhenOneIsSelected_ThenThatVeryProjectIsChosen)
{
    addProject("First", 3000);
    TODOList* second = addProject("Second", 2000);
    makeList();
    EXPECT_EQ(list->selectProject(second), 1);
    EXPECT_EQ(list->getSelectedProject(), second);
}

TEST_F(ProjectListArchivedFilterTest, GivenUnknownTagName_WhenTyped_ThenALowerCaseTagIsMadeAndFilters)
{
    tag(addProject("Client work", 2000), "client");
    addProject("Private", 1000);
    makeList();

    list->updateTags({"Client", "Later"});
    EXPECT_TRUE(TagManager::existsListTagForName("later", context()));
    EXPECT_EQ(rowNames(), (QStringList{"Client work"}));
    EXPECT_EQ(list->tagFilterViewController().selectedTags().size(), 2u);
}

TEST_F(ProjectListArchivedFilterTest, GivenStoredTagSelection_WhenTheListLoads_ThenItFiltersByIt)
{
    preferences.setValue("_selectedTagNames", QStringList{"client"});
    tag(addProject("Client work", 2000), "client");
    addProject("Private", 1000);
    makeList();
    EXPECT_EQ(rowNames(), (QStringList{"Client work"}));
    EXPECT_EQ(selectedName(), QString("Client work"));
}

TEST_F(ProjectListArchivedFilterTest,
       GivenHideEmptyProjectsOff_WhenFiltersAreReloadedUnforced_ThenNothingIsRebuilt)
{
    addProject("Work");
    makeList();
    EXPECT_FALSE(list->reloadFiltersForce(false));
    EXPECT_TRUE(list->reloadFiltersForce(true));
}

TEST_F(ProjectListArchivedFilterTest,
       GivenHideEmptyProjectsAndAnItemFilter_WhenReloaded_ThenEmptyProjectsHide)
{
    TODOList* full = addProject("Full", 3000);
    addItem(full, "open");
    TODOList* empty = addProject("Empty", 2000);
    addItem(empty, "trashed", 0, 2);
    TODOList* lazy = addProject("Lazy", 1000);
    lazy->setLazyFetch(true);
    window.filter = Predicate::withFormat("state <> 2 AND state <> 3");
    makeList();
    host.filteringItems = true;

    preferences.setValue("kHideEmptyProjects", true); // observed: the list re-filters
    EXPECT_EQ(rowNames(), (QStringList{"Full", "Lazy"}));
    EXPECT_TRUE(list->reloadFiltersForce(false));

    preferences.setValue("kHideEmptyProjects", false);
    EXPECT_EQ(rowNames(), (QStringList{"Full", "Empty", "Lazy"}));
    // The empty-project test was dropped, so an unforced reload has nothing to do again.
    EXPECT_FALSE(list->reloadFiltersForce(false));
}

TEST_F(ProjectListArchivedFilterTest, GivenSelectedProjectFilteredOut_WhenReloaded_ThenTheFirstRowIsSelected)
{
    addProject("Work", 3000);
    TODOList* home = addProject("Home", 2000);
    makeList();
    list->selectProject(home);
    tag(home, "archived");
    list->reloadFilters();
    EXPECT_EQ(selectedName(), QString("Work"));
}

// --- History

using ProjectListHistoryTest = ProjectListFixture;

TEST_F(ProjectListHistoryTest, GivenThreeSelections_WhenGoingBackAndForward_ThenTheStacksWalk)
{
    TODOList* a = addProject("A", 3000);
    TODOList* b = addProject("B", 2000);
    TODOList* c = addProject("C", 1000);
    makeList();
    // Loading selected row 0 (A); then B and C.
    list->selectProject(b);
    list->selectProject(c);
    EXPECT_EQ(list->backProjects(), (std::vector<TODOList*>{a, b, c}));
    EXPECT_TRUE(list->canGoBack());
    EXPECT_FALSE(list->canGoForward());

    list->goToPreviousProject();
    EXPECT_EQ(selectedName(), QString("B"));
    EXPECT_EQ(list->backProjects(), (std::vector<TODOList*>{a, b}));
    EXPECT_EQ(list->forwardProjects(), (std::vector<TODOList*>{c}));

    list->goToNextProject();
    EXPECT_EQ(selectedName(), QString("C"));
    EXPECT_EQ(list->backProjects(), (std::vector<TODOList*>{a, b, c}));
    EXPECT_TRUE(list->forwardProjects().empty());
}

TEST_F(ProjectListHistoryTest, GivenRepeatedSelections_WhenRecorded_ThenRepeatsStayAndRearrangingAddsNothing)
{
    TODOList* a = addProject("A", 3000);
    TODOList* b = addProject("B", 2000);
    makeList();
    list->selectProject(b);
    list->selectProject(a);
    b->setIndex(4000);
    list->rearrange(); // A moves to row 1: the same project, no new entry
    EXPECT_EQ(list->backProjects(), (std::vector<TODOList*>{a, b, a}));
}

TEST_F(ProjectListHistoryTest, GivenDeletedProjectInHistory_WhenGoingBack_ThenItIsSkipped)
{
    TODOList* a = addProject("A", 3000);
    TODOList* b = addProject("B", 2000);
    TODOList* c = addProject("C", 1000);
    makeList();
    list->selectProject(b);
    list->selectProject(c);
    list->markProject(b, 2);

    list->goToPreviousProject();
    EXPECT_EQ(selectedName(), QString("A"));
    EXPECT_EQ(list->backProjects(), (std::vector<TODOList*>{a}));
    EXPECT_EQ(list->forwardProjects(), (std::vector<TODOList*>{c}));
    EXPECT_FALSE(list->canGoBack());
}

TEST_F(ProjectListHistoryTest, GivenOneEntry_WhenGoingBack_ThenNothingHappens)
{
    TODOList* a = addProject("A");
    makeList();
    list->goToPreviousProject();
    list->goToNextProject();
    EXPECT_EQ(list->backProjects(), (std::vector<TODOList*>{a}));
    EXPECT_TRUE(list->forwardProjects().empty());
}

TEST_F(ProjectListHistoryTest, GivenHighlightedProject_WhenSelected_ThenTheMarkClearsFiveSecondsLater)
{
    addProject("A", 3000);
    TODOList* b = addProject("B", 2000);
    b->setHighlight(1);
    makeList();
    QSignalSpy changed(list.get(), &ProjectListController::selectedProjectChanged);
    list->selectProject(b);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_GE(host.deselects, 1);
    scheduler.advance(4999);
    EXPECT_EQ(b->highlight(), 1);
    scheduler.advance(1);
    EXPECT_EQ(b->highlight(), 0);
}

// --- Lazily fetched projects

class FakeFetcher : public ProjectFetcher {
public:
    bool accept = true;
    int requests = 0;
    std::function<void()> success;
    std::function<void()> failure;
    bool getProjectAndItemsForProjectWithID(qint64, std::function<void()> ok,
                                            std::function<void()> fail) override
    {
        ++requests;
        success = std::move(ok);
        failure = std::move(fail);
        return accept;
    }
};

using ProjectListLazyFetchTest = ProjectListFixture;

TEST_F(ProjectListLazyFetchTest, GivenLazyProject_WhenSelectedTwiceWhileFetching_ThenOneRequestAndMessages)
{
    addProject("A", 3000);
    TODOList* lazy = addProject("Remote", 2000, 42);
    lazy->setLazyFetch(true);
    FakeFetcher fetcher;
    makeList();
    list->setFetcher(&fetcher);

    list->selectProject(lazy);
    list->selectRow(0);
    list->selectProject(lazy);
    EXPECT_EQ(fetcher.requests, 1);
    EXPECT_EQ(host.messages.last(), QString("Fetching project \"Remote\""));

    fetcher.failure();
    EXPECT_EQ(host.messages.last(), QString("At this moment, we cannot fetch project \"Remote\""));
    EXPECT_TRUE(lazy->lazyFetch());

    list->selectRow(0);
    list->selectProject(lazy);
    EXPECT_EQ(fetcher.requests, 2);
    fetcher.success();
    EXPECT_FALSE(lazy->lazyFetch());
    EXPECT_EQ(host.messages.last(), QString(""));
}

TEST_F(ProjectListLazyFetchTest, GivenFetcherThatRefuses_WhenSelected_ThenTheNextSelectionTriesAgain)
{
    addProject("A", 3000);
    TODOList* lazy = addProject("Remote", 2000, 42);
    lazy->setLazyFetch(true);
    FakeFetcher fetcher;
    fetcher.accept = false;
    makeList();
    list->setFetcher(&fetcher);
    list->selectProject(lazy);
    EXPECT_EQ(host.messages.last(), QString("At this moment, we cannot fetch project \"Remote\""));
    list->selectRow(0);
    list->selectProject(lazy);
    EXPECT_EQ(fetcher.requests, 2);
}

// --- New, clone, delete

using ProjectListCommandsTest = ProjectListFixture;

TEST_F(ProjectListCommandsTest, GivenNoTemplate_WhenAProjectIsAdded_ThenItHasTheDefaultsAndOpensForNaming)
{
    makeList();
    list->updateTags({"client"});
    std::vector<TODOList*> edited;
    QObject::connect(list.get(), &ProjectListController::editProjectRequested,
                     [&](TODOList* project) { edited.push_back(project); });

    TODOList* project = list->addNewProjectWithTemplate(nullptr);
    ASSERT_NE(project, nullptr);
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
    EXPECT_TRUE(project->isNull("name"));
    EXPECT_EQ(ProjectListController::displayName(project), QString("Blank"));
    EXPECT_EQ(project->id_(), 0);
    EXPECT_EQ(project->textFirstQuadrant(), QString("Do Now"));
    EXPECT_EQ(project->textSecondQuadrant(), QString("Do Later"));
    EXPECT_EQ(project->textThirdQuadrant(), QString("Delegate"));
    EXPECT_EQ(project->textFourthQuadrant(), QString("Postpone"));
    EXPECT_EQ(project->colorFirstQuadrant(), QString("{0.360000, 0.644000, 0.751000, 1.000000}"));
    EXPECT_EQ(project->colorSecondQuadrant(), QString("{0.636000, 0.778000, 0.833000, 1.000000}"));
    EXPECT_EQ(project->colorThirdQuadrant(), QString("{0.636000, 0.778000, 0.833000, 1.000000}"));
    EXPECT_EQ(project->colorFourthQuadrant(), QString("{0.854000, 0.927000, 0.919000, 1.000000}"));
    EXPECT_EQ(list->numProjects(), 1);
    EXPECT_EQ(list->rowOfProject(project), 0);
    EXPECT_EQ(edited, (std::vector<TODOList*>{project}));
}

TEST_F(ProjectListCommandsTest, GivenTemplate_WhenAProjectIsAdded_ThenTitlesAndCrossingComeFromIt)
{
    makeList();
    ProjectTemplate quadrants{"Launch", {"Now", "Soon", "Others", "Never"}, 30, 70};
    TODOList* project = list->addNewProjectWithTemplate(&quadrants);
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(project->name(), QString("Launch"));
    EXPECT_EQ(project->nameForQuadrant(3), QString("Never"));
    EXPECT_EQ(project->centerX(), 30.0);
    EXPECT_EQ(project->centerY(), 70.0);
}

TEST_F(ProjectListCommandsTest, GivenWindowRefusingFocus_WhenAProjectIsAdded_ThenNoneIsMade)
{
    makeList();
    host.refuseFirstResponder = true;
    EXPECT_EQ(list->addNewProjectWithTemplate(nullptr), nullptr);
    EXPECT_EQ(list->numProjects(), 0);
}

TEST_F(ProjectListCommandsTest, GivenProjectWithItems_WhenClonedWithItems_ThenTheCopyIsListedSavedAndOpened)
{
    TODOList* original = addProject("Plan", 2000);
    addItem(original, "one");
    addItem(original, "two", 2);
    makeList();
    list->updateTags({"client"});
    std::vector<TODOList*> edited;
    QObject::connect(list.get(), &ProjectListController::editProjectRequested,
                     [&](TODOList* project) { edited.push_back(project); });
    LogCapture log;

    TODOList* clone = list->cloneProject(original, true);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, original);
    EXPECT_EQ(clone->name(), QString("Plan"));
    EXPECT_EQ(clone->items().size(), 2u);
    EXPECT_EQ(list->numProjects(), 2);
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
    EXPECT_TRUE(log.contains("Attempted to save file successfully after cloning"));
    EXPECT_EQ(edited, (std::vector<TODOList*>{clone}));

    TODOList* bare = list->cloneProjectInRow(list->rowOfProject(original), false);
    ASSERT_NE(bare, nullptr);
    EXPECT_TRUE(bare->items().empty());
}

TEST_F(ProjectListCommandsTest,
       GivenSelectedProject_WhenDeletionIsConfirmed_ThenItIsTrashedAndTheNextRowSelected)
{
    addProject("A", 3000);
    addProject("B", 2000);
    TODOList* c = addProject("C", 1000);
    makeList();
    list->selectProject(c);
    alerts.queueAnswer(true);

    list->markProjectAsDeleted();
    ASSERT_EQ(alerts.shown().size(), 1);
    const ScriptedAlerts::Shown& shown = alerts.shown().front();
    EXPECT_TRUE(shown.confirmation);
    EXPECT_EQ(shown.message, QString("Are you sure you want to delete project 'C'?"));
    EXPECT_EQ(shown.informative, QString("Deleted projects cannot be restored."));
    EXPECT_EQ(shown.button, QString("OK"));
    EXPECT_EQ(c->state(), 2);
    EXPECT_EQ(rowNames(), (QStringList{"A", "B"}));
    EXPECT_EQ(selectedName(), QString("B"));
    EXPECT_EQ(list->getAllProjectsEvenTrashed().back(), c);
    EXPECT_EQ(list->getAllProjectsEvenTrashed().size(), 3u);
}

TEST_F(ProjectListCommandsTest, GivenSelectedProject_WhenDeletionIsCancelled_ThenNothingChanges)
{
    addProject("A", 3000);
    makeList();
    alerts.queueAnswer(false);
    list->markProjectAsDeleted();
    EXPECT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(rowNames(), (QStringList{"A"}));
}

TEST_F(ProjectListCommandsTest, GivenNoSelection_WhenDeleting_ThenItIsLoggedAndNothingIsAsked)
{
    addProject("A");
    makeList();
    list->displayProjectsArrayController().clearSelection();
    LogCapture log;
    list->markProjectAsDeleted();
    EXPECT_TRUE(log.contains("Cannot delete more than one list at a time"));
    EXPECT_TRUE(alerts.shown().isEmpty());
}

TEST_F(ProjectListCommandsTest, GivenTrashedProject_WhenRestored_ThenItIsListedOnce)
{
    TODOList* a = addProject("A", 3000);
    makeList();
    list->markProject(a, 2);
    list->markProject(a, 0);
    EXPECT_EQ(list->getAllProjectsEvenTrashed(), (std::vector<TODOList*>{a}));
    list->markProject(a, 2);
    list->markProject(a, 3);
    EXPECT_TRUE(list->getAllProjectsEvenTrashed().empty());
}

TEST_F(ProjectListCommandsTest, GivenAlphabeticalOrder_WhenSet_ThenRowsSortByNameIgnoringCase)
{
    addProject("beta", 3000);
    addProject("Alpha", 2000);
    addProject("gamma", 1000);
    makeList();
    list->setAlphabeticalOrder(true);
    EXPECT_EQ(rowNames(), (QStringList{"Alpha", "beta", "gamma"}));
    EXPECT_TRUE(preferences.boolValue("kAlphabeticalProjectOrder"));
    list->setAlphabeticalOrder(false);
    EXPECT_EQ(rowNames(), (QStringList{"beta", "Alpha", "gamma"}));
}

// --- Drag reorder

using ProjectListDragTest = ProjectListFixture;

TEST_F(ProjectListDragTest, GivenAlphabeticalOrderOrATagFilter_WhenDragging_ThenRowsCannotBeDragged)
{
    addProject("A");
    makeList();
    EXPECT_TRUE(list->canDragRows());
    list->setAlphabeticalOrder(true);
    EXPECT_FALSE(list->canDragRows());
    list->setAlphabeticalOrder(false);
    list->updateTags({"x"});
    EXPECT_FALSE(list->canDragRows());
}

TEST_F(ProjectListDragTest, GivenProjectDroppedOnARowAbove_WhenAccepted_ThenItGoesAboveAndIndicesRenumber)
{
    addProject("A", 3000);
    addProject("B", 2000);
    TODOList* c = addProject("C", 1000);
    makeList();
    EXPECT_TRUE(list->acceptDrop({2}, 1, false));
    EXPECT_EQ(rowNames(), (QStringList{"A", "C", "B"}));
    EXPECT_EQ(c->index(), 2001);
}

TEST_F(ProjectListDragTest, GivenProjectDroppedOnARowBelow_WhenAccepted_ThenItGoesBelow)
{
    TODOList* a = addProject("A", 3000);
    addProject("B", 2000);
    addProject("C", 1000);
    makeList();
    EXPECT_TRUE(list->acceptDrop({0}, 1, false));
    EXPECT_EQ(rowNames(), (QStringList{"B", "A", "C"}));
    EXPECT_EQ(a->index(), 1999);
}

TEST_F(ProjectListDragTest, GivenProjectDroppedBetweenRows_WhenAccepted_ThenItGoesJustAboveTheRow)
{
    TODOList* a = addProject("A", 3000);
    addProject("B", 2000);
    addProject("C", 1000);
    makeList();
    EXPECT_TRUE(list->acceptDrop({0}, 2, true));
    EXPECT_EQ(rowNames(), (QStringList{"B", "A", "C"}));
    EXPECT_EQ(a->index(), 1001);
}

TEST_F(ProjectListDragTest, GivenNeighboursOneApart_WhenDropped_ThenItLandsWhereDroppedWithDecreasingIndices)
{
    addProject("A", 11);
    addProject("B", 10);
    addProject("C", 9);
    addProject("D", 8);
    makeList();
    // Index 10 + 1 = 11 would tie with A.
    EXPECT_TRUE(list->acceptDrop({3}, 1, true));
    EXPECT_EQ(rowNames(), (QStringList{"A", "D", "B", "C"}));
    // A below B: 10 - 1 = 9 ties with C.
    EXPECT_TRUE(list->acceptDrop({0}, 2, false));
    EXPECT_EQ(rowNames(), (QStringList{"D", "B", "A", "C"}));
    for (int row = 1; row < list->rowCount(); ++row)
        EXPECT_GT(list->getProjectAtRow(row - 1)->index(), list->getProjectAtRow(row)->index());
    EXPECT_EQ(list->getAllProjects().front()->name(), QString("D"));
}

TEST_F(ProjectListDragTest, GivenEqualIndices_WhenDropped_ThenTheOrderIsMadeStrict)
{
    addProject("A", 10);
    addProject("B", 10);
    addProject("C", 10);
    makeList();
    EXPECT_TRUE(list->acceptDrop({2}, 0, true));
    EXPECT_EQ(rowNames(), (QStringList{"C", "A", "B"}));
    for (int row = 1; row < list->rowCount(); ++row)
        EXPECT_GT(list->getProjectAtRow(row - 1)->index(), list->getProjectAtRow(row)->index());
}

TEST_F(ProjectListDragTest,
       GivenSelectedProject_WhenAnotherIsDropped_ThenTheSelectionStaysAndNoHistoryIsAdded)
{
    addProject("A", 3000);
    TODOList* b = addProject("B", 2000);
    addProject("C", 1000);
    makeList();
    list->selectProject(b);
    const size_t history = list->backProjects().size();
    QSignalSpy changed(list.get(), &ProjectListController::selectedProjectChanged);
    EXPECT_TRUE(list->acceptDrop({2}, 0, true));
    EXPECT_EQ(selectedName(), QString("B"));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(list->backProjects().size(), history);
}

TEST_F(ProjectListDragTest, GivenInvalidDrops_WhenOffered_ThenTheyAreRefusedWithoutChange)
{
    addProject("A", 3000);
    addProject("B", 2000);
    makeList();
    EXPECT_FALSE(list->acceptDrop({0, 1}, 0, true));
    EXPECT_FALSE(list->acceptDrop({1}, 1, false));
    EXPECT_FALSE(list->acceptDrop({1}, 5, false));
    EXPECT_EQ(rowNames(), (QStringList{"A", "B"}));
    EXPECT_EQ(list->validateDrop(2, false), ProjectListController::DropOperation::None);
    EXPECT_EQ(list->validateDrop(1, false), ProjectListController::DropOperation::Move);
}

TEST_F(ProjectListDragTest, GivenItemsDraggedOverARow_WhenValidated_ThenThatProjectIsSelectedForTheDrop)
{
    addProject("A", 3000);
    addProject("B", 2000);
    makeList();
    EXPECT_EQ(list->validateDrop(1, true), ProjectListController::DropOperation::Link);
    EXPECT_EQ(selectedName(), QString("B"));
}

// --- Row counters

using ProjectListCountersTest = ProjectListFixture;

TEST_F(ProjectListCountersTest, GivenRows_WhenCountersAreAsked_ThenTheyCountEachQuadrantAndTheOverdueBadge)
{
    TODOList* project = addProject("P");
    addItem(project, "a", 0);
    addItem(project, "b", 0);
    addItem(project, "c", 3, 1);
    addItem(project, "trashed", 1, 2);
    addItem(project, "late", 2)->setDueDate(clock.now().addSecs(-60));
    addItem(project, "late but done", 2, 1)->setDueDate(clock.now().addSecs(-60));
    makeList();

    const ProjectCounterModel* counters = list->counterModelFor(project);
    ASSERT_NE(counters, nullptr);
    EXPECT_EQ(counters->quadrantLabel(0), QString("2"));
    EXPECT_EQ(counters->quadrantLabel(1), QString(""));
    EXPECT_EQ(counters->quadrantLabel(2), QString("2"));
    EXPECT_EQ(counters->quadrantLabel(3), QString("1"));
    EXPECT_EQ(counters->overdueLabel(), QString("1"));
    EXPECT_FALSE(counters->isOverdueBadgeHidden());

    preferences.setValue("kItemFilterState", 1); // open items only
    list->cleanListCustomCells();
    counters = list->counterModelFor(project);
    EXPECT_EQ(counters->quadrantLabel(2), QString("1"));
    EXPECT_EQ(counters->quadrantLabel(3), QString(""));
}

TEST_F(ProjectListCountersTest, GivenCountedRow_WhenAnItemIsAdded_ThenTheCountWaitsForTheCellsToBeCleaned)
{
    TODOList* project = addProject("P");
    addItem(project, "a", 0);
    makeList();
    EXPECT_EQ(list->counterModelFor(project)->quadrantLabel(0), QString("1"));
    addItem(project, "b", 0);
    EXPECT_EQ(list->counterModelFor(project)->quadrantLabel(0), QString("1"));
    QSignalSpy cleaned(list.get(), &ProjectListController::rowCellsCleaned);
    list->cleanListCustomCells();
    EXPECT_EQ(cleaned.count(), 1);
    EXPECT_EQ(list->cachedCounterModelCount(), 0);
    EXPECT_EQ(list->counterModelFor(project)->quadrantLabel(0), QString("2"));
}

TEST_F(ProjectListCountersTest, GivenSearchText_WhenNamesAreColoured_ThenMatchingNamesAreRed)
{
    TODOList* match = addProject("Quarterly Report");
    TODOList* other = addProject("Holiday");
    makeList();
    EXPECT_EQ(list->nameColor(match), QColor(Qt::black));
    host.search = "report";
    EXPECT_EQ(list->nameColor(match), QColor(Qt::red));
    EXPECT_EQ(list->nameColor(other), QColor(Qt::black));
}

// --- The editing lock

using ProjectNameEditingLockTest = ProjectListFixture;

TEST_F(ProjectNameEditingLockTest, GivenNameEdit_WhenItEnds_ThenTheLockIsTakenOnceAndReleased)
{
    TODOList* a = addProject("A");
    makeList();
    list->beginEditingName(a);
    list->nameTextDidChange();
    EXPECT_TRUE(sync.holders.contains("projectNameTextCell"));
    list->commitName(a, "Renamed");
    list->endEditingName();
    list->endEditingName();
    EXPECT_EQ(sync.lockCalls, (QStringList{"+projectNameTextCell", "-projectNameTextCell"}));
    EXPECT_EQ(a->name(), QString("Renamed"));
}

TEST_F(ProjectNameEditingLockTest, GivenNameEdit_WhenAnotherProjectIsSelected_ThenTheLockIsReleased)
{
    TODOList* a = addProject("A", 2000);
    addProject("B", 1000);
    makeList();
    list->beginEditingName(a);
    list->selectRow(1);
    EXPECT_TRUE(sync.holders.isEmpty());
    EXPECT_FALSE(list->isEditingName());
}

TEST_F(ProjectNameEditingLockTest, GivenNameEdit_WhenTheListGoes_ThenTheLockIsReleased)
{
    TODOList* a = addProject("A");
    makeList();
    list->beginEditingName(a);
    list.reset();
    window.list = nullptr;
    EXPECT_TRUE(sync.holders.isEmpty());
}

TEST_F(ProjectNameEditingLockTest, GivenUnnamedProject_WhenAnEmptyNameIsCommitted_ThenItStaysBlank)
{
    makeList();
    TODOList* project = list->addNewProjectWithName(QString(), nullptr);
    list->commitName(project, "");
    EXPECT_TRUE(project->isNull("name"));
    EXPECT_EQ(ProjectListController::displayName(project), QString("Blank"));
}

// --- The tag filter

using ProjectTagFilterTest = ProjectListFixture;

TEST_F(ProjectTagFilterTest, GivenTagsChosenOnThePanel_WhenTheChoiceChanges_ThenTheListFiltersOnlyOnChange)
{
    tag(addProject("Client work", 2000), "client");
    tag(addProject("Private", 1000), "home");
    makeList();
    ProjectTagFilter& panel = list->tagFilterViewController();
    panel.reloadTags();
    ASSERT_EQ(panel.tags().size(), 2u);
    QSignalSpy tags(list.get(), &ProjectListController::selectedTagsChanged);

    panel.setTagSelected(panel.tags().front(), true);
    EXPECT_EQ(rowNames(), (QStringList{"Client work"}));
    panel.setSelectedTags(panel.selectedTags()); // the same choice
    EXPECT_EQ(tags.count(), 1);
    panel.setTagSelected(panel.tags().back(), true);
    EXPECT_EQ(rowNames(), (QStringList{"Client work", "Private"}));
    panel.setSelectedTags({});
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
}

} // namespace
} // namespace qv::test
