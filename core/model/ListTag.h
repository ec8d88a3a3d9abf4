#pragma once

#include "platform/rest/ObjectMapping.h"
#include "platform/store/ManagedObject.h"

#include <QString>

#include <vector>

namespace qv {

class TODOList;

// Entity "ListTag": a tag of projects, named in lower case; "archived" marks archived projects.
class ListTag : public store::ManagedObject {
public:
    static QString staticEntityName() { return QStringLiteral("ListTag"); }

    QString name() const { return stringValue(QStringLiteral("name")); }
    void setName(const QString& v) { setValue(QStringLiteral("name"), v); }
    std::vector<TODOList*> lists() const;

    // {"name"}, primary key name.
    static rest::MappingPtr mapping();
};

} // namespace qv
