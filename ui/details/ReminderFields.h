#pragma once

#include <QDateTime>
#include <QString>

namespace qv {

class Clock;
class TODOItem;

// What the drawer's reminder row shows of an item, and its writes. A reminder is made (with the
// item's default date) only when the user turns it on; each write stores only a real change, so
// that the reminder sync sends nothing the user did not change.
struct ReminderFields {
    bool enabled = false;
    // The reminder's date, or the default one an item without a reminder would get.
    QDateTime date;
    QString notes;

    static ReminderFields of(const TODOItem* item, const Clock* clock);
    static void writeEnabled(TODOItem* item, bool enabled, const Clock* clock);
    // An invalid date is refused: a reminder always has one. Seconds are dropped.
    static void writeDate(TODOItem* item, const QDateTime& date, const Clock* clock);
    static void writeNotes(TODOItem* item, const QString& notes, const Clock* clock);
};

} // namespace qv
