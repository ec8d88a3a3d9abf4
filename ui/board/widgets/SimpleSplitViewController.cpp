#include "ui/board/widgets/SimpleSplitViewController.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace qv {

namespace {

class PlainHandle : public QSplitterHandle {
public:
    PlainHandle(Qt::Orientation orientation, QSplitter* parent) : QSplitterHandle(orientation, parent) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));
        painter.setPen(palette().color(QPalette::Mid));
        if (orientation() == Qt::Horizontal)
            painter.drawLine(width() / 2, 0, width() / 2, height());
        else
            painter.drawLine(0, height() / 2, width(), height() / 2);
    }
};

class SimpleHandle final : public PlainHandle {
public:
    SimpleHandle(Qt::Orientation orientation, QSplitter* parent) : PlainHandle(orientation, parent) {}

protected:
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        const QPoint inSplitter = mapToParent(event->position().toPoint());
        const int proposed = orientation() == Qt::Horizontal ? inSplitter.x() : inSplitter.y();
        const int length = orientation() == Qt::Horizontal ? splitter()->width() : splitter()->height();
        moveSplitter(SimpleSplitViewController::constrainedPosition(proposed, length));
    }

    void mouseDoubleClickEvent(QMouseEvent*) override
    {
        // Only the second pane collapses.
        QList<int> sizes = splitter()->sizes();
        if (sizes.size() < 2)
            return;
        sizes[0] += sizes[1];
        sizes[1] = 0;
        splitter()->setSizes(sizes);
    }
};

} // namespace

PlainSplitter::PlainSplitter(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent)
{
    setHandleWidth(5);
}

QSplitterHandle* PlainSplitter::createHandle()
{
    return new PlainHandle(orientation(), this);
}

SimpleSplitViewController::SimpleSplitViewController(Qt::Orientation orientation, QWidget* parent)
    : PlainSplitter(orientation, parent)
{
    setChildrenCollapsible(true);
    setOpaqueResize(true);
}

int SimpleSplitViewController::constrainedPosition(int proposed, int length)
{
    int position = std::max(proposed, kEdgeMargin);
    if (length - kEdgeMargin > 0)
        position = std::min(position, length - kEdgeMargin);
    return position;
}

QSplitterHandle* SimpleSplitViewController::createHandle()
{
    return new SimpleHandle(orientation(), this);
}

} // namespace qv
