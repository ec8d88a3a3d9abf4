#pragma once

#include "core/document/ProjectList.h"

#include <QWidget>

#include <memory>
#include <vector>

class QAction;
class QLineEdit;
class QTableView;
class QToolButton;

namespace qv {

class MyDocument;
class ProjectFetcher;
class ProjectListController;
class ProjectListHost;
class ProjectRowDelegate;
class ProjectTableView;
class TODOList;
struct ProjectTemplate;
struct Services;

// The project list on the left of the board window and the document's ProjectList: history
// buttons, the project tag field and button, and the table of projects (counters and names).
// The logic is ProjectListController (controller()); this is its view.
class ProjectListView : public QWidget, public qv::ProjectList {
    Q_OBJECT
public:
    ProjectListView(qv::MyDocument& document, const qv::Services& services, QWidget* parent = nullptr);
    ~ProjectListView() override;

    ProjectListController& controller() const { return *m_controller; }
    QTableView* tableView() const;

    // See ProjectListController.
    void setHost(ProjectListHost* host);
    void setFetcher(ProjectFetcher* fetcher);

    // The panel the "Tags" button shows as a popup (ProjectTagFilterViewController installs
    // itself here).
    void setTagFilterPopup(QWidget* popup);
    // Commands of the window added to a row's context menu; they act on the selected project,
    // which the menu makes the clicked one.
    void setRowMenuActions(const QList<QAction*>& actions) { m_rowMenuActions = actions; }
    // Shows the tag filter below anchor (the "Tags" button without one), or closes it when shown.
    void showTagFilterViewController(QWidget* anchor = nullptr);

    // --- ProjectList ---
    TODOList* getSelectedProject() const override;
    std::vector<TODOList*> getAllProjects() const override;
    int numProjects() const override;
    TODOList* newProjectForCloning() override;
    TODOList* addNewProjectWithName(const QString& name) override;
    void adjustIndices() override;
    void rearrange() override;

    // --- Commands for the window's menus and toolbar ---
    TODOList* addNewProjectWithTemplate(const ProjectTemplate* quadrantTemplate);
    // The clicked row while the context menu is open, the selected row otherwise.
    TODOList* cloneProjectWithItems();
    TODOList* cloneProjectWithOutItems();
    int selectProject(TODOList* project);
    bool selectLastSelectedProject();
    void setAlphabeticalOrder(bool alphabetical);
    // Opens the name of a shown project for editing, its text selected.
    void findAndEditProject(TODOList* project);
    bool isEditingName() const;
    void setRowHeight(int height);

public slots:
    void markProjectAsDeleted();
    void scrollToSelectedProject();
    // Every row counts its items afresh (after items were added, moved or removed).
    void cleanListCustomCells();
    void reloadFilters();
    void goToPreviousProject();
    void goToNextProject();
    void toggleArchived();

signals:
    // The single selected project, or nullptr with none or several. The project selected while
    // the list was made is announced on the next turn of the main loop.
    void selectedProjectChanged(qv::TODOList* project);

private:
    void syncSelectionToTable(bool force = false);
    void syncSelectionFromTable();
    void redrawBackForwardButtons();
    void showSelectedTags(const QStringList& names);
    int contextRow() const;

    MyDocument& m_document;
    std::unique_ptr<ProjectListController> m_controller;
    ProjectTableView* m_table = nullptr;
    ProjectRowDelegate* m_delegate = nullptr;
    QToolButton* m_backButton = nullptr;
    QToolButton* m_forwardButton = nullptr;
    QToolButton* m_tagsButton = nullptr;
    QLineEdit* m_tagField = nullptr;
    QWidget* m_tagPopup = nullptr;
    bool m_syncingSelection = false;
    int m_menuRow = -1;
    QList<QAction*> m_rowMenuActions;
    friend class ProjectTableView;
};

} // namespace qv
