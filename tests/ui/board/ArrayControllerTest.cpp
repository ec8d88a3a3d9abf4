#include "tests/ui/board/BoardFixture.h"

#include "ui/board/ArrayController.h"

#include <QSignalSpy>

#include <limits>
#include <map>
#include <random>

namespace qv::test {
namespace {

const QString kName = QStringLiteral("name");
const QString kIndex = QStringLiteral("index");

ObjectPredicate nameStartsWith(const QString& prefix)
{
    return [prefix](const store::ManagedObject* o) {
        return o->value(kName).toString().startsWith(prefix);
    };
}

class ArrayControllerTest : public BoardFixture {
protected:
    ArrayController controller;
};

// --- Rebuilds: filter, then a stable sort over one or several descriptors ---

TEST_F(ArrayControllerTest, GivenContent_WhenSet_ThenArrangedIsFilteredAndSorted)
{
    controller.setSortDescriptors({SortDescriptor::byValue(kIndex, false)});
    controller.setFilterPredicate(nameStartsWith("a"));
    controller.setContent(
        objects({ItemBuilder("a1").atIndex(10).in(context), ItemBuilder("b").atIndex(30).in(context),
                 ItemBuilder("a2").atIndex(20).in(context)}));
    EXPECT_EQ(names(controller.arrangedObjects()), QStringList({"a2", "a1"}));
    EXPECT_EQ(controller.content().size(), 3u);
}

TEST_F(ArrayControllerTest,
       GivenNoOrSeveralDescriptors_WhenArranged_ThenLaterOnesBreakTiesAndEqualsKeepContentOrder)
{
    TODOItem* a = ItemBuilder("x").atIndex(1).in(context);
    TODOItem* b = ItemBuilder("y").atIndex(2).in(context);
    TODOItem* c = ItemBuilder("x").atIndex(2).in(context);
    TODOItem* d = ItemBuilder("x").atIndex(1).in(context);
    controller.setContent(objects({a, b, c, d}));
    controller.setSortDescriptors(
        {SortDescriptor::byValue(kName, true), SortDescriptor::byValue(kIndex, false)});
    EXPECT_EQ(controller.arrangedObjects(), objects({c, a, d, b}));
    controller.setSortDescriptors({SortDescriptor::byValue(kName, false)});
    EXPECT_EQ(controller.arrangedObjects(), objects({b, a, c, d}));

    controller.setSortDescriptors({});
    controller.setContent(
        objects({ItemBuilder("c").in(context), ItemBuilder("a").in(context), ItemBuilder("b").in(context)}));
    EXPECT_EQ(names(controller.arrangedObjects()), QStringList({"c", "a", "b"}));
}

// The content holds each object once, as first given; membership changes after a new content
// see the objects it holds.
TEST_F(ArrayControllerTest, GivenRepeatedObjects_WhenContentSet_ThenEachOnceAndMembershipFollows)
{
    TODOItem* a = ItemBuilder("a").in(context);
    TODOItem* b = ItemBuilder("b").in(context);
    TODOItem* c = ItemBuilder("c").in(context);
    controller.setContent({b, nullptr, a, b, c, a});
    EXPECT_EQ(controller.content(), objects({b, a, c}));
    EXPECT_EQ(controller.arrangedObjects(), objects({b, a, c}));
    EXPECT_TRUE(controller.contentContains(c));

    controller.setContent(objects({a, b}));
    EXPECT_TRUE(controller.contentContains(a));
    EXPECT_FALSE(controller.contentContains(c));
    controller.addObjects(objects({b, c}));
    controller.removeObject(a);
    EXPECT_EQ(controller.content(), objects({b, c}));
}

// --- An attribute change never rearranges by itself ---

TEST_F(ArrayControllerTest, GivenArranged_WhenAttributeChanges_ThenOrderAndMembershipStayUntilRearrange)
{
    TODOItem* a = ItemBuilder("a").atIndex(3).in(context);
    TODOItem* b = ItemBuilder("b").atIndex(2).in(context);
    TODOItem* c = ItemBuilder("c").atIndex(1).in(context);
    controller.setSortDescriptors({SortDescriptor::byValue(kIndex, false)});
    controller.setFilterPredicate(nameStartsWith(""));
    controller.setContent(objects({a, b, c}));
    QSignalSpy arranged(&controller, &ArrayController::arrangedObjectsChanged);

    c->setIndex(100);
    a->setName(QStringLiteral("")); // still passes; the sort alone would move c
    context.processPendingChanges();
    EXPECT_EQ(controller.arrangedObjects(), objects({a, b, c}));
    EXPECT_EQ(arranged.count(), 0);

    controller.rearrangeObjects();
    EXPECT_EQ(controller.arrangedObjects(), objects({c, a, b}));
    EXPECT_EQ(arranged.count(), 1);
}

TEST_F(ArrayControllerTest,
       GivenFilter_WhenAnObjectStopsPassingOrAFailingOneIsInserted_ThenItIsShownUntilRearrange)
{
    TODOItem* a = ItemBuilder("a1").in(context);
    controller.setFilterPredicate(nameStartsWith("a"));
    controller.setContent(objects({a}));
    a->setName(QStringLiteral("zzz"));
    EXPECT_EQ(controller.arrangedCount(), 1);
    controller.rearrangeObjects();
    EXPECT_EQ(controller.arrangedCount(), 0);

    TODOItem* kept = ItemBuilder("a").in(context);
    TODOItem* other = ItemBuilder("other").in(context);
    controller.setContent(objects({kept}));
    controller.insertObject(other, 1);
    EXPECT_EQ(controller.arrangedObjects(), objects({kept, other}));
    controller.rearrangeObjects();
    EXPECT_EQ(controller.arrangedObjects(), objects({kept}));
    EXPECT_TRUE(controller.contentContains(other));
}

// --- Inserted objects stay where they were put ---

TEST_F(ArrayControllerTest, GivenSortedController_WhenObjectInsertedAnywhere_ThenItStaysThereUntilRearrange)
{
    TODOItem* a = ItemBuilder("a").atIndex(300).in(context);
    TODOItem* b = ItemBuilder("b").atIndex(200).in(context);
    TODOItem* low = ItemBuilder("low").atIndex(1).in(context);
    controller.setSortDescriptors({SortDescriptor::byValue(kIndex, false)});
    controller.setContent(objects({a, b}));
    QSignalSpy arranged(&controller, &ArrayController::arrangedObjectsChanged);

    controller.insertObject(low, 0);
    EXPECT_EQ(controller.arrangedObjects(), objects({low, a, b}));
    EXPECT_TRUE(controller.contentContains(low));
    EXPECT_EQ(arranged.count(), 1);

    controller.rearrangeObjects();
    EXPECT_EQ(controller.arrangedObjects(), objects({a, b, low}));

    // An arranged object inserted elsewhere moves there; the index is clamped.
    controller.insertObject(a, 99);
    EXPECT_EQ(controller.arrangedObjects(), objects({b, low, a}));
    controller.insertObject(low, -5);
    EXPECT_EQ(controller.arrangedObjects(), objects({low, b, a}));
    EXPECT_EQ(controller.content().size(), 3u);
}

// --- Membership changes rearrange and the selection follows ---

TEST_F(ArrayControllerTest, GivenSortedController_WhenObjectsAreAddedOrRemoved_ThenEverythingIsRearranged)
{
    TODOItem* a = ItemBuilder("a").atIndex(300).in(context);
    TODOItem* b = ItemBuilder("b").atIndex(200).in(context);
    controller.setSortDescriptors({SortDescriptor::byValue(kIndex, false)});
    controller.setContent(objects({a, b}));
    b->setIndex(400); // not yet shown
    TODOItem* mid = ItemBuilder("mid").atIndex(350).in(context);
    controller.addObject(mid);
    EXPECT_EQ(controller.arrangedObjects(), objects({b, mid, a}));

    QSignalSpy arranged(&controller, &ArrayController::arrangedObjectsChanged);
    controller.addObject(mid); // already there
    EXPECT_EQ(arranged.count(), 0);
    EXPECT_EQ(controller.content().size(), 3u);

    controller.setSelectionIndexes({0, 1});
    controller.removeObject(b);
    EXPECT_FALSE(controller.contentContains(b));
    EXPECT_EQ(controller.arrangedObjects(), objects({mid, a}));
    EXPECT_EQ(controller.selectedObjects(), objects({mid}));
    EXPECT_EQ(controller.selectionIndexes(), QList<qsizetype>({0}));
}

// --- Filter or sort changes rearrange ---

TEST_F(ArrayControllerTest, GivenArranged_WhenFilterOrSortChanges_ThenRebuiltWithCurrentValues)
{
    TODOItem* a = ItemBuilder("a").atIndex(1).in(context);
    TODOItem* b = ItemBuilder("b").atIndex(2).in(context);
    controller.setContent(objects({a, b}));
    a->setIndex(5);
    controller.setSortDescriptors({SortDescriptor::byValue(kIndex, false)});
    EXPECT_EQ(controller.arrangedObjects(), objects({a, b}));
    b->setIndex(9);
    controller.setFilterPredicate({});
    EXPECT_EQ(controller.arrangedObjects(), objects({b, a}));
}

// --- The selection follows its objects ---

TEST_F(ArrayControllerTest, GivenSelection_WhenRearranged_ThenSameObjectsStaySelectedAtTheirNewIndexes)
{
    TODOItem* a = ItemBuilder("a").atIndex(3).in(context);
    TODOItem* b = ItemBuilder("b").atIndex(2).in(context);
    TODOItem* c = ItemBuilder("c").atIndex(1).in(context);
    controller.setSortDescriptors({SortDescriptor::byValue(kIndex, false)});
    controller.setContent(objects({a, b, c}));
    controller.setSelectionIndexes({0, 1});
    QSignalSpy selection(&controller, &ArrayController::selectionChanged);

    c->setIndex(10);
    controller.rearrangeObjects();
    EXPECT_EQ(controller.selectedObjects(), objects({a, b}));
    EXPECT_EQ(controller.selectionIndexes(), QList<qsizetype>({1, 2}));
    EXPECT_EQ(selection.count(), 1);

    controller.rearrangeObjects(); // same order: nothing to tell
    EXPECT_EQ(selection.count(), 1);
}

TEST_F(ArrayControllerTest,
       GivenSelection_WhenAnObjectIsFilteredOutOrInsertedAbove_ThenItLeavesOrIndexesShiftAndTheSignalFollows)
{
    TODOItem* a = ItemBuilder("a1").in(context);
    TODOItem* b = ItemBuilder("b").in(context);
    controller.setContent(objects({a, b}));
    controller.setSelectedObjects(objects({a, b}));
    controller.setFilterPredicate(nameStartsWith("b"));
    EXPECT_EQ(controller.selectedObjects(), objects({b}));
    controller.setFilterPredicate({});
    EXPECT_EQ(controller.selectedObjects(), objects({b})); // does not come back

    TODOItem* below = ItemBuilder("a").in(context);
    TODOItem* above = ItemBuilder("b").in(context);
    controller.setContent(objects({below}));
    controller.setSelectionIndex(0);
    QSignalSpy selection(&controller, &ArrayController::selectionChanged);
    controller.insertObject(above, 0);
    EXPECT_EQ(controller.selectionIndexes(), QList<qsizetype>({1}));
    EXPECT_EQ(controller.selectedObjects(), objects({below}));
    EXPECT_EQ(selection.count(), 1);
}

TEST_F(ArrayControllerTest, GivenSelectionRequests_WhenOutOfRangeOrNotArranged_ThenIgnored)
{
    TODOItem* a = ItemBuilder("a").in(context);
    TODOItem* b = ItemBuilder("b").in(context);
    TODOItem* stranger = ItemBuilder("stranger").in(context);
    controller.setContent(objects({a, b}));
    EXPECT_FALSE(controller.setSelectionIndexes({-1, 7}));
    EXPECT_TRUE(controller.setSelectedObjects(objects({stranger, b})));
    EXPECT_EQ(controller.selectedObjects(), objects({b}));
    EXPECT_EQ(controller.selectionIndex(), 1);
    EXPECT_TRUE(controller.addSelectionIndexes({0}));
    EXPECT_EQ(controller.selectionIndexes(), QList<qsizetype>({0, 1}));
    EXPECT_TRUE(controller.removeSelectionIndexes({1}));
    EXPECT_FALSE(controller.setSelectionIndex(0)); // unchanged
    EXPECT_TRUE(controller.clearSelection());
    EXPECT_EQ(controller.selectionIndex(), -1);
}

// --- Nothing is selected automatically ---

TEST_F(ArrayControllerTest, GivenEmptySelection_WhenContentSetAddedOrInserted_ThenNothingIsSelected)
{
    QSignalSpy selection(&controller, &ArrayController::selectionChanged);
    controller.setContent(objects({ItemBuilder("a").in(context), ItemBuilder("b").in(context)}));
    controller.addObject(ItemBuilder("c").in(context));
    controller.insertObject(ItemBuilder("d").in(context), 0);
    controller.fetch(); // not in fetch mode: nothing
    EXPECT_FALSE(controller.hasSelection());
    EXPECT_EQ(selection.count(), 0);
}

// --- Fetch mode follows the context's inserted and deleted objects ---

TEST_F(ArrayControllerTest, GivenFetchMode_WhenObjectsInsertedOrDeleted_ThenMembershipFollowsTheContext)
{
    TODOItem* a = ItemBuilder("a").atIndex(1).in(context);
    ProjectBuilder(context, "not an item");
    context.processPendingChanges();
    controller.setSortDescriptors({SortDescriptor::byValue(kIndex, false)});
    controller.setFetch(&context, TODOItem::staticEntityName());
    EXPECT_EQ(controller.arrangedObjects(), objects({a}));

    TODOItem* b = ItemBuilder("b").atIndex(5).in(context);
    EXPECT_EQ(controller.arrangedCount(), 1); // announced at the end of the turn
    context.processPendingChanges();
    EXPECT_EQ(controller.arrangedObjects(), objects({b, a}));

    controller.setSelectedObjects(objects({a, b}));
    context.deleteObject(a);
    context.processPendingChanges();
    EXPECT_EQ(controller.arrangedObjects(), objects({b}));
    EXPECT_EQ(controller.selectedObjects(), objects({b}));

    controller.setContent({}); // leaves fetch mode
    ItemBuilder("c").in(context);
    context.processPendingChanges();
    EXPECT_EQ(controller.arrangedCount(), 0);
}

TEST_F(ArrayControllerTest,
       GivenFilteringOnlyInserted_WhenBatchesInsertedOrDeleted_ThenOnlyNewObjectsAskedAndOrderAsFullRebuild)
{
    int asked = 0;
    const ObjectPredicate filter = nameStartsWith("a");
    controller.setFiltersOnlyInsertedObjects(true);
    controller.setSortDescriptors({SortDescriptor::byValue(kIndex, false)});
    controller.setFilterPredicate([&](const store::ManagedObject* o) {
        ++asked;
        return filter(o);
    });
    controller.setFetch(&context, TODOItem::staticEntityName());
    ArrayController full; // the same arrangement, rebuilt in full on every batch
    full.setSortDescriptors(controller.sortDescriptors());
    full.setFilterPredicate(filter);
    full.setFetch(&context, TODOItem::staticEntityName());
    QSignalSpy rebuilt(&controller, &ArrayController::arrangedObjectsChanged);

    for (int batch = 0; batch < 5; ++batch) {
        // Equal indexes across batches: equals keep the content order.
        for (int i = 0; i < 10; ++i)
            ItemBuilder(QStringLiteral("%1%2-%3").arg(i % 3 == 0 ? "b" : "a").arg(batch).arg(i))
                .atIndex(i % 4)
                .in(context);
        asked = 0;
        context.processPendingChanges();
        EXPECT_EQ(asked, 10) << batch;
        EXPECT_EQ(names(controller.arrangedObjects()), names(full.arrangedObjects())) << batch;
    }
    EXPECT_EQ(controller.arrangedCount(), 30);

    // A batch of which nothing passes leaves the arranged objects alone.
    rebuilt.clear();
    ItemBuilder("b-only").in(context);
    context.processPendingChanges();
    EXPECT_EQ(rebuilt.count(), 0);

    controller.setSelectedObjects({controller.arrangedObjectAt(0), controller.arrangedObjectAt(5)});
    store::ManagedObject* kept = controller.arrangedObjectAt(5);
    context.deleteObject(controller.arrangedObjectAt(0));
    context.deleteObject(controller.arrangedObjectAt(1));
    asked = 0;
    context.processPendingChanges();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(names(controller.arrangedObjects()), names(full.arrangedObjects()));
    EXPECT_EQ(controller.selectedObjects(), std::vector<store::ManagedObject*>({kept}));
}

TEST_F(ArrayControllerTest, GivenChangedObjects_WhenRefiltered_ThenOnlyTheyAreAskedAndTheyJoinOrLeave)
{
    std::vector<store::ManagedObject*> all;
    for (int i = 0; i < 20; ++i)
        all.push_back(
            ItemBuilder(QStringLiteral("%1%2").arg(i % 2 ? "a" : "b").arg(i)).atIndex(i).in(context));
    int asked = 0;
    controller.setSortDescriptors({SortDescriptor::byValue(kIndex, true)});
    controller.setFilterPredicate([&](const store::ManagedObject* o) {
        ++asked;
        return nameStartsWith("a")(o);
    });
    controller.setContent(all);
    controller.setSelectedObjects({all[1], all[3]});
    QSignalSpy rebuilt(&controller, &ArrayController::arrangedObjectsChanged);

    all[1]->setValue(kName, QStringLiteral("b-now")); // leaves
    all[2]->setValue(kName, QStringLiteral("a-now")); // joins
    all[3]->setValue(kIndex, 100);                    // stays, sorted anew
    all[4]->setValue(kName, QStringLiteral("a-unasked"));
    asked = 0;
    controller.refilterObjects({all[1], all[2], all[3], all[2]});
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(rebuilt.count(), 1);
    EXPECT_EQ(names(controller.arrangedObjects()),
              QStringList({"a-now", "a5", "a7", "a9", "a11", "a13", "a15", "a17", "a19", "a3"}));
    EXPECT_EQ(controller.selectedObjects(), std::vector<store::ManagedObject*>({all[3]}));

    // Objects outside the content are not asked.
    controller.refilterObjects({ItemBuilder("a-outside").in(context)});
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(controller.arrangedCount(), 10);
}

// --- Value comparison with absent values is a consistent order ---

TEST(CompareValues, GivenAbsentValues_WhenCompared_ThenNumbersAsZeroTextsAsEmptyDatesFirst)
{
    const QVariant none;
    EXPECT_EQ(compareValues(none, none), 0);
    EXPECT_EQ(compareValues(none, QVariant(qint64(0))), 0);
    EXPECT_LT(compareValues(none, QVariant(qint64(3))), 0);
    EXPECT_GT(compareValues(none, QVariant(qint64(-3))), 0);
    EXPECT_EQ(compareValues(none, QVariant(QString())), 0);
    EXPECT_LT(compareValues(none, QVariant(QStringLiteral("a"))), 0);
    EXPECT_LT(compareValues(none, QVariant(QDateTime::fromSecsSinceEpoch(-100, QTimeZone::utc()))), 0);
    EXPECT_GT(compareValues(QVariant(2.5), QVariant(qint64(2))), 0);
    EXPECT_LT(compareValues(QVariant(QStringLiteral("B")), QVariant(QStringLiteral("a"))), 0);
}

TEST_F(ArrayControllerTest,
       GivenMissingEffortOrALocalizedDescriptor_WhenSorted_ThenMissingIsZeroAndStableAndCaseFollowsTheLocale)
{
    TODOItem* none1 = ItemBuilder("none1").in(context);
    TODOItem* two = ItemBuilder("two").in(context);
    TODOItem* zero = ItemBuilder("zero").in(context);
    TODOItem* none2 = ItemBuilder("none2").in(context);
    two->setEffort(2);
    zero->setEffort(0);
    std::vector<store::ManagedObject*> list = objects({none1, two, zero, none2});
    sortObjects(list, {SortDescriptor::byValue(QStringLiteral("effort"), false)});
    EXPECT_EQ(names(list), QStringList({"two", "none1", "zero", "none2"}));

    list = objects({ItemBuilder("beta").in(context), ItemBuilder("Alpha").in(context),
                    ItemBuilder("alpha").in(context), ItemBuilder("Beta").in(context)});
    sortObjects(list, {SortDescriptor::localized(kName, true, true)});
    EXPECT_EQ(names(list), QStringList({"Alpha", "alpha", "beta", "Beta"}));
    sortObjects(list, {SortDescriptor::byValue(kName, true)});
    EXPECT_EQ(names(list), QStringList({"Alpha", "Beta", "alpha", "beta"}));
}

// Sorting by one key reads each value once and orders by it directly; it must give the order a
// stable sort comparing the values two at a time gives, whatever the values.
TEST_F(ArrayControllerTest, GivenExtremeTiedAndMissingValues_WhenSortedByOneKey_ThenAsComparingTheValues)
{
    const QLocale previous;
    QLocale::setDefault(QLocale::c()); // localized descriptors compare code units here
    const std::vector<QVariant> integers = {QVariant(),
                                            std::numeric_limits<qint64>::min(),
                                            std::numeric_limits<qint64>::min() + 1,
                                            qint64(-65536),
                                            qint64(-1),
                                            qint64(0),
                                            qint64(1),
                                            qint64(255),
                                            qint64(256),
                                            qint64(1) << 40,
                                            std::numeric_limits<qint64>::max()};
    const std::vector<QVariant> dates = {QVariant(), QDateTime::fromMSecsSinceEpoch(-1, QTimeZone::utc()),
                                         QDateTime::fromMSecsSinceEpoch(0, QTimeZone::utc()),
                                         QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, QTimeZone::utc()),
                                         QDateTime::fromMSecsSinceEpoch(1'700'000'000'001, QTimeZone::utc())};
    const QStringList texts = {QString(),
                               "a",
                               "A",
                               "ab",
                               QString::fromUtf16(u"a\0b", 3),
                               QString::fromUtf16(u"a\0", 2),
                               "abcdefghijklmnop",
                               "abcdefghijklmnopq",
                               "abcdefghijklmnopr",
                               "ABCDEFGHIJKLMNOPQ",
                               "abcdefghijklmno",
                               QString::fromUtf16(u"\u00e9"),
                               QString::fromUtf16(u"\u00c9"),
                               QString::fromUtf16(u"\u00df"),
                               QString::fromUtf16(u"\U0001d518x"),
                               QString::fromUtf16(u"\U00010400"),
                               QString::fromUtf16(u"\U00010428"),
                               QString::fromUtf16(u"\ue000"),
                               QString::fromUtf16(u"\uffff")};
    std::mt19937 random(7);
    std::vector<store::ManagedObject*> items;
    for (int i = 0; i < 400; ++i) {
        TODOItem* item =
            ItemBuilder(texts[qsizetype(random() % texts.size())])
                .withValue("index", integers[random() % integers.size()])
                .withValue("dueDate", dates[random() % dates.size()])
                .withValue("allDay", random() % 3 == 0 ? QVariant() : QVariant(random() % 2 == 0))
                .withValue("icon", texts[qsizetype(random() % texts.size())])
                .in(context);
        items.push_back(item);
    }
    std::vector<SortDescriptor> descriptors;
    for (const bool ascending : {true, false}) {
        for (const char* key : {"index", "dueDate", "allDay", "icon"})
            descriptors.push_back(SortDescriptor::byValue(QString::fromLatin1(key), ascending));
        descriptors.push_back(SortDescriptor::localized(kName, ascending, false));
        descriptors.push_back(SortDescriptor::localized(kName, ascending, true));
    }
    const auto expectSortedAsCompared = [&](const char* names) {
        for (const SortDescriptor& descriptor : descriptors) {
            const bool textual = descriptor.comparison != SortDescriptor::Comparison::Value;
            const Qt::CaseSensitivity cs =
                descriptor.comparison == SortDescriptor::Comparison::LocalizedCaseInsensitive
                    ? Qt::CaseInsensitive
                    : Qt::CaseSensitive;
            std::vector<store::ManagedObject*> expected = items;
            std::stable_sort(
                expected.begin(), expected.end(), [&](store::ManagedObject* a, store::ManagedObject* b) {
                    const QVariant x = a->value(descriptor.key);
                    const QVariant y = b->value(descriptor.key);
                    const int c = textual ? x.toString().compare(y.toString(), cs) : compareValues(x, y);
                    return descriptor.ascending ? c < 0 : c > 0;
                });
            std::vector<store::ManagedObject*> sorted = items;
            sortObjects(sorted, {descriptor});
            EXPECT_TRUE(sorted == expected)
                << descriptor.key.toStdString() << " ascending " << descriptor.ascending << " comparison "
                << int(descriptor.comparison) << " with " << names;
        }
    };
    expectSortedAsCompared("names from a few texts");
    // Mostly different names, the rest repeating: the texts are not gathered first.
    for (size_t i = 0; i < items.size(); ++i) {
        if (i % 2 == 1) {
            auto* item = store::as<TODOItem>(items[i]);
            item->setName(item->name() + QChar(char16_t(0x4e00 + i / 2 % 150)));
        }
    }
    expectSortedAsCompared("mostly different names");
    QLocale::setDefault(previous);
}

// Keys are sorted on the words they differ in, whichever those are, and compare word by word.
TEST_F(ArrayControllerTest, GivenKeysWithConstantWords_WhenSortedByKeys_ThenAsComparingTheKeys)
{
    const std::vector<qint64> extremes = {std::numeric_limits<qint64>::min(), -1, 0, 1, 256,
                                          std::numeric_limits<qint64>::max()};
    std::mt19937 random(11);
    std::vector<store::ManagedObject*> items;
    std::map<const store::ManagedObject*, SortKey> keyOf;
    for (int i = 0; i < 300; ++i) {
        TODOItem* item = ItemBuilder(QStringLiteral("item %1").arg(i)).in(context);
        items.push_back(item);
        // Words 0 and 2 are the same in every key.
        keyOf[item] = {7, extremes[random() % extremes.size()], -3, qint64(random() % 3),
                       extremes[random() % extremes.size()]};
    }
    const SortKeysFunction keys = [&keyOf](const std::vector<store::ManagedObject*>& objects) {
        std::vector<SortKey> result;
        for (const store::ManagedObject* object : objects)
            result.push_back(keyOf.at(object));
        return result;
    };
    for (const bool ascending : {true, false}) {
        std::vector<store::ManagedObject*> expected = items;
        std::stable_sort(expected.begin(), expected.end(),
                         [&](store::ManagedObject* a, store::ManagedObject* b) {
                             return ascending ? keyOf.at(a) < keyOf.at(b) : keyOf.at(b) < keyOf.at(a);
                         });
        std::vector<store::ManagedObject*> sorted = items;
        sortObjects(sorted, {SortDescriptor::keyed(QStringLiteral("self"), ascending, keys)});
        EXPECT_TRUE(sorted == expected) << "ascending " << ascending;
    }
}

} // namespace
} // namespace qv::test
