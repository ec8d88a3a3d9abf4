#include "ui/details/UndeleteCandidates.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "platform/store/Context.h"
#include "ui/board/ProjectListController.h"

#include <QCollator>

#include <algorithm>

namespace qv {

QString undeleteCandidateTitle(const store::ManagedObject* object)
{
    if (!object)
        return {};
    const QString name = object->stringValue(QStringLiteral("name"));
    return name.isEmpty() ? QStringLiteral("Blank") : name;
}

store::ManagedObject* UndeleteCandidates::candidateAt(int row) const
{
    return row >= 0 && row < count() ? m_candidates[size_t(row)].object : nullptr;
}

bool UndeleteCandidates::isTicked(int row) const
{
    return row >= 0 && row < count() && m_candidates[size_t(row)].ticked;
}

void UndeleteCandidates::setTicked(int row, bool ticked)
{
    if (row < 0 || row >= count() || m_candidates[size_t(row)].ticked == ticked)
        return;
    m_candidates[size_t(row)].ticked = ticked;
    emit candidatesChanged();
}

int UndeleteCandidates::tickedCount() const
{
    return int(
        std::count_if(m_candidates.begin(), m_candidates.end(), [](const Candidate& c) { return c.ticked; }));
}

void UndeleteCandidates::clearUndeleteCandidates()
{
    m_candidates.clear();
    emit candidatesChanged();
}

void UndeleteCandidates::setCandidates(const std::vector<store::ManagedObject*>& objects)
{
    m_candidates.clear();
    for (store::ManagedObject* object : objects)
        m_candidates.push_back({object, false});
    emit candidatesChanged();
}

std::vector<store::ManagedObject*> UndeleteCandidates::takeTicked()
{
    std::vector<store::ManagedObject*> ticked;
    for (const Candidate& candidate : m_candidates) {
        if (candidate.ticked)
            ticked.push_back(candidate.object);
    }
    std::erase_if(m_candidates, [](const Candidate& c) { return c.ticked; });
    return ticked;
}

// --- Items

ItemUndeleteCandidates::ItemUndeleteCandidates(MyDocument& document, QObject* parent)
    : UndeleteCandidates(parent), m_document(document)
{
}

void ItemUndeleteCandidates::loadUndeleteCandidates()
{
    loadUndeleteCandidates(m_document.getSelectedProject());
}

void ItemUndeleteCandidates::loadUndeleteCandidates(TODOList* project)
{
    m_project = project;
    std::vector<store::ManagedObject*> objects;
    if (project) {
        for (TODOItem* item : project->items()) {
            if (isDeleted(item->objectState()))
                objects.push_back(item);
        }
        std::stable_sort(
            objects.begin(), objects.end(), [](const store::ManagedObject* a, const store::ManagedObject* b) {
                return a->intValue(QStringLiteral("index")) > b->intValue(QStringLiteral("index"));
            });
    }
    setCandidates(objects);
}

int ItemUndeleteCandidates::restoreTicked()
{
    const std::vector<store::ManagedObject*> ticked = takeTicked();
    for (store::ManagedObject* object : ticked) {
        auto* item = store::as<TODOItem>(object);
        if (!item)
            continue;
        item->setObjectState(item->completionDate().isValid() ? ObjectState::Completed : ObjectState::Open);
        item->setEdited_since(1);
    }
    emit candidatesChanged();
    if (!ticked.empty())
        emit refreshRequested();
    return int(ticked.size());
}

// --- Projects

ProjectUndeleteCandidates::ProjectUndeleteCandidates(MyDocument& document, ProjectListController* list,
                                                     QObject* parent)
    : UndeleteCandidates(parent), m_document(document), m_list(list)
{
}

void ProjectUndeleteCandidates::loadUndeleteCandidates()
{
    std::vector<store::ManagedObject*> objects =
        m_document.context().fetch(TODOList::staticEntityName(), [](const store::ManagedObject* object) {
            return isDeleted(objectStateOf(*object));
        });
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(objects.begin(), objects.end(),
                     [&](const store::ManagedObject* a, const store::ManagedObject* b) {
                         return collator.compare(undeleteCandidateTitle(a), undeleteCandidateTitle(b)) < 0;
                     });
    setCandidates(objects);
}

int ProjectUndeleteCandidates::restoreTicked()
{
    const std::vector<store::ManagedObject*> ticked = takeTicked();
    for (store::ManagedObject* object : ticked) {
        auto* project = store::as<TODOList>(object);
        if (!project)
            continue;
        project->setEdited_since(1);
        if (m_list)
            m_list->markProject(project, ObjectState::Open);
        else
            project->setObjectState(ObjectState::Open);
    }
    emit candidatesChanged();
    if (!ticked.empty())
        emit refreshRequested();
    return int(ticked.size());
}

} // namespace qv
