#pragma once

namespace qv {

class TODOItem;
class TODOList;

// What the document asks of the calendar sync (exchange/ implements it).
class CalendarSyncInterface {
public:
    virtual ~CalendarSyncInterface() = default;
    virtual void startObservingCalendarNotifications() = 0;
    // Creates or updates the event of an item with a due date (removes it once the item has none).
    virtual void updateEventForItem(TODOItem* item, TODOList* project) = 0;
    // Removes the calendar events linked to the item.
    virtual void deleteEventForItem(TODOItem* item, TODOList* project) = 0;
};

} // namespace qv
