#include "ui/board/BoardArrangement.h"

#include "core/model/ObjectState.h"
#include "core/model/TODOItem.h"
#include "platform/Preferences.h"
#include "ui/board/BoardLogging.h"
#include "ui/board/IndexAdjuster.h"

#include <QTimeZone>

#include <iterator>
#include <limits>
#include <map>

namespace qv {

namespace {

const QString kQuadrant = QStringLiteral("quadrant");
const QString kState = QStringLiteral("state");

// The order of TODOItem::compareByStar() (starred first, then the higher index first) as keys,
// so that each item's star and index are read once per sort instead of once per comparison.
// ~index reverses the order of every index, the smallest included, without overflow.
std::vector<SortKey> starSortKeys(const std::vector<store::ManagedObject*>& objects)
{
    store::IntegerReader index(QStringLiteral("index"));
    std::vector<SortKey> keys;
    keys.reserve(objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        store::prefetchObjects(objects, i);
        TODOItem* item = store::as<TODOItem>(objects[i]);
        keys.push_back(item ? SortKey{item->getStarred() ? 0 : 1, ~index(*item).value_or(0)} : SortKey{});
    }
    return keys;
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

// Dates as the date order compares them, TODOItem::sortingDate() as a rank and milliseconds:
// 0 for an invalid sorting date (before every other), 1 for a valid one, 2 for no date (after
// every other). Away from the time zone's transitions a local minute or day start follows from
// the offset from UTC alone; the zone and its spans of one offset are read once per sort.
class SortingDates {
public:
    // A stored date in milliseconds since 1970 (UTC).
    std::pair<qint64, qint64> operator()(std::optional<qint64> stored, bool allDay)
    {
        if (!stored || *stored < 1000) // no real date
            return {2, 0};
        const qint64 msecs = *stored;
        const Span& span = spanAt(msecs);
        // Farther than an offset change (at most a day) plus a day from both transitions, the
        // minute and the day's midnight are wall times that occur once, at the span's offset.
        if (quint64(msecs) - quint64(span.from) < kMargin || quint64(span.to) - quint64(msecs) <= kMargin) {
            const QDateTime date = QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc());
            if (!date.isValid())
                return {2, 0};
            const QDateTime sorting = TODOItem::sortingDate(date, allDay);
            return sorting.isValid() ? std::pair<qint64, qint64>{1, sorting.toMSecsSinceEpoch()}
                                     : std::pair<qint64, qint64>{0, 0};
        }
        const qint64 offset = qint64(span.offset) * 1000;
        const qint64 wall = msecs + offset;
        const qint64 unit = allDay ? kMsecsPerDay : kMsecsPerMinute;
        return {1, floorDiv(wall, unit) * unit - offset};
    }

private:
    static constexpr qint64 kMsecsPerMinute = 60 * 1000;
    static constexpr qint64 kMsecsPerDay = 24 * 60 * kMsecsPerMinute;
    static constexpr quint64 kMargin = 3 * kMsecsPerDay;

    // A span of time [from, to) with one offset from UTC, between two transitions of the zone.
    struct Span {
        qint64 from;
        qint64 to;
        int offset;
    };

    const Span& spanAt(qint64 msecs)
    {
        auto found = m_spans.upper_bound(msecs);
        if (found != m_spans.begin() && msecs < std::prev(found)->second.to)
            return std::prev(found)->second;
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc());
        Span span{std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
                  m_zone.offsetFromUtc(at)};
        if (m_zone.hasTransitions()) {
            // The transition before is strictly before; when `at` is one, the span starts there.
            const QTimeZone::OffsetData before = m_zone.previousTransition(at);
            if (before.atUtc.isValid())
                span.from = before.offsetFromUtc == span.offset ? before.atUtc.toMSecsSinceEpoch() : msecs;
            const QTimeZone::OffsetData after = m_zone.nextTransition(at);
            if (after.atUtc.isValid())
                span.to = after.atUtc.toMSecsSinceEpoch();
        }
        return m_spans.emplace(span.from, span).first->second;
    }

