#include "tests/ui/board/BoardFixture.h"

#include "platform/Log.h"
#include "platform/Preferences.h"
#include "ui/board/BoardArrangement.h"

#include <QCollator>
#include <QTemporaryDir>
#include <QTimeZone>

#include <array>
#include <limits>
#include <map>
#include <random>

#include <time.h>

namespace qv::test {
namespace {

class BoardArrangementTest : public BoardFixture {
protected:
    QTemporaryDir dir;
    Preferences preferences{dir.filePath(QStringLiteral("prefs.conf"))};
    std::array<ArrayController, 4> controllers;
    BoardArrangement board{preferences, {&controllers[0], &controllers[1], &controllers[2], &controllers[3]}};

    void setModes(int sortMode, int filterState)
    {
        preferences.setValue(BoardArrangement::kItemSortingState, sortMode);
        preferences.setValue(BoardArrangement::kItemFilterState, filterState);
    }
};

// --- Sort modes: each mode's order and filter side effect ---

TEST_F(BoardArrangementTest, GivenThreeItems_WhenEachSortModeApplied_ThenOrderAndFilterStateFollowTheMode)
{
    const QDateTime now = clock.now();
    TODOItem* x = ItemBuilder("b").atIndex(300).in(context);
    TODOItem* y = ItemBuilder("c").atIndex(200).in(context);
    TODOItem* z = ItemBuilder("a").atIndex(100).in(context);
    y->setStarred(true);
    x->setDueDate(now.addDays(1));
    z->setDueDate(now.addSecs(-7200));
    x->setCompletionPercentage(50);
    z->setCompletionPercentage(100);
    x->setEffort(1);
    y->setEffort(3);
    x->setIcon(QStringLiteral("b.png"));
    y->setIcon(QStringLiteral("a.png"));
    z->setIcon(QStringLiteral("c.png"));
    x->setCreationDate(now.addDays(-2));
    y->setCreationDate(now.addDays(-3));
    z->setCreationDate(now.addDays(-1));
    x->setCompletionDate(now.addDays(-5));
    z->setCompletionDate(now.addDays(-4));
    x->setLastModifiedTimestamp(20);
    y->setLastModifiedTimestamp(30);
    z->setLastModifiedTimestamp(10);
    x->setOwnerUsername(QStringLiteral("b@example.com"));
    z->setOwnerUsername(QStringLiteral("a@example.com"));
    controllers[0].setContent(objects({x, y, z}));

    struct Expected {
        const char* order; // x, y, z by their names b, c, a
        int filterState;   // 9 = left as it was
    };
    const std::map<int, Expected> expected = {
        {0, {"bca", 9}},  {1, {"abc", 9}},  {2, {"cba", 9}},  {3, {"abc", 1}},  {4, {"cba", 1}},
        {5, {"abc", 1}},  {6, {"cba", 1}},  {7, {"cba", 1}},  {8, {"abc", 1}},  {9, {"abc", 9}},
        {10, {"abc", 1}}, {11, {"cba", 1}}, {12, {"abc", 2}}, {13, {"cba", 2}}, {14, {"cba", 9}},
        {15, {"abc", 9}}, {16, {"cab", 9}},
    };
    ASSERT_EQ(int(expected.size()), BoardArrangement::kSortModeCount);
    for (const auto& [mode, want] : expected) {
        SCOPED_TRACE(mode);
        setModes(mode, 9);
        EXPECT_EQ(board.updateSortDescriptors(), mode);
        EXPECT_EQ(names(controllers[0].arrangedObjects()).join(QString()), QString::fromLatin1(want.order));
        EXPECT_EQ(board.filterStateSetting(), want.filterState);
        for (const ArrayController& controller : controllers)
            EXPECT_EQ(controller.sortDescriptors().size(), 1u);
        EXPECT_EQ(board.sortDescriptors().front().key, controllers[3].sortDescriptors().front().key);
    }
}

// The system time zone for the life of the object.
class SystemTimeZone {
public:
    explicit SystemTimeZone(const char* zone)
        : m_saved(qgetenv("TZ")), m_wasSet(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~SystemTimeZone()
    {
        if (m_wasSet)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
        tzset();
    }
    SystemTimeZone(const SystemTimeZone&) = delete;
    SystemTimeZone& operator=(const SystemTimeZone&) = delete;

private:
    QByteArray m_saved;
    bool m_wasSet;
};

// Each mode's order as a comparator that reads the values at every comparison.
ObjectComparator plainComparator(int mode)
{
    const SortDescriptor descriptor = BoardArrangement::sortMode(mode)->descriptor;
    switch (descriptor.comparison) {
    case SortDescriptor::Comparison::Localized:
        return [key = descriptor.key](store::ManagedObject* a, store::ManagedObject* b) {
            const QCollator collator;
            const QString x = a->stringValue(key);
            const QString y = b->stringValue(key);
            return collator.locale().language() == QLocale::C ? x.compare(y) : collator.compare(x, y);
        };
    case SortDescriptor::Comparison::Keyed:
        if (mode == 2)
            return [](store::ManagedObject* a, store::ManagedObject* b) {
                return store::as<TODOItem>(a)->compareByStar(*store::as<TODOItem>(b));
            };
        return [](store::ManagedObject* a, store::ManagedObject* b) {
            return store::as<TODOItem>(a)->compareByDates(*store::as<TODOItem>(b));
        };
    default:
        return [key = descriptor.key](store::ManagedObject* a, store::ManagedObject* b) {
            return compareValues(a->value(key), b->value(key));
        };
    }
}

std::vector<qint64> identities(const std::vector<store::ManagedObject*>& objects)
{
    std::vector<qint64> ids;
    for (const store::ManagedObject* object : objects)
        ids.push_back(object->objectID());
    return ids;
}

TEST_F(BoardArrangementTest, GivenTiesAndMissingValues_WhenSortedByEachMode_ThenSameOrderAsComparingTheValues)
{
    // Instants near transitions of the zones below (a repeated hour, a midnight that does not
    // exist, an offset with seconds, a quarter-hour shift) and near now.
    const std::vector<QDateTime> near = {
        QDateTime(QDate(2024, 10, 27), QTime(0, 50), QTimeZone::utc()),  // Berlin repeats 02:00-03:00
        QDateTime(QDate(2024, 3, 31), QTime(0, 30), QTimeZone::utc()),   // Berlin skips 02:00-03:00
        QDateTime(QDate(2024, 3, 10), QTime(4, 20), QTimeZone::utc()),   // Havana skips midnight
        QDateTime(QDate(2024, 11, 3), QTime(4, 20), QTimeZone::utc()),   // Havana repeats 00:00-01:00
        QDateTime(QDate(1972, 1, 7), QTime(0, 40), QTimeZone::utc()),    // Monrovia -0:44:30 to -0:44
        QDateTime(QDate(1985, 12, 31), QTime(18, 10), QTimeZone::utc()), // Kathmandu +5:30 to +5:45
        clock.now(),
    };
    std::mt19937 random(7);
    const auto pick = [&random](const auto& values) {
        return values[random() % values.size()];
    };
    const auto someDate = [&]() -> QVariant {
        switch (random() % 6) {
        case 0:
            return {};
        case 1:
            return QDateTime::fromMSecsSinceEpoch(qint64(random() % 1500), QTimeZone::utc()); // about 1970
        default: // many share a minute or a day, with other seconds or hours
            return pick(near).addSecs(qint64(random() % 20000) - 10000).addMSecs(qint64(random() % 1000));
        }
    };
    const std::array<QVariant, 8> integers = {
        QVariant(), 0, 0, 1, 7, -3, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()};
    const std::array<QVariant, 7> texts = {QVariant(),           QString(),           QStringLiteral("b"),
                                           QStringLiteral("B"),  QStringLiteral("a"), QStringLiteral("é"),
                                           QStringLiteral("b b")};
    std::vector<store::ManagedObject*> items;
    for (int i = 0; i < 400; ++i) {
        TODOItem* item = ItemBuilder()
                             .withValue("name", pick(texts))
                             .withValue("index", pick(integers))
                             .withValue("completionPercentage", pick(integers))
                             .withValue("effort", pick(integers))
                             .withValue("icon", pick(texts))
                             .withValue("ownerUsername", pick(texts))
                             .withValue("lastModifiedTimestamp", pick(integers))
                             .withValue("allDay", random() % 3 == 0)
                             .withValue("dueDate", someDate())
                             .withValue("startDate", someDate())
                             .withValue("creationDate", someDate())
                             .withValue("completionDate", someDate())
                             .in(context);
        item->setStarred(random() % 3 == 0);
        items.push_back(item);
    }
    for (const char* zone : {"UTC", "Europe/Berlin", "America/Havana", "Africa/Monrovia", "Asia/Kathmandu"}) {
        const SystemTimeZone inZone(zone);
        for (int mode = 0; mode < BoardArrangement::kSortModeCount; ++mode) {
            SCOPED_TRACE(testing::Message() << zone << " mode " << mode);
            const SortDescriptor descriptor = BoardArrangement::sortMode(mode)->descriptor;
            std::vector<store::ManagedObject*> expected = items;
            sortObjects(expected, {SortDescriptor::custom(QStringLiteral("self"), descriptor.ascending,
                                                          plainComparator(mode))});
            std::vector<store::ManagedObject*> actual = items;
            sortObjects(actual, {descriptor});
            EXPECT_EQ(identities(actual), identities(expected));
        }
    }
}

TEST_F(BoardArrangementTest, GivenSortModeOutsideRange_WhenApplied_ThenLogsBugAndChangesNothing)
{
    setModes(1, 0);
    board.updateSortDescriptors();
    for (int mode : {17, -1, 1000}) {
        SCOPED_TRACE(mode);
        LogCapture log;
        setModes(mode, 0);
        EXPECT_EQ(board.updateSortDescriptors(), std::nullopt);
        EXPECT_EQ(log.count(QStringLiteral("BUG in sorting")), 1);
        EXPECT_EQ(controllers[2].sortDescriptors().front().key, QStringLiteral("name"));
        EXPECT_EQ(board.filterStateSetting(), 0);
    }
    EXPECT_FALSE(BoardArrangement::sortMode(17).has_value());
}

TEST_F(BoardArrangementTest, GivenWindowWiring_WhenCompletionDateModeChosen_ThenBoardShowsCompletedItems)
{
    // The window re-filters when the filter preference changes.
    QObject::connect(&preferences, &Preferences::changed, [this](const QString& key) {
        if (key == BoardArrangement::kItemFilterState)
            board.updateFilters();
    });
    TODOItem* open = ItemBuilder("open").in(context);
    TODOItem* done = ItemBuilder("done").completed().in(context);
    for (ArrayController& controller : controllers)
        controller.setContent(objects({open, done}));
    setModes(9, 0);
    board.updateFilters();
    board.updateSortDescriptors();
    EXPECT_EQ(controllers[0].arrangedCount(), 2); // icon order leaves the filter alone

    preferences.setValue(BoardArrangement::kItemSortingState, 12);
    board.updateSortDescriptors();
    EXPECT_EQ(controllers[0].arrangedObjects(), objects({done}));
}

// --- Filter states ---

TEST_F(BoardArrangementTest, GivenItemsInEveryState_WhenEachFilterStateApplied_ThenTheRightStatesShow)
{
    std::vector<store::ManagedObject*> all;
    for (qint64 state : {0, 1, 2, 3, -1})
        all.push_back(ItemBuilder(QString::number(state)).inState(state).in(context));
    controllers[0].setContent(all);

    const std::map<int, QStringList> expected = {
        {0, {"0", "1", "-1"}}, {1, {"0", "-1"}},       {2, {"1", "-1"}},       {3, {"0", "-1"}},
        {4, {"0", "1", "-1"}}, {-1, {"0", "1", "-1"}}, {-3, {"0", "1", "-1"}}, {5, {"0", "1", "-1"}},
    };
    for (const auto& [filterState, shown] : expected) {
        SCOPED_TRACE(filterState);
        preferences.setValue(BoardArrangement::kItemFilterState, filterState);
        board.updateFilters();
        EXPECT_EQ(names(controllers[0].arrangedObjects()), shown);
    }
}

TEST_F(BoardArrangementTest,
       GivenItemsInFourQuadrants_WhenFiltered_ThenEachQuadrantShowsItsOwnWithThePanelFilter)
{
    std::vector<store::ManagedObject*> all;
    for (int q = 0; q < 4; ++q) {
        all.push_back(ItemBuilder(QStringLiteral("keep%1").arg(q)).inQuadrant(q).in(context));
        all.push_back(ItemBuilder(QStringLiteral("drop%1").arg(q)).inQuadrant(q).in(context));
    }
    for (ArrayController& controller : controllers)
        controller.setContent(all);
    board.setPanelPredicateProvider([] {
        return BoardArrangement::fromPredicate(
            Predicate::withFormat(QStringLiteral("name CONTAINS[cd] %@ OR descriptionText CONTAINS[cd] %@"),
                                  {QStringLiteral("KEEP"), QStringLiteral("KEEP")}));
    });
    preferences.setValue(BoardArrangement::kItemFilterState, 1);
    board.updateFilters();
    for (int q = 0; q < 4; ++q)
        EXPECT_EQ(names(controllers[size_t(q)].arrangedObjects()),
                  QStringList({QStringLiteral("keep%1").arg(q)}));

    const ObjectPredicate user = board.userFilterPredicate();
    EXPECT_TRUE(user(all[2]));  // no quadrant test
    EXPECT_FALSE(user(all[3])); // the panel's

    board.changeFiltersToNormal();
    EXPECT_EQ(controllers[1].arrangedCount(), 2);
}

TEST_F(BoardArrangementTest, GivenSortMode_WhenIndicesAdjusted_ThenOnlyManualOrderIsRenumbered)
{
    TODOItem* a = ItemBuilder("a").atIndex(10).in(context);
    TODOItem* b = ItemBuilder("b").atIndex(10).in(context);
    controllers[0].setContent(objects({a, b}));
    setModes(1, 0);
    board.updateSortDescriptors();
    board.adjustItemIndices();
    EXPECT_EQ(indexes(controllers[0].arrangedObjects()), QStringList({"10", "10"}));
    setModes(0, 0);
    board.updateSortDescriptors();
    board.adjustItemIndices();
    EXPECT_EQ(indexes(controllers[0].arrangedObjects()), QStringList({"1010", "10"}));
}

} // namespace
} // namespace qv::test
