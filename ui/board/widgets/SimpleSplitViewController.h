#pragma once

#include <QSplitter>
#include <QSplitterHandle>

namespace qv {

// A splitter whose dividers are drawn as a plain hairline in the window's colours rather than the
// style's dotted grip, which reads as a border running along the panes.
class PlainSplitter : public QSplitter {
    Q_OBJECT
public:
    explicit PlainSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;
};

// A split view whose divider keeps at least 100 points from either end, whose panes may all
// collapse, and where a double click on the divider collapses the second pane; the divider itself
// always stays.
class SimpleSplitViewController final : public PlainSplitter {
    Q_OBJECT
public:
    static constexpr int kEdgeMargin = 100;

    explicit SimpleSplitViewController(Qt::Orientation orientation, QWidget* parent = nullptr);

    // The divider position a proposal ends at for a split view length points long.
    static int constrainedPosition(int proposed, int length);

protected:
    QSplitterHandle* createHandle() override;
};

} // namespace qv
