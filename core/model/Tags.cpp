#include "core/model/ItemTag.h"
#include "core/model/ListTag.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"

namespace qv {

namespace {

rest::MappingPtr tagMapping(const QString& entity)
{
    auto m = std::make_shared<rest::ObjectMapping>(entity);
    m->setPrimaryKeyAttribute(QStringLiteral("name"));
    m->mapAttributes({QStringLiteral("name")});
    return m;
}

} // namespace

std::vector<TODOItem*> ItemTag::items() const
{
    std::vector<TODOItem*> out;
    for (store::ManagedObject* o : toMany(QStringLiteral("items"))) {
        if (auto* item = store::as<TODOItem>(o))
            out.push_back(item);
    }
    return out;
}

rest::MappingPtr ItemTag::mapping()
{
    static const rest::MappingPtr mapping = tagMapping(staticEntityName());
    return mapping;
}

std::vector<TODOList*> ListTag::lists() const
{
    std::vector<TODOList*> out;
    for (store::ManagedObject* o : toMany(QStringLiteral("lists"))) {
        if (auto* list = store::as<TODOList>(o))
            out.push_back(list);
    }
    return out;
}

rest::MappingPtr ListTag::mapping()
{
    static const rest::MappingPtr mapping = tagMapping(staticEntityName());
    return mapping;
}

} // namespace qv
