#include "sync/RestRecords.h"

#include "core/model/TODOItem.h"
#include "platform/rest/JsonNumbers.h"
#include "platform/rest/ObjectMapper.h"

#include <QStringList>

#include <algorithm>
#include <memory>

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
    // Const arrays: iterating a shared one copies it otherwise.
    const QJsonArray objects = reply.value(QStringLiteral("objects")).toArray();
    for (const QJsonValue& value : objects) {
        if (value.isArray()) {
            const QJsonArray inner = value.toArray();
            for (const QJsonValue& element : inner)
                flat.append(element);
        } else {
            flat.append(value);
        }
    }
    return flat;
}

std::optional<QString> nextPagePath(const QString& firstPath, const QJsonObject& reply)
{
    const QJsonValue metaValue = reply.value(QStringLiteral("meta"));
    const std::optional<MetaPaginator> meta =
        metaValue.isObject() ? MetaPaginator::fromJson(metaValue.toObject()) : std::nullopt;
    const qsizetype count = listedObjects(reply).size();
    // An empty page ends the list whatever it says: following it could go on for ever.
    if (!meta || !meta->hasNext() || count == 0)
        return std::nullopt;
    const qint64 limit = meta->limit.value_or(0) > 0 ? *meta->limit : qint64(count);
    const qint64 offset = meta->offset.value_or(0) + limit;
    const qsizetype question = firstPath.indexOf(u'?');
    QStringList kept;
    if (question >= 0) {
        for (const QString& part : firstPath.mid(question + 1).split(u'&', Qt::SkipEmptyParts)) {
            if (!part.startsWith(QLatin1String("offset=")) && !part.startsWith(QLatin1String("limit=")))
                kept << part;
        }
    }
    kept << QStringLiteral("offset=%1").arg(offset) << QStringLiteral("limit=%1").arg(limit);
    return firstPath.left(question >= 0 ? question : firstPath.size()) + u'?' + kept.join(u'&');
}

namespace {

struct PageWalk {
    PageRequest get;
    std::function<void(const QJsonArray&)> done;
    std::function<void(const rest::Error&)> failed;
    QString firstPath;
    QJsonArray objects;
    qint64 lastOffset = -1;
};

void getPage(const std::shared_ptr<PageWalk>& walk, const QString& path)
{
    walk->get(
        path,
        [walk](const QJsonObject& reply) {
            for (const QJsonValue& value : listedObjects(reply))
                walk->objects.append(value);
            const std::optional<QString> next = nextPagePath(walk->firstPath, reply);
            const qint64 offset =
                reply.value(QStringLiteral("meta")).toObject().value(QStringLiteral("offset")).toInteger();
            // A server that names the same page again would be asked for ever.
            if (!next || offset <= walk->lastOffset) {
                walk->done(walk->objects);
                return;
            }
            walk->lastOffset = offset;
            getPage(walk, *next);
        },
        [walk](const rest::Error& error) { walk->failed(error); });
}

} // namespace

void getAllPages(const QString& firstPath, const PageRequest& get,
                 std::function<void(const QJsonArray&)> done,
                 std::function<void(const rest::Error& error)> failed)
{
    auto walk =
        std::make_shared<PageWalk>(PageWalk{get, std::move(done), std::move(failed), firstPath, {}, -1});
    getPage(walk, firstPath);
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
