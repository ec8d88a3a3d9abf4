#include "platform/rest/ObjectMapper.h"

#include "platform/rest/JsonNumbers.h"

#include "platform/store/Context.h"
#include "platform/store/ManagedObject.h"
#include "platform/store/Model.h"

#include <QJsonArray>
#include <QStringList>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace qv::rest {

namespace {

using store::AttributeType;

const store::AttributeDescription* attributeOf(const store::EntityDescription& entity, const QString& name)
{
    const int index = entity.attributeIndex(name);
    return index < 0 ? nullptr : &entity.attributes()[size_t(index)];
}

const store::RelationshipDescription* relationshipOf(const store::EntityDescription& entity,
                                                     const QString& name)
{
    const int index = entity.relationshipIndex(name);
    return index < 0 ? nullptr : &entity.relationships()[size_t(index)];
}

// nullopt: a number the attribute cannot hold, which makes the whole record malformed.
std::optional<QVariant> convertChecked(const store::AttributeDescription* attribute, const QJsonValue& value)
{
    if (value.isNull() || value.isUndefined())
        return QVariant();
    if (!attribute)
        return value.toVariant();
    switch (attribute->type) {
    case AttributeType::Integer: {
        if (value.isBool())
            return QVariant(qint64(value.toBool() ? 1 : 0));
        const JsonInteger n = readJsonInteger(value);
        if (n.isOutOfRange())
            return std::nullopt;
        return n.isValue() ? QVariant(n.value) : QVariant();
    }
    case AttributeType::Double:
        if (value.isString()) {
            bool ok = false;
            const double d = value.toString().trimmed().toDouble(&ok);
            return ok ? QVariant(d) : QVariant();
        }
        if (value.isBool())
            return QVariant(value.toBool() ? 1.0 : 0.0);
        return value.isDouble() ? QVariant(value.toDouble()) : QVariant();
    case AttributeType::Boolean:
        if (value.isBool())
            return value.toBool();
        if (value.isString()) {
            const QString text = value.toString().trimmed().toLower();
            return text == QLatin1String("true") || text == QLatin1String("yes") || text.toLongLong() != 0;
        }
        return value.isDouble() ? QVariant(value.toDouble() != 0.0) : QVariant();
    case AttributeType::String:
        if (value.isString())
            return value.toString();
        if (value.isBool())
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        if (value.isDouble())
            return value.toVariant().toString();
        return QVariant();
    case AttributeType::Date: {
        if (value.isBool())
            return QDateTime::fromSecsSinceEpoch(value.toBool() ? 1 : 0, QTimeZone::utc());
        if (value.isDouble() && value.toVariant().typeId() == QMetaType::Double) {
            const double secs = value.toDouble();
            if (!std::isfinite(secs) || secs < double(json_range::kFirstSecond) ||
                secs > double(json_range::kLastSecond))
                return std::nullopt;
            return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(secs * 1000.0)), QTimeZone::utc());
        }
        const JsonInteger secs = readJsonInteger(value, json_range::kFirstSecond, json_range::kLastSecond);
        if (secs.isOutOfRange())
            return std::nullopt;
        if (secs.isValue())
            return QDateTime::fromSecsSinceEpoch(secs.value, QTimeZone::utc());
        if (value.isString()) {
            QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
            return date.isValid() ? QVariant(date.toUTC()) : QVariant();
        }
        return QVariant();
    }
    case AttributeType::Binary:
        return value.isString() ? QVariant(QByteArray::fromBase64(value.toString().toLatin1())) : QVariant();
    }
    return QVariant();
}

QVariant convert(const store::AttributeDescription* attribute, const QJsonValue& value)
{
    return convertChecked(attribute, value).value_or(QVariant());
}

QString jsonKeyForAttribute(const ObjectMapping& mapping, const QString& attribute)
{
    for (const ObjectMapping::Attribute& a : mapping.attributes()) {
        if (a.attribute == attribute)
            return a.jsonKey;
    }
    return {};
}

QJsonValue attributeJson(const store::ManagedObject* object, const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('.'));
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (!object || !relationshipOf(object->entity(), parts[i]))
            return QJsonValue::Null;
        object = object->toOne(parts[i]);
    }
    if (!object)
        return QJsonValue::Null;
    const QString& key = parts.last();
    if (const auto* custom = dynamic_cast<const MappedValues*>(object)) {
        if (std::optional<QJsonValue> value = custom->mappedValue(key))
            return *value;
    }
    if (!attributeOf(object->entity(), key))
        return QJsonValue::Undefined;
    return ObjectMapper::toJsonValue(object->value(key));
}

} // namespace

