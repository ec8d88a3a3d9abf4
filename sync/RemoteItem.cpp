#include "sync/RemoteItem.h"

#include "core/model/EntitySupport.h"
#include "core/model/ItemFile.h"
#include "core/model/TODOItem.h"
#include "core/model/TodoModel.h"
#include "platform/store/Context.h"
#include "sync/RestObjectStore.h"

#include <algorithm>
#include <utility>

namespace qv {

namespace {

const store::EntityDescription& itemEntity()
{
    static const store::EntityDescription& entity = *TodoModel::shared().entity(TODOItem::staticEntityName());
    return entity;
}

std::vector<int> indexesOf(const QStringList& keys)
{
    std::vector<int> indexes;
    for (const QString& key : keys)
        indexes.push_back(itemEntity().attributeIndex(key));
    return indexes;
}

// What copyTo copies, as attribute indexes: values as they are, then dates.
const std::vector<int>& copiedValues()
{
    static const std::vector<int> indexes = [] {
        std::vector<int> all = indexesOf(TODOItem::copiedIdentifierKeys());
        const std::vector<int> rest = indexesOf(TODOItem::copiedValueKeys());
        all.insert(all.end(), rest.begin(), rest.end());
        return all;
    }();
    return indexes;
}

const std::vector<int>& copiedDates()
{
    static const std::vector<int> indexes = indexesOf(TODOItem::copiedDateKeys());
    return indexes;
}

} // namespace

RemoteItem RemoteItem::of(TODOItem* item, std::vector<int> absent)
{
    RemoteItem remote;
    remote.m_mapped = item;
    remote.m_absent = std::move(absent);
    return remote;
}

RemoteItem RemoteItem::fromValues(std::vector<QVariant> values, std::vector<int> absent,
                                  QStringList projectURIs, QJsonObject json, RestObjectStore* store)
{
    RemoteItem remote;
    remote.m_read = true;
    remote.m_values = std::move(values);
    remote.m_absent = std::move(absent);
    if (!projectURIs.isEmpty())
        remote.m_projectID = entity::idFromURI(projectURIs.first());
    remote.m_json = std::move(json);
    remote.m_store = store;
    return remote;
}

TODOItem* RemoteItem::mappedItem() const
{
    if (!m_mapped && m_store)
        m_mapped = m_store->mapItem(m_json);
    return m_mapped;
}

QVariant RemoteItem::value(const QString& key) const
{
    if (!m_read)
        return m_mapped->value(key);
    const int index = itemEntity().attributeIndex(key);
    Q_ASSERT_X(index >= 0, "RemoteItem::value", qPrintable(key));
    return index >= 0 && size_t(index) < m_values.size() ? m_values[size_t(index)] : QVariant();
}

std::optional<qint64> RemoteItem::getProjectID() const
{
    if (!m_read)
        return m_mapped->getProjectID();
    return m_projectID;
}

bool RemoteItem::differsFromEditsOf(const TODOItem& local) const
{
    if (!m_read)
        return local.needToUploadGiven(m_mapped);
    // The change test against a copy with no tags, files, reminder or project.
    QSet<QString> keys = local.changedKeysInCurrentEvent();
    keys.subtract(TODOItem::nonTrackedProperties());
    const store::EntityDescription& entity = local.entity();
    for (const QString& key : std::as_const(keys)) {
        const int index = entity.attributeIndex(key);
        if (index >= 0) {
            const QVariant mine = local.value(index);
            const QVariant& theirs = m_values[size_t(index)];
            if (!(mine.isNull() && theirs.isNull()) && mine != theirs)
                return true;
            continue;
        }
        const int relationship = entity.relationshipIndex(key);
        if (relationship < 0)
            continue;
        const bool set = entity.relationships()[size_t(relationship)].toMany ? !local.toMany(key).empty()
                                                                             : local.toOne(key) != nullptr;
        if (set)
            return true;
    }
    return false;
}

void RemoteItem::copyTo(TODOItem* destination, const store::AttributeValues& extra) const
{
    const auto absent = [this](int index) {
        return std::find(m_absent.begin(), m_absent.end(), index) != m_absent.end();
    };
    if (!m_read) {
        store::AttributeValues kept;
        for (int index : m_absent)
            kept.emplace_back(index, destination->value(index));
        kept.insert(kept.end(), extra.begin(), extra.end());
        m_mapped->copyTo(destination, TODOItem::CopyIdentifiers | TODOItem::CopyTags | TODOItem::CopyFiles);
        destination->setValues(kept);
        return;
    }
    store::AttributeValues values;
    values.reserve(copiedValues().size() + copiedDates().size() + extra.size());
    for (int index : copiedValues()) {
        if (!absent(index))
            values.emplace_back(index, m_values[size_t(index)]);
    }
    for (int index : copiedDates()) {
        if (absent(index))
            continue;
        const QDateTime date = m_values[size_t(index)].toDateTime();
        values.emplace_back(index, entity::isRealDate(date) ? QVariant(date) : QVariant());
    }
    values.insert(values.end(), extra.begin(), extra.end());
    destination->setValues(values);
    // The copy has no tags, files or reminder: the destination keeps none of its tags and files.
    destination->removeTags(destination->tags());
    const std::vector<ItemFile*> files = destination->files();
    for (ItemFile* file : files)
        destination->removeFilesObject(file);
    ItemFile::deleteUnattached(files);
}

} // namespace qv
