#pragma once

#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace qv {

class Preferences;

// The window's columns, in the order they stand when all are shown.
enum class PanelColumn { Inbox, Projects, Board, Feed, Detail };

// The rules of the window's one horizontal split view: where a column goes when it is shown,
// the width it comes back with, how close a divider may come to its neighbours, and the widths
// kept in the preferences.
class SplitViewLayout {
public:
    static constexpr int kDividerLimit = 180;
    static constexpr int kDetailDividerLimit = 252;
    static const QString kWidthsKey; // "mainSplitViewWidths"

    // The width a column had when it was taken out; before that inbox 180, projects 180,
    // detail 252, and -1 for the feed (no width known: the split view decides).
    int rememberedWidth(PanelColumn column) const;
    void rememberWidth(PanelColumn column, int width);

    // How far the divider at index stays from the far edges of the two columns it separates:
    // 252 for the last divider with the shown detail column right of it, else 180.
    static int dividerLimit(qsizetype divider, const std::vector<PanelColumn>& columns, bool detailVisible);
    // The proposed range of a divider narrowed by its limit on both sides.
    static std::pair<int, int> constrainedRange(qsizetype divider, const std::vector<PanelColumn>& columns,
                                                bool detailVisible, int proposedMin, int proposedMax);

    // Each column's width, truncated, left to right.
    static void saveWidths(Preferences& preferences, const QList<int>& widths);
    // The saved widths when they name exactly columnCount columns.
    static std::optional<QList<int>> savedWidths(const Preferences& preferences, qsizetype columnCount);

    // Widths for a split view of the given inner width (dividers excluded). The board takes what
    // is gained or lost; when that would leave it narrower than half the width, the side columns
    // give up width (evenly, never below their divider limit) until it has half or they are at
    // their limits.
    static QList<int> fitted(const QList<int>& widths, const std::vector<PanelColumn>& columns, int total);

private:
    std::array<int, 5> m_remembered{kDividerLimit, kDividerLimit, 0, -1, kDetailDividerLimit};
};

} // namespace qv
