#include "ui/details/ReminderFields.h"

#include "core/model/ItemReminder.h"
#include "core/model/TODOItem.h"

#include <QTimeZone>

namespace qv {

ReminderFields ReminderFields::of(const TODOItem* item, const Clock* clock)
{
    const ItemReminder* reminder = item ? item->reminder() : nullptr;
    if (!reminder)
        return {false, ItemReminder::defaultDate(item, clock), QString()};
    return {reminder->enabled(), reminder->reminder_date(), reminder->notes()};
}

void ReminderFields::writeEnabled(TODOItem* item, bool enabled, const Clock* clock)
{
    if (!item || (!enabled && !item->reminder()))
        return;
    ItemReminder* reminder = ItemReminder::reminderForItem(item, clock);
    if (reminder->enabled() != enabled)
        reminder->setEnabled(enabled);
}

void ReminderFields::writeDate(TODOItem* item, const QDateTime& date, const Clock* clock)
{
    if (!item || !date.isValid())
        return;
    ItemReminder* reminder = ItemReminder::reminderForItem(item, clock);
    // The row shows minutes: a date chosen there is at the minute shown, not some seconds after.
    const QDateTime minute =
        QDateTime::fromSecsSinceEpoch(date.toSecsSinceEpoch() / 60 * 60, QTimeZone::utc());
    if (reminder->reminder_date() != minute)
        reminder->setReminder_date(minute);
}

void ReminderFields::writeNotes(TODOItem* item, const QString& notes, const Clock* clock)
{
    if (!item || (notes.isEmpty() && !item->reminder()))
        return;
    ItemReminder* reminder = ItemReminder::reminderForItem(item, clock);
    if (reminder->notes() != notes)
        reminder->setNotes(notes);
}

} // namespace qv
