#pragma once

#include <QtGlobal>

#include <array>

namespace qv {

// What a key pressed in a quadrant table does. The quadrants are laid out first top left,
// second top right, third bottom left, fourth bottom right.
class QuadrantNavigation {
public:
    QuadrantNavigation() = delete;

    enum class Key { Up, Down, Left, Right, Space, Delete, Other };

    struct Move {
        enum class Kind {
            TableHandling, // the table's own handling
            Nothing,       // consumed, no effect
            FocusQuadrant, // focus `quadrant`; select `row` unless it is -1
            FocusProjectList,
            ToggleDetail,
            DeleteItems,
        };
        Kind kind = Kind::TableHandling;
        int quadrant = -1;
        qsizetype row = -1;

        bool operator==(const Move&) const = default;
    };

    // selectedRow: the table's selected row, -1 without selection; rowCounts: rows of each quadrant.
    // A move into an empty quadrant focuses it with no selection (row -1): an empty table has
    // no row to select.
    static Move keyPressed(int quadrant, Key key, qsizetype selectedRow,
                           const std::array<qsizetype, 4>& rowCounts);
};

} // namespace qv
