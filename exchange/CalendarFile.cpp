#include "exchange/CalendarFile.h"

#include <QCryptographicHash>
#include <QList>

#include <libical/ical.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace qv {

namespace {

// Occurrences walked at most to find a recurring event's next one; a rule that needs more is
// taken as unreadable rather than let a file stall the import.
constexpr int kMaxOccurrences = 20'000;

struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

struct IteratorFree {
    void operator()(icalrecur_iterator* iterator) const { icalrecur_iterator_free(iterator); }
};

// A bad value in a file is ours to report; libical must never end the program over it.
void keepErrorsQuiet()
{
    static const bool once = [] {
        icalerror_set_errors_are_fatal(0);
        return true;
    }();
    (void)once;
}

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

icaltimetype utcTime(const QDateTime& time)
{
    return icaltime_from_timet_with_zone(time_t(time.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());
}

icaltimetype dateOnly(const QDate& day)
{
    icaltimetype t = icaltime_null_date();
    t.year = day.year();
    t.month = day.month();
    t.day = day.day();
    return t;
}

// The text's first and last lines say whether it is a calendar at all and whether it is whole.
QString wholeFileProblem(const QByteArray& raw)
{
    QByteArray body = raw;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    const QList<QByteArray> lines = body.trimmed().split('\n');
    if (lines.isEmpty() || lines.first().trimmed().toUpper() != "BEGIN:VCALENDAR")
        return QStringLiteral("it is not an iCalendar file");
    if (lines.last().trimmed().toUpper() != "END:VCALENDAR")
        return QStringLiteral(
            "it ends before its calendar does (it may be cut short or still being written)");
    return {};
}

// How a start given in the file is placed in time.
struct Placement {
    const char* tzid = nullptr;
    icalcomponent* calendar = nullptr;
    QTimeZone local;
};

enum class TimeProblem { None, UnknownZone, Unreadable };

std::optional<QDateTime> toDateTime(icaltimetype t, const Placement& placement, TimeProblem* problem)
{
    const QDate day(t.year, t.month, t.day);
    if (!day.isValid()) {
        *problem = TimeProblem::Unreadable;
        return std::nullopt;
    }
    if (t.is_date)
        return QDateTime(day, QTime(0, 0), placement.local);
    const QTime clock(t.hour, t.minute, t.second);
    if (!clock.isValid()) {
        *problem = TimeProblem::Unreadable;
        return std::nullopt;
    }
    if (icaltime_is_utc(t))
        return QDateTime(day, clock, QTimeZone::utc());
    if (placement.tzid && *placement.tzid) {
        // The file's own description of the zone first, then the system's zone of that name.
        if (icaltimezone* zone = icalcomponent_get_timezone(placement.calendar, placement.tzid)) {
            icaltimezone_convert_time(&t, zone, icaltimezone_get_utc_timezone());
            const QDate utcDay(t.year, t.month, t.day);
            const QTime utcClock(t.hour, t.minute, t.second);
            if (!utcDay.isValid() || !utcClock.isValid()) {
                *problem = TimeProblem::Unreadable;
                return std::nullopt;
            }
            return QDateTime(utcDay, utcClock, QTimeZone::utc());
        }
        const QByteArray id(placement.tzid);
        if (QTimeZone::isTimeZoneIdAvailable(id))
            return QDateTime(day, clock, QTimeZone(id));
        *problem = TimeProblem::UnknownZone;
        return std::nullopt;
    }
    // A floating time is meant where the reader is.
    return QDateTime(day, clock, placement.local);
}

const char* tzidOf(icalproperty* property)
{
    icalparameter* tzid = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    return tzid ? icalparameter_get_tzid(tzid) : nullptr;
}

// A time of the property, placed in the time zone the property names.
std::optional<QDateTime> place(icaltimetype t, icalproperty* property, Placement placement)
{
    placement.tzid = tzidOf(property);
    TimeProblem problem = TimeProblem::None;
    return toDateTime(t, placement, &problem);
}

// The text a time of an event is noted by: its moment in UTC, or the day of a date. One that
// cannot be placed is noted as written, which still tells when it changes.
QString timeKey(icaltimetype t, icalproperty* property, const Placement& placement)
{
    if (t.is_date)
        return QDate(t.year, t.month, t.day).toString(Qt::ISODate);
    if (const std::optional<QDateTime> at = place(t, property, placement))
        return at->toUTC().toString(Qt::ISODate);
    return text(icalproperty_as_ical_string(property)).trimmed();
}

// The first time an added date (RDATE) gives: its day or moment, or the start of its period.
icaltimetype addedTime(icalproperty* added)
{
    const icaldatetimeperiodtype value = icalproperty_get_rdate(added);
    return icaltime_is_null_time(value.time) ? value.period.start : value.time;
}

// The changed occurrences (VEVENTs with a RECURRENCE-ID) of each series, by UID.
using ChangedOccurrences = std::map<QString, std::vector<icalcomponent*>>;

EventTiming timingOf(icalcomponent* event, icalproperty* startProperty, const Placement& placement,
                     const std::vector<icalcomponent*>& changed)
{
    EventTiming timing;
    timing.start = timeKey(icalproperty_get_dtstart(startProperty), startProperty, placement);
    QStringList rules;
    for (icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); rule;
         rule = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY))
        rules << text(icalproperty_get_value_as_string(rule));
    timing.rule = rules.join(QLatin1Char('\n'));
    for (icalproperty* dropped = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); dropped;
         dropped = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
        timing.exceptions << QStringLiteral("EXDATE ") +
                                 timeKey(icalproperty_get_exdate(dropped), dropped, placement);
    for (icalproperty* added = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); added;
         added = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
        timing.exceptions << QStringLiteral("RDATE ") + timeKey(addedTime(added), added, placement);
    }
    for (icalcomponent* occurrence : changed) {
        icalproperty* id = icalcomponent_get_first_property(occurrence, ICAL_RECURRENCEID_PROPERTY);
        QString line =
            QStringLiteral("RECURRENCE-ID ") + timeKey(icalproperty_get_recurrenceid(id), id, placement);
        if (icalcomponent_get_status(occurrence) == ICAL_STATUS_CANCELLED)
            line += QStringLiteral(" CANCELLED");
        else if (icalproperty* start = icalcomponent_get_first_property(occurrence, ICAL_DTSTART_PROPERTY))
            line += QLatin1Char(' ') + timeKey(icalproperty_get_dtstart(start), start, placement);
        timing.exceptions << line;
    }
    timing.exceptions.sort();
    return timing;
}