    const QTimeZone m_zone = QTimeZone::systemTimeZone();
    std::map<qint64, Span> m_spans; // by start
};

// The order of TODOItem::compareByDates() (due date, then start date, then completion) as keys,
// so that each item's dates are converted once per sort instead of once per comparison.
std::vector<SortKey> datesSortKeys(const std::vector<store::ManagedObject*>& objects)
{
    store::IntegerReader dueDate(QStringLiteral("dueDate"));
    store::IntegerReader startDate(QStringLiteral("startDate"));
    store::IntegerReader allDay(QStringLiteral("allDay"));
    store::IntegerReader completion(QStringLiteral("completionPercentage"));
    SortingDates sortingDate;
    std::vector<SortKey> keys;
    keys.reserve(objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        store::prefetchObjects(objects, i);
        const TODOItem* item = store::as<TODOItem>(objects[i]);
        if (!item) {
            keys.push_back({});
            continue;
        }
        const bool isAllDay = allDay(*item).value_or(0) != 0;
        const auto [dueRank, due] = sortingDate(dueDate(*item), isAllDay);
        const auto [startRank, start] = sortingDate(startDate(*item), isAllDay);
        keys.push_back({dueRank, due, startRank, start, completion(*item).value_or(0)});
    }
    return keys;
}

// The item state required by filter states 1, 2 and 3.
constexpr std::array<ObjectState, 3> kRequiredState = {ObjectState::Open, ObjectState::Completed,
                                                       ObjectState::Open};

} // namespace

const QString BoardArrangement::kItemSortingState = QStringLiteral("kItemSortingState");
const QString BoardArrangement::kItemFilterState = QStringLiteral("kItemFilterState");

std::optional<BoardArrangement::SortMode> BoardArrangement::sortMode(int mode)
{
    using D = SortDescriptor;
    switch (mode) {
    case 0:
        return SortMode{D::byValue(QStringLiteral("index"), false), {}};
    case 1:
        return SortMode{D::localized(QStringLiteral("name"), true), {}};
    case 2:
        return SortMode{D::keyed(QStringLiteral("self"), true, starSortKeys), {}};
    case 3:
        return SortMode{D::keyed(QStringLiteral("self"), true, datesSortKeys), 1};
    case 4:
        return SortMode{D::keyed(QStringLiteral("self"), false, datesSortKeys), 1};
    case 5:
        return SortMode{D::byValue(QStringLiteral("completionPercentage"), false), 1};
    case 6:
        return SortMode{D::byValue(QStringLiteral("completionPercentage"), true), 1};
    case 7:
        return SortMode{D::byValue(QStringLiteral("effort"), false), 1};
    case 8:
        return SortMode{D::byValue(QStringLiteral("effort"), true), 1};
    case 9:
        return SortMode{D::byValue(QStringLiteral("icon"), false), {}};
    case 10:
        return SortMode{D::byValue(QStringLiteral("creationDate"), false), 1};
    case 11:
        return SortMode{D::byValue(QStringLiteral("creationDate"), true), 1};
    case 12:
        return SortMode{D::byValue(QStringLiteral("completionDate"), false), 2};
    case 13:
        return SortMode{D::byValue(QStringLiteral("completionDate"), true), 2};
    case 14:
        return SortMode{D::byValue(QStringLiteral("lastModifiedTimestamp"), false), {}};
    case 15:
        return SortMode{D::byValue(QStringLiteral("lastModifiedTimestamp"), true), {}};
    case 16:
        return SortMode{D::byValue(QStringLiteral("ownerUsername"), true), {}};
    default:
        return std::nullopt;
    }
}

