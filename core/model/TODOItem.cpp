#include "core/model/TODOItem.h"

#include "core/model/DocumentContext.h"
#include "core/model/EntitySupport.h"
#include "core/model/ItemFile.h"
#include "core/model/ItemReminder.h"
#include "core/model/ItemTag.h"
#include "core/model/ModelLogging.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "platform/Log.h"
#include "platform/store/Context.h"

#include <QCollator>
#include <QJsonArray>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <utility>

namespace qv {

namespace {

const QString kStarred = QStringLiteral("starred");

template <class T> std::vector<T*> typed(const std::vector<store::ManagedObject*>& objects)
{
    std::vector<T*> out;
    out.reserve(objects.size());
    for (store::ManagedObject* o : objects) {
        if (T* t = store::as<T>(o))
            out.push_back(t);
    }
    return out;
}

QDateTime minuteOf(const QDateTime& date)
{
    const QDateTime local = date.toLocalTime();
    const QTime t = local.time();
    return QDateTime(local.date(), QTime(t.hour(), t.minute()), local.timeZone());
}

// Absent or pre-1970 dates count as none; a dated side sorts first. Compared to the minute,
// and to the day for an all-day side.
int compareDates(const QDateTime& first, bool firstAllDay, const QDateTime& second, bool secondAllDay)
{
    const bool hasFirst = entity::isRealDate(first);
    const bool hasSecond = entity::isRealDate(second);
    if (!hasFirst && !hasSecond)
        return 0;
    if (!hasFirst)
        return 1;
    if (!hasSecond)
        return -1;
    const QDateTime a = TODOItem::sortingDate(first, firstAllDay);
    const QDateTime b = TODOItem::sortingDate(second, secondAllDay);
    if (a < b)
        return -1;
    if (b < a)
        return 1;
    return 0;
}

int compareStartDates(const TODOItem& first, const TODOItem& second)
{
    const int byDate = compareDates(first.startDate(), first.allDay(), second.startDate(), second.allDay());
    if (byDate != 0)
        return byDate;
    const qint64 a = first.completionPercentage();
    const qint64 b = second.completionPercentage();
    return a < b ? -1 : (a > b ? 1 : 0);
}

} // namespace

void TODOItem::setText(const QString& key, const QString& v)
{
    setValue(key, v.isNull() ? QVariant() : QVariant(v));
}

void TODOItem::setDate(const QString& key, const QDateTime& v)
{
    setValue(key, v.isValid() ? QVariant(v.toUTC()) : QVariant());
}

void TODOItem::setDueDate(const QDateTime& v)
{
    setDate(QStringLiteral("dueDate"), v);
    const QDateTime start = startDate();
    if (start.isValid() && v.isValid() && start > v)
        setStartDate(v.addSecs(-kDateKeepingGapSecs));
}

void TODOItem::setStartDate(const QDateTime& v)
{
    setDate(QStringLiteral("startDate"), v);
    const QDateTime due = dueDate();
    if (due.isValid() && v.isValid() && due < v)
        setDueDate(v.addSecs(kDateKeepingGapSecs));
}

// --- Relationships ---

TODOList* TODOItem::list() const
{
    return store::as<TODOList>(toOne(QStringLiteral("list")));
}

void TODOItem::setList(TODOList* list)
{
    setToOne(QStringLiteral("list"), list);
}

std::vector<ItemTag*> TODOItem::tags() const
{
    return typed<ItemTag>(toMany(QStringLiteral("tags")));
}

std::vector<ItemFile*> TODOItem::files() const
{
    return typed<ItemFile>(toMany(QStringLiteral("files")));
}

void TODOItem::addFilesObject(ItemFile* file)
{
    addToMany(QStringLiteral("files"), file);
}

void TODOItem::removeFilesObject(ItemFile* file)
{
    removeFromMany(QStringLiteral("files"), file);
}

ItemReminder* TODOItem::reminder() const
{
    return store::as<ItemReminder>(toOne(QStringLiteral("reminder")));
}

void TODOItem::setReminder(ItemReminder* reminder)
{
    setToOne(QStringLiteral("reminder"), reminder);
}

void TODOItem::addTagsObject(ItemTag* tag)
{
    addTags({tag});
}

void TODOItem::removeTagsObject(ItemTag* tag)
{
    removeTags({tag});
}

void TODOItem::addTags(const std::vector<ItemTag*>& tags)
{
    bool starredAdded = false;
    for (ItemTag* tag : tags) {
        if (!tag)
            continue;
        addToMany(QStringLiteral("tags"), tag);
        starredAdded = starredAdded || tag->name() == kStarred;
    }
    if (starredAdded && !m_starred.value_or(false))
        m_starred = true;
}

void TODOItem::removeTags(const std::vector<ItemTag*>& tags)
{
    if (toMany(QStringLiteral("tags")).empty())
        return;
    bool starredRemoved = false;
    for (ItemTag* tag : tags) {
        if (!tag)
            continue;
        removeFromMany(QStringLiteral("tags"), tag);
        starredRemoved = starredRemoved || tag->name() == kStarred;
    }
    if (starredRemoved && m_starred.value_or(false))
        m_starred = false;
}

// --- Starred ---

bool TODOItem::hasTagNamed(const QString& name) const
{
    return TagManager::itemHasTagName(this, name);
}

bool TODOItem::getStarred()
{
    if (!m_starred)
        m_starred = hasTagNamed(kStarred);
    return *m_starred;
}

void TODOItem::setStarred(bool v)
{
    // Compared with the computed flag, so unstarring works before anything read it.
    if (getStarred() == v)
        return;
    m_starred = v;
    TagManager* tags = TagManager::sharedInstance();
    if (!tags || !context() || context() != DocumentContext::current())
        return;
    if (v)
        tags->addTagName(kStarred, this);
    else
        tags->removeTagName(kStarred, this);
}

void TODOItem::awakeFromFetch()
{
    m_projectURIs.clear();
    m_starred.reset();
}

// --- Identity ---

std::optional<qint64> TODOItem::getProjectID() const
{
    if (const TODOList* project = list()) {
        if (project->isNull(QStringLiteral("id_")))
            return std::nullopt;
        return project->id_();
    }
    if (!m_projectURIs.isEmpty())
        return entity::idFromURI(m_projectURIs.first());
    return std::nullopt;
}

QStringList TODOItem::getProjectURIs()
{
    if (m_projectURIs.isEmpty()) {
        if (const std::optional<qint64> id = getProjectID())
            m_projectURIs = {QStringLiteral("/api/v1/project/%1/").arg(*id)};
    }
    return m_projectURIs;
}

QString TODOItem::getURI() const
{
    const QString uri = resourceURI();
    if (!uri.isEmpty())
        return uri;
    if (isValidUniID())
        return QStringLiteral("/api/v1/item/%1/").arg(serverID());
    return {};
}

QStringList TODOItem::getTagNames() const
{
    QStringList names;
    for (const ItemTag* tag : tags())
        names << tag->name();
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    return names;
}

void TODOItem::resetIDs(const ItemIdentifiers::RandomSource& random)
{
    setId_(ItemIdentifiers::newUniqueIdForItemInList(list(), random));
    clearValue(QStringLiteral("serverID"));
    clearValue(QStringLiteral("versionID"));
    clearValue(QStringLiteral("boxFolderID"));
    clearValue(QStringLiteral("copiedFromID"));
    // A copy keeping the old resource path would be sent to, and overwrite, the original.
    clearValue(QStringLiteral("resourceURI"));
}

TODOItem* TODOItem::findWithID(qint64 serverID, store::Context& context)
{
    std::vector<TODOItem*> matches;
    for (store::ManagedObject* object :
         context.lookup(staticEntityName(), QStringLiteral("serverID"), serverID)) {
        TODOItem* item = store::as<TODOItem>(object);
        if (item && item->objectState() != ObjectState::Removed)
            matches.push_back(item);
    }
    if (matches.empty())
        return nullptr;
    if (matches.size() > 1) {
        qCWarning(lcModel, "%lld duplicated items with id: %lld", qint64(matches.size()), serverID);
        for (const TODOItem* item : matches) {
            qCWarning(lcModel, "%s\t%s: %s",
                      qUtf8Printable(entity::describe(item->value(QStringLiteral("serverID")))),
                      qUtf8Printable(entity::describe(item->value(QStringLiteral("id_")))),
                      qUtf8Printable(redacted(item->name())));
        }
    }
    return matches.front();
}

// --- Recurrence ---

TODOItem::Recurrence TODOItem::recurrence() const
{
    static const std::array<std::pair<QLatin1String, Recurrence>, 9> kTexts = {{
        {QLatin1String("Never"), Recurrence::Never},
        {QLatin1String("Daily"), Recurrence::Daily},
        {QLatin1String("Weekly"), Recurrence::Weekly},
        {QLatin1String("Biweekly"), Recurrence::Biweekly},
        {QLatin1String("4-weekly"), Recurrence::FourWeekly},
        {QLatin1String("Monthly"), Recurrence::Monthly},
        {QLatin1String("Quarterly"), Recurrence::Quarterly},
        {QLatin1String("Semesterly"), Recurrence::Semesterly},
        {QLatin1String("Yearly"), Recurrence::Yearly},
    }};
    const QString text = frequency();
    if (text.isEmpty())
        return Recurrence::Never;
    for (const auto& [known, recurrence] : kTexts) {
        if (text == known)
            return recurrence;
    }
    return Recurrence::Unknown;
}

// --- Copies ---

void TODOItem::copyTo(TODOItem* d, CopyFlags flags) const
{
    if (!d || d == this)
        return;
    auto copy = [&](const QString& key) {
        d->setValue(key, value(key));
    };

    if (flags.testFlag(CopyIdentifiers)) {
        for (const QString& key : copiedIdentifierKeys())
            copy(key);
    }
    for (const QString& key : copiedValueKeys())
        copy(key);
    for (const QString& key : copiedDateKeys()) {
        const QDateTime date = dateValue(key);
        d->setValue(key, entity::isRealDate(date) ? QVariant(date) : QVariant());
    }

    if (flags.testFlag(CopyTags) && d->context()) {
        d->removeTags(d->tags());
        for (const ItemTag* tag : tags())
            d->addTagsObject(TagManager::getItemTagForName(tag->name(), *d->context()));
    }

    store::Context* documentContext = DocumentContext::current() ? DocumentContext::current() : d->context();

    if (flags.testFlag(CopyFiles) && documentContext) {
        const std::vector<ItemFile*> before = d->files();
        for (ItemFile* file : before)
            d->removeFilesObject(file);
        for (const ItemFile* file : files()) {
            if (ItemFile* target = ItemFile::findWithID(file->idd(), *documentContext, nullptr))
                file->copyTo(target, *documentContext);
        }
        ItemFile::deleteUnattached(before);
    }

    // A reminder the user changed and the server has not taken yet is never replaced.
    const ItemReminder* own = d->reminder();
    if (ItemReminder* source = reminder(); source && d->context() && !(own && own->edited_since() == 1)) {
        ItemReminder* found = ItemReminder::findWithID(source->identifier(), *d->context(), d);
        if (found && found->edited_since() == 0 && found->timestamp() <= source->timestamp()) {
            if (found != source) {
                source->copyTo(found);
                d->setReminder(found);
            } else if (flags.testFlag(MoveOwnReminder)) {
                d->setReminder(source);
            } else {
                // Taking the source's own reminder would strip it from the original item.
                ItemReminder* target = d->reminder();
                const bool fresh = !target || target == source;
                if (fresh)
                    target = d->context()->insert<ItemReminder>(ItemReminder::staticEntityName());
                const QVariant identifier =
                    fresh ? QVariant(qint64(0)) : target->value(QStringLiteral("identifier"));
                const QVariant timestamp =
                    fresh ? QVariant(qint64(0)) : target->value(QStringLiteral("timestamp"));
                source->copyTo(target);
                target->setValue(QStringLiteral("identifier"), identifier);
                target->setValue(QStringLiteral("timestamp"), timestamp);
                d->setReminder(target);
            }
        }
    }

    if (flags.testFlag(CopyProject)) {
        const std::optional<qint64> projectID = getProjectID();
        if (projectID && d->getProjectID() != projectID) {
            d->setList(nullptr);
            if (documentContext) {
                TODOList* project = TODOList::findWithID(*projectID, *documentContext);
                if (project && project->context() == d->context())
                    d->setList(project);
            }
        }
    }
}

const QStringList& TODOItem::copiedIdentifierKeys()
{
    static const QStringList keys = {QStringLiteral("serverID"), QStringLiteral("id_"),
                                     QStringLiteral("versionID"), QStringLiteral("resourceURI")};
    return keys;
}

const QStringList& TODOItem::copiedValueKeys()
{
    static const QStringList keys = {
        QStringLiteral("name"),
        QStringLiteral("descriptionRichText"),
        QStringLiteral("descriptionText"),
        QStringLiteral("quadrant"),
        QStringLiteral("index"),
        QStringLiteral("icon"),
        QStringLiteral("state"),
        QStringLiteral("timestamp"),
        QStringLiteral("edited_by"),
        QStringLiteral("completionPercentage"),
        QStringLiteral("frequency"),
        QStringLiteral("owner"),
        QStringLiteral("requestedTime"),
        QStringLiteral("allDay"),
        QStringLiteral("editedByDevice"),
        QStringLiteral("ownerUsername"),
        QStringLiteral("creatorUsername"),
        QStringLiteral("editedByUsername"),
        QStringLiteral("macResourceURL"),
        QStringLiteral("effort"),
        QStringLiteral("childID"),
        QStringLiteral("parentID"),
        QStringLiteral("copiedFromID"),
        QStringLiteral("lastModifiedTimestamp"),
        QStringLiteral("completedByUsername"),
    };
    return keys;
}

const QStringList& TODOItem::copiedDateKeys()
{
    static const QStringList keys = {QStringLiteral("creationDate"), QStringLiteral("startDate"),
                                     QStringLiteral("dueDate"), QStringLiteral("untilDate"),
                                     QStringLiteral("completionDate")};
    return keys;
}

// --- Change test ---

const QSet<QString>& TODOItem::nonTrackedProperties()
{
    static const QSet<QString> keys = {
        QStringLiteral("creatorUsername"),
        QStringLiteral("owner"),
        QStringLiteral("edited_since"),
        QStringLiteral("requestedTime"),
        QStringLiteral("serverID"),
        QStringLiteral("resourceURI"),
        QStringLiteral("edited_by"),
        QStringLiteral("editedByDevice"),
        QStringLiteral("timestamp"),
        QStringLiteral("highlight"),
        QStringLiteral("versionID"),
        QStringLiteral("starred"),
        QStringLiteral("lastModifiedTimestamp"),
        QStringLiteral("unansweredPost"),
    };
    return keys;
}

bool TODOItem::needToUploadGiven(const TODOItem* other) const
{
    return entity::needToUpload(*this, other, nonTrackedProperties());
}

// --- JSON ---

rest::MappingPtr TODOItem::mapping()
{
    static const rest::MappingPtr mapping = [] {
        auto m = std::make_shared<rest::ObjectMapping>(staticEntityName());
        m->setPrimaryKeyAttribute(QStringLiteral("serverID"));
        m->mapKeyPathsToAttributes({
            {QStringLiteral("id"), QStringLiteral("serverID")},
            {QStringLiteral("idd"), QStringLiteral("id_")},
            {QStringLiteral("resource_uri"), QStringLiteral("resourceURI")},
            {QStringLiteral("requested_time"), QStringLiteral("requestedTime")},
            {QStringLiteral("owner_username"), QStringLiteral("ownerUsername")},
            {QStringLiteral("edited_by_username"), QStringLiteral("editedByUsername")},
            {QStringLiteral("creator_username"), QStringLiteral("creatorUsername")},
            {QStringLiteral("projects"), QStringLiteral("projectURIs")},
            {QStringLiteral("version_id"), QStringLiteral("versionID")},
            {QStringLiteral("boxFolderID"), QStringLiteral("boxFolderID")},
            {QStringLiteral("completed_by_username"), QStringLiteral("completedByUsername")},
        });
        m->mapAttributes({
            QStringLiteral("name"),
            QStringLiteral("descriptionText"),
            QStringLiteral("descriptionRichText"),
            QStringLiteral("quadrant"),
            QStringLiteral("index"),
            QStringLiteral("icon"),
            QStringLiteral("dueDate"),
            QStringLiteral("state"),
            QStringLiteral("edited_since"),
            QStringLiteral("timestamp"),
            QStringLiteral("completionPercentage"),
            QStringLiteral("completionDate"),
            QStringLiteral("creationDate"),
            QStringLiteral("startDate"),
            QStringLiteral("effort"),
            QStringLiteral("frequency"),
            QStringLiteral("untilDate"),
            QStringLiteral("childID"),
            QStringLiteral("parentID"),
            QStringLiteral("edited_by"),
            QStringLiteral("allDay"),
            QStringLiteral("editedByDevice"),
            QStringLiteral("owner"),
            QStringLiteral("macResourceURL"),
            QStringLiteral("copiedFromID"),
            QStringLiteral("lastModifiedTimestamp"),
        });
        m->mapRelationship(QStringLiteral("tags"), QStringLiteral("tags"), ItemTag::mapping());
        m->mapRelationship(QStringLiteral("files"), QStringLiteral("files"), ItemFile::mapping());
        m->mapRelationship(QStringLiteral("reminder"), QStringLiteral("reminder"), ItemReminder::mapping());
        return rest::MappingPtr(std::move(m));
    }();
    return mapping;
}

rest::MappingPtr TODOItem::inverseMapping()
{
    static const rest::MappingPtr mapping = [] {
        auto m = std::make_shared<rest::ObjectMapping>(*TODOItem::mapping());
        m->mapRelationship(QStringLiteral("projects"), QStringLiteral("list"), TODOList::mapping(), true);
        for (const char* key :
             {"timestamp", "lastModifiedTimestamp", "creator_username", "edited_by_username"})
            m->removeMappingForKeyPath(QString::fromLatin1(key));
        return rest::MappingPtr(std::move(m));
    }();
    return mapping;
}

bool TODOItem::setMappedValue(const QString& attribute, const QJsonValue& value)
{
    if (attribute != QLatin1String("projectURIs"))
        return false;
    m_projectURIs = projectURIsFrom(value);
    return true;
}

QStringList TODOItem::projectURIsFrom(const QJsonValue& value)
{
    QStringList uris;
    if (value.isArray()) {
        const QJsonArray array = value.toArray(); // const: iterating a shared array copies it otherwise
        for (const QJsonValue& uri : array)
            uris << uri.toString();
    } else if (value.isString()) {
        uris << value.toString();
    }
    return uris;
}

std::optional<QJsonValue> TODOItem::mappedValue(const QString& attribute) const
{
    if (attribute != QLatin1String("projectURIs"))
        return std::nullopt;
    return QJsonValue(QJsonArray::fromStringList(m_projectURIs));
}

// --- Ordering ---

int TODOItem::compareByDates(const TODOItem& other) const
{
    const int byDue = compareDates(dueDate(), allDay(), other.dueDate(), other.allDay());
    if (byDue != 0)
        return byDue;
    return compareStartDates(*this, other);
}

QDateTime TODOItem::sortingDate(const QDateTime& date, bool allDay)
{
    const QDateTime minute = minuteOf(date);
    return allDay ? QDateTime(minute.date(), QTime(0, 0), minute.timeZone()) : minute;
}

int TODOItem::compareByStar(TODOItem& other)
{
    const bool mine = getStarred();
    const bool theirs = other.getStarred();
    if (mine != theirs)
        return mine ? -1 : 1;
    const qint64 a = index();
    const qint64 b = other.index();
    return a > b ? -1 : (a < b ? 1 : 0);
}

} // namespace qv
