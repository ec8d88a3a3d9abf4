#include "sync/RestRecords.h"

#include "core/model/TODOItem.h"
#include "platform/rest/ObjectMapper.h"

namespace qv {

namespace {

std::optional<qint64> integer(const QJsonObject& json, const QString& key)
{
    const QJsonValue value = json.value(key);
    if (value.isDouble())
        return value.toInteger(qint64(value.toDouble()));
    if (value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().toLongLong(&ok);
        if (ok)
            return number;
    }
    return std::nullopt;
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
    const std::optional<qint64> requested = integer(json, QStringLiteral("requested_time"));
    if (!requested)
        return std::nullopt;
    RestConfig config;
    const QJsonValue online = json.value(QStringLiteral("is_online"));
    config.isOnline = online.isBool() ? online.toBool() : online.toInt() != 0;
    config.lastServerSecondsSince1970 = *requested;
    config.itemPollingInterval = integer(json, QStringLiteral("item_polling_interval"));
    config.projectPollingInterval = integer(json, QStringLiteral("project_polling_interval"));
    return config;
}

MetaPaginator MetaPaginator::fromJson(const QJsonObject& json)
{
    MetaPaginator meta;
    meta.limit = integer(json, QStringLiteral("limit"));
    meta.offset = integer(json, QStringLiteral("offset"));
    meta.next = text(json, QStringLiteral("next"));
    meta.previous = text(json, QStringLiteral("previous"));
    meta.secondsLastModification = integer(json, QStringLiteral("requested_time"));
    meta.secondsSince1970 = integer(json, QStringLiteral("server_time"));
    meta.totalCount = integer(json, QStringLiteral("total_count"));
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
