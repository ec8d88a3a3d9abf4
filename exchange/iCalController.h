#pragma once

#include "core/document/CalendarSync.h"

namespace qv {

// Calendar sync, which Quadrivo does not have: there is no instance, as with "doCalSync" off, so every
// call made through sharedInstance() does nothing.
class iCalController final : public CalendarSyncInterface {
public:
    static iCalController* sharedInstance() { return nullptr; }

    void startObservingCalendarNotifications() override {}
    void deleteEventForItem(TODOItem*, TODOList*) override {}
    void updateEventForItem(TODOItem*, TODOList*) {}
    void exportToCalendar() {}
    void importFromCalendar() {}
};

} // namespace qv
