#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>

namespace qv {

class SimpleCollaboratorsController;

// The team panel's rows as a table: the invitation check box ("inviteState"), then the person
// with the picture. Follows the controller; a click on the check box goes to the controller.
class CollaboratorRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { InviteState = 0, Person = 1 };

    explicit CollaboratorRowsModel(SimpleCollaboratorsController& controller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QIcon roundIcon(const QImage& picture) const;

    SimpleCollaboratorsController& m_controller;
    // By the picture's cache key: the rows are painted often.
    mutable QHash<qint64, QIcon> m_icons;
};

} // namespace qv
