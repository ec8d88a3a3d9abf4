#include "platform/store/ManagedObject.h"

#include "platform/store/Context.h"
#include "platform/store/ObjectPool.h"
#include "platform/store/StoreInternals.h"

#include <algorithm>

namespace qv::store {

namespace {

const std::vector<ManagedObject*>& noObjects()
{
    static const std::vector<ManagedObject*> empty;
    return empty;
}

} // namespace

ManagedObject::ManagedObject() = default;

void* ManagedObject::operator new(std::size_t size)
{
    return detail::allocateObject(size);
}

void ManagedObject::operator delete(void* memory, std::size_t size)
{
    detail::releaseObject(memory, size);
}

ManagedObject::~ManagedObject() = default;

const QString& ManagedObject::entityName() const
{
    return m_entity->name();
}

QString ManagedObject::uri() const
{
    if (!m_context)
        return {};
    return QStringLiteral("quadrivo-store://%1/%2/p%3")
        .arg(m_context->storeUuid(), m_entity->name(), QString::number(m_objectID));
}

bool ManagedObject::isInserted() const
{
    const auto& s = ContextPrivate::st(this);
    return s.live && !s.inFile;
}

bool ManagedObject::isUpdated() const
{
    const auto& s = ContextPrivate::st(this);
    return s.live && s.inFile && m_context->d->changedSinceSave(this, false);
}

bool ManagedObject::isDeleted() const
{
    return !ContextPrivate::st(this).live;
}

void prefetchValues(const std::vector<ManagedObject*>& objects, size_t position)
{
    // Each step needs the line the step before brought in: the object holds where its state
    // is, the state where its values are.
    constexpr size_t kStep = 8;
    const size_t count = objects.size();
    if (position + 3 * kStep < count)
        __builtin_prefetch(objects[position + 3 * kStep]);
    if (position + 2 * kStep < count)
        __builtin_prefetch(objects[position + 2 * kStep]->m_state);
    if (position + kStep < count)
        ContextPrivate::st(objects[position + kStep]).values.prefetch();
}

void prefetchObjects(const std::vector<ManagedObject*>& objects, size_t position)
{
    constexpr size_t kAhead = 16;
    if (position + kAhead < objects.size())
        __builtin_prefetch(objects[position + kAhead]);
}

bool IntegerReader::reads(const ManagedObject& object)
{
    if (&object.entity() != m_entity || object.m_context != m_context) {
        m_entity = &object.entity();
        m_context = object.m_context;
        m_entityIndex = ContextPrivate::st(&object).entity;
        m_index = -1;
        const int index = m_entity->attributeIndex(m_key);
        if (index >= 0) {
            const AttributeDescription& attribute = m_entity->attributes()[size_t(index)];
            const bool integer = attribute.type == AttributeType::Integer ||
                                 attribute.type == AttributeType::Boolean ||
                                 attribute.type == AttributeType::Date;
            if (integer && !attribute.transient) {
                m_index = index;
                m_type = attribute.type;
            }
        }
    }
    return m_index >= 0;
}

std::optional<qint64> IntegerReader::operator()(const ManagedObject& object)
{
    if (!reads(object))
        return std::nullopt;
    const detail::IntegerColumn& column = object.m_context->d->integerColumn(m_entityIndex, m_index);
    if (!column.present[object.m_slot])
        return std::nullopt;
    return column.values[object.m_slot];
}

QVariant ManagedObject::value(const QString& key) const
{
    const int index = m_entity->attributeIndex(key);
    Q_ASSERT_X(index >= 0, "ManagedObject::value", qPrintable(key));
    return index >= 0 ? m_context->d->attributeValue(this, index) : QVariant();
}

void ManagedObject::setValue(const QString& key, const QVariant& value)
{
    const int index = m_entity->attributeIndex(key);
    Q_ASSERT_X(index >= 0, "ManagedObject::setValue", qPrintable(key));
    if (index >= 0)
        m_context->d->setAttribute(this, index, value);
}

QVariant ManagedObject::value(int attributeIndex) const
{
    const bool known = attributeIndex >= 0 && size_t(attributeIndex) < m_entity->attributes().size();
    Q_ASSERT_X(known, "ManagedObject::value", "attribute index out of range");
    return known ? m_context->d->attributeValue(this, attributeIndex) : QVariant();
}

void ManagedObject::setValue(int attributeIndex, const QVariant& value)
{
    const bool known = attributeIndex >= 0 && size_t(attributeIndex) < m_entity->attributes().size();
    Q_ASSERT_X(known, "ManagedObject::setValue", "attribute index out of range");
    if (known)
        m_context->d->setAttribute(this, attributeIndex, value);
}

void ManagedObject::setValues(const AttributeValues& values)
{
    const int count = int(m_entity->attributes().size());
    const bool known = std::all_of(values.begin(), values.end(),
                                   [count](const auto& v) { return v.first >= 0 && v.first < count; });
    Q_ASSERT_X(known, "ManagedObject::setValues", "attribute index out of range");
    if (known)
        m_context->d->setAttributes(this, values);
}

ManagedObject* ManagedObject::toOne(const QString& relationship) const
{
    const int index = m_entity->relationshipIndex(relationship);
    Q_ASSERT_X(index >= 0 && !m_entity->relationships()[size_t(index)].toMany, "ManagedObject::toOne",
               qPrintable(relationship));
    if (index < 0 || m_entity->relationships()[size_t(index)].toMany)
        return nullptr;
    return m_context->d->toOneOf(this, index);
}

void ManagedObject::setToOne(const QString& relationship, ManagedObject* object)
{
    const int index = m_entity->relationshipIndex(relationship);
    Q_ASSERT_X(index >= 0 && !m_entity->relationships()[size_t(index)].toMany, "ManagedObject::setToOne",
               qPrintable(relationship));
    if (index >= 0 && !m_entity->relationships()[size_t(index)].toMany &&
        m_context->d->relationAllowed(this, index, object))
        m_context->d->setToOne(this, index, object);
}

const std::vector<ManagedObject*>& ManagedObject::toMany(const QString& relationship) const
{
    const int index = m_entity->relationshipIndex(relationship);
    Q_ASSERT_X(index >= 0 && m_entity->relationships()[size_t(index)].toMany, "ManagedObject::toMany",
               qPrintable(relationship));
    if (index < 0 || !m_entity->relationships()[size_t(index)].toMany)
        return noObjects();
    if (m_context->d->onDemand)
        m_context->d->readMany(this, index);
    return m_context->d->toManyOf(this, index);
}

void ManagedObject::addToMany(const QString& relationship, ManagedObject* object)
{
    const int index = m_entity->relationshipIndex(relationship);
    Q_ASSERT_X(index >= 0 && m_entity->relationships()[size_t(index)].toMany, "ManagedObject::addToMany",
               qPrintable(relationship));
    if (index >= 0 && m_entity->relationships()[size_t(index)].toMany && object &&
        m_context->d->relationAllowed(this, index, object))
        m_context->d->addToMany(this, index, object);
}

void ManagedObject::removeFromMany(const QString& relationship, ManagedObject* object)
{
    const int index = m_entity->relationshipIndex(relationship);
    Q_ASSERT_X(index >= 0 && m_entity->relationships()[size_t(index)].toMany, "ManagedObject::removeFromMany",
               qPrintable(relationship));
    if (index >= 0 && m_entity->relationships()[size_t(index)].toMany && object &&
        m_context->d->relationAllowed(this, index, nullptr))
        m_context->d->removeFromMany(this, index, object);
}

bool ManagedObject::containsInMany(const QString& relationship, const ManagedObject* object) const
{
    const int index = m_entity->relationshipIndex(relationship);
    if (index < 0 || !m_entity->relationships()[size_t(index)].toMany)
        return false;
    return m_context->d->isMember(this, index, object);
}

QSet<QString> ManagedObject::changedKeysInCurrentEvent() const
{
    const ContextPrivate* d = m_context->d.get();
    QSet<QString> keys = d->eventKeys(this);
    if (d->delivering) {
        const auto it = d->delivering->changedKeys.constFind(this);
        if (it != d->delivering->changedKeys.constEnd())
            keys.unite(*it);
    }
    return keys;
}

QSet<QString> ManagedObject::changedKeysSinceSave() const
{
    QSet<QString> keys;
    const auto& s = ContextPrivate::st(this);
    const ContextPrivate* d = m_context->d.get();
    if (s.live && !s.inFile) {
        // All it holds is unsaved, but for what is never saved.
        keys = d->keysWithValues(this);
        for (const AttributeDescription& attribute : m_entity->attributes()) {
            if (attribute.transient)
                keys.remove(attribute.name);
        }
        return keys;
    }
    if (!s.tracking)
        return keys;
    const auto& info = d->info(this);
    for (const auto& snap : s.tracking->sinceSave) {
        if (d->differs(this, snap))
            keys.insert(info.keyNames[snap.key]);
    }
    return keys;
}

QVariant ManagedObject::committedValue(const QString& key) const
{
    const int index = m_entity->attributeIndex(key);
    Q_ASSERT_X(index >= 0, "ManagedObject::committedValue", qPrintable(key));
    const auto& s = ContextPrivate::st(this);
    if (index < 0 || !s.inFile)
        return {};
    if (s.tracking) {
        for (const auto& snap : s.tracking->sinceSave) {
            if (snap.key == index)
                return snap.value;
        }
    }
    return m_context->d->attributeValue(this, index);
}

} // namespace qv::store
