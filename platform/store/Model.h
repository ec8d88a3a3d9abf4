#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace qv::store {

class ManagedObject;

enum class AttributeType {
    Integer, // qint64
    Double,
    Boolean,
    String,
    Date,   // QDateTime, UTC, millisecond precision; stored as seconds since 1970 (REAL)
    Binary, // QByteArray
};

struct AttributeDescription {
    QString name;
    AttributeType type = AttributeType::String;
    bool indexed = false;   // keeps an in-memory index for lookup()
    bool transient = false; // held in memory only, never written
    QVariant defaultValue;  // value of a freshly inserted object; invalid = null
};

// value as an attribute of type reads back once stored: qint64, double, bool, QString, QDateTime
// (UTC, ms) or QByteArray; invalid for null or for a value that does not convert.
QVariant storedValue(AttributeType type, const QVariant& value);

enum class DeleteRule { Nullify, Cascade };

struct RelationshipDescription {
    QString name;
    QString destination; // entity name
    QString inverse;     // relationship name on the destination; both sides are kept in step
    bool toMany = false;
    DeleteRule deleteRule = DeleteRule::Nullify;
};

class EntityDescription {
public:
    using Factory = std::function<std::unique_ptr<ManagedObject>()>;

    EntityDescription(QString name, Factory factory = {});

    EntityDescription& attribute(QString name, AttributeType type, QVariant defaultValue = {});
    EntityDescription& indexedAttribute(QString name, AttributeType type, QVariant defaultValue = {});
    EntityDescription& transientAttribute(QString name, AttributeType type);
    EntityDescription& toOne(QString name, QString destination, QString inverse,
                             DeleteRule rule = DeleteRule::Nullify);
    EntityDescription& toMany(QString name, QString destination, QString inverse,
                              DeleteRule rule = DeleteRule::Nullify);

    const QString& name() const { return m_name; }
    const std::vector<AttributeDescription>& attributes() const { return m_attributes; }
    const std::vector<RelationshipDescription>& relationships() const { return m_relationships; }
    // -1 when unknown.
    int attributeIndex(const QString& name) const;
    int relationshipIndex(const QString& name) const;
    std::unique_ptr<ManagedObject> create() const;

private:
    QString m_name;
    Factory m_factory;
    std::vector<AttributeDescription> m_attributes;
    std::vector<RelationshipDescription> m_relationships;
};

// The object model: its entities and the schema version written to PRAGMA user_version.
// Opening an older file adds the tables and columns that are new (forward upgrade);
// a file with a newer version is refused.
class Model {
public:
    explicit Model(int version = 1) : m_version(version) {}
    EntityDescription& addEntity(EntityDescription entity);
    const EntityDescription* entity(const QString& name) const;
    const std::vector<std::unique_ptr<EntityDescription>>& entities() const { return m_entities; }
    int version() const { return m_version; }

private:
    int m_version;
    std::vector<std::unique_ptr<EntityDescription>> m_entities;
};

} // namespace qv::store