bool fromToday(const QDateTime& start, bool allDay, const QDateTime& todayStart, const QDate& today)
{
    return allDay ? start.date() >= today : start >= todayStart;
}

// What a series' exceptions do to the occurrences its rules give, placed in time. An exception
// that cannot be placed changes nothing.
struct SeriesChanges {
    // Occurrences that do not take place where the rules put them: dropped (EXDATE) ones, and
    // the first times of changed ones.
    std::vector<QDateTime> dropped;
    // Dropped whole days of a series with times (an EXDATE given as a day).
    std::vector<QDate> droppedDays;
    // Occurrences besides the rules': added (RDATE) ones, and the new times of changed ones that
    // were not cancelled.
    std::vector<QDateTime> added;

    bool drops(icaltimetype occurrence, const QDateTime& at) const
    {
        const QDate day(occurrence.year, occurrence.month, occurrence.day);
        return std::find(dropped.begin(), dropped.end(), at) != dropped.end() ||
               (!occurrence.is_date &&
                std::find(droppedDays.begin(), droppedDays.end(), day) != droppedDays.end());
    }
};

SeriesChanges changesOf(icalcomponent* event, const std::vector<icalcomponent*>& changed,
                        const Placement& placement, bool allDay)
{
    SeriesChanges changes;
    for (icalproperty* dropped = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); dropped;
         dropped = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
        const icaltimetype t = icalproperty_get_exdate(dropped);
        if (t.is_date && !allDay)
            changes.droppedDays.emplace_back(t.year, t.month, t.day);
        else if (const std::optional<QDateTime> at = place(t, dropped, placement))
            changes.dropped.push_back(*at);
    }
    for (icalproperty* added = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); added;
         added = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
        if (const std::optional<QDateTime> at = place(addedTime(added), added, placement))
            changes.added.push_back(*at);
    }
    for (icalcomponent* occurrence : changed) {
        icalproperty* id = icalcomponent_get_first_property(occurrence, ICAL_RECURRENCEID_PROPERTY);
        const std::optional<QDateTime> first = place(icalproperty_get_recurrenceid(id), id, placement);
        if (first)
            changes.dropped.push_back(*first);
        if (icalcomponent_get_status(occurrence) == ICAL_STATUS_CANCELLED)
            continue;
        // Without a start of its own it keeps its first time, changed in other ways.
        icalproperty* start = icalcomponent_get_first_property(occurrence, ICAL_DTSTART_PROPERTY);
        const std::optional<QDateTime> at =
            start ? place(icalproperty_get_dtstart(start), start, placement) : first;
        if (at)
            changes.added.push_back(*at);
    }
    return changes;
}

