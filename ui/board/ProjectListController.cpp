#include "ui/board/ProjectListController.h"

#include "core/document/EmptyProjectPredicate.h"
#include "core/document/MyDocument.h"
#include "core/document/SyncEngine.h"
#include "core/model/ListTag.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/store/Context.h"
#include "ui/board/BoardArrangement.h"
#include "ui/board/BoardLogging.h"
#include "ui/board/IndexAdjuster.h"
#include "ui/board/ProjectTagFilter.h"

#include <QPointer>

#include <algorithm>

namespace qv {

namespace {

const QString kArchived = QStringLiteral("archived");
const QString kName = QStringLiteral("name");
const QString kEditingComponent = QStringLiteral("projectNameTextCell");
const QString kAlphabeticalProjectOrder = QStringLiteral("kAlphabeticalProjectOrder");
const QString kHideEmptyProjects = QStringLiteral("kHideEmptyProjects");
const QString kSelectedTagNames = QStringLiteral("_selectedTagNames");
const QString kLastSelectedProjectRow = QStringLiteral("lastSelectedProjectRow");

bool isLive(const store::ManagedObject* object)
{
    return isVisible(objectStateOf(*object));
}

std::vector<TODOList*> asProjects(const std::vector<store::ManagedObject*>& objects)
{
    std::vector<TODOList*> projects;
    projects.reserve(objects.size());
    for (store::ManagedObject* object : objects) {
        if (auto* project = store::as<TODOList>(object))
            projects.push_back(project);
    }
    return projects;
}

// The colour text of a new project, written from the exact numbers (a QColor would round them).
QString newProjectColor(double red, double green, double blue)
{
    return QString::asprintf("{%f, %f, %f, %f}", red, green, blue, 1.0);
}

} // namespace

ProjectListController::ProjectListController(MyDocument& document, const Services& services, QObject* parent)
    : QObject(parent), m_document(document), m_services(services),
      m_tagFilter(std::make_unique<ProjectTagFilter>(document.context()))
{
    store::Context* context = &document.context();
    m_projects.setFetch(context, TODOList::staticEntityName());
    m_projects.setFilterPredicate(isLive);
    m_projects.setSortDescriptors({SortDescriptor::byValue(QStringLiteral("index"), false)});
    m_display.setFetch(context, TODOList::staticEntityName());
    applyOrder(services.preferences && services.preferences->boolValue(kAlphabeticalProjectOrder));

    connect(&m_display, &ArrayController::selectionChanged, this,
            &ProjectListController::onDisplaySelectionChanged);
    m_tagFilter->setDelegate([this](const std::vector<ListTag*>& tags) { filterAnyTags(tags); });
    if (services.preferences) {
        connect(services.preferences, &Preferences::changed, this, [this](const QString& key) {
            if (key == kHideEmptyProjects)
                reloadFilters();
        });
    }
    loadInitialSelectedTags();
    reloadFilters();
}

ProjectListController::~ProjectListController()
{
    endEditingName();
    if (m_services.scheduler) {
        for (TimerId timer : m_timers)
            m_services.scheduler->cancel(timer);
    }
}

// --- ProjectList

TODOList* ProjectListController::getSelectedProject() const
{
    const QList<qsizetype> rows = m_display.selectionIndexes();
    if (rows.isEmpty()) {
        qCDebug(lcBoard, "getSelectedProject: No selected list; Returning nil.");
        return nullptr;
    }
    if (rows.size() > 1) {
        qCDebug(lcBoard, "getSelectedProject: More than one selected list; Returning nil.");
        return nullptr;
    }
    return getProjectAtRow(int(rows.front()));
}

TODOList* ProjectListController::selectedProject() const
{
    const QList<qsizetype> rows = m_display.selectionIndexes();
    return rows.size() == 1 ? getProjectAtRow(int(rows.front())) : nullptr;
}

std::vector<TODOList*> ProjectListController::getAllProjects() const
{
    return asProjects(m_projects.arrangedObjects());
}

int ProjectListController::numProjects() const
{
    return int(m_projects.arrangedCount());
}

TODOList* ProjectListController::newProjectForCloning()
{
    clearAllFilters();
    auto* project = m_document.context().insert<TODOList>(TODOList::staticEntityName());
    m_projects.addObject(project);
    m_display.addObject(project);
    rearrange();
    return project;
}

void ProjectListController::adjustIndices()
{
    IndexAdjuster::adjustListIndices(m_projects);
}

void ProjectListController::rearrange()
{
    m_projects.rearrangeObjects();
    m_display.rearrangeObjects();
}

// --- Registry

std::vector<TODOList*> ProjectListController::getAllProjectsEvenTrashed() const
{
    std::vector<TODOList*> projects = getAllProjects();
    projects.insert(projects.end(), m_trashedProjects.begin(), m_trashedProjects.end());
    return projects;
}

TODOList* ProjectListController::getProjectAtRow(int row) const
{
    return store::as<TODOList>(m_display.arrangedObjectAt(row));
}

int ProjectListController::rowOfProject(const TODOList* project) const
{
    return int(m_display.arrangedIndexOf(project));
}

// --- Selection

bool ProjectListController::selectRow(int row)
{
    if (row < 0 || row >= rowCount())
        return false;
    m_display.setSelectionIndex(row);
    return true;
}

int ProjectListController::findAndGoToProject(const TODOList* project)
{
    if (!project)
        return -1;
    const QString uri = project->uri();
    for (int row = 0; row < rowCount(); ++row) {
        const TODOList* candidate = getProjectAtRow(row);
        if (candidate == project || candidate->uri() == uri) {
            m_display.setSelectionIndex(row);
            emit scrollToSelectionRequested();
            return row;
        }
    }
    return -1;
}

int ProjectListController::findAndGoToProjectWithID(qint64 id)
{
    for (int row = 0; row < rowCount(); ++row) {
        if (qint32(getProjectAtRow(row)->id_()) == qint32(id)) {
            m_display.setSelectionIndex(row);
            emit scrollToSelectionRequested();
            return row;
        }
    }
    return -1;
}

int ProjectListController::selectProject(TODOList* project)
{
    if (!project)
        return -1;
    // Projects not yet on the server all have id_ 0: those are found as themselves.
    const auto find = [&] {
        return project->id_() != 0 ? findAndGoToProjectWithID(project->id_()) : findAndGoToProject(project);
    };
    int row = find();
    if (row >= 0)
        return row;
    if (!m_selectedTags.isEmpty()) {
        filterAnyTags({});
        row = find();
        if (row >= 0)
            return row;
    }
    filterAnyTags({TagManager::getListTagForName(kArchived, m_document.context())});
    row = find();
    if (row >= 0)
        return row;
    filterAnyTags({});
    return -1;
}

bool ProjectListController::selectLastSelectedProject()
{
    if (!m_services.preferences || !m_services.preferences->value(kLastSelectedProjectRow).isValid())
        return false;
    const int row = m_services.preferences->intValue(kLastSelectedProjectRow);
    if (!selectRow(row))
        return false;
    emit scrollToSelectionRequested();
    return true;
}

void ProjectListController::onDisplaySelectionChanged()
{
    std::vector<store::ManagedObject*> selection = m_display.selectedObjects();
    // A rearrange that moves the same projects to other rows is no new selection.
    std::vector<store::ManagedObject*> sorted = selection;
    std::sort(sorted.begin(), sorted.end());
    std::vector<store::ManagedObject*> last = m_lastSelection;
    std::sort(last.begin(), last.end());
    if (sorted == last)
        return;
    m_lastSelection = selection;

    if (m_editingProject && (selection.size() != 1 || selection.front() != m_editingProject))
        endEditingName();
    if (m_host)
        m_host->deselectItems();
    TODOList* project = selection.size() == 1 ? store::as<TODOList>(selection.front()) : nullptr;
    if (project)
        pushHistory(project);
    fetchProjectItemsIfNeeded(project);
    if (project && m_services.scheduler) {
        m_timers.push_back(m_services.scheduler->after(kHighlightClearDelayMs, this, [project] {
            if (!project->highlight())
                return;
            // The program's doing, not a step Undo should take back before the user's own.
            const store::UndoPause pause(*project->context());
            project->setHighlight(0);
        }));
    }
    emit selectedProjectChanged(project);
}

// --- History

void ProjectListController::pushHistory(TODOList* project)
{
    m_backProjects.push_back(project);
    emit historyChanged();
}

bool ProjectListController::goToProjectFromStack(std::vector<TODOList*>& stack)
{
    while (!stack.empty()) {
        TODOList* project = stack.back();
        stack.pop_back();
        const bool wasSelected = m_display.isSelected(project) && m_display.selectionIndexes().size() == 1;
        if (findAndGoToProject(project) >= 0) {
            // Selecting the project already selected changes nothing, so it is put back here.
            if (wasSelected)
                m_backProjects.push_back(project);
            return true;
        }
    }
    return false;
}

void ProjectListController::goToPreviousProject()
{
    if (m_backProjects.size() < 2)
        return;
    m_forwardProjects.push_back(m_backProjects.back());
    m_backProjects.pop_back();
    goToProjectFromStack(m_backProjects);
    emit historyChanged();
}

void ProjectListController::goToNextProject()
{
    if (m_forwardProjects.empty())
        return;
    goToProjectFromStack(m_forwardProjects);
    emit historyChanged();
}

// --- Lazy fetch

void ProjectListController::setNoQuadrantsMessage(const QString& text)
{
    if (m_host)
        m_host->setNoQuadrantsMessageLabel(text);
}

void ProjectListController::fetchProjectItemsIfNeeded(TODOList* project)
{
    if (!project || !project->lazyFetch()) {
        setNoQuadrantsMessage(QStringLiteral(""));
        return;
    }
    const QString name = project->name();
    setNoQuadrantsMessage(QStringLiteral("Fetching project \"%1\"").arg(name));
    const qint64 id = project->id_();
    if (m_fetchingIDProjects.contains(id))
        return;
    m_fetchingIDProjects.insert(id);
    const QString failed = QStringLiteral("At this moment, we cannot fetch project \"%1\"").arg(name);
    QPointer<ProjectListController> self(this);
    const bool started = m_fetcher && m_fetcher->getProjectAndItemsForProjectWithID(
                                          id,
                                          [self, project, id] {
                                              if (!self)
                                                  return;
                                              project->setLazyFetch(false);
                                              self->m_fetchingIDProjects.remove(id);
                                              self->reloadFilters();
                                              self->setNoQuadrantsMessage(QStringLiteral(""));
                                          },
                                          [self, id, failed] {
                                              if (!self)
                                                  return;
                                              self->m_fetchingIDProjects.remove(id);
                                              self->setNoQuadrantsMessage(failed);
                                          });
    // A request that never started must not block the next selection's attempt.
    if (!started) {
        m_fetchingIDProjects.remove(id);
        setNoQuadrantsMessage(failed);
    }
}

// --- Row cells

void ProjectListController::cleanListCustomCells()
{
    m_counterModels.clear();
    m_counterFilter.reset();
    emit rowCellsCleaned();
}

ObjectPredicate ProjectListController::counterItemFilter() const
{
    ObjectPredicate filter = m_host ? m_host->itemFilterPredicate() : ObjectPredicate();
    if (!filter) {
        const int state =
            m_services.preferences ? m_services.preferences->intValue(BoardArrangement::kItemFilterState) : 0;
        filter = BoardArrangement::stateFilterPredicate(state);
    }
    return filter;
}

const ProjectCounterModel* ProjectListController::counterModelFor(TODOList* project)
{
    if (!project || !m_services.clock)
        return nullptr;
    std::shared_ptr<ProjectCounterModel>& model = m_counterModels[project];
    if (!model)
        model = std::make_shared<ProjectCounterModel>(*m_services.clock);
    const int filterState =
        m_services.preferences ? m_services.preferences->intValue(BoardArrangement::kItemFilterState) : 0;
    const QString search = m_host ? m_host->searchString() : QStringLiteral("");
    const QDateTime minDate = m_host ? m_host->minDate() : QDateTime();
    const QDateTime maxDate = m_host ? m_host->maxDate() : QDateTime();
    // The filter is built once per generation of counters, not once per row drawn.
    if (!m_counterFilter)
        m_counterFilter = counterItemFilter();
    model->fillOutCellInfoForList(project, filterState, search, minDate, maxDate, *m_counterFilter);
    return model.get();
}

QString ProjectListController::displayName(const TODOList* project)
{
    if (!project)
        return {};
    const QString name = project->name();
    return name.isEmpty() ? QStringLiteral("Blank") : name;
}

QColor ProjectListController::nameColor(const TODOList* project) const
{
    const QString search = m_host ? m_host->searchString() : QString();
    if (!project || search.isEmpty())
        return Qt::black;
    return project->name().toLower().contains(search, Qt::CaseInsensitive) ? Qt::red : Qt::black;
}

// --- Filters and order

ListTag* ProjectListController::listTagNamed(const QString& name) const
{
    return store::as<ListTag>(
        m_document.context().lookupFirst(ListTag::staticEntityName(), kName, name.toLower()));
}

// Rebuilds the rows' filter: live projects, narrowed to the selected project tags, without
// archived projects unless "archived" is selected, and without projects the item filter
// leaves empty when "kHideEmptyProjects" is on. Unless forced, it runs only while the
// empty-project test is (or was) part of the filter.
bool ProjectListController::reloadFiltersForce(bool force)
{
    const bool hideEmpty = m_services.preferences && m_services.preferences->boolValue(kHideEmptyProjects);
    if (!force && !m_emptyProjectFilterActive && !hideEmpty)
        return false;

    const std::vector<store::ManagedObject*> selected = m_display.selectedObjects();
    TODOList* remembered = selected.empty() ? nullptr : store::as<TODOList>(selected.front());

    const bool filtering = hideEmpty && ((m_host && m_host->isFilteringItems()) || !m_selectedTags.isEmpty());
    if (m_host)
        m_host->setIsShowingArchived(m_selectedTags.contains(kArchived));
    cleanListCustomCells();

    std::vector<ObjectPredicate> parts{isLive};
    if (!m_selectedTags.isEmpty()) {
        QSet<const store::ManagedObject*> tags;
        for (const QString& name : m_selectedTags) {
            if (ListTag* tag = listTagNamed(name))
                tags.insert(tag);
        }
        parts.push_back([tags](const store::ManagedObject* object) {
            for (const store::ManagedObject* tag : object->toMany(QStringLiteral("tags"))) {
                if (tags.contains(tag))
                    return true;
            }
            return false;
        });
    }
    if (!m_selectedTags.contains(kArchived) &&
        TagManager::existsListTagForName(kArchived, m_document.context())) {
        const store::ManagedObject* archived = listTagNamed(kArchived);
        parts.push_back([archived](const store::ManagedObject* object) {
            return !object->containsInMany(QStringLiteral("tags"), archived);
        });
    }
    if (hideEmpty && filtering) {
        const EmptyProjectPredicate notEmpty(&m_document);
        parts.push_back([notEmpty](const store::ManagedObject* object) {
            return notEmpty.evaluate(store::as<TODOList>(object));
        });
        m_emptyProjectFilterActive = true;
    } else {
        m_emptyProjectFilterActive = false;
    }
    m_display.setFilterPredicate([parts](const store::ManagedObject* object) {
        return std::all_of(parts.begin(), parts.end(),
                           [object](const ObjectPredicate& p) { return p(object); });
    });

    if (!m_display.hasSelection() && rowCount() > 0) {
        if (!remembered || findAndGoToProject(remembered) < 0)
            selectRow(0);
    }
    return true;
}

void ProjectListController::clearAllFilters()
{
    filterAnyTags({});
    reloadFilters();
}

void ProjectListController::filterAnyTags(const std::vector<ListTag*>& tags)
{
    QStringList names;
    for (const ListTag* tag : tags) {
        if (tag && !names.contains(tag->name()))
            names << tag->name();
    }
    if (QSet<QString>(names.begin(), names.end()) ==
        QSet<QString>(m_selectedTags.begin(), m_selectedTags.end()))
        return;
    m_selectedTags = names;
    m_isFilteringWithTags = !names.isEmpty();
    // The tag filter shows the same choice (it hands it back, which then changes nothing).
    std::vector<ListTag*> chosen;
    for (ListTag* tag : tags) {
        if (tag)
            chosen.push_back(tag);
    }
    m_tagFilter->setSelectedTags(chosen);
    emit selectedTagsChanged(names);
    cleanListCustomCells();
    reloadFilters();
    if (m_services.preferences)
        m_services.preferences->setValue(kSelectedTagNames, names);
    if (!m_display.hasSelection())
        selectRow(0);
    emit scrollToSelectionRequested();
}

void ProjectListController::updateTags(const QStringList& names)
{
    std::vector<ListTag*> tags;
    for (const QString& name : names) {
        if (!name.trimmed().isEmpty())
            tags.push_back(TagManager::getListTagForName(name.trimmed(), m_document.context()));
    }
    if (tags.empty() && m_selectedTags.isEmpty())
        return;
    m_tagFilter->setSelectedTags(tags);
    filterAnyTags(tags);
}

void ProjectListController::loadInitialSelectedTags()
{
    if (!m_services.preferences)
        return;
    const QVariant stored = m_services.preferences->value(kSelectedTagNames);
    if (!stored.isValid())
        return;
    std::vector<ListTag*> tags;
    for (const QString& name : stored.toStringList())
        tags.push_back(TagManager::getListTagForName(name, m_document.context()));
    filterAnyTags(tags);
}

void ProjectListController::toggleArchived()
{
    m_tagFilter->toggleArchived();
}

void ProjectListController::setAlphabeticalOrder(bool alphabetical)
{
    if (m_services.preferences)
        m_services.preferences->setValue(kAlphabeticalProjectOrder, alphabetical);
    applyOrder(alphabetical);
    emit scrollToSelectionRequested();
}

void ProjectListController::applyOrder(bool alphabetical)
{
    if (alphabetical)
        m_display.setSortDescriptors({SortDescriptor::localized(kName, true, true)});
    else
        m_display.setSortDescriptors({SortDescriptor::byValue(QStringLiteral("index"), false)});
}

bool ProjectListController::alphabeticalOrder() const
{
    const std::vector<SortDescriptor>& descriptors = m_display.sortDescriptors();
    return !descriptors.empty() && descriptors.front().key == kName;
}

// --- Commands

void ProjectListController::markProject(TODOList* project, ObjectState state)
{
    if (!project)
        return;
    project->setObjectState(state);
    rearrange();
    // A project back from the trash leaves the trashed list, or it would be listed twice.
    std::erase(m_trashedProjects, project);
    if (state == ObjectState::Trashed)
        m_trashedProjects.push_back(project);
}

TODOList* ProjectListController::newProject()
{
    auto* project = m_document.context().insert<TODOList>(TODOList::staticEntityName());
    m_projects.addObject(project);
    return project;
}

TODOList* ProjectListController::addNewProjectWithTemplate(const ProjectTemplate* quadrantTemplate)
{
    clearAllFilters();
    if (m_host && !m_host->makeWindowFirstResponder())
        return nullptr;
    TODOList* project =
        addNewProjectWithName(quadrantTemplate ? quadrantTemplate->title : QString(), quadrantTemplate);
    findAndEditProject(project);
    return project;
}

TODOList* ProjectListController::addNewProjectWithName(const QString& name,
                                                       const ProjectTemplate* quadrantTemplate)
{
    clearAllFilters();
    auto* project = m_document.context().insert<TODOList>(TODOList::staticEntityName());
    project->setId_(0);
    project->setName(name);
    if (quadrantTemplate) {
        project->setTextFirstQuadrant(quadrantTemplate->quadrantTitles[0]);
        project->setTextSecondQuadrant(quadrantTemplate->quadrantTitles[1]);
        project->setTextThirdQuadrant(quadrantTemplate->quadrantTitles[2]);
        project->setTextFourthQuadrant(quadrantTemplate->quadrantTitles[3]);
        project->setCenterX(quadrantTemplate->centerX);
        project->setCenterY(quadrantTemplate->centerY);
    } else {
        project->setTextFirstQuadrant(QStringLiteral("Do Now"));
        project->setTextSecondQuadrant(QStringLiteral("Do Later"));
        project->setTextThirdQuadrant(QStringLiteral("Delegate"));
        project->setTextFourthQuadrant(QStringLiteral("Postpone"));
    }
    project->setColorFirstQuadrant(newProjectColor(0.36, 0.644, 0.751));
    project->setColorSecondQuadrant(newProjectColor(0.636, 0.778, 0.833));
    project->setColorThirdQuadrant(newProjectColor(0.636, 0.778, 0.833));
    project->setColorFourthQuadrant(newProjectColor(0.854, 0.927, 0.919));
    m_projects.addObject(project);
    m_display.addObject(project);
    rearrange();
    return project;
}

TODOList* ProjectListController::cloneProjectInRow(int row, bool withItems)
{
    if (row < 0) {
        const QList<qsizetype> rows = m_display.selectionIndexes();
        row = rows.size() == 1 ? int(rows.front()) : -1;
    }
    TODOList* project = getProjectAtRow(row);
    return project ? cloneProject(project, withItems) : nullptr;
}

TODOList* ProjectListController::cloneProject(TODOList* project, bool withItems)
{
    if (!project)
        return nullptr;
    filterAnyTags({});
    TODOList* clone = m_document.cloneList(project, withItems);
    if (m_document.saveFile())
        qCDebug(lcBoard, "Attempted to save file successfully after cloning");
    else
        qCWarning(lcBoard, "Error saving file after cloning. Exception: '%s'", "File could not be saved!");
    rearrange();
    cleanListCustomCells();
    findAndEditProject(clone);
    return clone;
}

void ProjectListController::markProjectAsDeleted()
{
    const QList<qsizetype> rows = m_display.selectionIndexes();
    markProjectAsDeletedInRow(rows.size() == 1 ? int(rows.front()) : -1);
}

void ProjectListController::markProjectAsDeletedInRow(int row)
{
    TODOList* project = getProjectAtRow(row);
    if (!project) {
        qCDebug(lcBoard, "Cannot delete more than one list at a time");
        cleanListCustomCells();
        return;
    }
    const bool confirmed =
        m_services.alerts &&
        m_services.alerts->confirm(Alerts::Question(
            QStringLiteral("Are you sure you want to delete project '%1'?").arg(project->name()),
            QStringLiteral("You can restore a deleted project from Trashed Projects in the View menu."),
            {QStringLiteral("OK"), QStringLiteral("Cancel")}, Alerts::DefaultButton(0),
            Alerts::SafeButton(1)));
    if (confirmed) {
        markProject(project, ObjectState::Trashed);
        selectRow(std::min(row, rowCount() - 1));
    }
    cleanListCustomCells();
}

void ProjectListController::findAndEditProject(TODOList* project)
{
    if (project && rowOfProject(project) >= 0)
        emit editProjectRequested(project);
}

void ProjectListController::logAllLists() const
{
    for (const TODOList* project : getAllProjects()) {
        qCInfo(lcBoard, "List, ID: %d. NAME: %s, STATE: %d", qint32(project->id_()),
               qUtf8Printable(redacted(project->name())), qint32(project->state()));
        for (const TODOItem* item : project->items()) {
            qCInfo(lcBoard, "     Item, ID: %d. NAME: %s, STATE: %d", qint32(item->id_()),
                   qUtf8Printable(redacted(item->name())), qint32(item->state()));
        }
    }
}

// --- Name editing

void ProjectListController::beginEditingName(TODOList* project)
{
    if (m_editingProject && m_editingProject != project)
        endEditingName();
    m_editingProject = project;
    nameTextDidChange();
}

void ProjectListController::nameTextDidChange()
{
    if (m_holdsLock)
        return;
    m_holdsLock = true;
    if (SyncEngineInterface* sync = m_document.syncEngine())
        sync->setEditing(true, kEditingComponent);
}

void ProjectListController::commitName(TODOList* project, const QString& text)
{
    if (!project)
        return;
    if (text.isEmpty() && project->name().isEmpty())
        return;
    if (project->name() != text || project->isNull(kName))
        project->setName(text);
}

void ProjectListController::endEditingName()
{
    m_editingProject = nullptr;
    if (!m_holdsLock)
        return;
    m_holdsLock = false;
    if (SyncEngineInterface* sync = m_document.syncEngine())
        sync->setEditing(false, kEditingComponent);
}

// --- Dragging

bool ProjectListController::canDragRows() const
{
    return !alphabeticalOrder() && !m_isFilteringWithTags;
}

ProjectListController::DropOperation ProjectListController::validateDrop(int proposedRow, bool itemsDragged)
{
    if (itemsDragged) {
        selectRow(proposedRow);
        return DropOperation::Link;
    }
    if (proposedRow == rowCount())
        return DropOperation::None;
    return DropOperation::Move;
}

bool ProjectListController::acceptDrop(const QList<int>& sourceRows, int targetRow, bool aboveRow)
{
    if (sourceRows.size() != 1)
        return false;
    const int sourceRow = sourceRows.front();
    TODOList* moved = getProjectAtRow(sourceRow);
    TODOList* target = getProjectAtRow(targetRow);
    if (!moved || !target || sourceRow == targetRow)
        return false;
    const bool above = aboveRow || sourceRow > targetRow;
    moved->setIndex(target->index() + (above ? 1 : -1));
    rearrange();
    // Equal neighbouring indices can leave the project beside the wrong one: put it where it
    // was dropped before the indices are written from the order.
    const qsizetype movedPosition = m_display.arrangedIndexOf(moved);
    qsizetype targetPosition = m_display.arrangedIndexOf(target);
    if (movedPosition < targetPosition)
        --targetPosition; // counted without the moved project
    m_display.insertObject(moved, above ? targetPosition : targetPosition + 1);
    IndexAdjuster::adjustListIndices(m_display);
    rearrange();
    return true;
}

} // namespace qv
