#include "tests/ui/board/BoardFixture.h"

#include "ui/board/BoardImages.h"
#include "ui/board/ImageFactoryForMac.h"

#include <QColor>

namespace qv::test {
namespace {

using Factory = ImageFactoryForMac;

class ImageFactoryForMacTest : public BoardFixture {
protected:
    ImageFactoryForMac factory{clock};

    QDateTime daysFromNow(int days) const { return clock.now().addDays(days); }

    static int countPixels(const QImage& image, const std::function<bool(const QColor&)>& test)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (test(image.pixelColor(x, y)))
                    ++count;
            }
        }
        return count;
    }
    static bool isWhite(const QColor& c)
    {
        return c.alpha() > 200 && c.red() > 200 && c.green() > 200 && c.blue() > 200;
    }
    static bool isBlack(const QColor& c)
    {
        return c.alpha() > 200 && c.red() < 60 && c.green() < 60 && c.blue() < 60;
    }
};

TEST(
    ImageFactoryTiers,
    GivenCellHeightsIconNamesOrDayCounts_WhenTieredPrefixedOrLabelled_ThenTheSmallestFittingSizeKnownPrefixesAndUnits)
{
    const std::pair<int, int> tiers[] = {{0, 3}, {32, 3}, {33, 2}, {44, 2}, {45, 1}, {64, 1}, {65, 0}};
    for (const auto& [height, tier] : tiers)
        EXPECT_EQ(Factory::sizeTierForImageSize(height), tier) << height;
    EXPECT_EQ(Factory::sizeForTier(2), 44);
    EXPECT_EQ(Factory::prefixForTier(0), QString());

    EXPECT_EQ(Factory::prefixImageName("44flag.png", 2), QString("44flag.png"));
    EXPECT_EQ(Factory::prefixImageName("44flag.png", 1), QString("64flag.png"));
    EXPECT_EQ(Factory::prefixImageName("32flag.png", 2), QString("4432flag.png"));
    EXPECT_EQ(Factory::prefixImageName("128flag.png", 0), QString("flag.png"));
    EXPECT_EQ(Factory::prefixImageName("red_flag128.png", 3), QString("32red_flag128.png"));
    EXPECT_EQ(Factory::removeNumericPrefix("44name.png"), QString("name.png"));
    EXPECT_EQ(Factory::removeNumericPrefix("a12b3.png"), QString("ab3.png"));
    EXPECT_EQ(Factory::removeNumericPrefix("plain.png"), QString("plain.png"));

    // Day counts are labelled in days, weeks, months or years.
    const std::vector<std::pair<qint64, const char*>> cases = {
        {-400, "due"}, {-1, "due"}, {0, "next"},  {1, "1d"},   {6, "6d"},   {7, "1w"},
        {69, "9w"},    {70, "2m"},  {359, "11m"}, {360, "1y"}, {364, "1y"}, {365, "1y"},
        {390, "13m"},  {720, "1y"}, {749, "2y"},  {750, "2y"},
    };
    for (const auto& [days, label] : cases)
        EXPECT_EQ(Factory::labelForDays(days), QString(label)) << days;
}

TEST_F(ImageFactoryForMacTest, GivenDates_WhenLabelled_ThenCountedFromTodayAndNearEpochMeansNone)
{
    EXPECT_EQ(factory.dueDateLabel(daysFromNow(1)), QString("1d"));
    EXPECT_EQ(factory.dueDateLabel(daysFromNow(-1)), QString("due"));
    EXPECT_EQ(factory.dueDateLabel(daysFromNow(14)), QString("2w"));
    EXPECT_TRUE(factory.dueDateLabel(QDateTime::fromMSecsSinceEpoch(5, QTimeZone::utc())).isNull());
    EXPECT_TRUE(factory.dueDateLabel(QDateTime::fromSecsSinceEpoch(-86400, QTimeZone::utc())).isNull());
    EXPECT_TRUE(factory.dueDateLabel(QDateTime()).isNull());
    EXPECT_FALSE(factory.dueDateLabel(QDateTime::fromMSecsSinceEpoch(11, QTimeZone::utc())).isNull());
}