// The first occurrence from today on that the rule gives and the changes leave in place; nullopt
// when there is none (the series ended) or problem says why it could not be found.
std::optional<QDateTime> firstByRule(icalproperty* rruleProperty, icaltimetype dtstart,
                                     const Placement& placement, const SeriesChanges& changes,
                                     const QDateTime& todayStart, const QDate& today, TimeProblem* problem)
{
    const icalrecurrencetype rule = icalproperty_get_rrule(rruleProperty);
    if (rule.freq == ICAL_NO_RECURRENCE) {
        *problem = TimeProblem::Unreadable;
        return std::nullopt;
    }
    const std::unique_ptr<icalrecur_iterator, IteratorFree> iterator(icalrecur_iterator_new(rule, dtstart));
    if (!iterator) {
        *problem = TimeProblem::Unreadable;
        return std::nullopt;
    }
    // Jump close to today when the rule allows it (a COUNT must be walked from the start).
    if (rule.count == 0) {
        const QDate from = today.addDays(-2);
        icaltimetype jump = dtstart;
        jump.year = from.year();
        jump.month = from.month();
        jump.day = from.day();
        if (icaltime_compare(jump, dtstart) > 0)
            icalrecur_iterator_set_start(iterator.get(), jump);
    }
    for (int i = 0; i < kMaxOccurrences; ++i) {
        const icaltimetype next = icalrecur_iterator_next(iterator.get());
        if (icaltime_is_null_time(next))
            return std::nullopt;
        const std::optional<QDateTime> start = toDateTime(next, placement, problem);
        if (!start)
            return std::nullopt;
        if (fromToday(*start, dtstart.is_date != 0, todayStart, today) && !changes.drops(next, *start))
            return start;
    }
    *problem = TimeProblem::Unreadable;
    return std::nullopt;
}

// The event's first occurrence from today on: its start, the occurrences of its rules and its
// added dates, less the dropped and changed ones, with the changed ones at their new times.
std::optional<QDateTime> nextOccurrence(icalcomponent* event, icaltimetype dtstart, const QDateTime& start,
                                        const Placement& placement, const SeriesChanges& changes,
                                        const QDateTime& todayStart, const QDate& today, TimeProblem* problem)
{
    const bool allDay = dtstart.is_date != 0;
    std::optional<QDateTime> next;
    const auto consider = [&](const QDateTime& at) {
        if (fromToday(at, allDay, todayStart, today) && (!next || at < *next))
            next = at;
    };
    const bool startTakesPlace =
        !changes.drops(dtstart, start) && fromToday(start, allDay, todayStart, today);
    if (startTakesPlace)
        consider(start);
    for (const QDateTime& at : changes.added)
        consider(at);
    // No rule gives an occurrence before the start.
    if (startTakesPlace)
        return next;
    for (icalproperty* rule = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); rule;
         rule = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
        const std::optional<QDateTime> byRule =
            firstByRule(rule, dtstart, placement, changes, todayStart, today, problem);
        if (*problem != TimeProblem::None)
            return std::nullopt;
        if (byRule)
            consider(*byRule);
    }
    return next;
}

QString madeUpUid(const QString& summary, const QByteArray& startText)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(summary.toUtf8());
    hash.addData(QByteArrayView("\n"));
    hash.addData(startText);
    return QStringLiteral("no-uid-") + QString::fromLatin1(hash.result().toHex());
}

