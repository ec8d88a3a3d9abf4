#include "ui/board/QuadrantNavigation.h"

#include <algorithm>

namespace qv {

namespace {

using Move = QuadrantNavigation::Move;
using Kind = Move::Kind;

Move focus(int quadrant, qsizetype row, const std::array<qsizetype, 4>& rowCounts)
{
    const qsizetype count = rowCounts[size_t(quadrant)];
    if (count <= 0)
        row = -1;
    else
        row = std::clamp<qsizetype>(row, 0, count - 1);
    return {Kind::FocusQuadrant, quadrant, row};
}

} // namespace

Move QuadrantNavigation::keyPressed(int quadrant, Key key, qsizetype selectedRow,
                                    const std::array<qsizetype, 4>& rowCounts)
{
    if (quadrant < 0 || quadrant > 3)
        return {};
    const qsizetype count = rowCounts[size_t(quadrant)];
    const bool empty = count <= 0;
    const qsizetype selectedOrFirst = selectedRow < 0 ? 0 : selectedRow;
    const bool top = quadrant == 0 || quadrant == 1;
    const bool left = quadrant == 0 || quadrant == 2;

    switch (key) {
    case Key::Up:
        if (!top && (selectedOrFirst == 0 || empty)) {
            const int above = quadrant - 2;
            return focus(above, rowCounts[size_t(above)] - 1, rowCounts);
        }
        return {};
    case Key::Down:
        if (top && (selectedRow == count - 1 || empty)) {
            const int below = quadrant + 2;
            return focus(below, 0, rowCounts);
        }
        return {};
    case Key::Left:
        if (left)
            return {Kind::FocusProjectList, -1, -1};
        return focus(quadrant - 1, std::min(rowCounts[size_t(quadrant - 1)] - 1, selectedOrFirst), rowCounts);
    case Key::Right:
        if (!left)
            return {Kind::Nothing, -1, -1};
        return focus(quadrant + 1, std::min(rowCounts[size_t(quadrant + 1)] - 1, selectedOrFirst), rowCounts);
    case Key::Space:
        return {Kind::ToggleDetail, -1, -1};
    case Key::Delete:
        return {Kind::DeleteItems, -1, -1};
    case Key::Other:
        return {};
    }
    return {};
}

} // namespace qv
