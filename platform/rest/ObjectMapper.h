#pragma once

#include "platform/rest/ObjectMapping.h"
#include "platform/store/ManagedObject.h"

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace qv::store {
class Context;
class EntityDescription;
class Model;
} // namespace qv::store

namespace qv::rest {

// Implemented by entities whose mapping names values that are not store attributes
// (transient lists and the like). The mapper asks these first.
class MappedValues {
public:
    virtual ~MappedValues() = default;
    // true when the object took the value itself.
    virtual bool setMappedValue(const QString& attribute, const QJsonValue& value) = 0;
    // A value when the object serves the attribute itself.
    virtual std::optional<QJsonValue> mappedValue(const QString& attribute) const = 0;
};

// A mapping resolved against a model once, for reading many objects: its JSON keys found by
// hashing, its attribute names as indexes of the entity's attributes.
class ResolvedMapping {
public:
    struct Attribute {
        QString jsonKey;
        QString attribute;
        // In the entity's attributes; -1 when the name is no store attribute (MappedValues may serve it).
        int index = -1;
    };

    ResolvedMapping(const ObjectMapping& mapping, const store::Model& model);
    // nullptr when the model has no such entity.
    const store::EntityDescription* entity() const { return m_entity; }
    const std::vector<Attribute>& attributes() const { return m_attributes; }

private:
    friend class ObjectMapper;
    struct Key {
        int attribute = -1;    // position in m_attributes
        int relationship = -1; // position in m_relationships
    };
    const store::EntityDescription* m_entity;
    std::vector<Attribute> m_attributes;
    std::vector<std::unique_ptr<ResolvedMapping>> m_relationships;
    QHash<QString, Key> m_keys;
};

// Moves values between JSON objects and store objects through ObjectMapping tables.
// Conversions follow the store attribute's type: dates travel as whole seconds since 1970,
// integers keep all 64 bits, JSON null makes the attribute null, booleans accept numbers.
// Keys missing from the JSON leave the attribute as it is, and so do numbers out of range.
class ObjectMapper {
public:
    // Applies json onto object. Relationships: a JSON object (to-one) or array of objects
    // (to-many) is mapped onto the destination found by the nested mapping's primary key in
    // the object's context, or inserted there; a to-many relationship is replaced by the result;
    // null clears the relationship.
    static void apply(const QJsonObject& json, store::ManagedObject* object, const ObjectMapping& mapping);

    // The object of the mapping's entity whose primary key equals json's value for it,
    // or a new one; then apply(). nullptr when the mapping names no entity known to context,
    // or when json is not well formed (nothing is changed then).
    static store::ManagedObject* map(const QJsonObject& json, store::Context& context,
                                     const ObjectMapping& mapping);

    // false when a mapped value, here or in a nested record, is a number its attribute cannot
    // hold (an integer beyond 64 bits, a date outside the years 1 to 9999): a malformed record.
    static bool isWellFormed(const QJsonObject& json, const store::Model& model,
                             const ObjectMapping& mapping);
    static bool isWellFormed(const QJsonObject& json, const ResolvedMapping& mapping);

    // The store attribute values json holds, converted as apply() converts them, appended to
    // values in mapping order; keys json lacks are left out. false, with values left partly
    // appended, when one is a number its attribute cannot hold.
    static bool readAttributes(const QJsonObject& json, const ResolvedMapping& mapping,
                               store::AttributeValues& values);

    // The JSON body of object through an upload mapping. Attribute paths may follow to-one
    // relationships ("item.resourceURI"); only relationships marked serialize are written:
    // to-one as an object (null when absent), to-many as an array.
    static QJsonObject serialize(const store::ManagedObject* object, const ObjectMapping& mapping);

    // One JSON value as an attribute value of object (no mapping involved).
    static QVariant toAttributeValue(const store::ManagedObject* object, const QString& attribute,
                                     const QJsonValue& value);
    static QJsonValue toJsonValue(const QVariant& value);

private:
    static store::ManagedObject* mapUnchecked(const QJsonObject& json, store::Context& context,
                                              const ObjectMapping& mapping);
};

} // namespace qv::rest
