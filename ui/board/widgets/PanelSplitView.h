#pragma once

#include "ui/board/SplitViewLayout.h"
#include "ui/board/widgets/SimpleSplitViewController.h"

#include <array>
#include <vector>

namespace qv {

class Preferences;

// The window's one horizontal split view of up to five columns: inbox, project list, board,
// feed and item detail. Every column stays in the split view; a column that is out is hidden,
// which keeps the others in place, and comes back with the width it had. Dividers keep their
// distance from the neighbouring columns' far edges, the board is the column that gives and
// takes width, and the shown columns' widths are saved after every change.
class PanelSplitView : public PlainSplitter {
    Q_OBJECT
public:
    // The board is given at once; the side columns start out.
    PanelSplitView(Preferences& preferences, QWidget* board, QWidget* parent = nullptr);

    void setColumnWidget(PanelColumn column, QWidget* widget);
    QWidget* columnWidget(PanelColumn column) const { return m_widgets[size_t(column)]; }

    // The columns now in the split view, left to right, and their widths.
    std::vector<PanelColumn> columns() const;
    QList<int> columnWidths() const;
    bool contains(PanelColumn column) const;

    // Brings a column in or takes it out; the board gives or takes its width.
    void showColumn(PanelColumn column, bool show);
    // The saved widths, when they name as many columns as are shown now. Widths are saved from
    // then on (before, a first layout would overwrite them).
    void restoreWidths();
    void saveSplitWidths();

    // Moves the divider right of the given shown column (0: the leftmost divider) to pos,
    // held within its limits; what a drag of the divider does.
    void moveDivider(qsizetype divider, int pos);
    std::pair<int, int> dividerRange(qsizetype divider) const;

    SplitViewLayout& layoutRules() { return m_layout; }

protected:
    QSplitterHandle* createHandle() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* shownWidget(qsizetype index) const;
    void setColumnWidths(const QList<int>& widths);

    Preferences& m_preferences;
    SplitViewLayout m_layout;
    std::array<QWidget*, 5> m_widgets{};
    bool m_fitting = false;
    bool m_restored = false;
};

} // namespace qv
