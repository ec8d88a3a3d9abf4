#pragma once

#include "sync/RemoteItem.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace qv {

class Scheduler;
class TODOItem;
class TODOList;

namespace rest {
class ResolvedMapping;
}

namespace store {
class Context;
}

// The REST object store: replies are mapped into objects of a second context with the
// document's model, kept in the file "sync.sqlite" of the caches folder, and merged from there
// into the document. Objects are found again by their server identifiers, so the store holds
// one copy per server object. The file is opened when first needed, and an object is read from
// it only when a reply names it: a start costs nothing, and memory holds what replies named.
class RestObjectStore {
public:
    // The file (or, with no path, a store in memory) is opened at the first mapping, or the
    // first call of context(). A damaged file is set aside as "<name>.damaged" and started
    // afresh; a store in memory is used when no file can be had.
    RestObjectStore(Scheduler& scheduler, const QString& path);
    ~RestObjectStore();
    RestObjectStore(const RestObjectStore&) = delete;
    RestObjectStore& operator=(const RestObjectStore&) = delete;

    // Reads objects on demand (see store::Context::Loading).
    store::Context& context();
    QString path();

    // nullptr when json is not an object the mapping can take, or is malformed (an item whose
    // project path names no project is one).
    TODOItem* mapItem(const QJsonObject& json);
    TODOList* mapProject(const QJsonObject& json);
    // false when an object of the list is malformed (a number out of range), which refuses the
    // whole reply: entityName says whether items or projects are listed.
    bool isWellFormed(const QJsonArray& objects, const QString& entityName) const;
    // An item of a reply for the merge: read straight from json, or, when json has tags, files or
    // a reminder (or leaves one of them out), mapped as mapItem() does. Nothing for an empty or
    // malformed json.
    std::optional<RemoteItem> readItem(const QJsonObject& json);
    // The project attributes and relationships whose keys json leaves out.
    QStringList projectKeysLeftOut(const QJsonObject& json) const;
    // Array elements that are not objects are skipped.
    std::vector<TODOItem*> mapItems(const QJsonArray& array);

    // Writes what changed; false when the file could not be written.
    bool save();
    // Forgets every object read or mapped so far when all of them are saved and no hold() is
    // kept; they are read again when a reply names them. Pointers to them are then invalid: only
    // while no reply is being merged.
    void releaseObjects();
    // Kept by a merge that holds objects of the store across replies (pages of one listing).
    std::shared_ptr<const void> hold() const { return m_holds; }

private:
    void open();

    // An item's project path must name a project: one that does not (an identifier beyond 64
    // bits, say) would put the item into the inbox.
    bool namesProjects(const QJsonObject& item) const;

    Scheduler& m_scheduler;
    QString m_path;
    std::unique_ptr<store::Context> m_context;
    std::shared_ptr<const int> m_holds = std::make_shared<const int>(0);
    std::unique_ptr<rest::ResolvedMapping> m_itemMapping;
    std::unique_ptr<rest::ResolvedMapping> m_projectMapping;
    // An item's values before its reply is read: what a newly inserted item holds.
    std::vector<QVariant> m_itemDefaults;
    QString m_projectsKey; // the key of the item's project paths
    QStringList m_itemRelationshipKeys;
    // How many of the item mapping's keys name store attributes.
    size_t m_itemMappedAttributeCount = 0;
};

} // namespace qv