void readCalendar(icalcomponent* calendar, const QDateTime& now, const QTimeZone& local,
                  CalendarReadResult& result, std::set<QString>& seen)
{
    const QDateTime todayStart(now.toTimeZone(local).date(), QTime(0, 0), local);
    const QDate today = todayStart.date();
    ChangedOccurrences changed;
    for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
         event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        if (icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY))
            changed[text(icalcomponent_get_uid(event))].push_back(event);
    }
    for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
         event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        // A changed occurrence of a series belongs to the series' own event.
        if (icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY))
            continue;
        icalproperty* startProperty = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        if (!startProperty) {
            // libical drops a value it cannot read and leaves a note in its place.
            if (icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY))
                ++result.unreadable;
            else
                ++result.withoutStart;
            continue;
        }
        const icaltimetype dtstart = icalproperty_get_dtstart(startProperty);
        if (icaltime_is_null_time(dtstart) || !icaltime_is_valid_time(dtstart)) {
            ++result.unreadable;
            continue;
        }
        Placement base;
        base.calendar = calendar;
        base.local = local;
        Placement placement = base;
        placement.tzid = tzidOf(startProperty);

        const QString uid = text(icalcomponent_get_uid(event));
        const auto ownChanges = uid.isEmpty() ? changed.end() : changed.find(uid);
        const std::vector<icalcomponent*> changedOccurrences =
            ownChanges != changed.end() ? ownChanges->second : std::vector<icalcomponent*>();

        TimeProblem problem = TimeProblem::None;
        std::optional<QDateTime> start = toDateTime(dtstart, placement, &problem);
        const bool allDay = dtstart.is_date != 0;
        if (start)
            start = nextOccurrence(event, dtstart, *start, placement,
                                   changesOf(event, changedOccurrences, base, allDay), todayStart, today,
                                   &problem);
        if (!start) {
            if (problem == TimeProblem::UnknownZone)
                ++result.unknownZone;
            else if (problem == TimeProblem::Unreadable)
                ++result.unreadable;
            continue; // otherwise simply past
        }

        ImportedEvent imported;
        imported.summary = text(icalcomponent_get_summary(event));
        imported.description = text(icalcomponent_get_description(event));
        imported.uid = uid;
        if (imported.uid.isEmpty())
            imported.uid = madeUpUid(imported.summary, QByteArray(icaltime_as_ical_string(dtstart)));
        imported.start = *start;
        imported.allDay = allDay;
        imported.timing = timingOf(event, startProperty, base, changedOccurrences);
        if (!seen.insert(imported.uid).second)
            continue;
        result.events.push_back(std::move(imported));
    }
}

} // namespace

QString CalendarFile::uidForItem(qint64 itemId)
{
    return QStringLiteral("item-%1@quadrivo").arg(itemId);
}

QByteArray CalendarFile::write(const std::vector<CalendarEvent>& events, const QDateTime& stamp)
{
    keepErrorsQuiet();
    const Component calendar(icalcomponent_new(ICAL_VCALENDAR_COMPONENT));
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Velmora//Quadrivo//EN"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));
    icalproperty* name = icalproperty_new_x("Quadrivo");
    icalproperty_set_x_name(name, "X-WR-CALNAME");
    icalcomponent_add_property(calendar.get(), name);

    const icaltimetype stamped = utcTime(stamp);
    for (const CalendarEvent& event : events) {
        icalcomponent* vevent = icalcomponent_new(ICAL_VEVENT_COMPONENT);
        icalcomponent_add_property(vevent, icalproperty_new_uid(event.uid.toUtf8().constData()));
        icalcomponent_add_property(vevent, icalproperty_new_dtstamp(stamped));
        const icaltimetype start = event.allDay ? dateOnly(event.start.date()) : utcTime(event.start);
        icalcomponent_add_property(vevent, icalproperty_new_dtstart(start));
        icalcomponent_add_property(vevent, icalproperty_new_summary(event.summary.toUtf8().constData()));
        if (!event.description.isEmpty())
            icalcomponent_add_property(vevent,
                                       icalproperty_new_description(event.description.toUtf8().constData()));
        icalcomponent_add_component(calendar.get(), vevent);
    }
    char* written = icalcomponent_as_ical_string_r(calendar.get());
    QByteArray bytes(written);
    icalmemory_free_buffer(written);
    return bytes;
}

CalendarReadResult CalendarFile::read(const QByteArray& raw, const QDateTime& now, const QTimeZone& local)
{
    keepErrorsQuiet();
    CalendarReadResult result;
    result.fileError = wholeFileProblem(raw);
    if (!result.fileError.isEmpty())
        return result;
    // The parser reads up to the first NUL; text after one is no calendar.
    const QByteArray terminated(raw.constData(), raw.size());
    const Component root(icalparser_parse_string(terminated.constData()));
    if (!root) {
        result.fileError = QStringLiteral("it is not an iCalendar file");
        return result;
    }
    std::set<QString> seen;
    const icalcomponent_kind kind = icalcomponent_isa(root.get());
    if (kind == ICAL_VCALENDAR_COMPONENT) {
        readCalendar(root.get(), now, local, result, seen);
    } else if (kind == ICAL_XROOT_COMPONENT) {
        for (icalcomponent* calendar =
                 icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
             calendar; calendar = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            readCalendar(calendar, now, local, result, seen);
    } else {
        result.fileError = QStringLiteral("it is not an iCalendar file");
    }
    return result;
}

} // namespace qv
