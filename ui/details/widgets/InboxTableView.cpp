#include "ui/details/widgets/InboxTableView.h"

#include "core/model/TODOItem.h"
#include "ui/board/ArrayController.h"
#include "ui/board/ItemPasteboard.h"
#include "ui/board/PlainText.h"
#include "ui/details/InboxModel.h"

#include <QAbstractListModel>
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QVBoxLayout>

namespace qv {

namespace {

// The inbox rows over the controller's arranged items; rows drag as board items.
class InboxListModel final : public QAbstractListModel {
public:
    InboxListModel(InboxModel& inbox, QObject* parent)
        : QAbstractListModel(parent), m_inbox(inbox), m_controller(inbox.itemsArrayController())
    {
        connect(&m_controller, &ArrayController::arrangedObjectsChanged, this, [this] {
            beginResetModel();
            endResetModel();
        });
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_controller.arrangedCount());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* item = store::as<TODOItem>(m_controller.arrangedObjectAt(index.row()));
        if (!item)
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return item->name();
        case Qt::ToolTipRole:
            return PlainText::toolTip(item->descriptionText().isEmpty() ? item->name()
                                                                        : item->descriptionText());
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return QAbstractListModel::flags(index) | (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
    }

    QStringList mimeTypes() const override { return {ItemPasteboard::kType}; }

    QMimeData* mimeData(const QModelIndexList& indexes) const override
    {
        QList<qsizetype> rows;
        for (const QModelIndex& index : indexes)
            rows << index.row();
        return m_inbox.dragData(rows).release();
    }

    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

private:
    InboxModel& m_inbox;
    ArrayController& m_controller;
};

} // namespace

InboxTableView::InboxTableView(MyDocument& document, const Services&, QWidget* parent)
    : QWidget(parent), m_model(new InboxModel(document, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    m_field = new QLineEdit(this);
    m_field->setPlaceholderText(tr("Add to inbox"));
    m_field->setClearButtonEnabled(true);
    layout->addWidget(m_field);
    m_view = new QListView(this);
    m_view->setModel(new InboxListModel(*m_model, this));
    m_view->setDragEnabled(true);
    m_view->setDragDropMode(QAbstractItemView::DragOnly);
    m_view->setDefaultDropAction(Qt::MoveAction);
    m_view->installEventFilter(this);
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* trash = new QAction(tr("Move to Trash"), m_view);
    connect(trash, &QAction::triggered, this, &InboxTableView::trashSelectedItems);
    m_view->addAction(trash);
    connect(m_view, &QListView::doubleClicked, this, [this] {
        emit activated();
        emit openRequested();
    });
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setUniformItemSizes(true);
    layout->addWidget(m_view, 1);
    setMinimumWidth(160);

    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        // A blank title makes nothing and leaves the field as it is.
        if (addItemWithTitle(m_field->text()))
            m_field->clear();
    });
    connect(m_model, &InboxModel::scrollToFirstRowRequested, this, [this] {
        if (m_view->model()->rowCount() > 0)
            m_view->scrollTo(m_view->model()->index(0, 0));
    });
    connect(&m_model->itemsArrayController(), &ArrayController::arrangedObjectsChanged, this,
            &InboxTableView::syncSelectionToView);
    connect(&m_model->itemsArrayController(), &ArrayController::selectionChanged, this,
            &InboxTableView::syncSelectionToView);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &InboxTableView::syncSelectionFromView);
}

InboxTableView::~InboxTableView() = default;

ArrayController& InboxTableView::itemsArrayController() const
{
    return m_model->itemsArrayController();
}

TODOItem* InboxTableView::addItemWithTitle(const QString& title, const QString& notes)
{
    return m_model->addItemWithTitle(title, notes);
}

void InboxTableView::itemAdded(TODOItem* item)
{
    m_model->itemAdded(item);
}

void InboxTableView::trashSelectedItems()
{
    m_model->trashSelectedItems();
}

bool InboxTableView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view) {
        if (event->type() == QEvent::FocusIn) {
            emit activated();
        } else if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
                trashSelectedItems();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void InboxTableView::syncSelectionToView()
{
    if (m_syncing)
        return;
    m_syncing = true;
    QItemSelection selection;
    for (qsizetype row : m_model->itemsArrayController().selectionIndexes()) {
        const QModelIndex index = m_view->model()->index(int(row), 0);
        selection.select(index, index);
    }
    m_view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
}

void InboxTableView::syncSelectionFromView()
{
    if (m_syncing)
        return;
    m_syncing = true;
    QList<qsizetype> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedIndexes())
        rows << index.row();
    m_model->itemsArrayController().setSelectionIndexes(rows);
    m_syncing = false;
    if (!rows.isEmpty())
        emit activated();
}

} // namespace qv
