#include "core/document/ProjectList.h"

#include "core/model/TODOList.h"
#include "platform/store/Context.h"

#include <algorithm>

namespace qv {

std::vector<TODOList*> StoreProjectList::getAllProjects() const
{
    std::vector<TODOList*> projects;
    for (store::ManagedObject* object : m_context.objects(TODOList::staticEntityName())) {
        auto* project = store::as<TODOList>(object);
        if (project && isVisible(project->objectState()))
            projects.push_back(project);
    }
    std::stable_sort(projects.begin(), projects.end(),
                     [](const TODOList* a, const TODOList* b) { return a->index() > b->index(); });
    return projects;
}

TODOList* StoreProjectList::newProjectForCloning()
{
    return m_context.insert<TODOList>(TODOList::staticEntityName());
}

TODOList* StoreProjectList::addNewProjectWithName(const QString& name)
{
    auto* project = m_context.insert<TODOList>(TODOList::staticEntityName());
    project->setName(name);
    return project;
}

} // namespace qv
