// The next occurrence of a repeating event the user imports, with the exceptions calendar
// programs write: dropped dates, added dates and changed or cancelled occurrences.
#include "exchange/CalendarFile.h"
#include "tests/support/Printers.h"

#include <QByteArray>
#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <optional>

namespace qv::test {
namespace {

// Wednesday 10 March 2027, noon in Berlin.
const QDateTime kNow(QDate(2027, 3, 10), QTime(11, 0), Qt::UTC);
const QTimeZone kBerlin(QByteArrayLiteral("Europe/Berlin"));

QDateTime utc(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2027, month, day), QTime(hour, minute), Qt::UTC);
}

// A calendar of these components, as another program writes it.
QByteArray calendarOf(const QByteArray& components)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Example//Test//EN\r\n" + components +
           "END:VCALENDAR\r\n";
}

QByteArray series(const QByteArray& lines)
{
    return "BEGIN:VEVENT\r\nUID:series@example.org\r\nSUMMARY:Series\r\n" + lines + "END:VEVENT\r\n";
}

QByteArray changedOccurrence(const QByteArray& lines)
{
    return "BEGIN:VEVENT\r\nUID:series@example.org\r\nSUMMARY:Series, once\r\n" + lines + "END:VEVENT\r\n";
}

// The one event read, or none when it was left out.
std::optional<ImportedEvent> read(const QByteArray& calendar, const QDateTime& now = kNow)
{
    const CalendarReadResult result = CalendarFile::read(calendar, now, kBerlin);
    EXPECT_TRUE(result.fileError.isEmpty()) << result.fileError.toStdString();
    EXPECT_EQ(result.unreadable + result.unknownZone + result.withoutStart, 0);
    if (result.events.empty())
        return std::nullopt;
    EXPECT_EQ(result.events.size(), 1u);
    return result.events.front();
}

QDateTime nextStart(const QByteArray& calendar)
{
    const std::optional<ImportedEvent> event = read(calendar);
    return event ? event->start : QDateTime();
}

// Wednesdays at 15:00 UTC: today's occurrence is the next one.
const QByteArray kWednesdays = "DTSTART:20270106T150000Z\r\nRRULE:FREQ=WEEKLY;BYDAY=WE\r\n";
// Mondays at 08:00 UTC: the next is on 15 March.
const QByteArray kMondays = "DTSTART:20270104T080000Z\r\nRRULE:FREQ=WEEKLY;BYDAY=MO\r\n";

} // namespace

TEST(CalendarRecurrence, GivenDroppedDates_WhenTheNextOccurrenceIsFound_ThenItIsOneThatTakesPlace)
{
    ASSERT_EQ(nextStart(calendarOf(series(kWednesdays))), utc(3, 10, 15));
    // Today's occurrence cancelled.
    EXPECT_EQ(nextStart(calendarOf(series(kWednesdays + "EXDATE:20270310T150000Z\r\n"))), utc(3, 17, 15));
    // Several in one line, and given in another zone (16:00 in Berlin is 15:00 UTC).
    EXPECT_EQ(nextStart(calendarOf(series(kWednesdays + "EXDATE:20270310T150000Z,20270317T150000Z\r\n"))),
              utc(3, 24, 15));
    EXPECT_EQ(nextStart(calendarOf(series(kWednesdays + "EXDATE;TZID=Europe/Berlin:20270310T160000\r\n"))),
              utc(3, 17, 15));
    // A whole day dropped from a series with times.
    EXPECT_EQ(nextStart(calendarOf(series(kWednesdays + "EXDATE;VALUE=DATE:20270310\r\n"))), utc(3, 17, 15));
    // An all-day series.
    const std::optional<ImportedEvent> allDay = read(calendarOf(
        series("DTSTART;VALUE=DATE:20270106\r\nRRULE:FREQ=WEEKLY\r\nEXDATE;VALUE=DATE:20270310\r\n")));
    ASSERT_TRUE(allDay);
    EXPECT_TRUE(allDay->allDay);
    EXPECT_EQ(allDay->start.toTimeZone(kBerlin).date(), QDate(2027, 3, 17));
    // A single event whose one date is dropped does not take place.
    EXPECT_FALSE(read(calendarOf(series("DTSTART:20270312T150000Z\r\nEXDATE:20270312T150000Z\r\n"))));
}

