#include "core/model/TODOList.h"

#include "core/model/DocumentContext.h"
#include "core/model/EntitySupport.h"
#include "core/model/ListTag.h"
#include "core/model/ModelLogging.h"
#include "core/model/TODOItem.h"
#include "core/model/TagManager.h"
#include "platform/store/Context.h"

#include <QCollator>

#include <algorithm>

namespace qv {

void TODOList::setText(const QString& key, const QString& v)
{
    setValue(key, v.isNull() ? QVariant() : QVariant(v));
}

std::vector<TODOItem*> TODOList::items() const
{
    std::vector<TODOItem*> out;
    for (store::ManagedObject* o : toMany(QStringLiteral("contains"))) {
        if (auto* item = store::as<TODOItem>(o))
            out.push_back(item);
    }
    return out;
}

void TODOList::addItem(TODOItem* item)
{
    addToMany(QStringLiteral("contains"), item);
}

void TODOList::removeItem(TODOItem* item)
{
    removeFromMany(QStringLiteral("contains"), item);
}

std::vector<ListTag*> TODOList::tags() const
{
    std::vector<ListTag*> out;
    for (store::ManagedObject* o : toMany(QStringLiteral("tags"))) {
        if (auto* tag = store::as<ListTag>(o))
            out.push_back(tag);
    }
    return out;
}

void TODOList::addTagsObject(ListTag* tag)
{
    addToMany(QStringLiteral("tags"), tag);
}

void TODOList::removeTagsObject(ListTag* tag)
{
    removeFromMany(QStringLiteral("tags"), tag);
}

void TODOList::resetIDs()
{
    setId_(0);
    clearValue(QStringLiteral("versionID"));
    clearValue(QStringLiteral("boxFolderID"));
    // A clone keeping the old resource path would be sent to, and overwrite, the original.
    clearValue(QStringLiteral("resourceURI"));
}

QString TODOList::nameForQuadrant(int quadrant) const
{
    switch (quadrant) {
    case 0:
        return textFirstQuadrant();
    case 1:
        return textSecondQuadrant();
    case 2:
        return textThirdQuadrant();
    case 3:
        return textFourthQuadrant();
    default:
        return QString();
    }
}

QString TODOList::getURI() const
{
    const QString uri = resourceURI();
    if (!uri.isEmpty())
        return uri;
    if (isValidUniID())
        return QStringLiteral("/api/v1/project/%1/").arg(id_());
    return {};
}

QStringList TODOList::getTagNames() const
{
    QStringList names;
    for (const ListTag* tag : tags())
        names << tag->name();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    return names;
}

bool TODOList::isArchived() const
{
    const QString archived = QStringLiteral("archived");
    store::Context* context = DocumentContext::current() ? DocumentContext::current() : this->context();
    if (!context || !TagManager::existsListTagForName(archived, *context))
        return false;
    return TagManager::listHasTagName(this, archived);
}

TODOList* TODOList::findWithID(qint64 id, store::Context& context)
{
    std::vector<TODOList*> matches;
    for (store::ManagedObject* object : context.lookup(staticEntityName(), QStringLiteral("id_"), id)) {
        TODOList* list = store::as<TODOList>(object);
        if (list && list->objectState() != ObjectState::Removed)
            matches.push_back(list);
    }
    if (matches.empty())
        return nullptr;
    if (matches.size() > 1)
        qCWarning(lcModel, "%lld is replicated. There are %lld copies", id, qint64(matches.size()));
    return matches.front();
}

void TODOList::copyTo(TODOList* d, CopyFlags flags) const
{
    if (!d || d == this)
        return;
    auto copy = [&](const char* key) {
        const QString k = QString::fromLatin1(key);
        d->setValue(k, value(k));
    };
    if (flags.testFlag(CopyIdentifiers)) {
        for (const char* key : {"id_", "versionID", "resourceURI"})
            copy(key);
    }
    for (const char* key :
         {"name", "state", "textFirstQuadrant", "textSecondQuadrant", "textThirdQuadrant",
          "textFourthQuadrant", "colorFirstQuadrant", "colorSecondQuadrant", "colorThirdQuadrant",
          "colorFourthQuadrant", "timestamp", "edited_by", "requestedTime", "editedByDevice",
          "editedByUsername", "qv_notes", "templateCreationDate"})
        copy(key);
    if (flags.testFlag(CopyTags) && d->context()) {
        for (ListTag* tag : d->tags())
            d->removeTagsObject(tag);
        for (const ListTag* tag : tags())
            d->addTagsObject(TagManager::getListTagForName(tag->name(), *d->context()));
    }
}

const QSet<QString>& TODOList::nonTrackedProperties()
{
    static const QSet<QString> keys = {
        QStringLiteral("centerX"),          QStringLiteral("centerY"),
        QStringLiteral("edited_since"),     QStringLiteral("resourceURI"),
        QStringLiteral("edited_by"),        QStringLiteral("editedByDevice"),
        QStringLiteral("timestamp"),        QStringLiteral("requestedTime"),
        QStringLiteral("contains"),         QStringLiteral("lastItemIndex"),
        QStringLiteral("ownersCountCache"), QStringLiteral("highlight"),
        QStringLiteral("password"),         QStringLiteral("editedByUsername"),
        QStringLiteral("versionID"),        QStringLiteral("templateCreationDate"),
        QStringLiteral("unansweredPost"),
    };
    return keys;
}

bool TODOList::needToUploadGiven(const TODOList* other) const
{
    return entity::needToUpload(*this, other, nonTrackedProperties());
}

rest::MappingPtr TODOList::mapping()
{
    static const rest::MappingPtr mapping = [] {
        auto m = std::make_shared<rest::ObjectMapping>(staticEntityName());
        m->setPrimaryKeyAttribute(QStringLiteral("id_"));
        m->mapKeyPathsToAttributes({
            {QStringLiteral("idd"), QStringLiteral("id_")},
            {QStringLiteral("resource_uri"), QStringLiteral("resourceURI")},
            {QStringLiteral("requested_time"), QStringLiteral("requestedTime")},
            {QStringLiteral("owners_count"), QStringLiteral("ownersCountCache")},
            {QStringLiteral("edited_by_username"), QStringLiteral("editedByUsername")},
            {QStringLiteral("version_id"), QStringLiteral("versionID")},
            {QStringLiteral("notes"), QStringLiteral("qv_notes")},
        });
        m->mapAttributes({
            QStringLiteral("name"),
            QStringLiteral("state"),
            QStringLiteral("index"),
            QStringLiteral("textFirstQuadrant"),
            QStringLiteral("textSecondQuadrant"),
            QStringLiteral("textThirdQuadrant"),
            QStringLiteral("textFourthQuadrant"),
            QStringLiteral("colorFirstQuadrant"),
            QStringLiteral("colorSecondQuadrant"),
            QStringLiteral("colorThirdQuadrant"),
            QStringLiteral("colorFourthQuadrant"),
            QStringLiteral("timestamp"),
            QStringLiteral("edited_by"),
            QStringLiteral("editedByDevice"),
            QStringLiteral("boxFolderID"),
            QStringLiteral("templateCreationDate"),
        });
        m->mapRelationship(QStringLiteral("tags"), QStringLiteral("tags"), ListTag::mapping());
        return rest::MappingPtr(std::move(m));
    }();
    return mapping;
}

rest::MappingPtr TODOList::inverseMapping()
{
    static const rest::MappingPtr mapping = [] {
        auto m = std::make_shared<rest::ObjectMapping>(*TODOList::mapping());
        for (const char* key : {"owners_count", "timestamp", "edited_by_username"})
            m->removeMappingForKeyPath(QString::fromLatin1(key));
        return rest::MappingPtr(std::move(m));
    }();
    return mapping;
}

} // namespace qv
