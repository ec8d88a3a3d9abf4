#include "core/model/ItemReminder.h"

#include "core/model/ModelLogging.h"
#include "core/model/TODOItem.h"
#include "platform/Clock.h"
#include "platform/store/Context.h"

namespace qv {

namespace {

QDateTime nowFrom(const Clock* clock)
{
    return clock ? clock->now() : QDateTime::currentDateTimeUtc();
}

} // namespace

TODOItem* ItemReminder::item() const
{
    return store::as<TODOItem>(toOne(QStringLiteral("item")));
}

void ItemReminder::setItem(TODOItem* item)
{
    setToOne(QStringLiteral("item"), item);
}

QDateTime ItemReminder::defaultDate(const TODOItem* item, const Clock* clock)
{
    if (item && item->dueDate().isValid()) {
        const QDateTime base = item->startDate().isValid() ? item->startDate() : item->dueDate();
        return base.addSecs(-3600);
    }
    return nowFrom(clock).addSecs(86400);
}

ItemReminder* ItemReminder::reminderForItem(TODOItem* item, const Clock* clock, store::Context* context)
{
    if (item && item->reminder())
        return item->reminder();
    store::Context* target = item ? item->context() : context;
    if (!target)
        return nullptr;
    auto* reminder = target->insert<ItemReminder>(staticEntityName());
    reminder->setIdentifier(0);
    reminder->setTimestamp(0);
    reminder->setReminder_date(defaultDate(item, clock));
    if (item)
        item->setReminder(reminder);
    return reminder;
}

ItemReminder* ItemReminder::findWithID(qint64 identifier, store::Context& context, TODOItem* item,
                                       const Clock* clock)
{
    if (item) {
        ItemReminder* own = item->reminder();
        if (own && !own->isNull(QStringLiteral("identifier")) && own->identifier() == identifier)
            return own;
    }
    // Reminders the server has not accepted yet are never looked up by identifier.
    if (identifier < 1)
        return nullptr;
    const std::vector<store::ManagedObject*> matches =
        context.lookup(staticEntityName(), QStringLiteral("identifier"), identifier);
    if (matches.size() > 1)
        qCWarning(lcModel, "%lld duplicated reminders with id: %lld", qint64(matches.size()), identifier);
    if (matches.empty()) {
        auto* reminder = context.insert<ItemReminder>(staticEntityName());
        reminder->setIdentifier(identifier);
        reminder->setReminder_date(nowFrom(clock).addSecs(3600));
        reminder->setTimestamp(0);
        return reminder;
    }
    return store::as<ItemReminder>(matches.front());
}

void ItemReminder::copyTo(ItemReminder* destination) const
{
    if (!destination || destination == this)
        return;
    for (const char* key : {"identifier", "enabled", "notes", "remind_all_followers", "reminder_date",
                            "repeat_after", "timestamp"}) {
        const QString k = QString::fromLatin1(key);
        destination->setValue(k, value(k));
    }
}

rest::MappingPtr ItemReminder::mapping()
{
    static const rest::MappingPtr mapping = [] {
        auto m = std::make_shared<rest::ObjectMapping>(staticEntityName());
        m->setPrimaryKeyAttribute(QStringLiteral("identifier"));
        m->mapKeyPath(QStringLiteral("id"), QStringLiteral("identifier"));
        m->mapAttributes({QStringLiteral("enabled"), QStringLiteral("notes"),
                          QStringLiteral("remind_all_followers"), QStringLiteral("reminder_date"),
                          QStringLiteral("repeat_after"), QStringLiteral("timestamp")});
        return rest::MappingPtr(std::move(m));
    }();
    return mapping;
}

rest::MappingPtr ItemReminder::inverseMapping()
{
    static const rest::MappingPtr mapping = [] {
        auto m = std::make_shared<rest::ObjectMapping>(*ItemReminder::mapping());
        m->removeMappingForKeyPath(QStringLiteral("timestamp"));
        m->mapKeyPath(QStringLiteral("item"), QStringLiteral("item.resourceURI"));
        return rest::MappingPtr(std::move(m));
    }();
    return mapping;
}

} // namespace qv
