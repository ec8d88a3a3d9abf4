#pragma once

#include "core/document/ProjectList.h"
#include "core/model/ObjectState.h"
#include "platform/Scheduler.h"
#include "platform/Services.h"
#include "ui/board/ArrayController.h"
#include "ui/board/ProjectCounters.h"

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qv {

class ListTag;
class MyDocument;
class ProjectTagFilter;
class TODOList;

// What the project list asks of the window around it. Every answer has a harmless default,
// so a window overrides only what it has.
class ProjectListHost {
public:
    virtual ~ProjectListHost() = default;
    // The board drops its item selection (a click into the list, a new project selected).
    virtual void deselectItems() {}
    // The item filter panel filters (AdvancedFilter::getIsFiltering()).
    virtual bool isFilteringItems() const { return false; }
    // The item filter panel's values the row counters are filled with.
    virtual QString searchString() const { return QStringLiteral(""); }
    virtual QDateTime minDate() const { return {}; }
    virtual QDateTime maxDate() const { return {}; }
    virtual QStringList currentOwnerEmails() const { return {}; }
    // The board's item filter without the quadrant test (BoardArrangement::userFilterPredicate()).
    // Empty: the list counts with the state filter of "kItemFilterState" alone.
    virtual ObjectPredicate itemFilterPredicate() const { return {}; }
    virtual void setIsShowingArchived(bool) {}
    // The text shown where the quadrants of a project still being fetched would be.
    virtual void setNoQuadrantsMessageLabel(const QString&) {}
    virtual void enableFirstQuadrantAndSelectRow(int) {}
    // Ends any edit in progress by taking the keyboard focus; false when the window refuses.
    virtual bool makeWindowFirstResponder() { return true; }
};

// Fetches a project that is still to be loaded (lazyFetch) with its items from the server.
class ProjectFetcher {
public:
    virtual ~ProjectFetcher() = default;
    // Whether a request was started.
    virtual bool getProjectAndItemsForProjectWithID(qint64 projectID, std::function<void()> success,
                                                    std::function<void()> failure) = 0;
};

// What a new project takes from a quadrant template.
struct ProjectTemplate {
    QString title;
    std::array<QString, 4> quadrantTitles;
    int centerX = 50;
    int centerY = 50;
};

// The project list: the document's registry of live projects and the logic behind the list
// at the side of the board (filters by project tags, hides archived and empty projects,
// keeps a history of selections, creates, clones, deletes and reorders projects).
//
// Rows are the arranged objects of displayProjectsArrayController(); getAllProjects() are
// those of projectsArrayController() (every live project, tag filters ignored).
class ProjectListController : public QObject, public ProjectList {
    Q_OBJECT
public:
    static constexpr qint64 kHighlightClearDelayMs = 5000;

    ProjectListController(MyDocument& document, const Services& services, QObject* parent = nullptr);
    ~ProjectListController() override;

    // The filter is built again with what the host answers.
    void setHost(ProjectListHost* host)
    {
        m_host = host;
        reloadFilters();
    }
    ProjectListHost* host() const { return m_host; }
    void setFetcher(ProjectFetcher* fetcher) { m_fetcher = fetcher; }

    MyDocument& document() const { return m_document; }
    ArrayController& projectsArrayController() { return m_projects; }
    ArrayController& displayProjectsArrayController() { return m_display; }
    const ArrayController& displayProjectsArrayController() const { return m_display; }
    ProjectTagFilter& tagFilterViewController() { return *m_tagFilter; }

    // --- ProjectList ---
    // Logs when there is no single selection; selectedProject() answers without a word.
    TODOList* getSelectedProject() const override;
    TODOList* selectedProject() const;
    std::vector<TODOList*> getAllProjects() const override;
    int numProjects() const override;
    TODOList* newProjectForCloning() override;
    TODOList* addNewProjectWithName(const QString& name) override
    {
        return addNewProjectWithName(name, nullptr);
    }
    void adjustIndices() override;
    void rearrange() override;

    // --- Registry ---
    std::vector<TODOList*> getAllProjectsEvenTrashed() const;
    int rowCount() const { return int(m_display.arrangedCount()); }
    // nullptr outside the rows.
    TODOList* getProjectAtRow(int row) const;
    int rowOfProject(const TODOList* project) const;
    QStringList getSelectedTags() const { return m_selectedTags; }
    bool isFilteringWithTags() const { return m_isFilteringWithTags; }

    // --- Selection ---
    // Selects the row alone; false outside the rows.
    bool selectRow(int row);
    // The row selected, or -1.
    int findAndGoToProject(const TODOList* project);
    int findAndGoToProjectWithID(qint64 id);
    // Shows the project even when a tag filter hides it: clears the tags, then tries "archived".
    int selectProject(TODOList* project);
    // The row in "lastSelectedProjectRow", when it exists.
    bool selectLastSelectedProject();

    // --- History ---
    const std::vector<TODOList*>& backProjects() const { return m_backProjects; }
    const std::vector<TODOList*>& forwardProjects() const { return m_forwardProjects; }
    bool canGoBack() const { return m_backProjects.size() >= 2; }
    bool canGoForward() const { return !m_forwardProjects.empty(); }
    void goToPreviousProject();
    void goToNextProject();

    // --- Row cells ---
    // Drops every counter model, so each row counts afresh when next shown.
    void cleanListCustomCells();
    // The row's counter model, made when missing and filled with the current item filter.
    const ProjectCounterModel* counterModelFor(TODOList* project);
    int cachedCounterModelCount() const { return int(m_counterModels.size()); }
    // The name, or "Blank" for a project without one.
    static QString displayName(const TODOList* project);
    // Red for a name containing the filter panel's search text, black otherwise.
    QColor nameColor(const TODOList* project) const;

    // --- Filters and order ---
    void reloadFilters() { reloadFiltersForce(true); }
    // Whether the filter was rebuilt (see the rules in the .cpp).
    bool reloadFiltersForce(bool force);
    void clearAllFilters();
    // Shows projects carrying any of the tags (nothing / empty: no tag filter).
    void filterAnyTags(const std::vector<ListTag*>& tags);
    // The token field's names: each becomes a project tag (made when missing).
    void updateTags(const QStringList& names);
    void loadInitialSelectedTags();
    void toggleArchived();
    void setAlphabeticalOrder(bool alphabetical);
    bool alphabeticalOrder() const;

    // --- Commands ---
    void markProject(TODOList* project, ObjectState state);
    // A new project, listed only in projectsArrayController() (imports).
    TODOList* newProject();
    // With the window's consent: a new project opened for naming; nullptr when refused.
    TODOList* addNewProjectWithTemplate(const ProjectTemplate* quadrantTemplate);
    TODOList* addNewProjectWithName(const QString& name, const ProjectTemplate* quadrantTemplate);
    // Clones the project at the row (the selected row for -1); nullptr without one.
    TODOList* cloneProjectInRow(int row, bool withItems);
    TODOList* cloneProject(TODOList* project, bool withItems);
    void markProjectAsDeleted();
    void markProjectAsDeletedInRow(int row);
    // Asks the view to open the project's name for editing (when it is shown).
    void findAndEditProject(TODOList* project);
    void logAllLists() const;

    // --- Name editing: the sync engine's editing lock is held as "projectNameTextCell" ---
    void beginEditingName(TODOList* project);
    void nameTextDidChange();
    // Writes the text as the name (an empty text keeps a project without name "Blank").
    void commitName(TODOList* project, const QString& text);
    // Releases the lock; harmless when no edit is open.
    void endEditingName();
    bool isEditingName() const { return m_editingProject != nullptr || m_holdsLock; }

    // --- Dragging ---
    bool canDragRows() const;
    enum class DropOperation { None, Move, Link };
    // itemsDragged: board items over the list select the row under the pointer.
    DropOperation validateDrop(int proposedRow, bool itemsDragged);
    // One project row moved onto (aboveRow false) or just above (aboveRow true) targetRow.
    bool acceptDrop(const QList<int>& sourceRows, int targetRow, bool aboveRow);

signals:
    // The single selected project changed (nullptr with none or several).
    void selectedProjectChanged(qv::TODOList* project);
    void historyChanged();
    // The counter models were dropped: the rows must be drawn again.
    void rowCellsCleaned();
    void selectedTagsChanged(const QStringList& names);
    void scrollToSelectionRequested();
    void editProjectRequested(qv::TODOList* project);

private:
    void onDisplaySelectionChanged();
    void applyOrder(bool alphabetical);
    void fetchProjectItemsIfNeeded(TODOList* project);
    void setNoQuadrantsMessage(const QString& text);
    void pushHistory(TODOList* project);
    bool goToProjectFromStack(std::vector<TODOList*>& stack);
    ObjectPredicate counterItemFilter() const;
    ListTag* listTagNamed(const QString& name) const;

    MyDocument& m_document;
    Services m_services;
    ProjectListHost* m_host = nullptr;
    ProjectFetcher* m_fetcher = nullptr;
    ArrayController m_projects;
    ArrayController m_display;
    std::unique_ptr<ProjectTagFilter> m_tagFilter;
    QHash<const TODOList*, std::shared_ptr<ProjectCounterModel>> m_counterModels;
    std::optional<ObjectPredicate> m_counterFilter;
    std::vector<TODOList*> m_trashedProjects;
    QStringList m_selectedTags;
    bool m_isFilteringWithTags = false;
    QSet<qint64> m_fetchingIDProjects;
    std::vector<TODOList*> m_backProjects;
    std::vector<TODOList*> m_forwardProjects;
    std::vector<store::ManagedObject*> m_lastSelection;
    // Whether the empty-project test was part of the last filter; set so the first pass runs.
    bool m_emptyProjectFilterActive = true;
    TODOList* m_editingProject = nullptr;
    bool m_holdsLock = false;
    std::vector<TimerId> m_timers;
};

} // namespace qv
