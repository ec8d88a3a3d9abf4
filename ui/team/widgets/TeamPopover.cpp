#include "ui/team/widgets/TeamPopover.h"

#include <QScreen>
#include <QVBoxLayout>

namespace qv {

TeamPopover::TeamPopover(QWidget* content, QWidget* parent) : QFrame(parent, Qt::Popup), m_content(content)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(content);
}

void TeamPopover::showRelativeTo(QWidget* anchor, Qt::Edge edge)
{
    adjustSize();
    QPoint at;
    if (edge == Qt::BottomEdge) {
        const QPoint bottom = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height()));
        at = QPoint(bottom.x() - width() / 2, bottom.y());
    } else {
        const QPoint right = anchor->mapToGlobal(QPoint(anchor->width(), anchor->height() / 2));
        at = QPoint(right.x(), right.y() - height() / 2);
    }
    if (const QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(at);
    show();
    // Typing goes to the content at once, without a click into it first.
    activateWindow();
    m_content->setFocus(Qt::PopupFocusReason);
}

} // namespace qv
