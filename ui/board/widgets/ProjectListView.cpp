#include "ui/board/widgets/ProjectListView.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOList.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "ui/board/ItemPasteboard.h"
#include "ui/board/PlainText.h"
#include "ui/board/ProjectListController.h"
#include "ui/board/ProjectTagFilter.h"
#include "ui/board/widgets/ProjectRowDelegate.h"

#include <QAbstractTableModel>
#include <QContextMenuEvent>
#include <QDataStream>
#include <QDrag>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIODevice>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <set>

namespace qv {

namespace {

const QString kProjectDragType = QStringLiteral("TODOListDataType");
const QString kShowingFeed = QStringLiteral("kShowingFeed");

// A chevron for the history buttons, dark enough to read and clearly lighter while disabled
// (the style's own arrows are faint at this size).
QIcon historyIcon(bool back)
{
    QIcon icon;
    for (const auto& [mode, alpha] : {std::pair{QIcon::Normal, 230}, std::pair{QIcon::Disabled, 80}}) {
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0x3c, 0x46, 0x50, alpha), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const double tip = back ? 10 : 22;
        const double tail = back ? 21 : 11;
        painter.drawPolyline(QPolygonF({QPointF(tail, 6), QPointF(tip, 16), QPointF(tail, 26)}));
        painter.end();
        icon.addPixmap(pixmap, mode);
    }
    return icon;
}

} // namespace

// The rows of the list over the controller's displayed projects. Drags carry the dragged rows
// under "TODOListDataType" together with the list they came from.
class ProjectTableModel final : public QAbstractTableModel {
public:
    ProjectTableModel(ProjectListController& controller, QObject* parent)
        : QAbstractTableModel(parent), m_controller(controller)
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : m_controller.rowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        TODOList* project = m_controller.getProjectAtRow(index.row());
        if (!project)
            return {};
        if (role == Qt::UserRole)
            return QVariant::fromValue<void*>(project);
        if (index.column() != ProjectNameColumn)
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return ProjectListController::displayName(project);
        case Qt::ToolTipRole:
            return PlainText::toolTip(ProjectListController::displayName(project));
        case Qt::EditRole:
            return project->name();
        default:
            return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole || index.column() != ProjectNameColumn)
            return false;
        TODOList* project = m_controller.getProjectAtRow(index.row());
        if (!project)
            return false;
        m_controller.commitName(project, value.toString());
        emit dataChanged(index, index);
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid())
            return Qt::ItemIsDropEnabled;
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
        if (index.column() == ProjectNameColumn)
            flags |= Qt::ItemIsEditable;
        if (m_controller.canDragRows())
            flags |= Qt::ItemIsDragEnabled;
        return flags;
    }

    QStringList mimeTypes() const override { return {kProjectDragType}; }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction | Qt::LinkAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

    QMimeData* mimeData(const QModelIndexList& indexes) const override
    {
        std::set<int> rows;
        for (const QModelIndex& index : indexes)
            rows.insert(index.row());
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream << quint64(quintptr(&m_controller)) << QList<int>(rows.begin(), rows.end());
        auto* data = new QMimeData;
        data->setData(kProjectDragType, bytes);
        return data;
    }

    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                      const QModelIndex& parent) override
    {
        if (!data || action != Qt::MoveAction || !data->hasFormat(kProjectDragType))
            return false;
        QByteArray bytes = data->data(kProjectDragType);
        QDataStream stream(&bytes, QIODevice::ReadOnly);
        quint64 origin = 0;
        QList<int> rows;
        stream >> origin >> rows;
        if (stream.status() != QDataStream::Ok || origin != quint64(quintptr(&m_controller)))
            return false;
        const bool above = row >= 0;
        const int target = above ? row : parent.row();
        if (!m_controller.acceptDrop(rows, target, above))
            return false;
        // The rows are stale once the projects moved.
        const_cast<QMimeData*>(data)->removeFormat(kProjectDragType);
        return true;
    }

    void reload()
    {
        beginResetModel();
        endResetModel();
    }

    void refreshCells()
    {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }

private:
    ProjectListController& m_controller;
};

// The table: clicks, keys, the context menu and the drag and drop of projects.
class ProjectTableView final : public QTableView {
public:
    explicit ProjectTableView(ProjectListView& list) : QTableView(&list), m_list(list)
    {
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
        setShowGrid(false);
        setWordWrap(false);
        horizontalHeader()->hide();
        verticalHeader()->hide();
        setDragEnabled(true);
        setAcceptDrops(true);
        viewport()->setAcceptDrops(true);
        setDragDropMode(QAbstractItemView::DragDrop);
        setDropIndicatorShown(false);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }

    ProjectListController& controller() const { return m_list.controller(); }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (ProjectListHost* host = controller().host())
            host->deselectItems();
        QTableView::mousePressEvent(event);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        // A double click below the rows adds a project; on a row it does nothing.
        if (!indexAt(event->position().toPoint()).isValid())
            controller().addNewProjectWithTemplate(nullptr);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if (state() != QAbstractItemView::EditingState) {
            if (event->key() == Qt::Key_Space) {
                if (Preferences* preferences = controller().document().services().preferences)
                    preferences->setValue(kShowingFeed, !preferences->boolValue(kShowingFeed));
            } else if (event->key() == Qt::Key_Right) {
                if (ProjectListHost* host = controller().host())
                    host->enableFirstQuadrantAndSelectRow(0);
                return;
            }
        }
        QTableView::keyPressEvent(event);
    }

    void contextMenuEvent(QContextMenuEvent* event) override
    {
        const int row = rowAt(event->pos().y());
        if (row >= 0 &&
            !controller().displayProjectsArrayController().isSelected(controller().getProjectAtRow(row)))
            controller().selectRow(row);
        QMenu menu(this);
        menu.addAction(tr("New Project"), this, [this] { controller().addNewProjectWithTemplate(nullptr); });
        if (row >= 0) {
            TODOList* project = controller().getProjectAtRow(row);
            menu.addAction(tr("Rename Project"), this,
                           [this, project] { m_list.findAndEditProject(project); });
            menu.addSeparator();
            menu.addAction(tr("Clone Project"), this,
                           [this, row] { controller().cloneProjectInRow(row, false); });
            menu.addAction(tr("Clone Project with Items"), this,
                           [this, row] { controller().cloneProjectInRow(row, true); });
            menu.addSeparator();
            menu.addAction(tr("Delete Project"), this,
                           [this, row] { controller().markProjectAsDeletedInRow(row); });
            if (!m_list.m_rowMenuActions.isEmpty()) {
                menu.addSeparator();
                menu.addActions(m_list.m_rowMenuActions);
            }
        }
        m_list.m_menuRow = row;
        menu.exec(event->globalPos());
        m_list.m_menuRow = -1;
    }

    void startDrag(Qt::DropActions) override
    {
        if (!controller().canDragRows())
            return;
        const QModelIndexList rows = selectionModel()->selectedRows(ProjectNameColumn);
        if (rows.isEmpty())
            return;
        auto* drag = new QDrag(this);
        drag->setMimeData(model()->mimeData(rows));
        QPixmap image(visualRect(rows.front()).united(visualRect(rows.front().siblingAtColumn(0))).size());
        image.fill(Qt::transparent);
        render(&image, QPoint(),
               QRegion(visualRect(rows.front()).united(visualRect(rows.front().siblingAtColumn(0)))));
        drag->setPixmap(image);
        drag->exec(Qt::MoveAction, Qt::MoveAction);
        m_indicator = {};
        viewport()->update();
    }

    void dragEnterEvent(QDragEnterEvent* event) override
    {
        const QMimeData* mime = event->mimeData();
        if (mime->hasFormat(ItemPasteboard::kType) ||
            (mime->hasFormat(kProjectDragType) && event->source() == this))
            event->acceptProposedAction();
        else
            event->ignore();
    }

    void dragMoveEvent(QDragMoveEvent* event) override
    {
        const QMimeData* mime = event->mimeData();
        const QPoint position = event->position().toPoint();
        if (mime->hasFormat(ItemPasteboard::kType)) {
            // Board items over the list choose the project they then drop into.
            const int row = rowAt(position.y());
            if (row >= 0)
                controller().validateDrop(row, true);
            event->setDropAction(Qt::LinkAction);
            event->accept();
            return;
        }
        if (!mime->hasFormat(kProjectDragType) || event->source() != this) {
            event->ignore();
            return;
        }
        const auto [row, above] = dropPosition(position);
        if (controller().validateDrop(row, false) == ProjectListController::DropOperation::None) {
            m_indicator = {};
            viewport()->update();
            event->ignore();
            return;
        }
        const QRect rect = visualRect(model()->index(row, 0)).united(visualRect(model()->index(row, 1)));
        m_indicator = above ? QRect(rect.left(), rect.top() - 1, rect.width(), 2) : rect;
        viewport()->update();
        event->setDropAction(Qt::MoveAction);
        event->accept();
    }

    void dragLeaveEvent(QDragLeaveEvent* event) override
    {
        m_indicator = {};
        viewport()->update();
        QTableView::dragLeaveEvent(event);
    }

    void dropEvent(QDropEvent* event) override
    {
        m_indicator = {};
        viewport()->update();
        if (event->source() != this || !event->mimeData()->hasFormat(kProjectDragType)) {
            event->ignore();
            return;
        }
        const auto [row, above] = dropPosition(event->position().toPoint());
        const bool dropped = model()->dropMimeData(event->mimeData(), Qt::MoveAction, above ? row : -1, 0,
                                                   above ? QModelIndex() : model()->index(row, 0));
        if (dropped) {
            event->setDropAction(Qt::MoveAction);
            event->accept();
        } else {
            event->ignore();
        }
    }

    void paintEvent(QPaintEvent* event) override
    {
        QTableView::paintEvent(event);
        if (m_indicator.isNull())
            return;
        QPainter painter(viewport());
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        if (m_indicator.height() <= 2)
            painter.drawLine(m_indicator.left(), m_indicator.center().y(), m_indicator.right(),
                             m_indicator.center().y());
        else
            painter.drawRect(m_indicator.adjusted(1, 1, -1, -1));
    }

