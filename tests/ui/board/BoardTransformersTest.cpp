#include "ui/board/BoardTransformers.h"
#include "platform/Clock.h"
#include "tests/core/util/UtilsTestSupport.h"
#include "ui/board/BoardImages.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

TEST(BoardTransformers, GivenAnImageName_WhenTransformed_ThenTheBoardsImageFactoryAnswersIt)
{
    const FakeClock clock;
    const auto registry = makeBoardTransformers(clock);
    const QImage add =
        registry->transformedValue(QStringLiteral("ImageTransformer"), QStringLiteral("UI_Icon_mac_add"))
            .value<QImage>();
    ASSERT_FALSE(add.isNull());
    EXPECT_EQ(add, BoardImages::imageNamed(QStringLiteral("UI_Icon_mac_add")));
    EXPECT_FALSE(
        registry->transformedValue(QStringLiteral("InboxImageTransformer"), 3).value<QImage>().isNull());
}

TEST(BoardTransformers,
     GivenDueDates_WhenTheDrawerAsksForColourAndWeekday_ThenPastDaysAreDarkRedAndDaysAreNamed)
{
    FakeClock clock(utc(2026, 3, 10, 12));
    const auto registry = makeBoardTransformers(clock);
    const auto colour = [&](const QVariant& date) {
        return registry->transformedValue(QStringLiteral("FontColorFromDueDate"), date).value<QColor>();
    };
    const QColor darkRed = QColor::fromRgbF(0.8f, 0, 0);
    EXPECT_EQ(colour(clock.now().addDays(-1)), darkRed);
    EXPECT_EQ(colour(clock.now().addDays(-400)), darkRed);
    EXPECT_EQ(colour(clock.now()), QColor(Qt::black));
    EXPECT_EQ(colour(clock.now().addDays(1)), QColor(Qt::black));
    EXPECT_EQ(colour(QVariant()), QColor(Qt::black));

    const auto weekday = [&](const QVariant& date) {
        return registry->transformedValue(QStringLiteral("NSDateToDayOfTheWeekTransformer"), date).toString();
    };
    EXPECT_EQ(weekday(QVariant()), QString());
    EXPECT_EQ(weekday(clock.now()),
              QLocale().toString(clock.now().toLocalTime().date(), QStringLiteral("ddd")));
    EXPECT_FALSE(weekday(clock.now()).isEmpty());
}

} // namespace
} // namespace qv::test
