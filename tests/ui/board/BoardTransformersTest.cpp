#include "ui/board/BoardTransformers.h"
#include "platform/Clock.h"
#include "tests/core/util/UtilsTestSupport.h"
#include "ui/board/BoardImages.h"
#include "ui/board/LoginTransformers.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

TEST(BoardTransformers, GivenAnImageNameOrAnInboxCount_WhenTransformed_ThenTheBoardShowsThatPicture)
{
    const FakeClock clock;
    const auto registry = makeBoardTransformers(clock);
    const auto image = [&](const char* transformer, const QVariant& value) {
        return registry->transformedValue(QString::fromLatin1(transformer), value).value<QImage>();
    };
    // The add button's dark plus sign on a clear ground, at the toolbar's 32 pixels.
    const QImage add = image("ImageTransformer", QStringLiteral("UI_Icon_mac_add"));
    ASSERT_EQ(add.size(), QSize(32, 32));
    EXPECT_EQ(add.pixelColor(16, 16), QColor(0x2c, 0x35, 0x39));
    EXPECT_EQ(add.pixelColor(1, 1).alpha(), 0);
    EXPECT_TRUE(image("ImageTransformer", QStringLiteral("no-such-picture")).isNull());

    // The inbox tray's outline turns red while items wait in it.
    const QImage waiting = image("InboxImageTransformer", 3);
    const QImage empty = image("InboxImageTransformer", 0);
    ASSERT_EQ(waiting.size(), QSize(24, 24));
    EXPECT_EQ(waiting.pixelColor(12, 20), QColor(0xd2, 0x3c, 0x3c));
    EXPECT_EQ(empty.pixelColor(12, 20), QColor(0x2c, 0x35, 0x39));
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
    // 10 March 2026, a Tuesday, named in the user's language; midday local time is that day in
    // every time zone the tests may run in.
    const QDateTime tuesday(QDate(2026, 3, 10), QTime(12, 0));
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(weekday(tuesday), QStringLiteral("Tue"));
    EXPECT_EQ(weekday(tuesday.addDays(5)), QStringLiteral("Sun"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(weekday(tuesday), QStringLiteral("Di."));
    QLocale::setDefault(before);
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
