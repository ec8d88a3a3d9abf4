#include "tests/ui/board/ProjectListFixture.h"

#include "ui/board/ArrayController.h"
#include "ui/details/DrawerModel.h"
#include "ui/details/InboxModel.h"
#include "ui/details/UndeleteCandidates.h"

#include <QSignalSpy>

namespace qv::test {
namespace {

using ItemTrashBinTest = ProjectListFixture;

TEST_F(ItemTrashBinTest,
       GivenTrashedItems_WhenTheTickedAreRestored_ThenTheyComeBackInTheirOldStateAndNoProjectMeansNone)
{
    TODOList* project = ProjectBuilder(context(), "P");
    ItemBuilder("open").in(project);
    TODOItem* trashed = ItemBuilder("trashed").trashed().in(project);
    TODOItem* doneThenTrashed = ItemBuilder("done then trashed").inQuadrant(1).trashed().in(project);
    doneThenTrashed->setCompletionDate(clock.now());
    TODOItem* removed = ItemBuilder("removed").inQuadrant(2).removed().in(project);
    makeList();
    list->selectProject(project);

    ItemUndeleteCandidates bin(*document);
    bin.loadUndeleteCandidates();
    ASSERT_EQ(bin.count(), 3);
    EXPECT_EQ(bin.tickedCount(), 0);
    QSignalSpy refresh(&bin, &UndeleteCandidates::refreshRequested);

    for (int row = 0; row < bin.count(); ++row) {
        if (bin.candidateAt(row) != removed)
            bin.setTicked(row, true);
    }
    EXPECT_EQ(bin.restoreTicked(), 2);
    EXPECT_EQ(trashed->state(), 0);
    EXPECT_EQ(doneThenTrashed->state(), 1);
    EXPECT_EQ(trashed->edited_since(), 1);
    EXPECT_EQ(removed->state(), 3);
    ASSERT_EQ(bin.count(), 1);
    EXPECT_EQ(bin.candidateAt(0), removed);
    EXPECT_EQ(refresh.count(), 1);

    EXPECT_EQ(bin.restoreTicked(), 0); // nothing ticked: no refresh
    EXPECT_EQ(refresh.count(), 1);
    bin.clearUndeleteCandidates();
    EXPECT_EQ(bin.count(), 0);

    // Without a selected project the bin is empty.
    list->displayProjectsArrayController().clearSelection();
    bin.loadUndeleteCandidates();
    EXPECT_EQ(bin.count(), 0);
}

using ProjectTrashBinTest = ProjectListFixture;

TEST_F(ProjectTrashBinTest, GivenDeletedProject_WhenRestored_ThenItIsListedAgainOnce)
{
    TODOList* keep = ProjectBuilder(context(), "Keep").atIndex(2000);
    TODOList* gone = ProjectBuilder(context(), "Gone").atIndex(1000);
    makeList();
    list->markProject(gone, ObjectState::Trashed);
    ASSERT_EQ(list->numProjects(), 1);

    ProjectUndeleteCandidates bin(*document, list.get());
    bin.loadUndeleteCandidates();
    ASSERT_EQ(bin.count(), 1);
    EXPECT_EQ(undeleteCandidateTitle(bin.candidateAt(0)), QString("Gone"));
    bin.setTicked(0, true);
    EXPECT_EQ(bin.restoreTicked(), 1);
    EXPECT_EQ(gone->state(), 0);
    EXPECT_EQ(gone->edited_since(), 1);
    EXPECT_EQ(list->getAllProjects(), (std::vector<TODOList*>{keep, gone}));
    EXPECT_EQ(list->getAllProjectsEvenTrashed().size(), 2u);
    EXPECT_EQ(bin.count(), 0);
}

using InboxAddTest = ProjectListFixture;

TEST_F(InboxAddTest,
       GivenBlankTitlesOrOnesWithSpaces_WhenAdded_ThenNoneOrATrimmedInboxItemIsListedOnTopAndSent)
{
    TODOList* project = ProjectBuilder(context(), "P");
    ItemBuilder("in a project").in(project);
    makeList();
    InboxModel inbox(*document);
    const int before = context().count(TODOItem::staticEntityName());
    EXPECT_EQ(inbox.addItemWithTitle(QString()), nullptr);
    EXPECT_EQ(inbox.addItemWithTitle(""), nullptr);
    EXPECT_EQ(inbox.addItemWithTitle(" \t\n\r "), nullptr);
    EXPECT_EQ(context().count(TODOItem::staticEntityName()), before);
    EXPECT_TRUE(sync.calls.isEmpty());
    EXPECT_EQ(inbox.itemsArrayController().arrangedCount(), 0);

    QSignalSpy scrolled(&inbox, &InboxModel::scrollToFirstRowRequested);
    TODOItem* older = inbox.addItemWithTitle("older"); // the same second as the next

    TODOItem* item = inbox.addItemWithTitle("  Call the bank \n", "about the loan");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->name(), QString("Call the bank"));
    EXPECT_EQ(item->descriptionText(), QString("about the loan"));
    EXPECT_EQ(item->list(), nullptr);
    EXPECT_EQ(item->edited_since(), 1);
    EXPECT_EQ(inbox.itemsArrayController().arrangedObjects(),
              (std::vector<store::ManagedObject*>{item, older}));
    EXPECT_EQ(sync.calls, (QStringList{"sendItem older", "sendItem Call the bank"}));
    EXPECT_EQ(scrolled.count(), 2);
}

TEST_F(InboxAddTest,
       GivenBatchesThatMoveTrashOrInsertItems_WhenProcessed_ThenTheInboxListsWhatAFullReloadWould)
{
    TODOList* project = ProjectBuilder(context(), "P");
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc());
    int age = 0;
    const auto made = [&](TODOItem* item) {
        item->setCreationDate(base.addSecs(++age));
        return item;
    };
    TODOItem* staying = made(ItemBuilder("staying").in(context()));
    TODOItem* leaving = made(ItemBuilder("leaving").in(context()));
    TODOItem* trashed = made(ItemBuilder("trashed").in(context()));
    TODOItem* returning = made(ItemBuilder("returning").in(project));
    made(ItemBuilder("elsewhere").in(project));
    context().processPendingChanges();
    InboxModel inbox(*document);
    const ArrayController& items = inbox.itemsArrayController();
    EXPECT_EQ(names(items.arrangedObjects()), QStringList({"trashed", "leaving", "staying"}));