TEST_F(ImageFactoryForMacTest, GivenNoIconAndDueTomorrow_WhenRendered_ThenCentredGreyBadgeOnBlankSquare)
{
    const QImage image = factory.imageNamed(QString(), daysFromNow(1), 40, 0, true);
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(44, 44));
    const QColor inBadge = image.pixelColor(22, 37); // below the label, inside the circle
    EXPECT_EQ(inBadge.alpha(), 255);
    EXPECT_NEAR(inBadge.red(), 102, 2);
    EXPECT_NEAR(inBadge.blue(), 102, 2);
    EXPECT_EQ(image.pixelColor(1, 1).alpha(), 0); // the empty icon itself is not drawn
    EXPECT_GT(countPixels(image, isWhite), 5);    // the label "1d"

    EXPECT_TRUE(factory.imageNamed(QString(), daysFromNow(1), 40, 100, true).isNull());
    EXPECT_TRUE(factory.imageNamed(Factory::kEmptyIcon, QDateTime(), 40, 100, true).isNull());
}

TEST_F(ImageFactoryForMacTest, GivenIconAndDueYesterday_WhenRendered_ThenSmallRedBadgeAt13And11)
{
    const QImage image = factory.imageNamed(QStringLiteral("red_flag128.png"), daysFromNow(-1), 40, 10, true);
    ASSERT_EQ(image.size(), QSize(44, 44));
    // 10 px above the centre (13, 11) of a circle of radius 12.4, where the flag leaves no paint.
    const QColor top = image.pixelColor(13, 1);
    EXPECT_GT(top.red(), 230);
    EXPECT_LT(top.green(), 30);
    EXPECT_NEAR(top.alpha(), 178, 4);
    EXPECT_EQ(image.pixelColor(13, 25).alpha(), 0); // just below the circle
    EXPECT_GT(countPixels(image, isWhite), 3);      // "due"
}