ResolvedMapping::ResolvedMapping(const ObjectMapping& mapping, const store::Model& model)
    : m_entity(model.entity(mapping.entity()))
{
    for (const ObjectMapping::Attribute& a : mapping.attributes()) {
        m_keys.insert(a.jsonKey, Key{int(m_attributes.size()), -1});
        m_attributes.push_back(
            {a.jsonKey, a.attribute, m_entity ? m_entity->attributeIndex(a.attribute) : -1});
    }
    for (const ObjectMapping::Relationship& r : mapping.relationships()) {
        m_keys.insert(r.jsonKey, Key{-1, int(m_relationships.size())});
        m_relationships.push_back(r.mapping ? std::make_unique<ResolvedMapping>(*r.mapping, model) : nullptr);
    }
}

QVariant ObjectMapper::toAttributeValue(const store::ManagedObject* object, const QString& attribute,
                                        const QJsonValue& value)
{
    return convert(object ? attributeOf(object->entity(), attribute) : nullptr, value);
}

QJsonValue ObjectMapper::toJsonValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QJsonValue::Null;
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return QJsonValue(value.toDateTime().toSecsSinceEpoch());
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QJsonValue(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toBase64());
    case QMetaType::QStringList:
        return QJsonArray::fromStringList(value.toStringList());
    default:
        return QJsonValue::fromVariant(value);
    }
}

void ObjectMapper::apply(const QJsonObject& json, store::ManagedObject* object, const ObjectMapping& mapping)
{
    if (!object)
        return;
    auto* custom = dynamic_cast<MappedValues*>(object);
    const store::EntityDescription& entity = object->entity();
    store::AttributeValues values;
    for (const ObjectMapping::Attribute& a : mapping.attributes()) {
        const auto it = json.constFind(a.jsonKey);
        if (it == json.constEnd())
            continue;
        if (custom && custom->setMappedValue(a.attribute, *it))
            continue;
        const int index = entity.attributeIndex(a.attribute);
        if (index < 0)
            continue;
        if (std::optional<QVariant> value = convertChecked(&entity.attributes()[size_t(index)], *it))
            values.emplace_back(index, std::move(*value));
    }
    object->setValues(values);
    store::Context* context = object->context();
    for (const ObjectMapping::Relationship& r : mapping.relationships()) {
        const auto it = json.constFind(r.jsonKey);
        if (it == json.constEnd() || !r.mapping || !context)
            continue;
        const store::RelationshipDescription* relationship = relationshipOf(entity, r.relationship);
        if (!relationship)
            continue;
        if (!relationship->toMany) {
            if (it->isObject())
                object->setToOne(r.relationship, mapUnchecked(it->toObject(), *context, *r.mapping));
            else if (it->isNull())
                object->setToOne(r.relationship, nullptr);
            continue;
        }
        if (!it->isArray() && !it->isNull())
            continue;
        std::vector<store::ManagedObject*> wanted;
        const QJsonArray elements = it->toArray(); // const: iterating a shared array copies it otherwise
        for (const QJsonValue& element : elements) {
            if (!element.isObject())
                continue;
            if (store::ManagedObject* destination = mapUnchecked(element.toObject(), *context, *r.mapping))
                wanted.push_back(destination);
        }
        const std::vector<store::ManagedObject*> current = object->toMany(r.relationship);
        for (store::ManagedObject* existing : current) {
            if (std::find(wanted.begin(), wanted.end(), existing) == wanted.end())
                object->removeFromMany(r.relationship, existing);
        }
        for (store::ManagedObject* destination : wanted)
            object->addToMany(r.relationship, destination);
    }
}

bool ObjectMapper::isWellFormed(const QJsonObject& json, const store::Model& model,
                                const ObjectMapping& mapping)
{
    const store::EntityDescription* entity = model.entity(mapping.entity());
    if (!entity)
        return true;
    for (const ObjectMapping::Attribute& a : mapping.attributes()) {
        const auto it = json.constFind(a.jsonKey);
        if (it != json.constEnd() && !convertChecked(attributeOf(*entity, a.attribute), *it))
            return false;
    }
    for (const ObjectMapping::Relationship& r : mapping.relationships()) {
        const auto it = json.constFind(r.jsonKey);
        if (it == json.constEnd() || !r.mapping)
            continue;
        if (it->isObject() && !isWellFormed(it->toObject(), model, *r.mapping))
            return false;
        const QJsonArray elements = it->toArray();
        for (const QJsonValue& element : elements) {
            if (element.isObject() && !isWellFormed(element.toObject(), model, *r.mapping))
                return false;
        }
    }
    return true;
}

