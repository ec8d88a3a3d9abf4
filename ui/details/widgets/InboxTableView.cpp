#include "ui/details/widgets/InboxTableView.h"

#include "core/model/TODOItem.h"
#include "ui/board/ArrayController.h"
#include "ui/details/InboxModel.h"

#include <QAbstractListModel>
#include <QLineEdit>
#include <QListView>
#include <QVBoxLayout>

namespace qv {

namespace {

// The inbox rows over the controller's arranged items.
class InboxListModel final : public QAbstractListModel {
public:
    InboxListModel(ArrayController& controller, QObject* parent)
        : QAbstractListModel(parent), m_controller(controller)
    {
        connect(&controller, &ArrayController::arrangedObjectsChanged, this, [this] {
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
            return item->descriptionText().isEmpty() ? item->name() : item->descriptionText();
        default:
            return {};
        }
    }

private:
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
    m_view->setModel(new InboxListModel(m_model->itemsArrayController(), this));
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
}

} // namespace qv
