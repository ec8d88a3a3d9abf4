#include "ui/board/widgets/DraggingDestinationButton.h"

#include "ui/board/Board.h"
#include "ui/board/BoardImages.h"
#include "ui/board/widgets/BoardWidgetsLogging.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QPixmap>

namespace qv {

DraggingDestinationButton::DraggingDestinationButton(Board& board, DropTargets::Operation operation,
                                                     QWidget* parent)
    : QToolButton(parent), m_board(board), m_targets(board), m_operation(operation)
{
    setAcceptDrops(true);
}

bool DraggingDestinationButton::isQuadrantDrag(const QMimeData* mime) const
{
    return m_board.isDragging() && DropTargets::canAccept(mime);
}

void DraggingDestinationButton::showImage(const QString& name)
{
    if (name.isEmpty())
        return;
    const QImage image = BoardImages::imageNamed(name);
    if (!image.isNull())
        setIcon(QIcon(QPixmap::fromImage(image)));
}

void DraggingDestinationButton::dragEnterEvent(QDragEnterEvent* event)
{
    if (!isQuadrantDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    showImage(m_imageMouseEntered);
    setDown(true); // the button under the drag lights up
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DraggingDestinationButton::dragLeaveEvent(QDragLeaveEvent* event)
{
    showImage(m_imageMouseExited);
    setDown(false);
    QToolButton::dragLeaveEvent(event);
}

void DraggingDestinationButton::dropEvent(QDropEvent* event)
{
    showImage(m_imageMouseExited);
    setDown(false);
    const bool acted = isQuadrantDrag(event->mimeData()) && m_targets.perform(m_operation, event->mimeData());
    qCDebug(lcBoardWidgets, "Drop on a drop button %s", acted ? "taken" : "refused");
    if (acted) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    emit dropped(acted);
}

} // namespace qv
