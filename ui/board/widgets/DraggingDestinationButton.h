#pragma once

#include "ui/board/DropTargets.h"

#include <QString>
#include <QToolButton>

namespace qv {

class Board;

// A toolbar button that items dragged out of a quadrant table can be dropped on: it completes,
// trashes or duplicates them (DropTargets). While a drag hovers over it the button shows the
// image named imageMouseEntered, and imageMouseExited once the drag leaves or drops.
class DraggingDestinationButton final : public QToolButton {
    Q_OBJECT
public:
    DraggingDestinationButton(Board& board, DropTargets::Operation operation, QWidget* parent = nullptr);

    DropTargets::Operation operation() const { return m_operation; }
    void setImageMouseEntered(const QString& name) { m_imageMouseEntered = name; }
    void setImageMouseExited(const QString& name) { m_imageMouseExited = name; }

signals:
    // A drop was taken (true) or refused (false).
    void dropped(bool acted);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Only drags that a quadrant table started are taken, not those of the project list.
    bool isQuadrantDrag(const QMimeData* mime) const;
    void showImage(const QString& name);

    Board& m_board;
    DropTargets m_targets;
    DropTargets::Operation m_operation;
    QString m_imageMouseEntered;
    QString m_imageMouseExited;
};

} // namespace qv
