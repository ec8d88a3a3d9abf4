#pragma once

#include <QPointF>
#include <QSizeF>

namespace qv {

// Where the board's two axes cross. Projects store the crossing as "centerX" / "centerY" in
// percent of the board with y growing upward, the form other clients share; the widgets work in
// fractions of the board with y growing downward. This is the one place that converts.
class CrossPosition {
public:
    CrossPosition() = delete;

    // The cross never comes closer than this to an edge of the board.
    static constexpr double kMargin = 80.0;

    // Stored percent -> fractions, y down. A fraction outside 0..1 becomes 0.5; unless forced,
    // each is then kept within 0.1..0.9.
    static QPointF fractionFromStored(double centerXPercent, double centerYPercent, bool force = false);
    // Fractions, y down -> stored percent, y up.
    static QPointF storedFromFraction(const QPointF& fraction);

    // The point of a board of that size a fraction names, kept kMargin inside every edge (the
    // middle of an axis too short for both margins).
    static QPointF pointInBoard(const QPointF& fraction, const QSizeF& board);
    // The fraction of a point of the board (after keeping it inside the margins).
    static QPointF fractionOfPoint(const QPointF& point, const QSizeF& board);

    // The fractions, y down, that leave quadrant 0-3 most of the board; the middle otherwise.
    static QPointF maximizing(int quadrant);
};

} // namespace qv