private:
    // The row a drop at that point goes to, and whether it goes just above the row.
    std::pair<int, bool> dropPosition(const QPoint& position) const
    {
        const QModelIndex index = indexAt(position);
        if (!index.isValid())
            return {model()->rowCount(), true};
        const QRect rect = visualRect(index);
        const int margin = rect.height() / 4;
        if (position.y() < rect.top() + margin)
            return {index.row(), true};
        if (position.y() > rect.bottom() - margin)
            return {index.row() + 1, true};
        return {index.row(), false};
    }

    ProjectListView& m_list;
    QRect m_indicator;
};

ProjectListView::ProjectListView(MyDocument& document, const Services& services, QWidget* parent)
    : QWidget(parent), m_document(document),
      m_controller(std::make_unique<ProjectListController>(document, services))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 4, 4, 0);
    bar->setSpacing(2);
    m_backButton = new QToolButton(this);
    m_backButton->setIcon(historyIcon(true));
    m_backButton->setToolTip(tr("Previous project"));
    m_backButton->setAutoRaise(true);
    m_forwardButton = new QToolButton(this);
    m_forwardButton->setIcon(historyIcon(false));
    m_forwardButton->setToolTip(tr("Next project"));
    m_forwardButton->setAutoRaise(true);
    m_tagField = new QLineEdit(this);
    m_tagField->setPlaceholderText(tr("Filter by tags"));
    m_tagField->setClearButtonEnabled(true);
    m_tagsButton = new QToolButton(this);
    m_tagsButton->setText(tr("Tags"));
    m_tagsButton->setAutoRaise(true);
    m_tagsButton->setEnabled(false);
    bar->addWidget(m_backButton);
    bar->addWidget(m_forwardButton);
    bar->addWidget(m_tagField, 1);
    bar->addWidget(m_tagsButton);
    layout->addLayout(bar);

    auto* model = new ProjectTableModel(*m_controller, this);
    m_table = new ProjectTableView(*this);
    m_table->setModel(model);
    m_delegate = new ProjectRowDelegate(*m_controller, services.preferences, this);
    m_table->setItemDelegate(m_delegate);
    m_table->horizontalHeader()->setSectionResizeMode(QuadrantOverviewColumn, QHeaderView::Fixed);
    m_table->horizontalHeader()->resizeSection(QuadrantOverviewColumn, 68);
    m_table->horizontalHeader()->setSectionResizeMode(ProjectNameColumn, QHeaderView::Stretch);
    m_table->verticalHeader()->setDefaultSectionSize(44);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    layout->addWidget(m_table, 1);
    setMinimumWidth(160);

    connect(m_backButton, &QToolButton::clicked, this, &ProjectListView::goToPreviousProject);
    connect(m_forwardButton, &QToolButton::clicked, this, &ProjectListView::goToNextProject);
    connect(m_tagsButton, &QToolButton::clicked, this, [this] { showTagFilterViewController(m_tagsButton); });
    connect(m_tagField, &QLineEdit::editingFinished, this, [this] {
        QStringList names;
        for (const QString& name : m_tagField->text().split(u',', Qt::SkipEmptyParts)) {
            if (!name.trimmed().isEmpty())
                names << name.trimmed();
        }
        m_controller->updateTags(names);
        showSelectedTags(m_controller->getSelectedTags());
    });

    ArrayController& display = m_controller->displayProjectsArrayController();
    connect(&display, &ArrayController::arrangedObjectsChanged, this, [this, model] {
        // Rebuilding the rows closes an open name editor: its text is kept, the lock released.
        if (m_delegate->openEditor()) {
            m_delegate->commitOpenEditor();
            m_controller->endEditingName();
        }
        model->reload();
        syncSelectionToTable(true);
    });
    connect(&display, &ArrayController::selectionChanged, this, [this] { syncSelectionToTable(); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ProjectListView::syncSelectionFromTable);
    connect(m_controller.get(), &ProjectListController::selectedProjectChanged, this,
            &ProjectListView::selectedProjectChanged);
    connect(m_controller.get(), &ProjectListController::historyChanged, this,
            &ProjectListView::redrawBackForwardButtons);
    connect(m_controller.get(), &ProjectListController::rowCellsCleaned, this,
            [model] { model->refreshCells(); });
    connect(m_controller.get(), &ProjectListController::selectedTagsChanged, this,
            &ProjectListView::showSelectedTags);
    connect(m_controller.get(), &ProjectListController::scrollToSelectionRequested, this,
            &ProjectListView::scrollToSelectedProject);
    connect(m_controller.get(), &ProjectListController::editProjectRequested, this,
            &ProjectListView::findAndEditProject);
    // After a name edit the list takes the keyboard again, with its selection in view.
    connect(m_delegate, &QAbstractItemDelegate::closeEditor, this, [this] {
        if (m_controller->alphabeticalOrder())
            m_controller->rearrange(); // a new name takes its place in the order
        m_table->setFocus();
        scrollToSelectedProject();
    });

    if (services.preferences) {
        connect(services.preferences, &Preferences::changed, this, [this](const QString& key) {
            if (key == QLatin1String("kHidingProjectTags") || key == QLatin1String("kItemFilterState"))
                m_controller->cleanListCustomCells();
        });
    }

    showSelectedTags(m_controller->getSelectedTags());
    syncSelectionToTable();
    redrawBackForwardButtons();
    // The project chosen while the list was made is announced once the window listens.
    if (services.scheduler)
        services.scheduler->post(this,
                                 [this] { emit selectedProjectChanged(m_controller->selectedProject()); });
}

