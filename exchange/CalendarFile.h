#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <vector>

namespace qv {

// One event of the application's calendar file: an item with a due date.
struct CalendarEvent {
    QString uid;
    QString summary;
    QString description;
    // The due date; for an all-day item only its day (in the zone it is given in) counts.
    QDateTime start;
    bool allDay = false;
};

// When an imported event takes place, as its file gives it. A later import compares it with the
// one noted at the last import to tell whether the event itself changed: a series that merely
// reached its next occurrence has not.
struct EventTiming {
    // The event's start (a series' first): the moment in UTC ("2027-03-16T08:15:00Z"), or the
    // day of an all-day event ("2027-03-12").
    QString start;
    // A series' rules, empty for a single event.
    QString rule;
    // A series' dropped (EXDATE) and added (RDATE) dates and its changed occurrences, sorted.
    QStringList exceptions;

    bool operator==(const EventTiming&) const = default;
};

// One event read from a calendar file the user imports.
struct ImportedEvent {
    QString uid;
    QString summary;
    QString description;
    // The start, or for a recurring event its next start from today on.
    QDateTime start;
    bool allDay = false;
    EventTiming timing;
};

// What reading one calendar file gave: its events from today on, and in plain words what was
// left out and why. A file that cannot be taken as a whole (not iCalendar, cut short) gives no
// events and fileError says why.
struct CalendarReadResult {
    std::vector<ImportedEvent> events;
    QString fileError;
    // Counts of left-out events by reason, for the message shown to the user.
    int withoutStart = 0;
    int unknownZone = 0;
    int unreadable = 0;
};

// iCalendar (RFC 5545) in and out, through libical. Pure functions of their input, safe to run
// off the main thread.
class CalendarFile {
public:
    // The whole calendar: one VEVENT per event, stamped with stamp.
    static QByteArray write(const std::vector<CalendarEvent>& events, const QDateTime& stamp);
    // The events of raw that start on or after the start of today's day in zone local (times
    // without a zone are taken in local; all-day events are placed at midnight in local).
    static CalendarReadResult read(const QByteArray& raw, const QDateTime& now, const QTimeZone& local);

    // The UID an item's event carries, made from the item's id_.
    static QString uidForItem(qint64 itemId);
};

} // namespace qv
