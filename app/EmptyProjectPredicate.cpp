#include "app/EmptyProjectPredicate.h"

#include "app/DocumentWindow.h"
#include "app/MyDocument.h"
#include "app/Predicate.h"
#include "app/TODOItem.h"
#include "app/TODOList.h"

namespace qv {

EmptyProjectPredicate::EmptyProjectPredicate(const MyDocument* document) : m_document(document) {}

bool EmptyProjectPredicate::evaluate(const TODOList* project) const
{
    if (!project)
        return false;
    if (project->lazyFetch())
        return true;
    const DocumentWindow* window = m_document ? m_document->window() : nullptr;
    const Predicate filter = window ? window->userFilterPredicate() : Predicate::alwaysTrue();
    for (const TODOItem* item : project->items()) {
        if (item->isNull(QStringLiteral("quadrant")))
            continue;
        const qint64 quadrant = item->quadrant();
        if (quadrant >= 0 && quadrant <= 3 && filter.evaluate(item))
            return true;
    }
    return false;
}

} // namespace qv
