#include "tests/ui/board/BoardDocumentFixture.h"

#include "ui/board/ItemPasteboard.h"

#include <QMimeData>
#include <QUrl>

namespace qv::test {
namespace {

class QuadrantDropsTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        addLaunchProject(1000);
        x = ItemBuilder("x").inQuadrant(1).atIndex(500).in(project);
        y = ItemBuilder("y").inQuadrant(1).atIndex(400).in(project);
        board = std::make_unique<Board>(*document, services);
        board->updateFilters();
        board->updateSortDescriptors();
        board->showProject(project);
        // Edits of the drop count as the user's.
        document->enableDidChangeContextNotifications();
        scheduler.runPosted();
        for (TODOItem* item : {a, b, c, x, y})
            item->setEdited_since(0);
        scheduler.runPosted();
    }

    void TearDown() override { board.reset(); }

    std::unique_ptr<QMimeData> drag(std::initializer_list<TODOItem*> items, QList<qsizetype> rows = {})
    {
        return ItemPasteboard::forItems(std::vector<TODOItem*>(items), project, rows).toMimeData();
    }

    QStringList shown(int q) const { return names(board->controller(q).arrangedObjects()); }

    TODOItem *x = nullptr, *y = nullptr;
    std::unique_ptr<Board> board;
};

// --- Reordering within a quadrant

TEST_F(QuadrantDropsTest,
       GivenItemsDroppedBetweenTwoOthersAtTheTopOrTheEnd_WhenAccepted_ThenTheyLandThereInOrder)
{
    EXPECT_TRUE(board->acceptDrop(0, drag({c}, {2}).get(), 1));
    EXPECT_EQ(shown(0), QStringList({"a", "c", "b"}));
    EXPECT_EQ(c->index(), 2500);
    EXPECT_EQ(a->index(), 3000);
    EXPECT_EQ(b->index(), 2000);
    EXPECT_EQ(board->controller(0).selectedObjects(), std::vector<store::ManagedObject*>{c});

    EXPECT_TRUE(board->acceptDrop(0, drag({b, c}, {1, 2}).get(), 0));
    EXPECT_EQ(shown(0), QStringList({"b", "c", "a"}));
    EXPECT_EQ(indexes(board->controller(0).arrangedObjects()), QStringList({"3200", "3100", "3000"}));

    EXPECT_TRUE(board->acceptDrop(0, drag({b}, {0}).get(), -1));
    EXPECT_EQ(shown(0), QStringList({"c", "a", "b"}));
    EXPECT_EQ(b->index(), 2900);
}

TEST_F(QuadrantDropsTest, GivenNeighboursWithoutRoom_WhenDroppedBetween_ThenTheQuadrantIsRenumbered)
{
    a->setIndex(11);
    b->setIndex(10);
    c->setIndex(9);
    board->controller(0).rearrangeObjects();
    EXPECT_TRUE(board->acceptDrop(0, drag({c}, {2}).get(), 1));
    EXPECT_EQ(shown(0), QStringList({"a", "c", "b"}));
    const QStringList order = indexes(board->controller(0).arrangedObjects());
    EXPECT_GT(order[0].toLongLong(), order[1].toLongLong());
    EXPECT_GT(order[1].toLongLong(), order[2].toLongLong());
}

TEST_F(
    QuadrantDropsTest,
    GivenAnotherSortMode_WhenReorderedWithinOrMovedToAnotherQuadrant_ThenRefusedWithManualOrderOfferedOrMoved)
{
    preferences.setValue("kItemSortingState", 1);
    alerts.answers = {1};
    EXPECT_FALSE(board->acceptDrop(0, drag({c}, {2}).get(), 0));
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message, QStringLiteral("Change to Manual Sorting Mode?"));
    EXPECT_EQ(c->index(), 1000);

    // Moved to another quadrant it goes, and the order decides its place.
    EXPECT_TRUE(board->acceptDrop(1, drag({c}, {2}).get(), 0));
    EXPECT_EQ(c->quadrant(), 1);
    EXPECT_EQ(shown(1), QStringList({"c", "x", "y"}));
    EXPECT_EQ(alerts.shown.size(), 1);
}

// --- Moving between quadrants

TEST_F(QuadrantDropsTest,
       GivenAnItemDroppedOnAnotherQuadrant_WhenAccepted_ThenItMovesThereAndIsMarkedForUpload)
{
    EXPECT_TRUE(board->acceptDrop(1, drag({a}, {0}).get(), 1));
    scheduler.runPosted();
    EXPECT_EQ(a->quadrant(), 1);
    EXPECT_EQ(a->edited_since(), 1);
    EXPECT_EQ(shown(0), QStringList({"b", "c"}));
    EXPECT_EQ(shown(1), QStringList({"x", "a", "y"}));
    EXPECT_EQ(a->index(), 450);
    EXPECT_EQ(board->activeQuadrant(), 1);
}

