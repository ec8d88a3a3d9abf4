#pragma once

#include "core/util/Predicate.h"

namespace qv {

class ProjectList;
class TODOItem;

// An items array controller of the board (a quadrant's table, the inbox) that shows new items.
class ItemArrayController {
public:
    virtual ~ItemArrayController() = default;
    virtual void addObject(TODOItem* item) = 0;
};

// The window half of the document (ui/board implements it). The document core reaches its
// window only through this.
class DocumentWindow {
public:
    virtual ~DocumentWindow() = default;

    virtual ProjectList* projectList() = 0;

    // Board filters: each quadrant back to its default filter; the filters applied again.
    virtual void changeFiltersToNormal() = 0;
    virtual void updateFilters() = 0;
    // The board's item filter without the quadrant test.
    virtual Predicate userFilterPredicate() const = 0;

    // One second into the start-up: the loop notifications and the sync engine's observers.
    virtual void startObservingSyncEngine() = 0;
    virtual void startCalendarSyncTimer() = 0;
    // Removes the window's observers; the document calls it once.
    virtual void stopObserving() = 0;

    // A new inbox item: the inbox table reloads and scrolls to its first row.
    virtual void inboxItemAdded(TODOItem* item) = 0;
};

} // namespace qv