bool ObjectMapper::isWellFormed(const QJsonObject& json, const ResolvedMapping& mapping)
{
    if (!mapping.entity())
        return true;
    const auto& attributes = mapping.entity()->attributes();
    // One pass over json's keys: finding each mapped key in turn costs far more.
    for (auto it = json.constBegin(); it != json.constEnd(); ++it) {
        const auto key = mapping.m_keys.constFind(it.key());
        if (key == mapping.m_keys.constEnd())
            continue;
        if (key->attribute >= 0) {
            const int index = mapping.m_attributes[size_t(key->attribute)].index;
            if (!convertChecked(index >= 0 ? &attributes[size_t(index)] : nullptr, it.value()))
                return false;
            continue;
        }
        const ResolvedMapping* nested = mapping.m_relationships[size_t(key->relationship)].get();
        if (!nested)
            continue;
        const QJsonValue value = it.value();
        if (value.isObject() && !isWellFormed(value.toObject(), *nested))
            return false;
        const QJsonArray elements = value.toArray();
        for (const QJsonValue& element : elements) {
            if (element.isObject() && !isWellFormed(element.toObject(), *nested))
                return false;
        }
    }
    return true;
}

bool ObjectMapper::readAttributes(const QJsonObject& json, const ResolvedMapping& mapping,
                                  store::AttributeValues& values)
{
    if (!mapping.entity())
        return true;
    std::vector<std::pair<int, QJsonValue>> found; // position in the mapping, value
    found.reserve(size_t(json.size()));
    for (auto it = json.constBegin(); it != json.constEnd(); ++it) {
        const auto key = mapping.m_keys.constFind(it.key());
        if (key != mapping.m_keys.constEnd() && key->attribute >= 0 &&
            mapping.m_attributes[size_t(key->attribute)].index >= 0)
            found.emplace_back(key->attribute, it.value());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto& attributes = mapping.entity()->attributes();
    values.reserve(values.size() + found.size());
    for (const auto& [position, value] : found) {
        const int index = mapping.m_attributes[size_t(position)].index;
        std::optional<QVariant> converted = convertChecked(&attributes[size_t(index)], value);
        if (!converted)
            return false;
        values.emplace_back(index, std::move(*converted));
    }
    return true;
}

store::ManagedObject* ObjectMapper::map(const QJsonObject& json, store::Context& context,
                                        const ObjectMapping& mapping)
{
    if (!isWellFormed(json, context.model(), mapping))
        return nullptr;
    return mapUnchecked(json, context, mapping);
}

store::ManagedObject* ObjectMapper::mapUnchecked(const QJsonObject& json, store::Context& context,
                                                 const ObjectMapping& mapping)
{
    const store::EntityDescription* entity = context.model().entity(mapping.entity());
    if (!entity)
        return nullptr;
    store::ManagedObject* object = nullptr;
    const QString& primaryKey = mapping.primaryKeyAttribute();
    if (!primaryKey.isEmpty()) {
        const QString jsonKey = jsonKeyForAttribute(mapping, primaryKey);
        const auto it = json.constFind(jsonKey);
        if (!jsonKey.isEmpty() && it != json.constEnd()) {
            const QVariant key = convert(attributeOf(*entity, primaryKey), *it);
            if (!key.isNull())
                object = context.lookupFirst(mapping.entity(), primaryKey, key);
        }
    }
    if (!object)
        object = context.insert(mapping.entity());
    apply(json, object, mapping);
    return object;
}

QJsonObject ObjectMapper::serialize(const store::ManagedObject* object, const ObjectMapping& mapping)
{
    QJsonObject json;
    if (!object)
        return json;
    for (const ObjectMapping::Attribute& a : mapping.attributes()) {
        const QJsonValue value = attributeJson(object, a.attribute);
        if (!value.isUndefined())
            json.insert(a.jsonKey, value);
    }
    for (const ObjectMapping::Relationship& r : mapping.relationships()) {
        if (!r.serialize || !r.mapping)
            continue;
        const store::RelationshipDescription* relationship = relationshipOf(object->entity(), r.relationship);
        if (!relationship)
            continue;
        if (relationship->toMany) {
            QJsonArray array;
            for (const store::ManagedObject* destination : object->toMany(r.relationship))
                array.append(serialize(destination, *r.mapping));
            json.insert(r.jsonKey, array);
        } else if (const store::ManagedObject* destination = object->toOne(r.relationship)) {
            json.insert(r.jsonKey, serialize(destination, *r.mapping));
        } else {
            json.insert(r.jsonKey, QJsonValue::Null);
        }
    }
    return json;
}

} // namespace qv::rest
