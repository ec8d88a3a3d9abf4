// Calendar files the user imports, as the calendar sync reads them; what it reads must write out
// as a calendar that reads back whole.
#include "exchange/CalendarFile.h"
#include "fuzz/FuzzSupport.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QDateTime now(QDate(2027, 3, 10), QTime(12, 0), QTimeZone::utc());
    const QTimeZone berlin(QByteArrayLiteral("Europe/Berlin"));
    const CalendarReadResult result = CalendarFile::read(fuzz::bytesOf(data, size), now, berlin);
    fuzz::require(result.fileError.isEmpty() || result.events.empty(), "events from a refused file");

    std::vector<CalendarEvent> events;
    for (const ImportedEvent& event : result.events) {
        fuzz::require(!event.uid.isEmpty(), "an event without a UID");
        fuzz::require(event.start.isValid(), "an event without a valid start");
        events.push_back({event.uid, event.summary, event.description, event.start, event.allDay});
    }
    const CalendarReadResult again = CalendarFile::read(CalendarFile::write(events, now), now, berlin);
    fuzz::require(again.fileError.isEmpty(), "a written calendar refused");
    fuzz::require(again.events.size() <= events.size(), "a written calendar grew");
    return 0;
}
