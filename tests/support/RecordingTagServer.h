#pragma once

#include "core/model/TODOItem.h"
#include "core/model/TagServer.h"

#include <QStringList>

namespace qv::test {

// Records the tag operations asked of the server and answers with accept.
class RecordingTagServer : public TagServer {
public:
    QStringList calls;
    bool accept = true;
    bool addTagName(const QString& name, TODOItem* item, Success, Failure) override
    {
        calls << QStringLiteral("add %1 %2").arg(name, item->name());
        return accept;
    }
    bool removeTagName(const QString& name, TODOItem* item, Success, Failure) override
    {
        calls << QStringLiteral("remove %1 %2").arg(name, item->name());
        return accept;
    }
};

} // namespace qv::test
