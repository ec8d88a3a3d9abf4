#include "core/document/EmptyProjectPredicate.h"

#include "core/document/DocumentWindow.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/util/Predicate.h"

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
