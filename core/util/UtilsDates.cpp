#include "core/util/Utils.h"

#include "platform/store/ManagedObject.h"

#include <algorithm>

namespace qv {

namespace {

QVariant attribute(const store::ManagedObject* object, const QString& key)
{
    if (!object || object->entity().attributeIndex(key) < 0)
        return {};
    return object->value(key);
}

bool isMissing(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

// A wall time of the zone; one that a daylight-saving change skips is read with the
// offset in force before the change, which moves it forward by the skipped length.
QDateTime wallTime(QDate day, QTime time, const QTimeZone& zone)
{
    QDateTime result(day, time, zone);
    if (result.isValid())
        return result;
    const QDateTime asUtc(day, time, QTimeZone::utc());
    const int offsetBefore = zone.offsetFromUtc(asUtc.addSecs(-24 * 3600));
    return asUtc.addSecs(-offsetBefore).toTimeZone(zone);
}

bool hasRealDate(const QDateTime& date)
{
    return date.isValid() && date.toMSecsSinceEpoch() >= 1000;
}

std::weak_ordering order(qint64 a, qint64 b)
{
    if (a < b)
        return std::weak_ordering::less;
    if (a > b)
        return std::weak_ordering::greater;
    return std::weak_ordering::equivalent;
}

Utils::ItemList sortedByKey(const Utils::ItemList& items, const QString& key, bool ascending)
{
    Utils::ItemList sorted = items;
    std::vector<QVariant> keys;
    keys.reserve(sorted.size());
    // Read each key once; sort indices so equal keys keep their order.
    for (store::ManagedObject* object : sorted)
        keys.push_back(attribute(object, key));
    std::vector<std::size_t> indices(sorted.size());
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = i;
    const auto less = [&](std::size_t x, std::size_t y) {
        const QVariant& a = keys[x];
        const QVariant& b = keys[y];
        if (isMissing(a) || isMissing(b))
            return isMissing(a) && !isMissing(b);
        if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString)
            return a.toString().compare(b.toString(), Qt::CaseSensitive) < 0;
        return QVariant::compare(a, b) == QPartialOrdering::Less;
    };
    std::stable_sort(indices.begin(), indices.end(),
                     [&](std::size_t x, std::size_t y) { return ascending ? less(x, y) : less(y, x); });
    Utils::ItemList result;
    result.reserve(sorted.size());
    for (std::size_t i : indices)
        result.push_back(sorted[i]);
    return result;
}

} // namespace

QDateTime Utils::stripTimeOfDay(const QDateTime& date, const QTimeZone& zone)
{
    if (!date.isValid())
        return {};
    return date.toTimeZone(zone).date().startOfDay(zone);
}

QDateTime Utils::stripSeconds(const QDateTime& date, const QTimeZone& zone)
{
    if (!date.isValid())
        return {};
    const QDateTime local = date.toTimeZone(zone);
    const QTime t = local.time();
    return local.addMSecs(-(qint64(t.second()) * 1000 + t.msec()));
}

QDateTime Utils::addHour(int hour, const QDateTime& date, const QTimeZone& zone)
{
    if (!date.isValid())
        return {};
    const int days = hour >= 0 ? hour / 24 : -((23 - hour) / 24);
    const int hourOfDay = hour - days * 24;
    return wallTime(date.toTimeZone(zone).date().addDays(days), QTime(hourOfDay, 0), zone);
}

QDateTime Utils::addYear(int years, const QDateTime& date, const QTimeZone& zone)
{
    if (!date.isValid())
        return {};
    const QDate day = date.toTimeZone(zone).date();
    // Day numbers past the month's end roll into the next month, as calendars normalise.
    const QDate target = QDate(day.year() + years, day.month(), 1).addDays(day.day() - 1);
    if (!target.isValid())
        return {};
    return target.startOfDay(zone);
}

int Utils::daysFromDate(const QDateTime& from, const QDateTime& to, const QTimeZone& zone)
{
    if (!from.isValid() || !to.isValid())
        return 0;
    return int(from.toTimeZone(zone).date().daysTo(to.toTimeZone(zone).date()));
}

std::weak_ordering Utils::compare(const QDateTime& first, bool firstAllDay, const QDateTime& second,
                                  bool secondAllDay, const QTimeZone& zone)
{
    const bool firstHas = hasRealDate(first);
    const bool secondHas = hasRealDate(second);
    if (!firstHas || !secondHas) {
        if (firstHas == secondHas)
            return std::weak_ordering::equivalent;
        return firstHas ? std::weak_ordering::less : std::weak_ordering::greater;
    }
    const auto normalized = [&](const QDateTime& d, bool allDay) {
        const QDateTime minute = stripSeconds(d, zone);
        return allDay ? stripTimeOfDay(minute, zone) : minute;
    };
    return order(normalized(first, firstAllDay).toMSecsSinceEpoch(),
                 normalized(second, secondAllDay).toMSecsSinceEpoch());
}

std::weak_ordering Utils::compareStartDates(const store::ManagedObject& first,
                                            const store::ManagedObject& second, const QTimeZone& zone)
{
    const QString startDate = QStringLiteral("startDate");
    const QString allDay = QStringLiteral("allDay");
    const std::weak_ordering byDate =
        compare(attribute(&first, startDate).toDateTime(), attribute(&first, allDay).toBool(),
                attribute(&second, startDate).toDateTime(), attribute(&second, allDay).toBool(), zone);
    if (byDate != 0)
        return byDate;
    const QString percentage = QStringLiteral("completionPercentage");
    const double a = attribute(&first, percentage).toDouble();
    const double b = attribute(&second, percentage).toDouble();
    if (a < b)
        return std::weak_ordering::less;
    if (a > b)
        return std::weak_ordering::greater;
    return std::weak_ordering::equivalent;
}

qint64 Utils::secondsSince1970(const QDateTime& date)
{
    if (!date.isValid())
        return 0;
    const qint64 ms = date.toMSecsSinceEpoch();
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

QDateTime Utils::dateFromSecondsSince1970(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
}

QString Utils::restQueryDateString(const QDateTime& date)
{
    const QDateTime utc = date.toUTC();
    return utc.date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral("%20") +
           utc.time().toString(QStringLiteral("HH:mm:ss")) +
           QStringLiteral(".%1-00:00").arg(utc.time().msec() * 1000, 6, 10, QLatin1Char('0'));
}

Utils::ItemList Utils::olderFirst(const ItemList& items)
{
    // Undated items compare equal to each other, so the order is a strict weak ordering
    // and the sort keeps their original order.
    const QString dueDate = QStringLiteral("dueDate");
    std::vector<std::pair<QDateTime, store::ManagedObject*>> keyed;
    keyed.reserve(items.size());
    for (store::ManagedObject* item : items)
        keyed.emplace_back(attribute(item, dueDate).toDateTime(), item);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        const bool aHas = a.first.isValid();
        const bool bHas = b.first.isValid();
        if (aHas != bHas)
            return aHas;
        return aHas && a.first < b.first;
    });
    ItemList result;
    result.reserve(keyed.size());
    for (const auto& entry : keyed)
        result.push_back(entry.second);
    return result;
}

Utils::ItemList Utils::sortByIndex(const ItemList& items, bool ascending)
{
    return sortedByKey(items, QStringLiteral("index"), ascending);
}

Utils::ItemList Utils::sortByAlphabetical(const ItemList& items, bool ascending)
{
    return sortedByKey(items, QStringLiteral("name"), ascending);
}

} // namespace qv
