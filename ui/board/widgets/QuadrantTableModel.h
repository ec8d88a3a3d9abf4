#pragma once

#include <QAbstractTableModel>

#include <vector>

namespace qv {

class ArrayController;
class TODOItem;

namespace store {
class ManagedObject;
}

// One quadrant's items as table rows: a view over its controller's arranged objects. Column 0 is
// the item row (its title is what an editor edits), column 1 the completion check box.
class QuadrantTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, StateColumn = 1, ColumnCount = 2 };

    explicit QuadrantTableModel(ArrayController& controller, QObject* parent = nullptr);

    ArrayController& controller() const { return m_controller; }
    // nullptr outside the rows.
    TODOItem* itemAt(int row) const;

    // Titles cannot be edited while the project's items are still being fetched.
    void setEditable(bool editable) { m_editable = editable; }
    bool isEditable() const { return m_editable; }
    // Every row shows its item afresh (attribute changes rebuild nothing).
    void reloadRows();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;

signals:
    // The rows are about to be rebuilt from the controller (an open editor must end first).
    void aboutToRebuild();

private:
    void rebuild();

    ArrayController& m_controller;
    // The rows as last shown, so that indexes stay meaningful until the rebuild.
    std::vector<store::ManagedObject*> m_rows;
    bool m_editable = true;
};

} // namespace qv
