#pragma once

#include "platform/store/Model.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QVariant>

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace qv::store {

class Context;

// Values by attribute index, for setting several at once.
using AttributeValues = std::vector<std::pair<int, QVariant>>;

// One object of the store. Owned by its Context; pointers stay valid for the context's
// lifetime, also after deletion (a deleted object is only detached and marked deleted).
// Subclasses add typed accessors over value()/setValue().
class ManagedObject {
public:
    virtual ~ManagedObject();
    ManagedObject(const ManagedObject&) = delete;
    ManagedObject& operator=(const ManagedObject&) = delete;
    // Objects come from the store's pool: those made one after the other lie side by side.
    static void* operator new(std::size_t size);
    static void operator delete(void* memory, std::size_t size);
    static void* operator new(std::size_t /*size*/, void* place) noexcept { return place; }
    static void operator delete(void* /*memory*/, void* /*place*/) noexcept {}

    const EntityDescription& entity() const { return *m_entity; }
    const QString& entityName() const;
    Context* context() const { return m_context; }
    // Permanent from insert; unique per entity within a store.
    qint64 objectID() const { return m_objectID; }
    // "quadrivo-store://<store uuid>/<Entity>/p<objectID>"; resolves back through Context::objectForURI.
    QString uri() const;

    bool isInserted() const; // inserted since the last save
    bool isUpdated() const;  // changed since the last save
    bool isDeleted() const;  // deleted (pending or saved)

    // Attributes. Reading or writing an unknown key is a programming error (asserts, then no-op).
    QVariant value(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    QVariant value(int attributeIndex) const;
    void setValue(int attributeIndex, const QVariant& value);
    // As setValue for each pair in turn (a later pair of one attribute wins), with the stored
    // record rebuilt once: what changed joins the pending change event and one undo group.
    void setValues(const AttributeValues& values);

    // Convenience readers that treat null as 0 / false / empty.
    qint64 intValue(const QString& key) const { return value(key).toLongLong(); }
    double doubleValue(const QString& key) const { return value(key).toDouble(); }
    bool boolValue(const QString& key) const { return value(key).toBool(); }
    QString stringValue(const QString& key) const { return value(key).toString(); }
    QDateTime dateValue(const QString& key) const { return value(key).toDateTime(); }
    bool isNull(const QString& key) const { return value(key).isNull(); }

    // Relationships; both sides of a relation are kept in step.
    ManagedObject* toOne(const QString& relationship) const;
    void setToOne(const QString& relationship, ManagedObject* object);
    // In insertion order, without repeats. The reference changes with the relation: copy it to
    // iterate while adding or removing members.
    const std::vector<ManagedObject*>& toMany(const QString& relationship) const;
    void addToMany(const QString& relationship, ManagedObject* object);
    void removeFromMany(const QString& relationship, ManagedObject* object);
    bool containsInMany(const QString& relationship, const ManagedObject* object) const;

    // Keys (attributes and relationships) changed in the change event being built or announced.
    QSet<QString> changedKeysInCurrentEvent() const;
    // Keys changed since the last save.
    QSet<QString> changedKeysSinceSave() const;
    // Attribute value as of the last save (or as loaded); invalid for inserted objects.
    QVariant committedValue(const QString& key) const;

protected:
    ManagedObject();
    // Called after the object was loaded from the file.
    virtual void awakeFromFetch() {}
    // Called after a fresh insert, once the defaults are set.
    virtual void awakeFromInsert() {}

private:
    friend class Context;
    friend struct ContextPrivate;
    friend void prefetchValues(const std::vector<ManagedObject*>& objects, size_t position);
    friend class IntegerReader;
    friend class EntityDescription; // builds a plain object when the entity has no factory
    const EntityDescription* m_entity = nullptr;
    Context* m_context = nullptr;
    qint64 m_objectID = 0;
    void* m_state = nullptr; // owned by the context's storage
    quint32 m_slot = 0;      // creation order within the entity
};

// For a loop that reads the values of many objects in turn: starts bringing the values of the
// objects a few places after `position` into the processor's cache, which such a loop otherwise
// waits on for every object of a big collection. A hint only; changes nothing.
void prefetchValues(const std::vector<ManagedObject*>& objects, size_t position);

// Reads one attribute of many objects, its index looked up once per entity rather than by name
// for every object.
class AttributeReader {
public:
    explicit AttributeReader(QString key) : m_key(std::move(key)) {}
    QVariant operator()(const ManagedObject& object)
    {
        if (&object.entity() != m_entity) {
            m_entity = &object.entity();
            m_index = m_entity->attributeIndex(m_key);
        }
        return m_index >= 0 ? object.value(m_index) : object.value(m_key);
    }

private:
    QString m_key;
    const EntityDescription* m_entity = nullptr;
    int m_index = -1;
};

// Reads one integer, boolean or date attribute of many objects: a boolean as 0 or 1, a date as
// milliseconds since 1970 (UTC), nullopt for null. The context keeps such an attribute's values
// side by side once asked, so that a loop over many objects waits on memory for each object
// alone and not also for its values.
class IntegerReader {
public:
    explicit IntegerReader(QString key) : m_key(std::move(key)) {}
    // Whether the object's entity has the attribute, persistent and of one of those types.
    bool reads(const ManagedObject& object);
    // The object's value; nullopt also for an object reads() refuses.
    std::optional<qint64> operator()(const ManagedObject& object);
    // The type of the attribute of the last object reads() accepted.
    AttributeType type() const { return m_type; }

private:
    QString m_key;
    const EntityDescription* m_entity = nullptr;
    const Context* m_context = nullptr;
    int m_entityIndex = -1;
    int m_index = -1;
    AttributeType m_type = AttributeType::Integer;
};

// For a loop over many objects that reads them through IntegerReader: starts bringing the objects
// a few places after `position` into the processor's cache. A hint only; changes nothing.
void prefetchObjects(const std::vector<ManagedObject*>& objects, size_t position);

template <class T> T* as(ManagedObject* object)
{
    return dynamic_cast<T*>(object);
}
template <class T> const T* as(const ManagedObject* object)
{
    return dynamic_cast<const T*>(object);
}

} // namespace qv::store
