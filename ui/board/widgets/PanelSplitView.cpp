#include "ui/board/widgets/PanelSplitView.h"

#include "platform/Preferences.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSplitterHandle>

#include <algorithm>

namespace qv {

namespace {

// A divider drawn as a hairline, whose drag goes through the split view's limits.
class PanelSplitHandle final : public QSplitterHandle {
public:
    explicit PanelSplitHandle(PanelSplitView* parent)
        : QSplitterHandle(Qt::Horizontal, parent), m_view(parent)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(width() / 2, 0, width() / 2, height());
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton) {
            m_offset = int(event->position().x());
            m_pressed = true;
        }
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_pressed)
            return;
        const int pos = m_view->mapFromGlobal(event->globalPosition().toPoint()).x() - m_offset;
        // The handle stands left of the widget of the same index; its divider follows the
        // shown column before it.
        qsizetype divider = -1;
        for (int i = 0; i < m_view->indexOf(this); ++i) {
            if (!m_view->widget(i)->isHidden())
                ++divider;
        }
        m_view->moveDivider(divider, pos);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_pressed = false;
    }

private:
    PanelSplitView* m_view;
    int m_offset = 0;
    bool m_pressed = false;
};

} // namespace

PanelSplitView::PanelSplitView(Preferences& preferences, QWidget* board, QWidget* parent)
    : PlainSplitter(Qt::Horizontal, parent), m_preferences(preferences)
{
    setObjectName(QStringLiteral("windowSplitter"));
    setChildrenCollapsible(false);
    setColumnWidget(PanelColumn::Board, board);
}

void PanelSplitView::setColumnWidget(PanelColumn column, QWidget* widget)
{
    Q_ASSERT(!m_widgets[size_t(column)] && widget);
    int index = 0;
    for (size_t c = 0; c < size_t(column); ++c)
        index += m_widgets[c] ? 1 : 0;
    m_widgets[size_t(column)] = widget;
    insertWidget(index, widget);
    const bool board = column == PanelColumn::Board;
    setStretchFactor(index, board ? 1 : 0);
    if (!board)
        widget->hide();
}

std::vector<PanelColumn> PanelSplitView::columns() const
{
    std::vector<PanelColumn> shown;
    for (size_t c = 0; c < m_widgets.size(); ++c) {
        if (m_widgets[c] && !m_widgets[c]->isHidden())
            shown.push_back(PanelColumn(c));
    }
    return shown;
}

QList<int> PanelSplitView::columnWidths() const
{
    QList<int> widths;
    const QList<int> all = sizes();
    for (int i = 0; i < count(); ++i) {
        if (!widget(i)->isHidden())
            widths << all.value(i);
    }
    return widths;
}

bool PanelSplitView::contains(PanelColumn column) const
{
    const QWidget* widget = m_widgets[size_t(column)];
    return widget && !widget->isHidden();
}

QWidget* PanelSplitView::shownWidget(qsizetype index) const
{
    const std::vector<PanelColumn> shown = columns();
    return index >= 0 && index < qsizetype(shown.size()) ? m_widgets[size_t(shown[size_t(index)])] : nullptr;
}

void PanelSplitView::setColumnWidths(const QList<int>& widths)
{
    QList<int> all = sizes();
    qsizetype next = 0;
    for (int i = 0; i < count() && next < widths.size(); ++i) {
        if (!widget(i)->isHidden())
            all[i] = widths[next++];
    }
    setSizes(all);
}

void PanelSplitView::showColumn(PanelColumn column, bool show)
{
    QWidget* widget = m_widgets[size_t(column)];
    if (!widget || column == PanelColumn::Board || contains(column) == show)
        return;
    const int index = indexOf(widget);
    const int board = indexOf(m_widgets[size_t(PanelColumn::Board)]);
    QList<int> all = sizes();
    if (show) {
        const int width = m_layout.rememberedWidth(column);
        widget->show();
        if (width < 0)
            return; // no width known yet: the split view's own share
        all[board] -= width;
        all[index] = width;
    } else {
        m_layout.rememberWidth(column, all[index]);
        all[board] += all[index];
        all[index] = 0;
        widget->hide();
    }
    setSizes(all);
    saveSplitWidths();
}

void PanelSplitView::restoreWidths()
{
    m_restored = true;
    if (const std::optional<QList<int>> widths =
            SplitViewLayout::savedWidths(m_preferences, qsizetype(columns().size())))
        setColumnWidths(*widths);
}

void PanelSplitView::saveSplitWidths()
{
    if (m_restored)
        SplitViewLayout::saveWidths(m_preferences, columnWidths());
}

std::pair<int, int> PanelSplitView::dividerRange(qsizetype divider) const
{
    // The left edges of the shown columns, from the sizes (the geometry may lag behind them).
    const QList<int> widths = columnWidths();
    if (divider < 0 || divider + 1 >= widths.size())
        return {0, 0};
    QList<int> lefts;
    int x = 0;
    for (int width : widths) {
        if (!lefts.isEmpty())
            x += handleWidth();
        lefts << x;
        x += width;
    }
    const int proposedMin = lefts[divider];
    const int proposedMax = lefts[divider + 1] + widths[divider + 1] - handleWidth();
    const QWidget* detail = m_widgets[size_t(PanelColumn::Detail)];
    return SplitViewLayout::constrainedRange(divider, columns(), detail && !detail->isHidden(), proposedMin,
                                             proposedMax);
}

void PanelSplitView::moveDivider(qsizetype divider, int pos)
{
    const auto [low, high] = dividerRange(divider);
    if (low > high)
        return; // no room to move either way
    QList<int> widths = columnWidths();
    int left = 0;
    for (qsizetype i = 0; i < divider; ++i)
        left += widths[i] + handleWidth();
    const int moved = std::clamp(pos, low, high) - left - widths[divider];
    widths[divider] += moved;
    widths[divider + 1] -= moved;
    setColumnWidths(widths);
    saveSplitWidths();
}

QSplitterHandle* PanelSplitView::createHandle()
{
    return new PanelSplitHandle(this);
}

void PanelSplitView::resizeEvent(QResizeEvent* event)
{
    QSplitter::resizeEvent(event);
    if (m_fitting)
        return;
    const std::vector<PanelColumn> shown = columns();
    const QList<int> widths = columnWidths();
    int inner = 0;
    for (int width : widths)
        inner += width;
    const QList<int> fitted = SplitViewLayout::fitted(widths, shown, inner);
    if (fitted != widths) {
        m_fitting = true;
        setColumnWidths(fitted);
        m_fitting = false;
    }
    saveSplitWidths();
}

} // namespace qv