ProjectListView::~ProjectListView()
{
    // The editor's text is kept and the lock released before the rows go.
    if (m_delegate)
        m_delegate->commitOpenEditor();
    delete m_table;
    m_table = nullptr;
    m_controller->endEditingName();
}

QTableView* ProjectListView::tableView() const
{
    return m_table;
}

void ProjectListView::setHost(ProjectListHost* host)
{
    m_controller->setHost(host);
}

void ProjectListView::setFetcher(ProjectFetcher* fetcher)
{
    m_controller->setFetcher(fetcher);
}

void ProjectListView::setTagFilterPopup(QWidget* popup)
{
    // The popover is framed like the system's popups, not a bare panel floating over the window.
    if (m_tagPopup)
        m_tagPopup->hide();
    m_tagPopup = nullptr;
    if (popup) {
        auto* frame = new QFrame(this, Qt::Popup);
        frame->setObjectName(QStringLiteral("projectTagsPopover"));
        frame->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
        frame->setLineWidth(1);
        auto* layout = new QVBoxLayout(frame);
        layout->setContentsMargins(6, 6, 6, 6);
        popup->setParent(frame);
        layout->addWidget(popup);
        popup->show();
        frame->hide();
        m_tagPopup = frame;
    }
    m_tagsButton->setEnabled(popup != nullptr);
}

void ProjectListView::showTagFilterViewController(QWidget* anchor)
{
    if (!m_tagPopup)
        return;
    if (m_tagPopup->isVisible()) {
        m_tagPopup->hide();
        return;
    }
    m_controller->tagFilterViewController().reloadTags();
    QWidget* at = anchor ? anchor : m_tagsButton;
    m_tagPopup->adjustSize();
    m_tagPopup->move(at->mapToGlobal(QPoint(0, at->height())));
    m_tagPopup->show();
}

// --- ProjectList

TODOList* ProjectListView::getSelectedProject() const
{
    return m_controller->getSelectedProject();
}

std::vector<TODOList*> ProjectListView::getAllProjects() const
{
    return m_controller->getAllProjects();
}

