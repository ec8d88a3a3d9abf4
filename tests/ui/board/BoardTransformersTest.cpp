#include "ui/board/BoardTransformers.h"
#include "platform/Clock.h"
#include "tests/core/util/UtilsTestSupport.h"
#include "ui/board/BoardImages.h"
#include "ui/board/LoginTransformers.h"

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

TEST(
    BoardTransformers,
    GivenSignedOutOrInWithOrWithoutAPicture_WhenTheSignInPictureIsAsked_ThenItIsTheGreyedAvatarOrTheSignInPicture)
{
    const FakeClock clock;
    bool online = true;
    const auto registry = makeBoardTransformers(clock, {{}, {}, {}, [&] { return online; }, {}});
    const auto picture = [&](const QVariant& email) {
        return registry->transformedValue(QStringLiteral("EmailToAvatarOrLoginTransformer"), email)
            .value<QImage>();
    };
    const QImage signIn = BoardImages::imageNamed(QStringLiteral("mac_sync_offline"));
    ASSERT_FALSE(signIn.isNull());
    // Before the shell knows any avatars.
    EXPECT_EQ(picture(QStringLiteral("me@example.com")), signIn);

    QImage red(80, 80, QImage::Format_ARGB32);
    red.fill(Qt::red);
    registerLoginTransformers(
        *registry,
        {{},
         [&](const QString& email) { return email == QLatin1String("me@example.com") ? red : QImage(); },
         [&] {
             return online;
         }});
    for (const QVariant& nobody : {QVariant(), QVariant(QString()), QVariant(7)})
        EXPECT_EQ(picture(nobody), signIn) << nobody.typeName();
    EXPECT_EQ(picture(QStringLiteral("someone@example.com")), signIn);
    EXPECT_EQ(picture(QStringLiteral("me@example.com")).pixelColor(40, 40), QColor(Qt::red));
    online = false;
    const QColor grey = picture(QStringLiteral("me@example.com")).pixelColor(40, 40);
    EXPECT_EQ(grey.red(), grey.green());
    EXPECT_EQ(grey.green(), grey.blue());
}

} // namespace
} // namespace qv::test