TEST_F(QuadrantDropsTest,
       GivenAnInboxItemOrItemsOfAnotherProjectOrGone_WhenDropped_ThenItJoinsOrMovesHereOrIsRefused)
{
    TODOItem* inbox = document->addItemWithTitle(QStringLiteral("From the inbox"));
    const auto mime = ItemPasteboard::forItems({inbox}, nullptr).toMimeData();
    EXPECT_TRUE(board->acceptDrop(3, mime.get(), 0));
    EXPECT_EQ(inbox->list(), project);
    EXPECT_EQ(inbox->quadrant(), 3);
    EXPECT_EQ(shown(3), QStringList({"From the inbox"}));

    // Another project's completed item: a copy here keeps its completion, the item leaves there.
    TODOList* other = ProjectBuilder(context(), "Other").atIndex(1000);
    TODOItem* foreign =
        ItemBuilder("foreign").completed().withValue("completionPercentage", 100).atIndex(100).in(other);
    preferences.setValue("kItemFilterState", 0);
    EXPECT_TRUE(board->acceptDrop(0, ItemPasteboard::forItems({foreign}, other).toMimeData().get(), 1));
    EXPECT_EQ(shown(0), QStringList({"a", "foreign", "b", "c"}));
    EXPECT_EQ(store::as<TODOItem>(board->controller(0).arrangedObjectAt(1))->state(), 1);
    EXPECT_EQ(foreign->list(), other);
    EXPECT_EQ(foreign->state(), 2);
    EXPECT_FALSE(board->acceptDrop(0, ItemPasteboard::forItems({foreign}, other).toMimeData().get(), 0));

    b->setState(2);
    EXPECT_FALSE(board->acceptDrop(0, drag({b}).get(), 0));
    QMimeData garbage;
    garbage.setData(ItemPasteboard::kType, "not json");
    EXPECT_FALSE(board->acceptDrop(0, &garbage, 0));
}

// --- Text, links and files

TEST_F(QuadrantDropsTest,
       GivenDroppedText_WhenAccepted_ThenItBecomesAnItemWithTheTextAsNotesAndALongTitleIsCut)
{
    QMimeData mime;
    mime.setText(QStringLiteral("Call the printer\nabout the flyers"));
    EXPECT_TRUE(board->acceptDrop(2, &mime, 0));
    TODOItem* item = store::as<TODOItem>(board->controller(2).selectedObjects().at(0));
    EXPECT_EQ(item->name(), QStringLiteral("Call the printer"));
    EXPECT_EQ(item->descriptionText(), QStringLiteral("Call the printer\nabout the flyers"));
    EXPECT_EQ(item->quadrant(), 2);
    EXPECT_EQ(board->addingItem(), nullptr);

    const QString title = QString(98, u'a') + QStringLiteral("  tail of the title");
    TODOItem* typed = board->addItemInTable(0, title, QString(), Board::kNewItemIcon, QString());
    EXPECT_EQ(typed->name(), QString(98, u'a') + QStringLiteral("..."));
    EXPECT_EQ(typed->descriptionText(), title);
}

TEST_F(QuadrantDropsTest, GivenDroppedFilesAndLinks_WhenAccepted_ThenEachBecomesAnItemWithItsAddress)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/plans/budget.ods")),
                  QUrl(QStringLiteral("https://example.com/brief"))});
    EXPECT_TRUE(board->acceptDrop(3, &mime, 0));
    QStringList made = shown(3);
    made.sort();
    EXPECT_EQ(made, QStringList({"budget.ods", "https://example.com/brief"}));
    for (store::ManagedObject* object : board->controller(3).arrangedObjects()) {
        auto* item = store::as<TODOItem>(object);
        if (item->name() == QLatin1String("budget.ods")) {
            EXPECT_EQ(item->icon(), QStringLiteral("green_filecabinet128.png"));
            EXPECT_EQ(item->macResourceURL(), QStringLiteral("file:///tmp/plans/budget.ods"));
        } else {
            EXPECT_EQ(item->macResourceURL(), QStringLiteral("https://example.com/brief"));
        }
    }
}

TEST_F(QuadrantDropsTest, GivenBlankTextOrAProjectBeingFetched_WhenDropped_ThenNothingIsMade)
{
    QMimeData blank;
    blank.setText(QStringLiteral("   \n "));
    EXPECT_FALSE(Board::canAcceptDrop(&blank));
    EXPECT_FALSE(board->acceptDrop(0, &blank, 0));
    project->setLazyFetch(true);
    QMimeData text;
    text.setText(QStringLiteral("later"));
    EXPECT_FALSE(board->acceptDrop(0, &text, 0));
    EXPECT_EQ(shown(0), QStringList({"a", "b", "c"}));
}

// --- The drag format

TEST_F(QuadrantDropsTest, GivenDraggedItems_WhenWrittenAndReadBack_ThenTheSameItemsProjectAndRowsReturn)
{
    const ItemPasteboard written = ItemPasteboard::forItems({b, a}, project, {1, 0});
    const std::optional<ItemPasteboard> read = ItemPasteboard::decoded(written.encoded());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->listURI, project->uri());
    EXPECT_EQ(read->rowIndexes, (QList<qsizetype>{0, 1}));
    EXPECT_EQ(read->resolveItems(context()), (std::vector<TODOItem*>{b, a}));
    EXPECT_EQ(read->resolveList(context()), project);
    EXPECT_EQ(ItemPasteboard::forItems({a}, nullptr).resolveList(context()), nullptr);
    EXPECT_FALSE(ItemPasteboard::decoded("[1, 2]"));
}

} // namespace
} // namespace qv::test
