#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

namespace qv::rest {

// A declarative mapping between a JSON object and a store entity: JSON key <-> attribute
// pairs and nested relationships. The entity code declares these tables; the REST layer's
// mapper and serializer consume them. Dates travel as whole seconds since 1970.
class ObjectMapping {
public:
    struct Attribute {
        QString jsonKey;
        QString attribute;
    };
    struct Relationship {
        QString jsonKey;
        QString relationship;
        std::shared_ptr<const ObjectMapping> mapping;
        bool serialize = true; // written into request bodies
    };

    explicit ObjectMapping(QString entity = {}) : m_entity(std::move(entity)) {}

    const QString& entity() const { return m_entity; }
    const QString& primaryKeyAttribute() const { return m_primaryKey; }
    ObjectMapping& setPrimaryKeyAttribute(QString attribute)
    {
        m_primaryKey = std::move(attribute);
        return *this;
    }

    // Keys that have the same name in JSON and in the store.
    ObjectMapping& mapAttributes(const QStringList& names)
    {
        for (const QString& n : names)
            mapKeyPath(n, n);
        return *this;
    }
    ObjectMapping& mapKeyPath(QString jsonKey, QString attribute)
    {
        removeMappingForKeyPath(jsonKey);
        m_attributes.push_back({std::move(jsonKey), std::move(attribute)});
        return *this;
    }
    ObjectMapping& mapKeyPathsToAttributes(const std::vector<std::pair<QString, QString>>& pairs)
    {
        for (const auto& [json, attr] : pairs)
            mapKeyPath(json, attr);
        return *this;
    }
    ObjectMapping& mapRelationship(QString jsonKey, QString relationship,
                                   std::shared_ptr<const ObjectMapping> mapping, bool serialize = true)
    {
        removeMappingForKeyPath(jsonKey);
        m_relationships.push_back(
            {std::move(jsonKey), std::move(relationship), std::move(mapping), serialize});
        return *this;
    }
    ObjectMapping& removeMappingForKeyPath(const QString& jsonKey)
    {
        std::erase_if(m_attributes, [&](const Attribute& a) { return a.jsonKey == jsonKey; });
        std::erase_if(m_relationships, [&](const Relationship& r) { return r.jsonKey == jsonKey; });
        return *this;
    }

    const std::vector<Attribute>& attributes() const { return m_attributes; }
    const std::vector<Relationship>& relationships() const { return m_relationships; }

private:
    QString m_entity;
    QString m_primaryKey;
    std::vector<Attribute> m_attributes;
    std::vector<Relationship> m_relationships;
};

using MappingPtr = std::shared_ptr<const ObjectMapping>;

} // namespace qv::rest