    // One batch, as a sync brings them: a move into a project, a trash, a return to the inbox,
    // a rename, and new items with and without a project.
    leaving->setList(project);
    document->markTODOItemAsTrashed(trashed, nullptr);
    returning->setList(nullptr);
    staying->setName(QStringLiteral("renamed"));
    made(ItemBuilder("new").in(context()));
    made(ItemBuilder("new elsewhere").in(project));
    context().processPendingChanges();
    EXPECT_EQ(names(items.arrangedObjects()), QStringList({"new", "returning", "renamed"}));

    inbox.reload();
    EXPECT_EQ(names(items.arrangedObjects()), QStringList({"new", "returning", "renamed"}));
}

using DrawerModelTest = ProjectListFixture;

TEST_F(
    DrawerModelTest,
    GivenQuadrantController_WhenItsSelectionChangesOrTheShownItemIsEdited_ThenTheDrawerFollowsAndRefusesBlankNames)
{
    TODOList* project = ProjectBuilder(context(), "P");
    project->setColorSecondQuadrant("{1, 0, 0, 1}");
    TODOItem* a = ItemBuilder("a").inQuadrant(1).in(project);
    TODOItem* b = ItemBuilder("b").inQuadrant(1).in(project);
    ArrayController quadrant;
    quadrant.setContent({a, b});
    DrawerModel drawer;
    EXPECT_FALSE(drawer.isOpen());

    drawer.setArrayController(&quadrant);
    EXPECT_TRUE(drawer.isOpen());
    EXPECT_EQ(drawer.getItem(), nullptr);
    EXPECT_FALSE(drawer.showsDetails());
    EXPECT_EQ(drawer.backgroundColor(), QColor(Qt::white));

    quadrant.setSelectedObjects({b, a});
    EXPECT_EQ(drawer.getItem(), a);
    const QColor light = drawer.backgroundColor();
    EXPECT_NEAR(light.hsvHueF(), 0.0, 0.01);
    EXPECT_NEAR(light.hsvSaturationF(), 0.2, 0.01);
    EXPECT_NEAR(light.valueF(), 1.0, 0.01);

    // A blank name is refused; a name and notes are stored.
    QSignalSpy changed(&drawer, &DrawerModel::changed);
    EXPECT_FALSE(drawer.setName("   "));
    EXPECT_EQ(a->name(), QString("a"));
    EXPECT_TRUE(drawer.setName("Final"));
    EXPECT_TRUE(drawer.setNotes("line one\nline two"));
    EXPECT_EQ(a->name(), QString("Final"));
    EXPECT_EQ(a->descriptionText(), QString("line one\nline two"));
    settle(); // the store announces the edit
    EXPECT_GE(changed.count(), 1);

    drawer.setArrayController(nullptr);
    EXPECT_FALSE(drawer.isOpen());
    EXPECT_EQ(drawer.getItem(), nullptr);

    // Colour texts lighten: brightness moves four fifths of the way to full.
    const QColor grey = DrawerModel::lighterColor("{0, 0, 0, 1}");
    EXPECT_NEAR(grey.valueF(), 0.8, 0.01);
    EXPECT_NEAR(grey.hsvSaturationF(), 0.0, 0.01);
    EXPECT_EQ(DrawerModel::lighterColor(QString()), QColor(Qt::white));
    EXPECT_EQ(DrawerModel::lighterColor("not a colour"), QColor(Qt::white));
}

} // namespace
} // namespace qv::test
