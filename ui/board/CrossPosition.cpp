#include "ui/board/CrossPosition.h"

#include <algorithm>

namespace qv {

namespace {

double keptInRange(double fraction, bool force)
{
    if (fraction < 0.0 || fraction > 1.0)
        fraction = 0.5;
    if (!force)
        fraction = std::clamp(fraction, 0.1, 0.9);
    return fraction;
}

double keptInside(double value, double length)
{
    if (length < 2 * CrossPosition::kMargin)
        return length / 2;
    return std::clamp(value, CrossPosition::kMargin, length - CrossPosition::kMargin);
}

} // namespace

QPointF CrossPosition::fractionFromStored(double centerXPercent, double centerYPercent, bool force)
{
    const double x = keptInRange(centerXPercent / 100.0, force);
    const double yUp = keptInRange(centerYPercent / 100.0, force);
    return {x, 1.0 - yUp};
}

QPointF CrossPosition::storedFromFraction(const QPointF& fraction)
{
    return {fraction.x() * 100.0, (1.0 - fraction.y()) * 100.0};
}

QPointF CrossPosition::pointInBoard(const QPointF& fraction, const QSizeF& board)
{
    return {keptInside(fraction.x() * board.width(), board.width()),
            keptInside(fraction.y() * board.height(), board.height())};
}

QPointF CrossPosition::fractionOfPoint(const QPointF& point, const QSizeF& board)
{
    if (board.width() <= 0 || board.height() <= 0)
        return {0.5, 0.5};
    const QPointF kept(keptInside(point.x(), board.width()), keptInside(point.y(), board.height()));
    return {kept.x() / board.width(), kept.y() / board.height()};
}

QPointF CrossPosition::maximizing(int quadrant)
{
    // Stored form (y up): first 0.9/0.1, second 0.1/0.1, third 0.9/0.9, fourth 0.1/0.9.
    switch (quadrant) {
    case 0:
        return {0.9, 0.9};
    case 1:
        return {0.1, 0.9};
    case 2:
        return {0.9, 0.1};
    case 3:
        return {0.1, 0.1};
    default:
        return {0.5, 0.5};
    }
}

} // namespace qv
