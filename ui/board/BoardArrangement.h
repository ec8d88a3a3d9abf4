#pragma once

#include "core/util/Predicate.h"
#include "ui/board/ArrayController.h"

#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace qv {

class Preferences;

// The board's one sort order and one display filter, kept in the preferences
// "kItemSortingState" (sort modes 0-16, 0 = manual order) and "kItemFilterState"
// (0 all, 1 open, 2 completed, 3 open with a due date, 4 with files), applied to the four
// quadrant controllers.
//
// This class does not watch the preferences: the window calls updateSortDescriptors() when
// "kItemSortingState" changes and updateFilters() when "kItemFilterState" changes (a sort mode
// that switches the filter state writes the preference and so, through the window, re-filters).
class BoardArrangement {
public:
    static constexpr int kSortModeCount = 17;
    static const QString kItemSortingState;
    static const QString kItemFilterState;

    struct SortMode {
        SortDescriptor descriptor;
        // The filter state the mode switches to, when it switches one.
        std::optional<int> filterState;
    };
    // The mode's descriptor and filter side effect; nullopt outside 0-16.
    static std::optional<SortMode> sortMode(int mode);

    // Items in states 2 and 3 never pass. Filter states 1, 2 and 3 also require state 0, 1
    // and 0; an item with a negative state passes that test. Other filter states (0, 4,
    // negative, too large) add no state test. An absent state reads as 0.
    static ObjectPredicate stateFilterPredicate(int filterState);
    // Items of that quadrant passing userFilter (every item when userFilter is empty).
    static ObjectPredicate quadrantFilterPredicate(int quadrant, ObjectPredicate userFilter);
    // A store predicate as a controller filter.
    static ObjectPredicate fromPredicate(Predicate predicate);
    // Both must pass; an empty predicate passes everything.
    static ObjectPredicate both(ObjectPredicate a, ObjectPredicate b);

    // quadrants[q] shows quadrant q; null entries are skipped.
    BoardArrangement(Preferences& preferences, std::array<ArrayController*, 4> quadrants);

    // The item filter panel's own predicate (search text, dates, tags, owners), asked afresh
    // whenever the filter is built; none by default.
    void setPanelPredicateProvider(std::function<ObjectPredicate()> provider);

    int sortModeSetting() const;
    int filterStateSetting() const;

    // Reads "kItemSortingState". Outside 0-16: logs "BUG in sorting", changes nothing and
    // answers nullopt. Otherwise writes "kItemFilterState" when the mode switches it, gives each
    // quadrant the mode's descriptor and answers the mode. The caller then refreshes the project
    // counters, renumbers with adjustItemIndices() for mode 0 and scrolls to the selection.
    std::optional<int> updateSortDescriptors();
    // The first quadrant's descriptors (all four are equal).
    std::vector<SortDescriptor> sortDescriptors() const;

    // The board filter without the quadrant test: the state test of "kItemFilterState" and the
    // panel's predicate. Also what the project counters count with.
    ObjectPredicate userFilterPredicate() const;
    // Each quadrant gets its quadrant test and userFilterPredicate(). The caller then reloads
    // the project list's filter and calls adjustItemIndices().
    void updateFilters();
    // Each quadrant back to its items whose state is neither 2 nor 3, ignoring the filter state
    // and the panel.
    void changeFiltersToNormal();
    // IndexAdjuster over each quadrant.
    void adjustItemIndices();

    bool onlyDatedItems() const { return filterStateSetting() == 3; }
    bool onlyItemsWithFiles() const { return filterStateSetting() == 4; }

private:
    Preferences& m_preferences;
    std::array<ArrayController*, 4> m_quadrants;
    std::function<ObjectPredicate()> m_panelPredicate;
};

} // namespace qv
