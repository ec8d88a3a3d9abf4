#include "ui/details/widgets/MasterListWindow.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "ui/board/ProjectListController.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace qv {

namespace {

enum Column { ItemColumn, ProjectColumn, QuadrantColumn, DueColumn, ColumnCount };
constexpr int kObjectIDRole = Qt::UserRole;

bool matches(const TODOItem& item, const QString& search)
{
    return search.isEmpty() || item.name().contains(search, Qt::CaseInsensitive) ||
           item.descriptionText().contains(search, Qt::CaseInsensitive);
}

} // namespace

MasterListWindow::MasterListWindow(MyDocument& document, ProjectListController& projects,
                                   const Services& services, QWidget* parent)
    : MasterListSheet(parent), m_document(document), m_projects(projects), m_services(services)
{
    setObjectName(QStringLiteral("masterList"));
    setWindowTitle(QStringLiteral("Master List"));
    setWindowModality(Qt::WindowModal);
    resize(720, 520);

    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("masterFindField"));
    m_search->setPlaceholderText(QStringLiteral("Search all projects"));
    m_search->setClearButtonEnabled(true);
    connect(m_search, &QLineEdit::textChanged, this, &MasterListWindow::reloadData);

    m_list = new QTreeWidget;
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels({QStringLiteral("Item"), QStringLiteral("Project"), QStringLiteral("Quadrant"),
                             QStringLiteral("Due")});
    m_list->header()->setSectionResizeMode(ItemColumn, QHeaderView::Stretch);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    // A double click or Return: the board shows the item.
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* row) {
        auto* item = dynamic_cast<TODOItem*>(m_document.context().objectWithID(
            TODOItem::staticEntityName(), row->data(ItemColumn, kObjectIDRole).toLongLong()));
        // Gone since the list was drawn: nothing to show.
        if (item && !item->isDeleted() && item->list())
            emit itemChosen(item);
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);

    m_observer =
        m_document.context().addChangeObserver([this](const store::ChangeEvent&) { scheduleReload(); });
    reloadData();
}

MasterListWindow::~MasterListWindow()
{
    if (m_observer)
        m_document.context().removeChangeObserver(*m_observer);
}

void MasterListWindow::scheduleReload()
{
    if (m_reloadPending || !m_services.scheduler)
        return;
    m_reloadPending = true;
    m_services.scheduler->post(this, [this] {
        m_reloadPending = false;
        reloadData();
    });
}

void MasterListWindow::reloadData()
{
    const QString search = m_search->text().trimmed();
    m_list->clear();
    QList<QTreeWidgetItem*> rows;
    for (TODOList* project : m_projects.getAllProjects()) {
        std::vector<TODOItem*> items = MyDocument::getAllTODOItemsForTODOList(project, ObjectState::Open);
        // Quadrant by quadrant, each in the board's manual order.
        std::sort(items.begin(), items.end(), [](const TODOItem* a, const TODOItem* b) {
            return a->quadrant() != b->quadrant() ? a->quadrant() < b->quadrant() : a->index() > b->index();
        });
        for (const TODOItem* item : items) {
            if (!matches(*item, search))
                continue;
            auto* row = new QTreeWidgetItem;
            row->setText(ItemColumn, item->name());
            row->setData(ItemColumn, kObjectIDRole, item->objectID());
            row->setText(ProjectColumn, project->name());
            row->setText(QuadrantColumn, project->nameForQuadrant(int(item->quadrant())));
            const QDateTime due = item->dueDate();
            if (due.isValid())
                row->setText(DueColumn, QLocale().toString(due.toLocalTime().date(), QLocale::ShortFormat));
            rows.append(row);
        }
    }
    m_list->addTopLevelItems(rows);
}

void MasterListWindow::gotoMasterFindButton()
{
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

} // namespace qv
