#pragma once

#include "platform/rest/ObjectMapping.h"
#include "platform/store/ManagedObject.h"

#include <QJsonObject>
#include <QString>

#include <vector>

namespace qv {

class TODOItem;

namespace store {
class Context;
}

// Entity "ItemFile": an attachment of an item; the file itself lives on the sync server.
// Accessor style as TODOItem.
class ItemFile : public store::ManagedObject {
public:
    static QString staticEntityName() { return QStringLiteral("ItemFile"); }

    void clearValue(const QString& key) { setValue(key, QVariant()); }

    qint64 idd() const { return intValue(QStringLiteral("idd")); }
    void setIdd(qint64 v) { setValue(QStringLiteral("idd"), v); }
    QString filename() const { return stringValue(QStringLiteral("filename")); }
    void setFilename(const QString& v) { setText(QStringLiteral("filename"), v); }
    QString item_uri() const { return stringValue(QStringLiteral("item_uri")); }
    void setItem_uri(const QString& v) { setText(QStringLiteral("item_uri"), v); }
    QString owner_uri() const { return stringValue(QStringLiteral("owner_uri")); }
    void setOwner_uri(const QString& v) { setText(QStringLiteral("owner_uri"), v); }
    QString resource_uri() const { return stringValue(QStringLiteral("resource_uri")); }
    void setResource_uri(const QString& v) { setText(QStringLiteral("resource_uri"), v); }
    qint64 size() const { return intValue(QStringLiteral("size")); }
    void setSize(qint64 v) { setValue(QStringLiteral("size"), v); }
    qint64 timestamp() const { return intValue(QStringLiteral("timestamp")); }
    void setTimestamp(qint64 v) { setValue(QStringLiteral("timestamp"), v); }
    QString url() const { return stringValue(QStringLiteral("url")); }
    void setUrl(const QString& v) { setText(QStringLiteral("url"), v); }

    TODOItem* item() const;
    void setItem(TODOItem* item);

    // With item: the first of its attachments with that idd (nullptr when none). Without:
    // find-or-create in context (a new row has only idd and no item).
    static ItemFile* findWithID(qint64 idd, store::Context& context, TODOItem* item);
    // Deletes those of files that belong to no item any more: attachments deleted elsewhere,
    // which their item's record no longer lists, leave no row behind.
    static void deleteUnattached(const std::vector<ItemFile*>& files);

    // Copies the attributes; the destination's item becomes the item with the source item's
    // serverID in context (possibly none), or none when the source item is not on the server.
    void copyTo(ItemFile* destination, store::Context& context) const;
    // Applies the keys the server record holds ("id", "filename", "item", "owner",
    // "resource_uri", "size", "url"); "item" also attaches the item with that id in context.
    void updateFrom(const QJsonObject& record, store::Context& context);

    static rest::MappingPtr mapping();

private:
    void setText(const QString& key, const QString& v)
    {
        setValue(key, v.isNull() ? QVariant() : QVariant(v));
    }
};

} // namespace qv
