#pragma once

#include "platform/rest/ObjectMapping.h"
#include "platform/store/ManagedObject.h"

#include <QDateTime>
#include <QString>

namespace qv {

class Clock;
class TODOItem;

namespace store {
class Context;
}

// Entity "ItemReminder": an item's reminder (at most one per item). Accessor style as TODOItem.
class ItemReminder : public store::ManagedObject {
public:
    static QString staticEntityName() { return QStringLiteral("ItemReminder"); }

    void clearValue(const QString& key) { setValue(key, QVariant()); }

    // Server identifier; 0 until the server accepted the reminder.
    qint64 identifier() const { return intValue(QStringLiteral("identifier")); }
    void setIdentifier(qint64 v) { setValue(QStringLiteral("identifier"), v); }
    bool enabled() const { return boolValue(QStringLiteral("enabled")); }
    void setEnabled(bool v) { setValue(QStringLiteral("enabled"), v); }
    QString notes() const { return stringValue(QStringLiteral("notes")); }
    void setNotes(const QString& v)
    {
        setValue(QStringLiteral("notes"), v.isNull() ? QVariant() : QVariant(v));
    }
    QDateTime reminder_date() const { return dateValue(QStringLiteral("reminder_date")); }
    void setReminder_date(const QDateTime& v)
    {
        setValue(QStringLiteral("reminder_date"), v.isValid() ? QVariant(v.toUTC()) : QVariant());
    }
    bool remind_all_followers() const { return boolValue(QStringLiteral("remind_all_followers")); }
    void setRemind_all_followers(bool v) { setValue(QStringLiteral("remind_all_followers"), v); }
    qint64 repeat_after() const { return intValue(QStringLiteral("repeat_after")); }
    void setRepeat_after(qint64 v) { setValue(QStringLiteral("repeat_after"), v); }
    qint64 timestamp() const { return intValue(QStringLiteral("timestamp")); }
    void setTimestamp(qint64 v) { setValue(QStringLiteral("timestamp"), v); }
    qint64 edited_since() const { return intValue(QStringLiteral("edited_since")); }
    void setEdited_since(qint64 v) { setValue(QStringLiteral("edited_since"), v); }

    TODOItem* item() const;
    void setItem(TODOItem* item);

    // The item's reminder, made with the default date when it has none. With no item a
    // detached reminder is made in context (which must then be given).
    // clock == nullptr reads the system time.
    static ItemReminder* reminderForItem(TODOItem* item, const Clock* clock = nullptr,
                                         store::Context* context = nullptr);
    // The date a new reminder of the item gets: an hour before its start (else its due date)
    // when it is due, a day from now otherwise.
    static QDateTime defaultDate(const TODOItem* item, const Clock* clock = nullptr);
    // Find-or-create by server identifier (see .cpp); nullptr for identifiers below 1 unless
    // item's own reminder has it.
    static ItemReminder* findWithID(qint64 identifier, store::Context& context, TODOItem* item,
                                    const Clock* clock = nullptr);

    // identifier, enabled, notes, remind_all_followers, reminder_date, repeat_after, timestamp;
    // never the item, never edited_since.
    void copyTo(ItemReminder* destination) const;

    static rest::MappingPtr mapping();
    // mapping() without "timestamp", plus "item" = the item's resourceURI (key path "item.resourceURI").
    static rest::MappingPtr inverseMapping();
};

} // namespace qv
