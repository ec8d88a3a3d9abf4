#include "sync/RestObjectStore.h"

#include "core/model/EntitySupport.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/rest/ObjectMapper.h"
#include "platform/store/Context.h"
#include "platform/store/UndoManager.h"
#include "sync/SyncLogging.h"

#include <QFile>

#include <algorithm>

namespace qv {

namespace {

// Keeps the last damaged cache for a look later, with its log and index, out of the way of the
// new one: a log left at the old name would be replayed onto the fresh file.
void setAside(const QString& path)
{
    const QString aside = path + QStringLiteral(".damaged");
    for (const char* suffix : {"", "-wal", "-shm"}) {
        QFile::remove(aside + QLatin1String(suffix));
        if (QFile::exists(path + QLatin1String(suffix)) &&
            !QFile::rename(path + QLatin1String(suffix), aside + QLatin1String(suffix)))
            QFile::remove(path + QLatin1String(suffix));
    }
}

} // namespace

RestObjectStore::RestObjectStore(Scheduler& scheduler, const QString& path)
    : m_scheduler(scheduler), m_path(path)
{
    m_itemMapping = std::make_unique<rest::ResolvedMapping>(*TODOItem::mapping(), TodoModel::shared());
    m_projectMapping = std::make_unique<rest::ResolvedMapping>(*TODOList::mapping(), TodoModel::shared());
    for (const rest::ResolvedMapping::Attribute& a : m_itemMapping->attributes()) {
        if (a.attribute == QLatin1String("projectURIs"))
            m_projectsKey = a.jsonKey;
    }
    for (const rest::ObjectMapping::Relationship& r : TODOItem::mapping()->relationships())
        m_itemRelationshipKeys << r.jsonKey;
    m_itemMappedAttributeCount =
        size_t(std::count_if(m_itemMapping->attributes().begin(), m_itemMapping->attributes().end(),
                             [](const rest::ResolvedMapping::Attribute& a) { return a.index >= 0; }));
    for (const store::AttributeDescription& attribute : m_itemMapping->entity()->attributes())
        m_itemDefaults.push_back(store::storedValue(attribute.type, attribute.defaultValue));
}

RestObjectStore::~RestObjectStore() = default;

void RestObjectStore::open()
{
    using Code = store::StoreError::Code;
    using Loading = store::Context::Loading;
    store::StoreError error;
    if (!m_path.isEmpty()) {
        const auto check = store::Context::IntegrityCheck::Run;
        m_context =
            store::Context::open(m_path, TodoModel::shared(), m_scheduler, &error, check, Loading::OnDemand);
        if (!m_context && (error.code == Code::Corrupt || error.code == Code::NotAStore ||
                           error.code == Code::NewerSchema)) {
            // Only a cache: what it held comes again from the server.
            qCWarning(lcSync, "REST object store %s set aside and started afresh: %s", qUtf8Printable(m_path),
                      qUtf8Printable(error.message));
            setAside(m_path);
            m_context = store::Context::open(m_path, TodoModel::shared(), m_scheduler, &error, check,
                                             Loading::OnDemand);
        }
    }
    if (!m_context)
        m_context = std::make_unique<store::Context>(TodoModel::shared(), m_scheduler);
    // Nobody undoes the cache; recording its changes would only grow.
    m_context->takeUndoManager();
}

store::Context& RestObjectStore::context()
{
    if (!m_context)
        open();
    return *m_context;
}

QString RestObjectStore::path()
{
    return context().path();
}

TODOItem* RestObjectStore::mapItem(const QJsonObject& json)
{
    if (json.isEmpty() || !namesProjects(json))
        return nullptr;
    return store::as<TODOItem>(rest::ObjectMapper::map(json, context(), *TODOItem::mapping()));
}

TODOList* RestObjectStore::mapProject(const QJsonObject& json)
{
    if (json.isEmpty())
        return nullptr;
    return store::as<TODOList>(rest::ObjectMapper::map(json, context(), *TODOList::mapping()));
}

bool RestObjectStore::isWellFormed(const QJsonArray& objects, const QString& entityName) const
{
    const bool items = entityName != TODOList::staticEntityName();
    const rest::ResolvedMapping& mapping = items ? *m_itemMapping : *m_projectMapping;
    return std::all_of(objects.begin(), objects.end(), [&](const QJsonValue& value) {
        return !value.isObject() || (rest::ObjectMapper::isWellFormed(value.toObject(), mapping) &&
                                     (!items || namesProjects(value.toObject())));
    });
}

bool RestObjectStore::namesProjects(const QJsonObject& item) const
{
    const QStringList uris = TODOItem::projectURIsFrom(item.value(m_projectsKey));
    return std::all_of(uris.begin(), uris.end(), [](const QString& uri) {
        return uri.isEmpty() || entity::idFromURI(uri).has_value();
    });
}

std::optional<RemoteItem> RestObjectStore::readItem(const QJsonObject& json)
{
    if (json.isEmpty() || !namesProjects(json))
        return std::nullopt;
    // Relationships are copied from objects: only a reply with none is read straight.
    const auto none = [&json](const QString& key) {
        const auto it = json.constFind(key);
        return it != json.constEnd() && (it->isNull() || (it->isArray() && it->toArray().isEmpty()));
    };
    store::AttributeValues read;
    if (!rest::ObjectMapper::readAttributes(json, *m_itemMapping, read))
        return std::nullopt;
    // A key the reply leaves out says nothing about its value: the local one stays.
    std::vector<int> absent;
    if (read.size() != m_itemMappedAttributeCount) {
        for (const rest::ResolvedMapping::Attribute& a : m_itemMapping->attributes()) {
            if (a.index >= 0 && !json.contains(a.jsonKey))
                absent.push_back(a.index);
        }
    }
    if (!std::all_of(m_itemRelationshipKeys.begin(), m_itemRelationshipKeys.end(), none)) {
        TODOItem* item = mapItem(json);
        return item ? std::optional<RemoteItem>(RemoteItem::of(item, std::move(absent))) : std::nullopt;
    }
    std::vector<QVariant> values = m_itemDefaults;
    const auto& attributes = m_itemMapping->entity()->attributes();
    for (const auto& [index, value] : read)
        values[size_t(index)] = store::storedValue(attributes[size_t(index)].type, value);
    return RemoteItem::fromValues(std::move(values), std::move(absent),
                                  TODOItem::projectURIsFrom(json.value(m_projectsKey)), json, this);
}

QStringList RestObjectStore::projectKeysLeftOut(const QJsonObject& json) const
{
    QStringList names;
    for (const rest::ResolvedMapping::Attribute& a : m_projectMapping->attributes()) {
        if (!json.contains(a.jsonKey))
            names << a.attribute;
    }
    for (const rest::ObjectMapping::Relationship& r : TODOList::mapping()->relationships()) {
        if (!json.contains(r.jsonKey))
            names << r.relationship;
    }
    return names;
}

std::vector<TODOItem*> RestObjectStore::mapItems(const QJsonArray& array)
{
    std::vector<TODOItem*> items;
    items.reserve(size_t(array.size()));
    for (const QJsonValue& value : array) {
        if (TODOItem* item = value.isObject() ? mapItem(value.toObject()) : nullptr)
            items.push_back(item);
    }
    return items;
}

bool RestObjectStore::save()
{
    if (!m_context || m_context->path().isEmpty() || !m_context->hasChanges())
        return true;
    store::StoreError error;
    if (m_context->save(&error))
        return true;
    qCWarning(lcSync, "REST object store not saved: %s", qUtf8Printable(error.message));
    return false;
}

void RestObjectStore::releaseObjects()
{
    if (m_context && m_holds.use_count() == 1)
        m_context->releaseObjects();
}

} // namespace qv
