#include "tests/ui/board/BoardDocumentFixture.h"

#include "core/model/ItemFile.h"
#include "ui/board/DropTargets.h"
#include "ui/board/ItemPasteboard.h"

#include <QMimeData>

namespace qv::test {
namespace {

using Operation = DropTargets::Operation;

// Items dragged out of the first quadrant of "Launch" (a, b, c top to bottom) onto the
// toolbar's drop buttons.
class DropTargetsTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        addLaunchProject(2000);
        other = ProjectBuilder(context(), "Other").atIndex(1000);
        o1 = ItemBuilder("o1").atIndex(2000).in(other);
        o2 = ItemBuilder("o2").atIndex(1000).in(other);
        board = std::make_unique<Board>(*document, services);
        board->updateFilters();
        board->updateSortDescriptors();
        board->showProject(project);
        targets = std::make_unique<DropTargets>(*board);
    }
    void TearDown() override
    {
        targets.reset();
        board.reset();
    }

    // What the first quadrant's table writes when the rows are dragged.
    std::unique_ptr<QMimeData> drag(const std::vector<TODOItem*>& items, QList<qsizetype> rows) const
    {
        return ItemPasteboard::forItems(items, project, std::move(rows)).toMimeData();
    }
    QStringList shown(int q) const { return names(board->controller(q).arrangedObjects()); }

    std::unique_ptr<Board> board;
    std::unique_ptr<DropTargets> targets;
    TODOList* other = nullptr;
    TODOItem *o1 = nullptr, *o2 = nullptr;
};

TEST_F(DropTargetsTest,
       GivenThreeItemsInManualOrder_WhenDroppedOnDuplicate_ThenTheirClonesLeadTheQuadrantInDragOrder)
{
    TODOItem* d = ItemBuilder("d").atIndex(500).ownedBy("ann").taggedWith("urgent").in(project);
    b->setOwner(QStringLiteral("ann-id"));
    b->addTagsObject(TagManager::getItemTagForName(QStringLiteral("urgent"), context()));
    auto* file = context().insert<ItemFile>(ItemFile::staticEntityName());
    b->addFilesObject(file);
    scheduler.runPosted();

    // Dragged in this order: d, b, c.
    ASSERT_TRUE(targets->perform(Operation::Duplicate, drag({d, b, c}, {1, 2, 3}).get()));
    scheduler.runPosted();

    EXPECT_EQ(shown(0), QStringList({"d", "b", "c", "a", "b", "c", "d"}));
    const auto clones = board->controller(0).arrangedObjects();
    for (int i = 0; i < 3; ++i) {
        auto* clone = store::as<TODOItem>(clones[size_t(i)]);
        EXPECT_EQ(clone->list(), project);
        EXPECT_TRUE(clone->getTagNames().isEmpty());
        EXPECT_TRUE(clone->files().empty());
        EXPECT_TRUE(clone->ownerUsername().isEmpty());
        EXPECT_TRUE(clone->owner().isEmpty());
        EXPECT_NE(clone->id_(), store::as<TODOItem>(clones[size_t(i + 3)])->id_());
    }
}

TEST_F(DropTargetsTest,
       GivenATrashDrop_WhenTheUserDeclinesOrAccepts_ThenNothingOrExactlyTheDraggedItemsChange)
{
    alerts.answers = {1};
    EXPECT_FALSE(targets->perform(Operation::Trash, drag({a, b}, {0, 1}).get()));
    EXPECT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(shown(0), QStringList({"a", "b", "c"}));
    EXPECT_EQ(a->objectState(), ObjectState::Open);

    alerts.answers = {0};
    EXPECT_TRUE(targets->perform(Operation::Trash, drag({a, b}, {0, 1}).get()));
    EXPECT_EQ(a->objectState(), ObjectState::Trashed);
    EXPECT_EQ(b->objectState(), ObjectState::Trashed);
    EXPECT_EQ(shown(0), QStringList({"c"}));
}

// While dragging, the pointer passed over the project list and "Other" is shown: the rows of
// the drag now name o1 and o2 there, but the drop acts on a and b.
TEST_F(DropTargetsTest,
       GivenAnotherProjectShownDuringTheDrag_WhenDroppedOnCompleteOrTrash_ThenTheDraggedItemsChange)
{
    const auto completing = drag({a, b}, {0, 1});
    board->showProject(other);
    ASSERT_TRUE(targets->perform(Operation::Complete, completing.get()));
    EXPECT_EQ(a->objectState(), ObjectState::Completed);
    EXPECT_EQ(b->completionPercentage(), 100);
    EXPECT_EQ(o1->objectState(), ObjectState::Open);
    EXPECT_EQ(o2->objectState(), ObjectState::Open);

    alerts.answers = {0};
    ASSERT_TRUE(targets->perform(Operation::Trash, drag({c}, {2}).get()));
    EXPECT_EQ(c->objectState(), ObjectState::Trashed);
    EXPECT_EQ(shown(0), QStringList({"o1", "o2"}));
}

TEST_F(DropTargetsTest,
       GivenDragsThatNoLongerNameTheirItems_WhenDropped_ThenEveryButtonRefusesAndNothingChanges)
{
    const auto gone = drag({a, b}, {0, 1});
    context().deleteObject(b);
    scheduler.runPosted();
    const auto trashed = drag({c}, {1});
    c->setObjectState(ObjectState::Trashed);
    auto colour = drag({a}, {0});
    colour->setColorData(QColor(Qt::red));
    const auto noRows = drag({a}, {});
    auto noItems = std::make_unique<QMimeData>();
    noItems->setText(QStringLiteral("a"));

    const std::pair<const char*, const QMimeData*> drops[] = {
        {"an item deleted since", gone.get()},
        {"an item trashed since", trashed.get()},
        {"a colour", colour.get()},
        {"no rows", noRows.get()},
        {"no items at all", noItems.get()},
    };
    const size_t items = project->items().size();
    alerts.answers = {0, 0, 0, 0, 0};
    for (const auto& [what, mime] : drops) {
        for (Operation operation : {Operation::Complete, Operation::Trash, Operation::Duplicate})
            EXPECT_FALSE(targets->perform(operation, mime)) << what << " " << int(operation);
    }
    EXPECT_TRUE(alerts.shown.isEmpty());
    EXPECT_EQ(a->objectState(), ObjectState::Open);
    EXPECT_EQ(project->items().size(), items);
    EXPECT_EQ(DropTargets::operationNamed(QStringLiteral("trash")), Operation::Trash);
    EXPECT_FALSE(DropTargets::operationNamed(QStringLiteral("archive")));
}

} // namespace
} // namespace qv::test
