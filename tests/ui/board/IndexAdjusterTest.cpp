#include "tests/ui/board/BoardFixture.h"

#include "platform/Log.h"
#include "ui/board/ArrayController.h"
#include "ui/board/IndexAdjuster.h"

namespace qv::test {
namespace {

class IndexAdjusterTest : public BoardFixture {
protected:
    ArrayController controller;

    QStringList renumbered(std::initializer_list<qint64> values)
    {
        std::vector<store::ManagedObject*> list;
        for (qint64 value : values)
            list.push_back(ItemBuilder(QString::number(value)).atIndex(value).in(context));
        controller.setContent(list); // unsorted: content order is the arranged order
        IndexAdjuster::adjustIndices(controller);
        return indexes(controller.arrangedObjects());
    }
};

TEST_F(
    IndexAdjusterTest,
    GivenEqualRisingOrNegativeIndices_WhenAdjusted_ThenTheyStrictlyDecreaseWithMidpointsTruncatedTowardZero)
{
    EXPECT_EQ(renumbered({10, 10, 10}), QStringList({"1010", "10", "-990"}));
    EXPECT_EQ(renumbered({3000, 2000, 2000, 1000}), QStringList({"3000", "2000", "1500", "1000"}));
    EXPECT_EQ(renumbered({5, 6}), QStringList({"1006", "6"}));
    // Too small a gap below: the step of 1000 pushes the rest down with it.
    EXPECT_EQ(renumbered({100, 50, 50, 49}), QStringList({"100", "50", "-950", "-1950"}));

    EXPECT_EQ(renumbered({0, -1, -1, -4}), QStringList({"0", "-1", "-2", "-4"}));
    EXPECT_EQ(renumbered({0, -2, -2, -5}), QStringList({"0", "-2", "-3", "-5"}));
}

TEST_F(IndexAdjusterTest,
       GivenFewerThanTwoOrderedOrNear32BitIndices_WhenAdjusted_ThenNothingChangesOrOverflows)
{
    EXPECT_EQ(renumbered({7}), QStringList({"7"}));
    EXPECT_EQ(renumbered({}), QStringList());
    EXPECT_EQ(renumbered({300, 200, 100}), QStringList({"300", "200", "100"}));
    context.processPendingChanges();
    controller.setContent(controller.content());
    IndexAdjuster::adjustIndices(controller);
    for (store::ManagedObject* object : controller.content())
        EXPECT_FALSE(object->changedKeysInCurrentEvent().contains(QStringLiteral("index")));

    const qint64 top = 2147483647;
    EXPECT_EQ(renumbered({top, 2000000000, 2000000000, 1900000000}),
              QStringList({QString::number(top), "2000000000", "1950000000", "1900000000"}));
    EXPECT_EQ(renumbered({top, top}), QStringList({QString::number(top + 1000), QString::number(top)}));
}

TEST_F(IndexAdjusterTest, GivenItemsSortedByAnotherKey_WhenAdjusted_ThenLeftAlone)
{
    TODOItem* a = ItemBuilder("a").atIndex(10).in(context);
    TODOItem* b = ItemBuilder("b").atIndex(10).in(context);
    controller.setSortDescriptors({SortDescriptor::byValue(QStringLiteral("name"), true)});
    controller.setContent(objects({a, b}));
    EXPECT_FALSE(IndexAdjuster::isSortedByIndex(controller));
    IndexAdjuster::adjustIndices(controller);
    EXPECT_EQ(indexes(controller.arrangedObjects()), QStringList({"10", "10"}));

    IndexAdjuster::adjustListIndices(controller); // no sort test
    EXPECT_EQ(indexes(controller.arrangedObjects()), QStringList({"1010", "10"}));

    controller.setSortDescriptors({SortDescriptor::byValue(QStringLiteral("index"), false)});
    EXPECT_TRUE(IndexAdjuster::isSortedByIndex(controller));
}

TEST_F(IndexAdjusterTest, GivenProjectsSortedByName_WhenAdjusted_ThenRenumberedAndLogged)
{
    TODOList* a = ProjectBuilder(context, "a");
    TODOList* b = ProjectBuilder(context, "b");
    a->setIndex(1);
    b->setIndex(1);
    controller.setSortDescriptors({SortDescriptor::localized(QStringLiteral("name"), true)});
    controller.setContent({a, b});
    LogCapture log;
    IndexAdjuster::adjustIndices(controller);
    EXPECT_TRUE(log.contains(QStringLiteral("reindexing lists")));
    EXPECT_EQ(a->index(), 1001);
    EXPECT_EQ(b->index(), 1);
}

} // namespace
} // namespace qv::test
