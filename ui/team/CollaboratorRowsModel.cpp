#include "ui/team/CollaboratorRowsModel.h"

#include "ui/board/PlainText.h"
#include "ui/team/SimpleCollaboratorsController.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qv {

CollaboratorRowsModel::CollaboratorRowsModel(SimpleCollaboratorsController& controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller)
{
    // The rows are few: a reset keeps the view simple and the selection lives in the controller.
    connect(&m_controller, &SimpleCollaboratorsController::rowsChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int CollaboratorRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_controller.rows().size());
}

int CollaboratorRowsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant CollaboratorRowsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_controller.rows().size())
        return {};
    const User& user = m_controller.rows()[index.row()];
    if (index.column() == InviteState) {
        if (role == Qt::CheckStateRole)
            return user.invited ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::ToolTipRole)
            return user.owner     ? QStringLiteral("Owns this project")
                   : user.invited ? QStringLiteral("Invited: click to withdraw the invitation")
                                  : QStringLiteral("Click to invite to this project");
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return user.email;
    case Qt::DecorationRole:
        return roundIcon(m_controller.avatarFor(user.email));
    case Qt::ToolTipRole:
        return PlainText::toolTip(user.owner ? QStringLiteral("%1 (owner)").arg(user.email) : user.email);
    default:
        return {};
    }
}

QIcon CollaboratorRowsModel::roundIcon(const QImage& picture) const
{
    if (picture.isNull())
        return {};
    const auto known = m_icons.constFind(picture.cacheKey());
    if (known != m_icons.constEnd())
        return *known;
    const int side = std::min(picture.width(), picture.height());
    QPixmap round(side, side);
    round.fill(Qt::transparent);
    QPainter painter(&round);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, side, side));
    painter.setClipPath(circle);
    painter.drawImage(QRect(0, 0, side, side), picture);
    painter.end();
    const QIcon icon(round);
    m_icons.insert(picture.cacheKey(), icon);
    return icon;
}

Qt::ItemFlags CollaboratorRowsModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace qv
