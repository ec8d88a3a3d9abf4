#pragma once

#include "platform/rest/ObjectMapping.h"
#include "platform/store/ManagedObject.h"

#include <QString>

#include <vector>

namespace qv {

class TODOItem;

// Entity "ItemTag": a tag of items, named in lower case. Made through TagManager.
class ItemTag : public store::ManagedObject {
public:
    static QString staticEntityName() { return QStringLiteral("ItemTag"); }

    QString name() const { return stringValue(QStringLiteral("name")); }
    void setName(const QString& v) { setValue(QStringLiteral("name"), v); }
    std::vector<TODOItem*> items() const;

    // {"name"}, primary key name.
    static rest::MappingPtr mapping();
};

} // namespace qv