TEST(CalendarRecurrence, GivenAddedDates_WhenTheNextOccurrenceIsFound_ThenTheEarliestFromTodayOnIsIt)
{
    // Thursday, before the series' Monday.
    EXPECT_EQ(nextStart(calendarOf(series(kMondays + "RDATE:20270311T070000Z\r\n"))), utc(3, 11, 7));
    // An added date in the past, and one after the next occurrence, leave it where it was.
    EXPECT_EQ(nextStart(calendarOf(series(kMondays + "RDATE:20270309T070000Z,20270317T070000Z\r\n"))),
              utc(3, 15, 8));
    // Dates alone, after a start long past; a period counts from its start.
    EXPECT_EQ(nextStart(calendarOf(
                  series("DTSTART:20260101T090000Z\r\nRDATE:20260601T090000Z,20270319T090000Z\r\n"))),
              utc(3, 19, 9));
    EXPECT_EQ(nextStart(calendarOf(
                  series("DTSTART:20260101T090000Z\r\nRDATE;VALUE=PERIOD:20270318T090000Z/PT1H\r\n"))),
              utc(3, 18, 9));
}

TEST(CalendarRecurrence, GivenChangedOccurrences_WhenTheNextOccurrenceIsFound_ThenItIsWhereItNowTakesPlace)
{
    // The next occurrence moved to Tuesday 10:00.
    EXPECT_EQ(nextStart(calendarOf(series(kMondays) + changedOccurrence("RECURRENCE-ID:20270315T080000Z\r\n"
                                                                        "DTSTART:20270316T100000Z\r\n"))),
              utc(3, 16, 10));
    // Moved into the past, or cancelled: the one after it is next.
    EXPECT_EQ(nextStart(calendarOf(series(kMondays) + changedOccurrence("RECURRENCE-ID:20270315T080000Z\r\n"
                                                                        "DTSTART:20270309T080000Z\r\n"))),
              utc(3, 22, 8));
    EXPECT_EQ(nextStart(calendarOf(series(kMondays) + changedOccurrence("RECURRENCE-ID:20270315T080000Z\r\n"
                                                                        "DTSTART:20270315T080000Z\r\n"
                                                                        "STATUS:CANCELLED\r\n"))),
              utc(3, 22, 8));
    // Last week's occurrence moved to tomorrow; the changed occurrence may come before its series.
    EXPECT_EQ(nextStart(calendarOf(changedOccurrence("RECURRENCE-ID:20270308T080000Z\r\n"
                                                     "DTSTART:20270311T090000Z\r\n") +
                                   series(kMondays))),
              utc(3, 11, 9));
}

TEST(CalendarRecurrence, GivenASeries_WhenItRollsOnOrItsExceptionsChange_ThenOnlyTheChangeTellsInItsTiming)
{
    const QByteArray dropping = calendarOf(series(kMondays + "EXDATE:20270322T080000Z\r\n"));
    const std::optional<ImportedEvent> thisWeek = read(dropping);
    const std::optional<ImportedEvent> nextWeek = read(dropping, kNow.addDays(7));
    ASSERT_TRUE(thisWeek && nextWeek);
    EXPECT_EQ(thisWeek->start, utc(3, 15, 8));
    EXPECT_EQ(nextWeek->start, utc(3, 29, 8));
    EXPECT_EQ(thisWeek->timing, nextWeek->timing);

    const std::optional<ImportedEvent> lessDropped = read(calendarOf(series(kMondays)));
    const std::optional<ImportedEvent> changed =
        read(calendarOf(series(kMondays + "EXDATE:20270322T080000Z\r\n") +
                        changedOccurrence("RECURRENCE-ID:20270329T080000Z\r\nSTATUS:CANCELLED\r\n")));
    ASSERT_TRUE(lessDropped && changed);
    EXPECT_NE(lessDropped->timing, thisWeek->timing);
    EXPECT_NE(changed->timing, thisWeek->timing);
}

} // namespace qv::test
