#include "sync/RestRecords.h"

#include "core/model/TODOItem.h"
#include "platform/rest/JsonNumbers.h"
#include "platform/rest/ObjectMapper.h"

#include <algorithm>

namespace qv {

namespace {

using rest::JsonInteger;
namespace range = rest::json_range;

// Sets out when the key holds a number in range; false when it holds one out of range.
bool readInteger(const QJsonObject& json, const QString& key, qint64 min, qint64 max,
                 std::optional<qint64>* out)
{
    const JsonInteger n = rest::readJsonInteger(json.value(key), min, max);
    if (n.isValue())
        *out = n.value;
    return !n.isOutOfRange();
}

QString text(const QJsonObject& json, const QString& key)
{
    const QJsonValue value = json.value(key);
    return value.isString() ? value.toString() : QString();
}

} // namespace

QJsonObject uploadBody(const store::ManagedObject* object, const rest::ObjectMapping& mapping)
{
    QJsonObject json = rest::ObjectMapper::serialize(object, mapping);
    if (json.contains(QStringLiteral("edited_since")))
        json.insert(QStringLiteral("edited_since"), 0);
    return json;
}

QJsonArray listedObjects(const QJsonObject& reply)
{
    QJsonArray flat;
    for (const QJsonValue& value : reply.value(QStringLiteral("objects")).toArray()) {
        if (value.isArray()) {
            for (const QJsonValue& inner : value.toArray())
                flat.append(inner);
        } else {
            flat.append(value);
        }
    }
    return flat;
}

std::optional<RestConfig> RestConfig::fromJson(const QJsonObject& json)
{
    std::optional<qint64> requested;
    RestConfig config;
    if (!readInteger(json, QStringLiteral("requested_time"), range::kFirstSecond, range::kLastSecond,
                     &requested) ||
        !requested ||
        !readInteger(json, QStringLiteral("item_polling_interval"), range::kMin, range::kMax,
                     &config.itemPollingInterval) ||
        !readInteger(json, QStringLiteral("project_polling_interval"), range::kMin, range::kMax,
                     &config.projectPollingInterval))
        return std::nullopt;
    const QJsonValue online = json.value(QStringLiteral("is_online"));
    config.isOnline = online.isBool() ? online.toBool() : online.toInt() != 0;
    config.lastServerSecondsSince1970 = *requested;
    for (std::optional<qint64>* interval : {&config.itemPollingInterval, &config.projectPollingInterval}) {
        if (*interval)
            **interval = boundedPollingInterval(**interval);
    }
    return config;
}

qint64 RestConfig::boundedPollingInterval(qint64 seconds)
{
    return std::clamp<qint64>(seconds, 0, kMaxPollingInterval);
}

std::optional<MetaPaginator> MetaPaginator::fromJson(const QJsonObject& json)
{
    MetaPaginator meta;
    meta.next = text(json, QStringLiteral("next"));
    meta.previous = text(json, QStringLiteral("previous"));
    const bool inRange =
        readInteger(json, QStringLiteral("limit"), 0, range::kMaxCount, &meta.limit) &&
        readInteger(json, QStringLiteral("offset"), 0, range::kMaxCount, &meta.offset) &&
        readInteger(json, QStringLiteral("total_count"), 0, range::kMaxCount, &meta.totalCount) &&
        readInteger(json, QStringLiteral("requested_time"), range::kFirstSecond, range::kLastSecond,
                    &meta.secondsLastModification) &&
        readInteger(json, QStringLiteral("server_time"), range::kFirstSecond, range::kLastSecond,
                    &meta.secondsSince1970);
    if (!inRange)
        return std::nullopt;
    return meta;
}

rest::MappingPtr ItemSet::itemMapping()
{
    static const rest::MappingPtr mapping = [] {
        auto m = std::make_shared<rest::ObjectMapping>(*TODOItem::inverseMapping());
        for (const char* key : {"timestamp", "creator_username", "edited_by_username"})
            m->removeMappingForKeyPath(QString::fromLatin1(key));
        return rest::MappingPtr(std::move(m));
    }();
    return mapping;
}

QJsonObject ItemSet::body() const
{
    QJsonArray objects;
    for (const TODOItem* item : items)
        objects.append(uploadBody(item, *itemMapping()));
    return QJsonObject{{QStringLiteral("objects"), objects}};
}

QJsonObject PushToken::toJson() const
{
    QJsonObject json{{QStringLiteral("token"), token},
                     {QStringLiteral("device_type"), deviceType},
                     {QStringLiteral("bundle_identifier"), bundleIdentifier}};
    if (timeZone)
        json.insert(QStringLiteral("time_zone"), *timeZone);
    return json;
}

} // namespace qv
