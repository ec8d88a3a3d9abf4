#include "core/model/TODOList.h"
#include "ui/board/CrossPosition.h"
#include "ui/board/QuadrantColors.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

// --- The axis crossing: stored in percent with y up, shown with y down

TEST(CrossPositionConversion,
     GivenStoredPercentYUpOrAFraction_WhenShownOrStored_ThenYIsFlippedAndTheSamePercentComesBack)
{
    EXPECT_EQ(CrossPosition::fractionFromStored(50, 50), QPointF(0.5, 0.5));
    EXPECT_EQ(CrossPosition::fractionFromStored(30, 80), QPointF(0.3, 1.0 - 0.8));
    EXPECT_EQ(CrossPosition::fractionFromStored(120, -30), QPointF(0.5, 0.5));
    EXPECT_EQ(CrossPosition::fractionFromStored(5, 95), QPointF(0.1, 1.0 - 0.9));
    EXPECT_EQ(CrossPosition::fractionFromStored(5, 95, true), QPointF(0.05, 1.0 - 0.95));

    const QPointF stored = CrossPosition::storedFromFraction(QPointF(0.25, 0.2));
    EXPECT_DOUBLE_EQ(stored.x(), 25);
    EXPECT_DOUBLE_EQ(stored.y(), 80);
    EXPECT_EQ(CrossPosition::fractionFromStored(stored.x(), stored.y()), QPointF(0.25, 0.2));
}

TEST(CrossPositionBoard, GivenAFractionNearAnEdge_WhenPlaced_ThenTheCrossStays80Inside)
{
    EXPECT_EQ(CrossPosition::pointInBoard(QPointF(0.05, 0.95), QSizeF(1000, 600)), QPointF(80, 520));
    EXPECT_EQ(CrossPosition::pointInBoard(QPointF(0.5, 0.5), QSizeF(100, 600)), QPointF(50, 300));
    EXPECT_EQ(CrossPosition::fractionOfPoint(QPointF(-40, 900), QSizeF(1000, 600)),
              QPointF(0.08, 520.0 / 600));
    // Maximising the first (top left) quadrant puts the cross low and right.
    EXPECT_EQ(CrossPosition::maximizing(0), QPointF(0.9, 0.9));
    EXPECT_EQ(CrossPosition::maximizing(3), QPointF(0.1, 0.1));
}

// --- Quadrant colours

TEST(QuadrantColorsLighter, GivenAColour_WhenLightened_ThenSaturationIsAFifthAndBrightnessFourFifthsToFull)
{
    const QColor grey = QuadrantColors::lighterColor(Qt::black);
    EXPECT_NEAR(grey.valueF(), 0.8, 0.005);
    EXPECT_NEAR(grey.saturationF(), 0.0, 0.005);
    const QColor blue = QuadrantColors::lighterColor(QColor::fromHsvF(0.6f, 1.0f, 0.5f));
    EXPECT_NEAR(blue.hueF(), 0.6, 0.005);
    EXPECT_NEAR(blue.saturationF(), 0.2, 0.005);
    EXPECT_NEAR(blue.valueF(), 0.9, 0.005);
    EXPECT_EQ(QuadrantColors::quadrantColor(nullptr, 0), QColor::fromRgbF(0.9f, 0.9f, 0.9f));
}

} // namespace
} // namespace qv