ObjectPredicate BoardArrangement::stateFilterPredicate(int filterState)
{
    if (filterState >= 1 && filterState <= 3) {
        const ObjectState required = kRequiredState[size_t(filterState - 1)];
        return [required, read = store::IntegerReader(kState)](const store::ManagedObject* item) mutable {
            const ObjectState state = toObjectState(read(*item).value_or(0));
            return isVisible(state) && (state == required || storedValue(state) < 0);
        };
    }
    return [read = store::IntegerReader(kState)](const store::ManagedObject* item) mutable {
        return isVisible(toObjectState(read(*item).value_or(0)));
    };
}

ObjectPredicate BoardArrangement::quadrantFilterPredicate(int quadrant, ObjectPredicate userFilter)
{
    // Asked about every item of the project for each quadrant: the attribute is found once.
    return both([quadrant, read = store::IntegerReader(kQuadrant)](
                    const store::ManagedObject* item) mutable { return read(*item).value_or(0) == quadrant; },
                std::move(userFilter));
}

ObjectPredicate BoardArrangement::fromPredicate(Predicate predicate)
{
    return [predicate = std::move(predicate)](const store::ManagedObject* object) {
        return predicate.evaluate(object);
    };
}

ObjectPredicate BoardArrangement::both(ObjectPredicate a, ObjectPredicate b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return [a = std::move(a), b = std::move(b)](const store::ManagedObject* object) {
        return a(object) && b(object);
    };
}

BoardArrangement::BoardArrangement(Preferences& preferences, std::array<ArrayController*, 4> quadrants)
    : m_preferences(preferences), m_quadrants(quadrants)
{
}

void BoardArrangement::setPanelPredicateProvider(std::function<ObjectPredicate()> provider)
{
    m_panelPredicate = std::move(provider);
}

int BoardArrangement::sortModeSetting() const
{
    return m_preferences.intValue(kItemSortingState);
}

int BoardArrangement::filterStateSetting() const
{
    return m_preferences.intValue(kItemFilterState);
}

std::optional<int> BoardArrangement::updateSortDescriptors()
{
    const int mode = sortModeSetting();
    const std::optional<SortMode> chosen = sortMode(mode);
    if (!chosen) {
        qCWarning(lcBoard, "BUG in sorting");
        return std::nullopt;
    }
    if (chosen->filterState)
        m_preferences.setValue(kItemFilterState, *chosen->filterState);
    for (ArrayController* controller : m_quadrants) {
        if (controller)
            controller->setSortDescriptors({chosen->descriptor});
    }
    return mode;
}

std::vector<SortDescriptor> BoardArrangement::sortDescriptors() const
{
    for (ArrayController* controller : m_quadrants) {
        if (controller)
            return controller->sortDescriptors();
    }
    return {};
}

ObjectPredicate BoardArrangement::userFilterPredicate() const
{
    return both(stateFilterPredicate(filterStateSetting()), m_panelPredicate ? m_panelPredicate() : nullptr);
}

void BoardArrangement::updateFilters()
{
    const ObjectPredicate panel = m_panelPredicate ? m_panelPredicate() : nullptr;
    const ObjectPredicate filter = both(stateFilterPredicate(filterStateSetting()), panel);
    // Without a panel's predicate the filter reads the quadrant and state columns alone.
    const auto reads =
        panel ? ArrayController::FilterReads::Values : ArrayController::FilterReads::ObjectOnly;
    for (int q = 0; q < 4; ++q) {
        if (ArrayController* controller = m_quadrants[size_t(q)])
            controller->setFilterPredicate(quadrantFilterPredicate(q, filter), reads);
    }
}

void BoardArrangement::changeFiltersToNormal()
{
    for (int q = 0; q < 4; ++q) {
        if (ArrayController* controller = m_quadrants[size_t(q)])
            controller->setFilterPredicate(quadrantFilterPredicate(q, stateFilterPredicate(0)),
                                           ArrayController::FilterReads::ObjectOnly);
    }
}

void BoardArrangement::adjustItemIndices()
{
    for (ArrayController* controller : m_quadrants) {
        if (controller)
            IndexAdjuster::adjustIndices(*controller);
    }
}

} // namespace qv
