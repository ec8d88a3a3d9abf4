#include "core/model/ItemFile.h"

#include "core/model/EntitySupport.h"
#include "core/model/ModelLogging.h"
#include "core/model/TODOItem.h"
#include "platform/rest/ObjectMapper.h"
#include "platform/store/Context.h"

namespace qv {

namespace {

// item is attached only when it lives where the attachment does.
TODOItem* sameContext(TODOItem* item, const ItemFile* file)
{
    return item && item->context() == file->context() ? item : nullptr;
}

} // namespace

TODOItem* ItemFile::item() const
{
    return store::as<TODOItem>(toOne(QStringLiteral("item")));
}

void ItemFile::setItem(TODOItem* item)
{
    setToOne(QStringLiteral("item"), item);
}

ItemFile* ItemFile::findWithID(qint64 idd, store::Context& context, TODOItem* item)
{
    if (item) {
        for (ItemFile* file : item->files()) {
            if (!file->isNull(QStringLiteral("idd")) && file->idd() == idd)
                return file;
        }
        return nullptr;
    }
    const std::vector<store::ManagedObject*> matches =
        context.lookup(staticEntityName(), QStringLiteral("idd"), idd);
    if (matches.size() > 1)
        qCWarning(lcModel, "%lld duplicated files with id: %lld", qint64(matches.size()), idd);
    if (matches.empty()) {
        auto* file = context.insert<ItemFile>(staticEntityName());
        file->setIdd(idd);
        return file;
    }
    return store::as<ItemFile>(matches.front());
}

void ItemFile::deleteUnattached(const std::vector<ItemFile*>& files)
{
    for (ItemFile* file : files) {
        if (file && !file->isDeleted() && !file->item() && file->context())
            file->context()->deleteObject(file);
    }
}

void ItemFile::copyTo(ItemFile* destination, store::Context& context) const
{
    if (!destination || destination == this)
        return;
    for (const char* key :
         {"filename", "idd", "item_uri", "owner_uri", "resource_uri", "size", "timestamp", "url"}) {
        const QString k = QString::fromLatin1(key);
        destination->setValue(k, value(k));
    }
    const TODOItem* source = item();
    if (source && source->isValidUniID())
        destination->setItem(sameContext(TODOItem::findWithID(source->serverID(), context), destination));
    else
        destination->setItem(nullptr);
}

void ItemFile::updateFrom(const QJsonObject& record, store::Context& context)
{
    auto apply = [&](const char* jsonKey, const char* attribute) {
        const QString key = QString::fromLatin1(jsonKey);
        if (!record.contains(key))
            return;
        const QString attr = QString::fromLatin1(attribute);
        setValue(attr, rest::ObjectMapper::toAttributeValue(this, attr, record.value(key)));
    };
    apply("id", "idd");
    apply("filename", "filename");
    if (record.contains(QStringLiteral("item"))) {
        apply("item", "item_uri");
        const std::optional<qint64> id = entity::idFromURI(item_uri());
        setItem(id ? sameContext(TODOItem::findWithID(*id, context), this) : nullptr);
    }
    apply("owner", "owner_uri");
    apply("resource_uri", "resource_uri");
    apply("size", "size");
    apply("url", "url");
}

rest::MappingPtr ItemFile::mapping()
{
    static const rest::MappingPtr mapping = [] {
        auto m = std::make_shared<rest::ObjectMapping>(staticEntityName());
        m->setPrimaryKeyAttribute(QStringLiteral("idd"));
        m->mapKeyPathsToAttributes({
            {QStringLiteral("id"), QStringLiteral("idd")},
            {QStringLiteral("item"), QStringLiteral("item_uri")},
            {QStringLiteral("owner"), QStringLiteral("owner_uri")},
        });
        m->mapAttributes({QStringLiteral("filename"), QStringLiteral("resource_uri"), QStringLiteral("size"),
                          QStringLiteral("timestamp"), QStringLiteral("url")});
        return rest::MappingPtr(std::move(m));
    }();
    return mapping;
}

} // namespace qv