TEST_F(ImageFactoryForMacTest,
       GivenDueLaterTodayOrACompletedOrUndatedIcon_WhenRendered_ThenABlueNextBadgeOrTheIconWithoutBadge)
{
    const QDateTime now = clock.now();
    const QDateTime later = now.toLocalTime().time() < QTime(23, 0) ? now.addSecs(60) : now;
    const QImage image = factory.imageNamed(QString(), later, 60, 0, true);
    ASSERT_EQ(image.size(), QSize(64, 64));
    const QColor below = image.pixelColor(32, 53); // below the label, inside the circle
    EXPECT_LT(below.red(), 20);
    EXPECT_GT(below.blue(), 240);
    EXPECT_GT(countPixels(image, isBlack), 5);

    const QImage plain = BoardImages::imageNamed(QStringLiteral("44red_flag128.png"));
    const QImage undated = factory.imageNamed(QStringLiteral("red_flag128.png"), QDateTime(), 40, 0, true);
    const QImage completed =
        factory.imageNamed(QStringLiteral("red_flag128.png"), daysFromNow(-1), 40, 100, true);
    EXPECT_EQ(undated.convertToFormat(QImage::Format_ARGB32), plain.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(completed.convertToFormat(QImage::Format_ARGB32), plain.convertToFormat(QImage::Format_ARGB32));
}

TEST_F(ImageFactoryForMacTest,
       GivenFactoriesOrTheSameRequestTwice_WhenAsked_ThenTheFirstAliveIsSharedAndTheCacheServes)
{
    const QImage first = factory.imageNamed(QStringLiteral("red_flag128.png"), daysFromNow(3), 40, 0, true);
    const QImage again = factory.imageNamed(QStringLiteral("44red_flag128.png"), daysFromNow(3), 40, 0, true);
    EXPECT_EQ(first.cacheKey(), again.cacheKey());
    EXPECT_EQ(factory.cachedImageCount(), 1);
    factory.imageNamed(QStringLiteral("red_flag128.png"), daysFromNow(3), 40, 5, true);
    factory.imageNamed(QStringLiteral("red_flag128.png"), daysFromNow(3), 20, 0, true);
    EXPECT_EQ(factory.cachedImageCount(), 3);

    EXPECT_EQ(ImageFactoryForMac::sharedInstance(), &factory);
    {
        ImageFactoryForMac second(clock);
        EXPECT_EQ(ImageFactoryForMac::sharedInstance(), &factory);
    }
    EXPECT_EQ(ImageFactoryForMac::sharedInstance(), &factory);
}

TEST_F(ImageFactoryForMacTest, GivenMissingImages_WhenLoaded_ThenFallBackTo128ThenWithoutDigitsThenEmpty)
{
    QStringList asked;
    QImage found(8, 8, QImage::Format_ARGB32_Premultiplied);
    found.fill(Qt::blue);
    ImageFactoryForMac custom(clock, [&](const QString& name) {
        asked << name;
        return name == QLatin1String("name.png") || name == Factory::kEmptyIcon ? found : QImage();
    });
    const QImage image = custom.imageNamed(QStringLiteral("44name.png"), QDateTime(), 40, 0, true);
    EXPECT_EQ(asked, QStringList({"44name.png", "44name128.png", "name.png"}));
    EXPECT_EQ(image.pixelColor(4, 4).rgba(), QColor(Qt::blue).rgba());

    asked.clear();
    custom.imageNamed(QStringLiteral("nothing.png"), QDateTime(), 20, 0, false);
    // The empty icon is then drawn as the blank image.
    EXPECT_EQ(asked, QStringList({"nothing.png", "nothing128.png", "empty_orange128.png", "transparent1x1"}));
}

TEST_F(ImageFactoryForMacTest, GivenItems_WhenTransformed_ThenRowIconOnlyForAnIconOrADueDate)
{
    ImageTransformerEnhanced transformer(factory);
    TODOItem* bare = ItemBuilder("bare").in(context);
    bare->setIcon(Factory::kEmptyIcon);
    EXPECT_TRUE(transformer.transformedValue(bare).isNull());
    bare->setIcon(Factory::kCompletedIcon);
    EXPECT_TRUE(transformer.transformedValue(bare).isNull());
    bare->setDueDate(QDateTime::fromMSecsSinceEpoch(5, QTimeZone::utc()));
    EXPECT_TRUE(transformer.transformedValue(bare).isNull());
    bare->setDueDate(daysFromNow(2));
    EXPECT_EQ(transformer.transformedValue(bare).size(), QSize(44, 44));

    TODOItem* flagged = ItemBuilder("flagged").in(context);
    flagged->setIcon(QStringLiteral("red_flag128.png"));
    EXPECT_EQ(transformer.transformedValue(flagged).size(), QSize(44, 44));
    EXPECT_TRUE(transformer.transformedValue(nullptr).isNull());
}

TEST(BoardImagesTest, GivenEveryPlaceholderName_WhenLoaded_ThenAnImageOfItsSizeThatIsNotBlank)
{
    for (const QString& name : BoardImages::placeholderNames()) {
        SCOPED_TRACE(name.toStdString());
        const QImage image = BoardImages::imageNamed(name);
        ASSERT_FALSE(image.isNull());
        if (name == QLatin1String("transparent1x1")) {
            EXPECT_EQ(image.size(), QSize(1, 1));
            continue;
        }
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; ++y) {
            for (int x = 0; x < image.width() && !painted; ++x)
                painted = image.pixelColor(x, y).alpha() > 0;
        }
        EXPECT_TRUE(painted);
    }
    EXPECT_EQ(BoardImages::imageNamed("44green_checkmark128.png").size(), QSize(44, 44));
    EXPECT_EQ(BoardImages::imageNamed("UI_Icon_all_no_assignee_80").size(), QSize(80, 80));
    EXPECT_TRUE(BoardImages::imageNamed("no such image").isNull());
    EXPECT_TRUE(BoardImages::itemIconNames().contains("green_filecabinet128.png"));
}

} // namespace
} // namespace qv::test
