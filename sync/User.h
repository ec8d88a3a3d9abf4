#pragma once

#include <QCborValue>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace qv {

// A person as the sync server returns one: the signed-in user, a collaborator, a project owner,
// an item follower. Two records are the same person when their user names are equal.
struct User {
    std::optional<qint64> identifier;
    QString username; // the e-mail address on this server
    QString email;
    QString resourceURI;
    QVariantMap userProfile; // as received; "userhash", the upload quota, "secretCode"
    bool teammate = false;
    // Set by the project team panel, never by the server.
    bool owner = false;
    bool invited = false;

    static User fromJson(const QJsonObject& json);
    // The archive form; keys as the fields, flags as booleans.
    QCborValue toCbor() const;
    static User fromCbor(const QCborValue& value);

    static QString baseDailyReportAPIString() { return QStringLiteral("/accounts/report/"); }
    static QString baseWeeklyReportAPIString() { return QStringLiteral("/accounts/weekly_report/"); }
    static QString calendarFeedsAPIString() { return QStringLiteral("/qvweb/feeds/"); }
    QString dailyReportAPIString() const;
    QString weeklyReportAPIString() const;

    friend bool operator==(const User& a, const User& b) { return a.username == b.username; }
};

size_t qHash(const User& user, size_t seed = 0);

// The server's record of an invitation of a person to a project and of its answer.
struct SharingRequest {
    static inline const QString kInit = QStringLiteral("init");
    static inline const QString kAccepted = QStringLiteral("accepted");
    static inline const QString kRejected = QStringLiteral("rejected");
    static inline const QString kRemove = QStringLiteral("remove");

    std::optional<qint64> identifier;
    QString resourceURI;
    QString projectURI; // "/api/v1/project/<id>/"
    QString projectName;
    QString sourceUserURI;
    QString sourceUsername;
    QString targetUserURI;
    QString targetUsername;
    QString status;
    QString randomHash;
    QString message;

    static SharingRequest fromJson(const QJsonObject& json);
    // The body of a POST or PUT: the fields that are set, under the server's keys.
    QJsonObject toJson() const;

    friend bool operator==(const SharingRequest& a, const SharingRequest& b)
    {
        return a.identifier == b.identifier;
    }
};

} // namespace qv
