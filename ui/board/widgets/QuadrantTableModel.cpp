#include "ui/board/widgets/QuadrantTableModel.h"

#include "core/model/TODOItem.h"
#include "ui/board/ArrayController.h"
#include "ui/board/Board.h"
#include "ui/board/ItemPasteboard.h"
#include "ui/board/PlainText.h"

#include <QMimeData>

#include <algorithm>

namespace qv {

QuadrantTableModel::QuadrantTableModel(ArrayController& controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller), m_rows(controller.arrangedObjects())
{
    connect(&m_controller, &ArrayController::arrangedObjectsChanged, this, &QuadrantTableModel::rebuild);
}

void QuadrantTableModel::rebuild()
{
    emit aboutToRebuild();
    beginResetModel();
    m_rows = m_controller.arrangedObjects();
    endResetModel();
}

void QuadrantTableModel::reloadRows()
{
    if (m_rows.empty())
        return;
    emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
}

TODOItem* QuadrantTableModel::itemAt(int row) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return nullptr;
    return store::as<TODOItem>(m_rows[size_t(row)]);
}

int QuadrantTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int QuadrantTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant QuadrantTableModel::data(const QModelIndex& index, int role) const
{
    const TODOItem* item = itemAt(index.row());
    if (!item)
        return {};
    if (index.column() == NameColumn) {
        switch (role) {
        case Qt::DisplayRole:
            return item->isNull(QStringLiteral("name")) ? QStringLiteral("Empty name") : item->name();
        case Qt::EditRole:
            return item->name();
        case Qt::ToolTipRole: {
            const QString notes = item->descriptionText().trimmed();
            return notes.isEmpty() ? QVariant() : QVariant(PlainText::toolTip(notes.left(500)));
        }
        default:
            return {};
        }
    }
    if (index.column() == StateColumn && role == Qt::CheckStateRole)
        return item->objectState() != ObjectState::Open ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool QuadrantTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TODOItem* item = itemAt(index.row());
    if (!item || index.column() != NameColumn || role != Qt::EditRole)
        return false;
    const QString name = value.toString();
    if (item->name() != name || item->isNull(QStringLiteral("name")))
        item->setName(name);
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags QuadrantTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == NameColumn && m_editable)
        flags |= Qt::ItemIsEditable;
    return flags;
}

Qt::DropActions QuadrantTableModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions QuadrantTableModel::supportedDragActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

QStringList QuadrantTableModel::mimeTypes() const
{
    return {ItemPasteboard::kType, QStringLiteral("text/uri-list"), QStringLiteral("text/plain")};
}

bool QuadrantTableModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                         const QModelIndex&) const
{
    return Board::canAcceptDrop(data);
}

} // namespace qv
