#include "ui/board/BoardArrangement.h"

#include "core/model/ObjectState.h"
#include "core/model/TODOItem.h"
#include "core/util/Utils.h"
#include "platform/Preferences.h"
#include "ui/board/BoardLogging.h"
#include "ui/board/IndexAdjuster.h"

namespace qv {

namespace {

const QString kQuadrant = QStringLiteral("quadrant");

// The order of TODOItem::compareByStar() (starred first, then the higher index first) as a key,
// so that each item's star and index are read once per sort instead of once per comparison.
// ~index reverses the order of every index, the smallest included, without overflow.
QVariantList starSortKey(store::ManagedObject* object)
{
    TODOItem* item = store::as<TODOItem>(object);
    if (!item)
        return {};
    return {item->getStarred() ? 0 : 1, ~item->index()};
}

// One date of the date order: present dates first, to the minute (to the day when all-day);
// dates less than a second after 1970 count as none.
void appendDateKey(QVariantList& key, const QDateTime& date, bool allDay)
{
    if (!date.isValid() || date.toMSecsSinceEpoch() < 1000) {
        key << 1 << 0;
        return;
    }
    const QDateTime truncated = allDay ? Utils::stripTimeOfDay(date) : Utils::stripSeconds(date);
    key << 0 << truncated.toMSecsSinceEpoch();
}

// The order of TODOItem::compareByDates() (due date, then start date, then completion) as a key,
// so that each item's dates are converted once per sort instead of once per comparison.
QVariantList datesSortKey(store::ManagedObject* object)
{
    const TODOItem* item = store::as<TODOItem>(object);
    if (!item)
        return {};
    QVariantList key;
    appendDateKey(key, item->dueDate(), item->allDay());
    appendDateKey(key, item->startDate(), item->allDay());
    key << item->completionPercentage();
    return key;
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
        return SortMode{D::keyed(QStringLiteral("self"), true, starSortKey), {}};
    case 3:
        return SortMode{D::keyed(QStringLiteral("self"), true, datesSortKey), 1};
    case 4:
        return SortMode{D::keyed(QStringLiteral("self"), false, datesSortKey), 1};
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
        return [required](const store::ManagedObject* item) {
            const ObjectState state = objectStateOf(*item);
            return isVisible(state) && (state == required || storedValue(state) < 0);
        };
    }
    return [](const store::ManagedObject* item) {
        return isVisible(objectStateOf(*item));
    };
}

ObjectPredicate BoardArrangement::quadrantFilterPredicate(int quadrant, ObjectPredicate userFilter)
{
    return both(
        [quadrant](const store::ManagedObject* item) { return item->intValue(kQuadrant) == quadrant; },
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
    const ObjectPredicate filter = userFilterPredicate();
    for (int q = 0; q < 4; ++q) {
        if (ArrayController* controller = m_quadrants[size_t(q)])
            controller->setFilterPredicate(quadrantFilterPredicate(q, filter));
    }
}

void BoardArrangement::changeFiltersToNormal()
{
    for (int q = 0; q < 4; ++q) {
        if (ArrayController* controller = m_quadrants[size_t(q)])
            controller->setFilterPredicate(quadrantFilterPredicate(q, stateFilterPredicate(0)));
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