int ProjectListView::numProjects() const
{
    return m_controller->numProjects();
}

TODOList* ProjectListView::newProjectForCloning()
{
    return m_controller->newProjectForCloning();
}

TODOList* ProjectListView::addNewProjectWithName(const QString& name)
{
    return m_controller->addNewProjectWithName(name);
}

void ProjectListView::adjustIndices()
{
    m_controller->adjustIndices();
}

void ProjectListView::rearrange()
{
    m_controller->rearrange();
}

// --- Commands

TODOList* ProjectListView::addNewProjectWithTemplate(const ProjectTemplate* quadrantTemplate)
{
    return m_controller->addNewProjectWithTemplate(quadrantTemplate);
}

int ProjectListView::contextRow() const
{
    return m_menuRow;
}

TODOList* ProjectListView::cloneProjectWithItems()
{
    return m_controller->cloneProjectInRow(contextRow(), true);
}

TODOList* ProjectListView::cloneProjectWithOutItems()
{
    return m_controller->cloneProjectInRow(contextRow(), false);
}

void ProjectListView::markProjectAsDeleted()
{
    m_controller->markProjectAsDeleted();
}

int ProjectListView::selectProject(TODOList* project)
{
    return m_controller->selectProject(project);
}

bool ProjectListView::selectLastSelectedProject()
{
    return m_controller->selectLastSelectedProject();
}

void ProjectListView::scrollToSelectedProject()
{
    const qsizetype row = m_controller->displayProjectsArrayController().selectionIndex();
    if (row >= 0 && m_table)
        m_table->scrollTo(m_table->model()->index(int(row), ProjectNameColumn));
}

void ProjectListView::cleanListCustomCells()
{
    m_controller->cleanListCustomCells();
}

void ProjectListView::reloadFilters()
{
    m_controller->reloadFilters();
}

void ProjectListView::goToPreviousProject()
{
    m_controller->goToPreviousProject();
}

void ProjectListView::goToNextProject()
{
    m_controller->goToNextProject();
}

void ProjectListView::toggleArchived()
{
    m_controller->toggleArchived();
}

void ProjectListView::setAlphabeticalOrder(bool alphabetical)
{
    m_controller->setAlphabeticalOrder(alphabetical);
}

void ProjectListView::findAndEditProject(TODOList* project)
{
    const int row = m_controller->rowOfProject(project);
    if (row < 0 || !m_table)
        return;
    if (!m_controller->displayProjectsArrayController().isSelected(project))
        m_controller->selectRow(row);
    const QModelIndex index = m_table->model()->index(row, ProjectNameColumn);
    m_table->scrollTo(index);
    m_table->setFocus();
    m_table->edit(index);
}

bool ProjectListView::isEditingName() const
{
    return m_controller->isEditingName();
}

void ProjectListView::setRowHeight(int height)
{
    m_table->verticalHeader()->setDefaultSectionSize(std::max(height, 36));
}

// --- Internals

void ProjectListView::syncSelectionToTable(bool force)
{
    if ((m_syncingSelection && !force) || !m_table)
        return;
    const bool wasSyncing = m_syncingSelection;
    m_syncingSelection = true;
    QAbstractItemModel* model = m_table->model();
    QItemSelection selection;
    const QList<qsizetype> rows = m_controller->displayProjectsArrayController().selectionIndexes();
    for (qsizetype row : rows)
        selection.select(model->index(int(row), 0), model->index(int(row), model->columnCount() - 1));
    QItemSelectionModel* selectionModel = m_table->selectionModel();
    if (!rows.isEmpty() && selectionModel->currentIndex().row() != rows.front())
        selectionModel->setCurrentIndex(model->index(int(rows.front()), ProjectNameColumn),
                                        QItemSelectionModel::NoUpdate);
    selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);
    m_syncingSelection = wasSyncing;
}

void ProjectListView::syncSelectionFromTable()
{
    if (m_syncingSelection)
        return;
    m_syncingSelection = true;
    QList<qsizetype> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows << index.row();
    m_controller->displayProjectsArrayController().setSelectionIndexes(rows);
    m_syncingSelection = false;
}

void ProjectListView::redrawBackForwardButtons()
{
    m_backButton->setEnabled(m_controller->canGoBack());
    m_forwardButton->setEnabled(m_controller->canGoForward());
}

void ProjectListView::showSelectedTags(const QStringList& names)
{
    if (!m_tagField->hasFocus())
        m_tagField->setText(names.join(QStringLiteral(", ")));
}

} // namespace qv
