#pragma once

#include "platform/store/ManagedObject.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace qv {

namespace detail {
inline QVariant dateOrNull(const QDateTime& d)
{
    return d.isValid() ? QVariant(d.toUTC()) : QVariant();
}
inline QVariant textOrNull(const QString& v)
{
    return v.isNull() ? QVariant() : QVariant(v);
}
} // namespace detail

// Entity "InstantSyncStatus": per signed-in e-mail, the polling cursors of the item and
// project loops, the date of the last server poll and the projects still to download. Accessor style as
// TODOItem.
class InstantSyncStatus : public store::ManagedObject {
public:
    static QString staticEntityName() { return QStringLiteral("InstantSyncStatus"); }

    QString email() const { return stringValue(QStringLiteral("email")); }
    void setEmail(const QString& v) { setValue(QStringLiteral("email"), detail::textOrNull(v)); }
    QDateTime lastItemPollingDate() const { return dateValue(QStringLiteral("lastItemPollingDate")); }
    void setLastItemPollingDate(const QDateTime& v)
    {
        setValue(QStringLiteral("lastItemPollingDate"), detail::dateOrNull(v));
    }
    QDateTime lastItemPollingDateWithResults() const
    {
        return dateValue(QStringLiteral("lastItemPollingDateWithResults"));
    }
    void setLastItemPollingDateWithResults(const QDateTime& v)
    {
        setValue(QStringLiteral("lastItemPollingDateWithResults"), detail::dateOrNull(v));
    }
    QDateTime lastProjectPollingDate() const { return dateValue(QStringLiteral("lastProjectPollingDate")); }
    void setLastProjectPollingDate(const QDateTime& v)
    {
        setValue(QStringLiteral("lastProjectPollingDate"), detail::dateOrNull(v));
    }
    QDateTime lastProjectPollingDateWithResults() const
    {
        return dateValue(QStringLiteral("lastProjectPollingDateWithResults"));
    }
    void setLastProjectPollingDateWithResults(const QDateTime& v)
    {
        setValue(QStringLiteral("lastProjectPollingDateWithResults"), detail::dateOrNull(v));
    }
    QDateTime lastServerPollingDate() const { return dateValue(QStringLiteral("lastServerPollingDate")); }
    void setLastServerPollingDate(const QDateTime& v)
    {
        setValue(QStringLiteral("lastServerPollingDate"), detail::dateOrNull(v));
    }
    // The inbox poll's cursor, kept with what it merged so that a restart misses no change.
    QDateTime lastInboxPollingDate() const { return dateValue(QStringLiteral("lastInboxPollingDate")); }
    void setLastInboxPollingDate(const QDateTime& v)
    {
        setValue(QStringLiteral("lastInboxPollingDate"), detail::dateOrNull(v));
    }
    // Projects seen on the server that have still to be downloaded with their items, kept with
    // the cursors that have moved past them: server identifiers, oldest first, each once.
    QList<qint64> projectsToDownload() const
    {
        QList<qint64> ids;
        const QStringList words =
            stringValue(QStringLiteral("projectsToDownload")).split(u' ', Qt::SkipEmptyParts);
        for (const QString& word : words) {
            bool ok = false;
            const qint64 id = word.toLongLong(&ok);
            if (ok && id > 0 && !ids.contains(id))
                ids.append(id);
        }
        return ids;
    }
    void setProjectsToDownload(const QList<qint64>& ids)
    {
        QStringList words;
        for (qint64 id : ids)
            words.append(QString::number(id));
        setValue(QStringLiteral("projectsToDownload"),
                 words.isEmpty() ? QVariant() : QVariant(words.join(u' ')));
    }
};

// Entity "CurrentUser": the e-mail of a signed-in user (read when no user default names one).
class CurrentUser : public store::ManagedObject {
public:
    static QString staticEntityName() { return QStringLiteral("CurrentUser"); }

    QString email() const { return stringValue(QStringLiteral("email")); }
    void setEmail(const QString& v) { setValue(QStringLiteral("email"), detail::textOrNull(v)); }
};

// Entity "CollaborationStatus": the collaboration caches of one signed-in e-mail, each an
// opaque serialized blob.
class CollaborationStatus : public store::ManagedObject {
public:
    static QString staticEntityName() { return QStringLiteral("CollaborationStatus"); }

    QString email() const { return stringValue(QStringLiteral("email")); }
    void setEmail(const QString& v) { setValue(QStringLiteral("email"), detail::textOrNull(v)); }
    QByteArray cachedMe() const { return value(QStringLiteral("cachedMe")).toByteArray(); }
    void setCachedMe(const QByteArray& v) { setBlob(QStringLiteral("cachedMe"), v); }
    QByteArray cachedOwnersByProject() const
    {
        return value(QStringLiteral("cachedOwnersByProject")).toByteArray();
    }
    void setCachedOwnersByProject(const QByteArray& v)
    {
        setBlob(QStringLiteral("cachedOwnersByProject"), v);
    }
    QByteArray cachedOwnersByProjectDates() const
    {
        return value(QStringLiteral("cachedOwnersByProjectDates")).toByteArray();
    }
    void setCachedOwnersByProjectDates(const QByteArray& v)
    {
        setBlob(QStringLiteral("cachedOwnersByProjectDates"), v);
    }
    QByteArray cachedCollaboratorsByEmail() const
    {
        return value(QStringLiteral("cachedCollaboratorsByEmail")).toByteArray();
    }
    void setCachedCollaboratorsByEmail(const QByteArray& v)
    {
        setBlob(QStringLiteral("cachedCollaboratorsByEmail"), v);
    }
    QByteArray cachedFollowersByItem() const
    {
        return value(QStringLiteral("cachedFollowersByItem")).toByteArray();
    }
    void setCachedFollowersByItem(const QByteArray& v)
    {
        setBlob(QStringLiteral("cachedFollowersByItem"), v);
    }
    QByteArray cachedFollowersByItemDates() const
    {
        return value(QStringLiteral("cachedFollowersByItemDates")).toByteArray();
    }
    void setCachedFollowersByItemDates(const QByteArray& v)
    {
        setBlob(QStringLiteral("cachedFollowersByItemDates"), v);
    }

private:
    void setBlob(const QString& key, const QByteArray& v)
    {
        setValue(key, v.isNull() ? QVariant() : QVariant(v));
    }
};

// Entity "Avatar": a person's picture by e-mail, kept so the next launch shows it at once.
class Avatar : public store::ManagedObject {
public:
    static QString staticEntityName() { return QStringLiteral("Avatar"); }

    QString qv_email() const { return stringValue(QStringLiteral("qv_email")); }
    void setQv_email(const QString& v) { setValue(QStringLiteral("qv_email"), detail::textOrNull(v)); }
    qint64 qv_size() const { return intValue(QStringLiteral("qv_size")); }
    void setQv_size(qint64 v) { setValue(QStringLiteral("qv_size"), v); }
    QDateTime qv_download_date() const { return dateValue(QStringLiteral("qv_download_date")); }
    void setQv_download_date(const QDateTime& v)
    {
        setValue(QStringLiteral("qv_download_date"), detail::dateOrNull(v));
    }
    QByteArray qv_coded_image() const { return value(QStringLiteral("qv_coded_image")).toByteArray(); }
    void setQv_coded_image(const QByteArray& v)
    {
        setValue(QStringLiteral("qv_coded_image"), v.isNull() ? QVariant() : QVariant(v));
    }
};

} // namespace qv
