#pragma once

#include "core/model/ObjectState.h"
#include "platform/store/ManagedObject.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

namespace qv {

class RestObjectStore;
class TODOItem;

// An item as the server sent it, for the merge to read and copy. Most replies are read straight
// into values; an item whose tags, files or reminder the copy needs as objects is mapped into the
// REST object store first, and read from there.
class RemoteItem {
public:
    // An item mapped into the REST object store; absent: the attributes (by index) whose keys
    // its reply left out, which a copy leaves as they are.
    static RemoteItem of(TODOItem* item, std::vector<int> absent = {});
    // Values by attribute index (as the store gives them back) and the project paths, read
    // from json, which store maps when an object is asked for.
    static RemoteItem fromValues(std::vector<QVariant> values, std::vector<int> absent,
                                 QStringList projectURIs, QJsonObject json, RestObjectStore* store);

    // The item as an object of the REST object store, mapped on first demand; nullptr when the
    // reply cannot be mapped.
    TODOItem* mappedItem() const;

    QVariant value(const QString& key) const;
    bool isNull(const QString& key) const { return value(key).isNull(); }
    qint64 serverID() const { return value(QStringLiteral("serverID")).toLongLong(); }
    bool isValidUniID() const { return !isNull(QStringLiteral("serverID")) && serverID() != 0; }
    qint64 id_() const { return value(QStringLiteral("id_")).toLongLong(); }
    qint64 versionID() const { return value(QStringLiteral("versionID")).toLongLong(); }
    qint64 timestamp() const { return value(QStringLiteral("timestamp")).toLongLong(); }
    qint64 state() const { return value(QStringLiteral("state")).toLongLong(); }
    ObjectState objectState() const { return toObjectState(state()); }
    QString editedByDevice() const { return value(QStringLiteral("editedByDevice")).toString(); }
    QString editedByUsername() const { return value(QStringLiteral("editedByUsername")).toString(); }
    QString ownerUsername() const { return value(QStringLiteral("ownerUsername")).toString(); }
    QString resourceURI() const { return value(QStringLiteral("resourceURI")).toString(); }
    QDateTime creationDate() const { return value(QStringLiteral("creationDate")).toDateTime(); }
    std::optional<qint64> getProjectID() const;

    // local->needToUploadGiven(this copy).
    bool differsFromEditsOf(const TODOItem& local) const;
    // What copyTo(destination, CopyIdentifiers | CopyTags | CopyFiles) of this copy does, with
    // extra values set in the same store write.
    void copyTo(TODOItem* destination, const store::AttributeValues& extra) const;

private:
    mutable TODOItem* m_mapped = nullptr;
    // Read straight from a reply, while m_mapped is none.
    bool m_read = false;
    std::vector<QVariant> m_values;
    std::vector<int> m_absent;
    std::optional<qint64> m_projectID;
    QJsonObject m_json;
    RestObjectStore* m_store = nullptr;
};

} // namespace qv
