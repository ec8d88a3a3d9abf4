#include "platform/store/Model.h"

#include "platform/store/ManagedObject.h"

namespace qv::store {

EntityDescription::EntityDescription(QString name, Factory factory)
    : m_name(std::move(name)), m_factory(std::move(factory))
{
}

EntityDescription& EntityDescription::attribute(QString name, AttributeType type, QVariant defaultValue)
{
    m_attributes.push_back({std::move(name), type, false, false, std::move(defaultValue)});
    return *this;
}

EntityDescription& EntityDescription::indexedAttribute(QString name, AttributeType type,
                                                       QVariant defaultValue)
{
    m_attributes.push_back({std::move(name), type, true, false, std::move(defaultValue)});
    return *this;
}

EntityDescription& EntityDescription::transientAttribute(QString name, AttributeType type)
{
    m_attributes.push_back({std::move(name), type, false, true, {}});
    return *this;
}

EntityDescription& EntityDescription::toOne(QString name, QString destination, QString inverse,
                                            DeleteRule rule)
{
    m_relationships.push_back({std::move(name), std::move(destination), std::move(inverse), false, rule});
    return *this;
}

EntityDescription& EntityDescription::toMany(QString name, QString destination, QString inverse,
                                             DeleteRule rule)
{
    m_relationships.push_back({std::move(name), std::move(destination), std::move(inverse), true, rule});
    return *this;
}

int EntityDescription::attributeIndex(const QString& name) const
{
    for (size_t i = 0; i < m_attributes.size(); ++i) {
        if (m_attributes[i].name == name)
            return int(i);
    }
    return -1;
}

int EntityDescription::relationshipIndex(const QString& name) const
{
    for (size_t i = 0; i < m_relationships.size(); ++i) {
        if (m_relationships[i].name == name)
            return int(i);
    }
    return -1;
}

std::unique_ptr<ManagedObject> EntityDescription::create() const
{
    if (m_factory)
        return m_factory();
    return std::unique_ptr<ManagedObject>(new ManagedObject());
}

EntityDescription& Model::addEntity(EntityDescription entity)
{
    m_entities.push_back(std::make_unique<EntityDescription>(std::move(entity)));
    return *m_entities.back();
}

const EntityDescription* Model::entity(const QString& name) const
{
    for (const auto& e : m_entities) {
        if (e->name() == name)
            return e.get();
    }
    return nullptr;
}

} // namespace qv::store
