#include "ui/board/QuadrantNavigation.h"

#include <gtest/gtest.h>

#include <ostream>

namespace qv {

void PrintTo(const QuadrantNavigation::Move& move, std::ostream* out)
{
    *out << "{kind " << int(move.kind) << ", quadrant " << move.quadrant << ", row " << move.row << "}";
}

namespace {

using Key = QuadrantNavigation::Key;
using Move = QuadrantNavigation::Move;
using Kind = Move::Kind;

Move press(int quadrant, Key key, qsizetype selected, std::array<qsizetype, 4> counts)
{
    return QuadrantNavigation::keyPressed(quadrant, key, selected, counts);
}

Move focus(int quadrant, qsizetype row)
{
    return {Kind::FocusQuadrant, quadrant, row};
}

TEST(QuadrantNavigationUpDown,
     GivenTheEdgeRowOfAQuadrant_WhenUpOrDownLeavesIt_ThenTheNearestRowOfTheNeighbourIsSelected)
{
    EXPECT_EQ(press(2, Key::Up, 0, {4, 0, 3, 0}), focus(0, 3));
    EXPECT_EQ(press(3, Key::Up, 0, {0, 2, 0, 5}), focus(1, 1));
    // No selection counts as the top row.
    EXPECT_EQ(press(2, Key::Up, -1, {4, 0, 3, 0}), focus(0, 3));
    EXPECT_EQ(press(2, Key::Up, 1, {4, 0, 3, 0}), Move{});
    EXPECT_EQ(press(0, Key::Up, 0, {4, 0, 3, 0}), Move{});

    EXPECT_EQ(press(0, Key::Down, 3, {4, 0, 3, 0}), focus(2, 0));
    EXPECT_EQ(press(1, Key::Down, 1, {0, 2, 0, 5}), focus(3, 0));
    // With no selection in a quadrant that has rows the table moves on its own.
    EXPECT_EQ(press(0, Key::Down, -1, {4, 0, 3, 0}), Move{});
    EXPECT_EQ(press(2, Key::Down, 2, {4, 0, 3, 0}), Move{});
}

// Moving into an empty quadrant focuses it with no selection: it has no row to select.
TEST(QuadrantNavigationEmptyQuadrants,
     GivenAnEmptyTargetOrSource_WhenMoved_ThenItIsFocusedWithoutSelectionOrTheNeighbourEnteredAtItsEdge)
{
    EXPECT_EQ(press(2, Key::Up, 0, {0, 0, 3, 0}), focus(0, -1));
    EXPECT_EQ(press(0, Key::Down, 2, {3, 0, 0, 0}), focus(2, -1));
    EXPECT_EQ(press(0, Key::Right, 1, {3, 0, 0, 0}), focus(1, -1));
    EXPECT_EQ(press(3, Key::Left, 4, {0, 0, 0, 5}), focus(2, -1));

    EXPECT_EQ(press(2, Key::Up, -1, {4, 0, 0, 0}), focus(0, 3));
    EXPECT_EQ(press(0, Key::Down, -1, {0, 0, 2, 0}), focus(2, 0));
    EXPECT_EQ(press(1, Key::Down, -1, {0, 0, 0, 0}), focus(3, -1));
    EXPECT_EQ(press(0, Key::Right, -1, {0, 2, 0, 0}), focus(1, 0));
}

TEST(QuadrantNavigationSidewaysAndOtherKeys,
     GivenARow_WhenMovedSidewaysOrOtherKeysPressed_ThenTheSameOrLastRowIsSelectedOrTheKeyActsOrPassesOn)
{
    EXPECT_EQ(press(3, Key::Left, 5, {0, 0, 3, 8}), focus(2, 2));
    EXPECT_EQ(press(0, Key::Right, 1, {4, 6, 0, 0}), focus(1, 1));
    EXPECT_EQ(press(1, Key::Left, -1, {4, 6, 0, 0}), focus(0, 0));
    EXPECT_EQ(press(0, Key::Left, 1, {4, 6, 0, 0}), (Move{Kind::FocusProjectList, -1, -1}));
    EXPECT_EQ(press(2, Key::Left, 1, {4, 6, 2, 0}), (Move{Kind::FocusProjectList, -1, -1}));
    EXPECT_EQ(press(1, Key::Right, 1, {4, 6, 0, 0}).kind, Kind::Nothing);
    EXPECT_EQ(press(3, Key::Right, 0, {4, 6, 0, 1}).kind, Kind::Nothing);

    EXPECT_EQ(press(1, Key::Space, 0, {1, 1, 1, 1}).kind, Kind::ToggleDetail);
    EXPECT_EQ(press(2, Key::Delete, 0, {1, 1, 1, 1}).kind, Kind::DeleteItems);
    EXPECT_EQ(press(2, Key::Other, 0, {1, 1, 1, 1}).kind, Kind::TableHandling);
    EXPECT_EQ(press(7, Key::Up, 0, {1, 1, 1, 1}).kind, Kind::TableHandling);
}

} // namespace
} // namespace qv
