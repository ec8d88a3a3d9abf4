#include "ui/details/widgets/ProjectTagController.h"

#include "core/model/TODOList.h"
#include "ui/board/ProjectListController.h"
#include "ui/board/ProjectTagFilter.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/details/DrawerModel.h"
#include "ui/details/ProjectTags.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace qv {

ProjectTagController::ProjectTagController(MyDocument&, const Services&, ProjectListView& list,
                                           QWidget* parent)
    : QWidget(parent), m_list(list)
{
    setObjectName(QStringLiteral("projectTagBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    m_picker = new QComboBox(this);
    m_picker->setMinimumContentsLength(16);
    m_picker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_picker->hide();
    layout->addWidget(m_picker);
    layout->addWidget(new QLabel(tr("Project tags"), this));
    m_tags = new QLineEdit(this);
    m_tags->setObjectName(QStringLiteral("projectTagField"));
    m_tags->setPlaceholderText(tr("tag, another tag (\"archived\" puts the project away)"));
    layout->addWidget(m_tags, 1);

    connect(m_tags, &QLineEdit::editingFinished, this, &ProjectTagController::commitTags);
    connect(m_picker, &QComboBox::activated, this, [this](int index) {
        if (m_filling)
            return;
        if (TODOList* chosen = m_list.controller().getProjectAtRow(index))
            m_list.controller().selectProject(chosen);
    });
    connect(&m_list.controller().displayProjectsArrayController(), &ArrayController::arrangedObjectsChanged,
            this, &ProjectTagController::fillPicker);
    connect(&m_list, &ProjectListView::selectedProjectChanged, this, &ProjectTagController::setProject);
    setProject(m_list.controller().selectedProject());
}

void ProjectTagController::setProject(TODOList* project)
{
    m_project = project;
    m_tags->setText(ProjectTags::names(project).join(QStringLiteral(", ")));
    m_tags->setModified(false);
    m_tags->setEnabled(project != nullptr);
    fillPicker();
}

void ProjectTagController::showProjectQuickPopup(bool show)
{
    if (m_picker->isVisibleTo(this) == show)
        return;
    m_picker->setVisible(show);
    fillPicker();
}

void ProjectTagController::commitTags()
{
    if (!m_project)
        return;
    TODOList* project = m_project;
    if (!ProjectTags::writeTags(project, DrawerModel::tagNamesFromText(m_tags->text())))
        return;
    // A new tag (or "archived") changes what the list shows and offers to filter by.
    ProjectListController& list = m_list.controller();
    list.tagFilterViewController().reloadTags();
    list.reloadFilters();
    list.cleanListCustomCells();
    if (m_project == project)
        setProject(project);
}

void ProjectTagController::fillPicker()
{
    if (!m_picker->isVisibleTo(this))
        return;
    m_filling = true;
    m_picker->clear();
    const ProjectListController& list = m_list.controller();
    for (int row = 0; row < list.rowCount(); ++row)
        m_picker->addItem(ProjectListController::displayName(list.getProjectAtRow(row)));
    m_picker->setCurrentIndex(list.rowOfProject(m_project));
    m_filling = false;
}

} // namespace qv
