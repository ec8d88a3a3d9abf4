#include "core/model/EntitySupport.h"

#include "platform/store/ManagedObject.h"

#include <QStringList>

#include <algorithm>

namespace qv::entity {

QString describe(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QStringLiteral("(null)");
    return value.toString();
}

std::optional<qint64> idFromURI(const QString& uri)
{
    // Split by hand: this runs for every item a poll brings.
    QStringView rest(uri);
    while (!rest.isEmpty()) {
        const qsizetype slash = rest.lastIndexOf(QLatin1Char('/'));
        const QStringView part = rest.mid(slash + 1);
        rest = rest.left(std::max<qsizetype>(slash, 0));
        if (part.isEmpty())
            continue;
        bool ok = false;
        const qint64 id = part.toLongLong(&ok);
        if (ok)
            return id;
        return std::nullopt;
    }
    return std::nullopt;
}

bool isRealDate(const QDateTime& date)
{
    return date.isValid() && date.toMSecsSinceEpoch() >= 1000;
}

namespace {

bool sameRelationshipValue(const store::ManagedObject& a, const store::ManagedObject& b, const QString& key,
                           bool toMany)
{
    if (!toMany)
        return a.toOne(key) == b.toOne(key);
    auto left = a.toMany(key);
    auto right = b.toMany(key);
    if (left.size() != right.size())
        return false;
    std::sort(left.begin(), left.end());
    std::sort(right.begin(), right.end());
    return left == right;
}

} // namespace

bool needToUpload(const store::ManagedObject& self, const store::ManagedObject* other,
                  const QSet<QString>& nonTracked)
{
    QSet<QString> keys = self.changedKeysInCurrentEvent();
    keys.subtract(nonTracked);
    if (keys.isEmpty())
        return false;
    if (!other)
        return true;
    const store::EntityDescription& entity = self.entity();
    for (const QString& key : std::as_const(keys)) {
        if (entity.attributeIndex(key) >= 0) {
            const QVariant mine = self.value(key);
            const QVariant theirs = other->value(key);
            const bool bothNull = mine.isNull() && theirs.isNull();
            if (!bothNull && mine != theirs)
                return true;
            continue;
        }
        const int rel = entity.relationshipIndex(key);
        if (rel < 0)
            continue;
        const bool toMany = entity.relationships()[size_t(rel)].toMany;
        if (!sameRelationshipValue(self, *other, key, toMany))
            return true;
    }
    return false;
}

} // namespace qv::entity
