#include "tests/ui/board/ProjectListFixture.h"

#include "platform/Log.h"
#include "platform/store/UndoManager.h"
#include "ui/board/ProjectTagFilter.h"

#include <QSignalSpy>

namespace qv::test {
namespace {

using ProjectListArchivedFilterTest = ProjectListFixture;

TEST_F(ProjectListArchivedFilterTest,
       GivenArchivedProjectOrNone_WhenListedOrArchivedIsToggled_ThenItHidesOrShowsAloneOrNothingChanges)
{
    ProjectBuilder(context(), "Work").atIndex(3000);
    ProjectBuilder(context(), "Home").atIndex(1000);
    makeList().toggleArchived(); // no archived tag yet
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
    EXPECT_EQ(rowNames(), (QStringList{"Work", "Home"}));
    ProjectBuilder(context(), "Old").atIndex(2000).taggedWith("archived");
    makeList();
    list->reloadFilters();
    EXPECT_EQ(rowNames(), (QStringList{"Work", "Home"}));
    EXPECT_EQ(list->numProjects(), 3);
    EXPECT_EQ(host.showingArchived, std::optional<bool>(false));

    list->toggleArchived();
    EXPECT_EQ(rowNames(), (QStringList{"Old"}));
    EXPECT_EQ(list->getSelectedTags(), (QStringList{"archived"}));
    EXPECT_EQ(host.showingArchived, std::optional<bool>(true));
    EXPECT_EQ(preferences.stringListValue("_selectedTagNames"), (QStringList{"archived"}));

    list->toggleArchived();
    EXPECT_EQ(rowNames(), (QStringList{"Work", "Home"}));
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
}

TEST_F(ProjectListArchivedFilterTest,
       GivenHiddenArchivedOrDeletedProject_WhenSelected_ThenArchivedAloneIsSelectedOrNoTagAndMinusOne)
{
    ProjectBuilder(context(), "Work").atIndex(3000);
    ProjectBuilder(context(), "Other").atIndex(2500);
    TODOList* old = ProjectBuilder(context(), "Old").atIndex(2000).withId(77);
    ProjectBuilder(old).taggedWith("archived");
    ProjectBuilder(old).taggedWith("client");
    makeList();
    list->updateTags({"client"});
    ASSERT_EQ(rowNames(), QStringList()); // "client" alone still hides the archived project

    EXPECT_EQ(list->selectProject(old), 0);
    EXPECT_EQ(list->getSelectedTags(), (QStringList{"archived"}));
    EXPECT_EQ(list->getSelectedProject(), old);

    // A deleted project is not shown: no tag stays selected.
    TODOList* gone = ProjectBuilder(context(), "Gone").atIndex(1000).withId(5);
    gone->setState(2);
    makeList().updateTags({"work"});
    EXPECT_EQ(list->selectProject(gone), -1);
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
}

TEST_F(ProjectListArchivedFilterTest, GivenAStoredOrTypedTagSelection_WhenApplied_ThenTheListFiltersByIt)
{
    preferences.setValue("_selectedTagNames", QStringList{"client"});
    ProjectBuilder(context(), "Client work").atIndex(2000).taggedWith("client");
    ProjectBuilder(context(), "Private").atIndex(1000);
    makeList();
    EXPECT_EQ(rowNames(), (QStringList{"Client work"}));
    EXPECT_EQ(selectedName(), QString("Client work"));

    // An unknown name typed in becomes a lower-case tag.
    list->updateTags({"Client", "Later"});
    EXPECT_TRUE(TagManager::existsListTagForName("later", context()));
    EXPECT_EQ(rowNames(), (QStringList{"Client work"}));
    EXPECT_EQ(list->tagFilterViewController().selectedTags().size(), 2u);
}

TEST_F(ProjectListArchivedFilterTest,
       GivenHideEmptyProjectsAndAnItemFilter_WhenReloaded_ThenEmptyProjectsHide)
{
    TODOList* full = ProjectBuilder(context(), "Full").atIndex(3000);
    ItemBuilder("open").in(full);
    TODOList* empty = ProjectBuilder(context(), "Empty").atIndex(2000);
    ItemBuilder("trashed").trashed().in(empty);
    TODOList* lazy = ProjectBuilder(context(), "Lazy").atIndex(1000);
    lazy->setLazyFetch(true);
    window.filter = Predicate::withFormat("state <> 2 AND state <> 3");
    makeList();
    // Without the empty-project test an unforced reload has nothing to rebuild.
    EXPECT_FALSE(list->reloadFiltersForce(false));
    EXPECT_TRUE(list->reloadFiltersForce(true));
    host.filteringItems = true;

    preferences.setValue("kHideEmptyProjects", true); // observed: the list re-filters
    EXPECT_EQ(rowNames(), (QStringList{"Full", "Lazy"}));
    EXPECT_TRUE(list->reloadFiltersForce(false));

    preferences.setValue("kHideEmptyProjects", false);
    EXPECT_EQ(rowNames(), (QStringList{"Full", "Empty", "Lazy"}));
    // The empty-project test was dropped, so an unforced reload has nothing to do again.
    EXPECT_FALSE(list->reloadFiltersForce(false));
}

TEST_F(ProjectListArchivedFilterTest,
       GivenProjectsWithoutServerId_WhenOneIsSelectedThenFilteredOut_ThenItThenTheFirstRowIsSelected)
{
    const auto [work, homeProject] = listed({"Work", "Home"});
    makeList();
    EXPECT_EQ(list->selectProject(homeProject), 1);
    EXPECT_EQ(list->getSelectedProject(), homeProject);
    ProjectBuilder(homeProject).taggedWith("archived");
    list->reloadFilters();
    EXPECT_EQ(selectedName(), QString("Work"));
}

using ProjectListHistoryTest = ProjectListFixture;

TEST_F(ProjectListHistoryTest,
       GivenThreeSelections_WhenGoingBackAndForward_ThenTheStacksWalkSkippingDeletedOnes)
{
    const auto [a, b, c] = listed({"A", "B", "C"});
    makeList();
    // Loading selected row 0 (A); with one entry there is nowhere to go.
    list->goToPreviousProject();
    list->goToNextProject();
    EXPECT_EQ(list->backProjects(), (std::vector<TODOList*>{a}));
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

    list->markProject(b, ObjectState::Trashed);
    list->goToPreviousProject();
    EXPECT_EQ(selectedName(), QString("A"));
    EXPECT_EQ(list->backProjects(), (std::vector<TODOList*>{a}));
    EXPECT_EQ(list->forwardProjects(), (std::vector<TODOList*>{c}));
    EXPECT_FALSE(list->canGoBack());
}

TEST_F(ProjectListHistoryTest, GivenRepeatedSelections_WhenRecorded_ThenRepeatsStayAndRearrangingAddsNothing)
{
    const auto [a, b] = listed({"A", "B"});
    makeList();
    list->selectProject(b);
    list->selectProject(a);
    b->setIndex(4000);
    list->rearrange(); // A moves to row 1: the same project, no new entry
    EXPECT_EQ(list->backProjects(), (std::vector<TODOList*>{a, b, a}));
}

TEST_F(ProjectListHistoryTest, GivenHighlightedProject_WhenSelected_ThenTheMarkClearsFiveSecondsLater)
{
    const auto [a, b] = listed({"A", "B"});
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

TEST_F(ProjectListHistoryTest, GivenHighlightedProjects_WhenTheirMarksClear_ThenUndoAndRedoTakeTheUsersSteps)
{
    const auto [a, b] = listed({"A", "B"});
    a->setHighlight(1);
    b->setHighlight(1);
    makeList();
    store::UndoManager* undo = context().undoManager();
    undo->removeAllActions();

    list->selectProject(b);
    b->setName(QStringLiteral("renamed"));
    settle();
    scheduler.advance(5000);
    ASSERT_EQ(b->highlight(), 0);
    undo->undo();
    EXPECT_EQ(b->name(), QStringLiteral("B"));

    list->selectProject(a);
    scheduler.advance(5000);
    ASSERT_EQ(a->highlight(), 0);
    EXPECT_TRUE(undo->canRedo());
    undo->redo();
    EXPECT_EQ(b->name(), QStringLiteral("renamed"));
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

class ProjectListLazyFetchTest : public ProjectListFixture {
protected:
    void SetUp() override
    {
        ProjectListFixture::SetUp();
        ProjectBuilder(context(), "A").atIndex(3000);
        lazy = ProjectBuilder(context(), "Remote").atIndex(2000).withId(42).lazy();
        makeList();
        list->setFetcher(&fetcher);
    }

    TODOList* lazy = nullptr;
    FakeFetcher fetcher;
};

TEST_F(ProjectListLazyFetchTest,
       GivenLazyProject_WhenSelectedWhileFetchingOrAfterAFailure_ThenOneRequestEachTime)
{
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

    // A fetcher that refuses at once: the next selection tries again.
    lazy->setLazyFetch(true);
    fetcher.accept = false;
    list->selectRow(0);
    list->selectProject(lazy);
    EXPECT_EQ(host.messages.last(), QString("At this moment, we cannot fetch project \"Remote\""));
    list->selectRow(0);
    list->selectProject(lazy);
    EXPECT_EQ(fetcher.requests, 4);
}

using ProjectListCommandsTest = ProjectListFixture;

TEST_F(ProjectListCommandsTest,
       GivenATemplateOrNone_WhenAProjectIsAdded_ThenItHasItsOrTheDefaultTitlesAndOpensForNaming)
{
    makeList();
    list->updateTags({"client"});
    QSignalSpy edited(list.get(), &ProjectListController::editProjectRequested);

    TODOList* project = list->addNewProjectWithTemplate(nullptr);
    ASSERT_NE(project, nullptr);
    EXPECT_TRUE(list->getSelectedTags().isEmpty());
    EXPECT_TRUE(project->isNull("name"));
    EXPECT_EQ(ProjectListController::displayName(project), QString("Blank"));
    EXPECT_EQ(project->id_(), 0);
    // Written from exact numbers, so no float noise in the stored string.
    EXPECT_EQ(project->colorFirstQuadrant(), QString("{0.360000, 0.644000, 0.751000, 1.000000}"));
    EXPECT_EQ(list->numProjects(), 1);
    EXPECT_EQ(list->rowOfProject(project), 0);
    EXPECT_EQ(edited.count(), 1);

    ProjectTemplate quadrants{"Launch", {"Now", "Soon", "Others", "Never"}, 30, 70};
    TODOList* launch = list->addNewProjectWithTemplate(&quadrants);
    ASSERT_NE(launch, nullptr);
    EXPECT_EQ(launch->name(), QString("Launch"));
    EXPECT_EQ(launch->nameForQuadrant(3), QString("Never"));
    EXPECT_EQ(launch->centerX(), 30.0);
    EXPECT_EQ(launch->centerY(), 70.0);

    // A window refusing the focus gets none.
    host.refuseFirstResponder = true;
    EXPECT_EQ(list->addNewProjectWithTemplate(nullptr), nullptr);
    EXPECT_EQ(list->numProjects(), 2);
}

TEST_F(ProjectListCommandsTest, GivenProjectWithItems_WhenClonedWithItems_ThenTheCopyIsListedSavedAndOpened)
{
    TODOList* original = ProjectBuilder(context(), "Plan").atIndex(2000);
    ItemBuilder("one").in(original);
    ItemBuilder("two").inQuadrant(2).in(original);
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
       GivenSelectedProject_WhenDeletionIsCancelledThenConfirmed_ThenItIsTrashedAndTheNextRowSelected)
{
    const auto [a, b, c] = listed({"A", "B", "C"});
    makeList();
    list->selectProject(c);
    alerts.queueAnswer(false);
    list->markProjectAsDeleted();
    EXPECT_EQ(rowNames(), (QStringList{"A", "B", "C"}));

    alerts.queueAnswer(true);
    list->markProjectAsDeleted();
    ASSERT_EQ(alerts.shown().size(), 2);
    const ScriptedAlerts::Shown& shown = alerts.shown().back();
    EXPECT_TRUE(shown.confirmation);
    EXPECT_EQ(shown.message, QString("Are you sure you want to delete project 'C'?"));
    // The project trash bin gives it back, so the question says so.
    EXPECT_EQ(shown.informative,
              QString("You can restore a deleted project from Trashed Projects in the View menu."));
    EXPECT_EQ(c->state(), 2);
    EXPECT_EQ(rowNames(), (QStringList{"A", "B"}));
    EXPECT_EQ(selectedName(), QString("B"));
    EXPECT_EQ(list->getAllProjectsEvenTrashed().back(), c);
    EXPECT_EQ(list->getAllProjectsEvenTrashed().size(), 3u);

    // Without a selection nothing is asked.
    list->displayProjectsArrayController().clearSelection();
    list->markProjectAsDeleted();
    EXPECT_EQ(alerts.shown().size(), 2);

    // Restored, it is listed once; removed, not at all.
    list->markProject(c, ObjectState::Open);
    EXPECT_EQ(list->getAllProjectsEvenTrashed().size(), 3u);
    list->markProject(c, ObjectState::Trashed);
    list->markProject(c, ObjectState::Removed);
    EXPECT_EQ(list->getAllProjectsEvenTrashed(), (std::vector<TODOList*>{a, b}));
}

TEST_F(ProjectListCommandsTest,
       GivenAlphabeticalOrderOrATagFilter_WhenSet_ThenRowsSortByNameIgnoringCaseAndCannotBeDragged)
{
    listed({"beta", "Alpha", "gamma"});
    makeList();
    EXPECT_TRUE(list->canDragRows());
    list->setAlphabeticalOrder(true);
    EXPECT_EQ(rowNames(), (QStringList{"Alpha", "beta", "gamma"}));
    EXPECT_TRUE(preferences.boolValue("kAlphabeticalProjectOrder"));
    EXPECT_FALSE(list->canDragRows());
    list->setAlphabeticalOrder(false);
    EXPECT_EQ(rowNames(), (QStringList{"beta", "Alpha", "gamma"}));
    list->updateTags({"x"});
    EXPECT_FALSE(list->canDragRows());
}

using ProjectListDragTest = ProjectListFixture;

TEST_F(ProjectListDragTest, GivenAProjectDropped_WhenAccepted_ThenItLandsWhereDroppedBetweenItsNeighbours)
{
    const struct {
        int from;
        int row;
        bool between;
        QStringList order;
        qint64 index;
    } cases[] = {
        {2, 1, false, {"A", "C", "B"}, 2001}, // on a row above: above it
        {0, 1, false, {"B", "A", "C"}, 1999}, // on a row below: below it
        {0, 2, true, {"B", "A", "C"}, 1001},  // between rows: just above the lower one
    };
    const auto rows = listed({"A", "B", "C"});
    makeList();
    for (const auto& c : cases) {
        for (qint64 i = 0; i < 3; ++i)
            rows[size_t(i)]->setIndex(3000 - 1000 * i);
        list->rearrange();
        EXPECT_TRUE(list->acceptDrop({c.from}, c.row, c.between));
        EXPECT_EQ(rowNames(), c.order);
        EXPECT_EQ(rows[size_t(c.from)]->index(), c.index);
    }
}

TEST_F(ProjectListDragTest, GivenNeighboursOneApartOrEqual_WhenDropped_ThenItLandsWhereDroppedInAStrictOrder)
{
    const auto strictlyDecreasing = [this] {
        for (int row = 1; row < list->rowCount(); ++row)
            EXPECT_GT(list->getProjectAtRow(row - 1)->index(), list->getProjectAtRow(row)->index());
    };
    const auto [a, b, c, d] = listed({"A", "B", "C", "D"});
    for (qint64 i = 0; i < 4; ++i)
        std::array{a, b, c, d}[size_t(i)]->setIndex(11 - i);
    makeList();
    // Index 10 + 1 = 11 would tie with A.
    EXPECT_TRUE(list->acceptDrop({3}, 1, true));
    EXPECT_EQ(rowNames(), (QStringList{"A", "D", "B", "C"}));
    // A below B: 10 - 1 = 9 ties with C.
    EXPECT_TRUE(list->acceptDrop({0}, 2, false));
    EXPECT_EQ(rowNames(), (QStringList{"D", "B", "A", "C"}));
    strictlyDecreasing();
    EXPECT_EQ(list->getAllProjects().front()->name(), QString("D"));

    for (TODOList* project : {a, b, c, d})
        project->setIndex(10);
    list->rearrange();
    EXPECT_TRUE(list->acceptDrop({3}, 0, true));
    strictlyDecreasing();
}

TEST_F(ProjectListDragTest,
       GivenDrops_WhenOffered_ThenInvalidOnesAreRefusedValidOnesKeepTheSelectionAndItemsOverARowSelectIt)
{
    listed({"A", "B", "C"});
    makeList();
    EXPECT_FALSE(list->acceptDrop({0, 1}, 0, true));
    EXPECT_FALSE(list->acceptDrop({1}, 1, false));
    EXPECT_FALSE(list->acceptDrop({1}, 5, false));
    EXPECT_EQ(rowNames(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(list->validateDrop(3, false), ProjectListController::DropOperation::None);
    EXPECT_EQ(list->validateDrop(1, false), ProjectListController::DropOperation::Move);

    list->selectRow(1);
    const size_t history = list->backProjects().size();
    QSignalSpy changed(list.get(), &ProjectListController::selectedProjectChanged);
    EXPECT_TRUE(list->acceptDrop({2}, 0, true));
    EXPECT_EQ(selectedName(), QString("B"));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(list->backProjects().size(), history);

    EXPECT_EQ(list->validateDrop(0, true), ProjectListController::DropOperation::Link);
    EXPECT_EQ(selectedName(), QString("C"));
}

using ProjectListCountersTest = ProjectListFixture;

TEST_F(ProjectListCountersTest, GivenRows_WhenCountersAreAsked_ThenTheyCountEachQuadrantAndTheOverdueBadge)
{
    TODOList* project = ProjectBuilder(context(), "P");
    ItemBuilder("a").in(project);
    ItemBuilder("b").in(project);
    ItemBuilder("c").inQuadrant(3).completed().in(project);
    ItemBuilder("trashed").inQuadrant(1).trashed().in(project);
    ItemBuilder("late").inQuadrant(2).in(project)->setDueDate(clock.now().addSecs(-60));
    ItemBuilder("late but done").inQuadrant(2).completed().in(project)->setDueDate(clock.now().addSecs(-60));
    makeList();

    const ProjectCounterModel* counters = list->counterModelFor(project);
    ASSERT_NE(counters, nullptr);
    const auto labels = [&] {
        return QStringList{counters->quadrantLabel(0), counters->quadrantLabel(1), counters->quadrantLabel(2),
                           counters->quadrantLabel(3)};
    };
    EXPECT_EQ(labels(), (QStringList{"2", "", "2", "1"}));
    EXPECT_EQ(counters->overdueLabel(), QString("1"));
    EXPECT_FALSE(counters->isOverdueBadgeHidden());

    // A new item is counted once the cells are cleaned.
    ItemBuilder("new").in(project);
    EXPECT_EQ(list->counterModelFor(project)->quadrantLabel(0), QString("2"));
    QSignalSpy cleaned(list.get(), &ProjectListController::rowCellsCleaned);
    preferences.setValue("kItemFilterState", 1); // open items only
    list->cleanListCustomCells();
    EXPECT_EQ(cleaned.count(), 1);
    EXPECT_EQ(list->cachedCounterModelCount(), 0);
    counters = list->counterModelFor(project);
    EXPECT_EQ(labels(), (QStringList{"3", "", "1", ""}));
}

TEST_F(ProjectListCountersTest, GivenSearchText_WhenNamesAreColoured_ThenMatchingNamesAreRed)
{
    TODOList* match = ProjectBuilder(context(), "Quarterly Report");
    TODOList* other = ProjectBuilder(context(), "Holiday");
    makeList();
    EXPECT_EQ(list->nameColor(match), QColor(Qt::black));
    host.search = "report";
    EXPECT_EQ(list->nameColor(match), QColor(Qt::red));
    EXPECT_EQ(list->nameColor(other), QColor(Qt::black));
}

using ProjectNameEditingLockTest = ProjectListFixture;

TEST_F(ProjectNameEditingLockTest,
       GivenNameEdit_WhenItEndsAnotherProjectIsSelectedOrTheListGoes_ThenTheLockIsTakenOnceAndReleased)
{
    TODOList* a = ProjectBuilder(context(), "A");
    makeList();
    list->beginEditingName(a);
    list->nameTextDidChange();
    EXPECT_TRUE(sync.holders.contains("projectNameTextCell"));
    list->commitName(a, "Renamed");
    list->endEditingName();
    list->endEditingName();
    EXPECT_EQ(sync.lockCalls, (QStringList{"+projectNameTextCell", "-projectNameTextCell"}));
    EXPECT_EQ(a->name(), QString("Renamed"));

    TODOList* unnamed = list->addNewProjectWithName(QString(), nullptr);
    list->commitName(unnamed, "");
    EXPECT_TRUE(unnamed->isNull("name"));

    // Selecting another project or closing the list also releases it.
    list->selectProject(a);
    list->beginEditingName(a);
    list->selectProject(unnamed);
    EXPECT_TRUE(sync.holders.isEmpty());
    EXPECT_FALSE(list->isEditingName());

    list->beginEditingName(a);
    list.reset();
    window.list = nullptr;
    EXPECT_TRUE(sync.holders.isEmpty());
}

using ProjectTagFilterTest = ProjectListFixture;

TEST_F(ProjectTagFilterTest, GivenTagsChosenOnThePanel_WhenTheChoiceChanges_ThenTheListFiltersOnlyOnChange)
{
    ProjectBuilder(context(), "Client work").atIndex(2000).taggedWith("client");
    ProjectBuilder(context(), "Private").atIndex(1000).taggedWith("home");
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
