#include "sync/User.h"

#include "platform/rest/JsonNumbers.h"

#include <QCborMap>
#include <QHash>
#include <QJsonValue>

#include <array>
#include <utility>

namespace qv {

namespace {

std::optional<qint64> readIdentifier(const QJsonValue& value)
{
    const rest::JsonInteger number = rest::readJsonInteger(value);
    return number.isValue() ? std::optional<qint64>(number.value) : std::nullopt;
}

QString text(const QJsonObject& json, const char* key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

QString reportPath(const QString& base, const User& user)
{
    const QString hash = user.userProfile.value(QStringLiteral("userhash")).toString();
    if (hash.isEmpty())
        return base;
    return base + QString::number(user.identifier.value_or(0)) + QLatin1Char('/') + hash;
}

// The JSON keys of the request's text fields, in the server's order after "id".
using TextField = std::pair<const char*, QString SharingRequest::*>;
constexpr std::array<TextField, 10> kRequestFields{{
    {"resource_uri", &SharingRequest::resourceURI},
    {"project", &SharingRequest::projectURI},
    {"project_name", &SharingRequest::projectName},
    {"source_user", &SharingRequest::sourceUserURI},
    {"source_username", &SharingRequest::sourceUsername},
    {"target_user", &SharingRequest::targetUserURI},
    {"target_username", &SharingRequest::targetUsername},
    {"status", &SharingRequest::status},
    {"random_hash", &SharingRequest::randomHash},
    {"message", &SharingRequest::message},
}};

} // namespace

User User::fromJson(const QJsonObject& json)
{
    User user;
    user.identifier = readIdentifier(json.value(QLatin1String("id")));
    user.username = text(json, "username");
    user.email = text(json, "email");
    user.resourceURI = text(json, "resource_uri");
    user.userProfile = json.value(QLatin1String("user_profile")).toObject().toVariantMap();
    // Absent or null: not a teammate.
    user.teammate = json.value(QLatin1String("teammate")).toBool(false);
    return user;
}

QCborValue User::toCbor() const
{
    QCborMap map;
    if (identifier)
        map.insert(QStringLiteral("identifier"), *identifier);
    // An empty text is left out as a missing one is: Qt reads an empty text back as none, and
    // an archive read once must write the same bytes again.
    if (!username.isEmpty())
        map.insert(QStringLiteral("username"), username);
    if (!email.isEmpty())
        map.insert(QStringLiteral("email"), email);
    if (!resourceURI.isEmpty())
        map.insert(QStringLiteral("resourceURI"), resourceURI);
    if (!userProfile.isEmpty())
        map.insert(QStringLiteral("user_profile"), QCborValue::fromVariant(userProfile));
    map.insert(QStringLiteral("teammate"), teammate);
    map.insert(QStringLiteral("owner"), owner);
    map.insert(QStringLiteral("invited"), invited);
    return map;
}

User User::fromCbor(const QCborValue& value)
{
    const QCborMap map = value.toMap();
    User user;
    const QCborValue identifier = map.value(QStringLiteral("identifier"));
    if (identifier.isInteger())
        user.identifier = identifier.toInteger();
    const auto string = [&map](const QString& key) {
        const QCborValue v = map.value(key);
        return v.isString() ? v.toString() : QString();
    };
    user.username = string(QStringLiteral("username"));
    user.email = string(QStringLiteral("email"));
    user.resourceURI = string(QStringLiteral("resourceURI"));
    user.userProfile = map.value(QStringLiteral("user_profile")).toVariant().toMap();
    user.teammate = map.value(QStringLiteral("teammate")).toBool(false);
    user.owner = map.value(QStringLiteral("owner")).toBool(false);
    user.invited = map.value(QStringLiteral("invited")).toBool(false);
    return user;
}

QString User::dailyReportAPIString() const
{
    return reportPath(baseDailyReportAPIString(), *this);
}

QString User::weeklyReportAPIString() const
{
    return reportPath(baseWeeklyReportAPIString(), *this);
}

size_t qHash(const User& user, size_t seed)
{
    return qHash(user.username, seed);
}

SharingRequest SharingRequest::fromJson(const QJsonObject& json)
{
    SharingRequest request;
    request.identifier = readIdentifier(json.value(QLatin1String("id")));
    for (const auto& [key, field] : kRequestFields)
        request.*field = text(json, key);
    return request;
}

QJsonObject SharingRequest::toJson() const
{
    QJsonObject json;
    if (identifier)
        json.insert(QLatin1String("id"), *identifier);
    for (const auto& [key, field] : kRequestFields) {
        if (!(this->*field).isNull())
            json.insert(QLatin1String(key), this->*field);
    }
    return json;
}

} // namespace qv
