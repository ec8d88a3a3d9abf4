#include "core/util/Utils.h"

#include "platform/store/ManagedObject.h"

namespace qv {

namespace {

struct Bounds {
    bool hasMin = false;
    bool hasMax = false;
};

Bounds usedBounds(const QDateTime& minDate, const QDateTime& maxDate)
{
    return {minDate.isValid() && minDate > Utils::distantPast(),
            maxDate.isValid() && maxDate < Utils::distantFuture()};
}

// The AND of the bounds in use, each as its format filled with its value; nothing when
// neither is used.
std::vector<Predicate> boundPredicates(const QString& fromFormat, const QString& beforeFormat,
                                       const Bounds& bounds, const QVariant& minValue,
                                       const QVariant& maxValue)
{
    std::vector<Predicate> members;
    if (bounds.hasMin)
        members.push_back(Predicate::withFormat(fromFormat, {minValue}));
    if (bounds.hasMax)
        members.push_back(Predicate::withFormat(beforeFormat, {maxValue}));
    return members;
}

Predicate userList(const QString& equalFormat, const QString& notEqualFormat, const QStringList& usernames,
                   bool negate)
{
    if (usernames.isEmpty())
        return Predicate::alwaysTrue();
    std::vector<Predicate> members;
    for (const QString& name : usernames)
        members.push_back(Predicate::withFormat(negate ? notEqualFormat : equalFormat, {name}));
    return negate ? Predicate::andPredicate(members) : Predicate::orPredicate(members);
}

QVariant seconds(const QDateTime& date)
{
    return double(date.toMSecsSinceEpoch()) / 1000.0;
}

} // namespace

QDateTime Utils::distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
}

QDateTime Utils::distantFuture()
{
    return QDateTime(QDate(4001, 1, 1), QTime(0, 0), QTimeZone::utc());
}

Predicate Utils::filterItemsWithCreationBetweenMinDate(const QDateTime& minDate, const QDateTime& maxDate)
{
    return Predicate::andPredicate(boundPredicates(QStringLiteral("(creationDate >= %@)"),
                                                   QStringLiteral("(creationDate < %@)"),
                                                   usedBounds(minDate, maxDate), minDate, maxDate));
}

Predicate Utils::filterItemsWithTimestampBetweenMinDate(const QDateTime& minDate, const QDateTime& maxDate)
{
    const Bounds bounds = usedBounds(minDate, maxDate);
    return Predicate::andPredicate(boundPredicates(QStringLiteral("(lastModifiedTimestamp >= %@)"),
                                                   QStringLiteral("(lastModifiedTimestamp < %@)"), bounds,
                                                   bounds.hasMin ? seconds(minDate) : QVariant(),
                                                   bounds.hasMax ? seconds(maxDate) : QVariant()));
}

Predicate Utils::filterItemsWithDueDatesBetweenMinDate(const QDateTime& minDate, const QDateTime& maxDate)
{
    const Predicate range = Predicate::andPredicate(
        boundPredicates(QStringLiteral("(dueDate >= %@)"), QStringLiteral("(dueDate < %@)"),
                        usedBounds(minDate, maxDate), minDate, maxDate));
    return Predicate::andPredicate({range, filterForItemsThatHaveDueDate()});
}

Predicate Utils::filterItemsWithCompletionDatesBetweenMinDate(const QDateTime& minDate,
                                                              const QDateTime& maxDate)
{
    const std::vector<Predicate> members =
        boundPredicates(QStringLiteral("(completionDate >= %@)"), QStringLiteral("(completionDate < %@)"),
                        usedBounds(minDate, maxDate), minDate, maxDate);
    if (members.empty())
        return Predicate::withFormat(QStringLiteral("(completionDate <> NIL)"));
    return Predicate::andPredicate(members);
}

Predicate Utils::filterByOwnerUsernames(const QStringList& usernames, bool negate)
{
    return userList(QStringLiteral("(ownerUsername = %@)"), QStringLiteral("(ownerUsername <> %@)"),
                    usernames, negate);
}

Predicate Utils::filterByCreators(const QStringList& usernames, bool negate)
{
    return userList(QStringLiteral("(creatorUsername = %@)"), QStringLiteral("(creatorUsername <> %@)"),
                    usernames, negate);
}

Predicate Utils::filterByCompletedBy(const QStringList& usernames, bool negate)
{
    return userList(QStringLiteral("(completedByUsername = %@)"),
                    QStringLiteral("(completedByUsername <> %@)"), usernames, negate);
}

Predicate Utils::filterForItemsThatHaveDueDate()
{
    return Predicate::withFormat(QStringLiteral("(dueDate <> NIL)"));
}

Predicate Utils::filterForItemsThatHaveFiles()
{
    return Predicate::withFormat(QStringLiteral("(files.@count > 0)"));
}

std::optional<Utils::ItemDictionary> Utils::filterItemsBySearchField(const QString& searchText,
                                                                     ItemDictionary& itemDictionary)
{
    if (itemDictionary.isEmpty())
        return std::nullopt;
    if (searchText.isEmpty())
        return itemDictionary;
    // The text goes in as a value, so its quotes and percent signs are searched for as such.
    const Predicate search =
        Predicate::withFormat(QStringLiteral("(name contains[cd] %@) OR (descriptionText contains[cd] %@)"),
                              {searchText, searchText});
    ItemDictionary result;
    for (auto it = itemDictionary.begin(); it != itemDictionary.end(); ++it) {
        std::erase_if(it.value(), [&](const store::ManagedObject* item) { return !search.evaluate(item); });
        if (!it.value().empty())
            result.insert(it.key(), it.value());
    }
    return result;
}

Utils::ItemDictionary Utils::filterItemsByOwner(const QString& username, const ItemDictionary& itemDictionary)
{
    const Predicate owner = Predicate::withFormat(QStringLiteral("(ownerUsername = %@)"),
                                                  {username.isEmpty() ? QVariant() : QVariant(username)});
    ItemDictionary result;
    for (auto it = itemDictionary.cbegin(); it != itemDictionary.cend(); ++it) {
        ItemList kept;
        for (store::ManagedObject* item : it.value())
            if (owner.evaluate(item))
                kept.push_back(item);
        if (!kept.empty())
            result.insert(it.key(), kept);
    }
    return result;
}

} // namespace qv
