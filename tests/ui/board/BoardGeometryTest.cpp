#include "app/TODOList.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "tests/support/TestEnvironment.h"
#include "ui/board/CrossPosition.h"
#include "ui/board/FontTiers.h"
#include "ui/board/QuadrantColors.h"
#include "ui/board/QuadrantTemplates.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

// --- The axis crossing: stored in percent with y up, shown with y down

TEST(CrossPositionConversion, GivenStoredPercentYUp_WhenShown_ThenYIsFlippedAndFractionsKeptInRange)
{
    EXPECT_EQ(CrossPosition::fractionFromStored(50, 50), QPointF(0.5, 0.5));
    EXPECT_EQ(CrossPosition::fractionFromStored(30, 80), QPointF(0.3, 1.0 - 0.8));
    EXPECT_EQ(CrossPosition::fractionFromStored(120, -30), QPointF(0.5, 0.5));
    EXPECT_EQ(CrossPosition::fractionFromStored(5, 95), QPointF(0.1, 1.0 - 0.9));
    EXPECT_EQ(CrossPosition::fractionFromStored(5, 95, true), QPointF(0.05, 1.0 - 0.95));
}

TEST(CrossPositionConversion, GivenAFraction_WhenStored_ThenTheSamePercentComesBack)
{
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

// --- Font tiers

TEST(FontTiersTable, GivenEachTier_WhenRead_ThenBaseSizesAndRowHeightsFollowTheTable)
{
    const float rows[] = {20, 24, 28, 32, 35, 38, 40, 45, 50};
    for (int tier = 0; tier <= 8; ++tier) {
        EXPECT_EQ(FontTiers::fontSizeForTier(tier), 10.0f + float(tier));
        EXPECT_EQ(FontTiers::rowHeightForTier(tier), rows[tier]);
    }
    EXPECT_EQ(FontTiers::rowHeightForTier(42), 50);
    EXPECT_EQ(FontTiers::fontSizeForTier(-3), 10);
}

TEST(FontTiersSteps, GivenTheEndsOfTheRange_WhenStepped_ThenNothingChangesThereAndStepsAreLogged)
{
    test::TempHome home;
    Preferences preferences(home.root() + QStringLiteral("/prefs.conf"));
    preferences.setValue(QStringLiteral("FONT_TIER"), 7);
    LogCapture log;
    EXPECT_TRUE(FontTiers::increaseFontTier(preferences));
    EXPECT_TRUE(log.contains("Increased to font tier 8, base size 18"));
    EXPECT_FALSE(FontTiers::increaseFontTier(preferences));
    EXPECT_EQ(FontTiers::tier(preferences), 8);
    preferences.setValue(QStringLiteral("FONT_TIER"), 1);
    EXPECT_TRUE(FontTiers::decreaseFontTier(preferences));
    EXPECT_TRUE(log.contains("Decreased to font tier 0, base size 10"));
    EXPECT_FALSE(FontTiers::decreaseFontTier(preferences));
    EXPECT_EQ(log.lines().size(), 2);
    preferences.setValue(QStringLiteral("FONT_TIER"), 99);
    EXPECT_EQ(FontTiers::currentQuadrantRowHeight(preferences), 50);
}

// --- Quadrant colours and templates

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

TEST(QuadrantTemplatesList, GivenTheTemplatesFile_WhenRead_ThenEntriesWithTitlesComeInFileOrder)
{
    const auto templates = QuadrantTemplates::parse(R"([
        {"title": "Priorities", "tooltip": "Urgent and important", "textFirstQuadrant": "Do",
         "textSecondQuadrant": "Plan", "textThirdQuadrant": "Delegate", "textFourthQuadrant": "Drop",
         "centerX": 40, "centerY": 60},
        {"tooltip": "no title"},
        {"title": "Plain"}])");
    ASSERT_EQ(templates.size(), 2u);
    EXPECT_EQ(templates[0].title, QStringLiteral("Priorities"));
    EXPECT_EQ(templates[0].quadrantTitles[3], QStringLiteral("Drop"));
    EXPECT_EQ(templates[0].centerX, 40);
    EXPECT_EQ(templates[1].centerY, 50);
    EXPECT_TRUE(QuadrantTemplates::parse("not json").empty());
    EXPECT_TRUE(QuadrantTemplates::load(QStringLiteral("/nonexistent/templates.json")).empty());
}

} // namespace
} // namespace qv
