#include "ui/details/ProjectTags.h"

#include "core/model/ListTag.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "platform/store/Context.h"

namespace qv::ProjectTags {

QStringList names(const TODOList* project)
{
    QStringList result;
    if (!project)
        return result;
    for (const ListTag* tag : project->tags())
        result << tag->name();
    result.sort(Qt::CaseInsensitive);
    return result;
}

bool writeTags(TODOList* project, const QStringList& wantedNames)
{
    if (!project || !project->context())
        return false;
    QStringList wanted;
    for (const QString& name : wantedNames) {
        const QString lower = name.trimmed().toLower();
        if (!lower.isEmpty() && !wanted.contains(lower))
            wanted << lower;
    }
    bool changed = false;
    for (ListTag* tag : project->tags()) {
        if (!wanted.contains(tag->name())) {
            project->removeTagsObject(tag);
            changed = true;
        }
    }
    const QStringList present = names(project);
    for (const QString& name : wanted) {
        if (!present.contains(name)) {
            project->addTagsObject(TagManager::getListTagForName(name, *project->context()));
            changed = true;
        }
    }
    return changed;
}

} // namespace qv::ProjectTags
