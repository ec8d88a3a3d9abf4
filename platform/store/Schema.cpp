#include "platform/store/StoreInternals.h"

namespace qv::store::detail {

namespace {

// Of the two sides of a relation, the one that owns its storage when both could.
bool isPrimarySide(const QString& entity, const QString& relation, const QString& destination,
                   const QString& inverse)
{
    if (entity != destination)
        return entity < destination;
    return relation <= inverse;
}

} // namespace

Schema Schema::build(const Model& model)
{
    Schema schema;
    for (const auto& e : model.entities()) {
        EntityInfo info;
        info.desc = e.get();
        info.name = e->name();
        info.attributeCount = int(e->attributes().size());
        info.indexSlot.assign(e->attributes().size(), -1);
        for (size_t a = 0; a < e->attributes().size(); ++a) {
            const AttributeDescription& attr = e->attributes()[a];
            info.keyNames.push_back(attr.name);
            if (attr.transient)
                continue;
            info.columnAttributes.push_back(int(a));
            if (attr.indexed) {
                info.indexSlot[a] = int(info.indexedAttributes.size());
                info.indexedAttributes.push_back(int(a));
            }
        }
        for (const auto& rel : e->relationships())
            info.keyNames.push_back(rel.name);
        for (int k = 0; k < info.keyNames.size(); ++k)
            info.keyByName.insert(info.keyNames[k], k);
        schema.entityByName.insert(info.name, int(schema.entities.size()));
        schema.entityByDescription.insert(e.get(), int(schema.entities.size()));
        schema.entities.push_back(std::move(info));
    }

    for (auto& info : schema.entities) {
        const auto& rels = info.desc->relationships();
        for (size_t r = 0; r < rels.size(); ++r) {
            const RelationshipDescription& rel = rels[r];
            RelationInfo ri;
            ri.desc = &rel;
            ri.toMany = rel.toMany;
            ri.destEntity = schema.entityByName.value(rel.destination, -1);
            Q_ASSERT_X(ri.destEntity >= 0, "Schema", "relationship to an unknown entity");
            if (ri.destEntity >= 0 && !rel.inverse.isEmpty()) {
                const EntityDescription* dest = schema.entities[size_t(ri.destEntity)].desc;
                ri.inverse = dest->relationshipIndex(rel.inverse);
                Q_ASSERT_X(ri.inverse >= 0, "Schema", "unknown inverse relationship");
                if (ri.inverse >= 0)
                    ri.inverseToMany = dest->relationships()[size_t(ri.inverse)].toMany;
            }
            if (!ri.toMany) {
                ri.storage = RelationStorage::Column;
                ri.loadsFromColumn = ri.inverse < 0 || ri.inverseToMany ||
                                     isPrimarySide(info.name, rel.name, rel.destination, rel.inverse);
                info.columnRelations.push_back(int(r));
            } else if (ri.inverse >= 0 && !ri.inverseToMany) {
                ri.storage = RelationStorage::Derived;
            } else {
                ri.storage = RelationStorage::Link;
            }
            info.relations.push_back(ri);
        }
    }

    for (size_t e = 0; e < schema.entities.size(); ++e) {
        EntityInfo& info = schema.entities[e];
        for (size_t r = 0; r < info.relations.size(); ++r) {
            RelationInfo& ri = info.relations[r];
            if (ri.storage != RelationStorage::Link || ri.destEntity < 0 || ri.link >= 0)
                continue;
            const QString& relName = ri.desc->name;
            if (ri.inverse >= 0 && !isPrimarySide(info.name, relName, ri.desc->destination, ri.desc->inverse))
                continue; // the other side creates the table
            LinkInfo link;
            link.table = QStringLiteral("Z_%1_%2").arg(info.name, relName);
            link.sourceEntity = int(e);
            link.sourceRelation = int(r);
            link.destEntity = ri.destEntity;
            link.destRelation = ri.inverse;
            const int index = int(schema.links.size());
            schema.links.push_back(link);
            ri.link = index;
            ri.linkSource = true;
            info.linksInvolved.push_back(index);
            if (ri.inverse >= 0) {
                EntityInfo& dest = schema.entities[size_t(ri.destEntity)];
                RelationInfo& other = dest.relations[size_t(ri.inverse)];
                if (&other != &ri) {
                    other.link = index;
                    other.linkSource = false;
                    if (ri.destEntity != int(e))
                        dest.linksInvolved.push_back(index);
                }
            }
        }
    }
    return schema;
}

} // namespace qv::store::detail
