#include "core/util/Utils.h"

#include <QFont>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace qv::test {

namespace {

QImage filled(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

} // namespace

TEST(ImageResizeTest,
     GivenA100By50ImageOrNone_WhenResizedTo20By20_ThenTheCopyHasThatSizeAndTheSourceIsUntouched)
{
    const QImage source = filled(100, 50, Qt::red);
    const QImage before = source.copy();

    const QImage resized = Utils::imageResize(source, QSizeF(20.9, 20.2));

    EXPECT_EQ(resized.size(), QSize(20, 20));
    EXPECT_EQ(QColor(resized.pixel(10, 10)), QColor(Qt::red));
    EXPECT_EQ(source.size(), QSize(100, 50));
    EXPECT_EQ(source, before);

    EXPECT_TRUE(Utils::imageResize(QImage(), QSizeF(20, 20)).isNull());
}

TEST(RoundCornersTest,
     GivenA60By30ImageOrOneOfHeightZero_WhenRounded_ThenCornersAreClippedOrItComesBackItself)
{
    const QImage rounded = Utils::roundCorners(filled(60, 30, Qt::blue));
    ASSERT_EQ(rounded.size(), QSize(60, 30));
    EXPECT_EQ(qAlpha(rounded.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(rounded.pixel(59, 29)), 0);
    EXPECT_EQ(qAlpha(rounded.pixel(30, 15)), 255);
    // Below the vertical radius of 5 the left edge is straight; the horizontal radius of 10
    // still cuts the top row five pixels in.
    EXPECT_EQ(qAlpha(rounded.pixel(0, 6)), 255);
    EXPECT_EQ(qAlpha(rounded.pixel(30, 0)), 255);
    EXPECT_LT(qAlpha(rounded.pixel(5, 0)), 200);

    const QImage empty;
    EXPECT_EQ(Utils::roundCorners(empty).cacheKey(), empty.cacheKey());
}

TEST(GreyImageTest, GivenAnImageWithATransparentBackground_WhenGreyed_ThenTheBackgroundStaysTransparent)
{
    QImage image = filled(4, 4, Qt::transparent);
    image.setPixelColor(1, 1, QColor(200, 30, 30));
    image.setPixelColor(2, 2, QColor(0, 200, 0, 128));

    const QImage grey = Utils::imageToGreyImage(image);

    ASSERT_EQ(grey.size(), QSize(4, 4));
    EXPECT_EQ(qAlpha(grey.pixel(0, 0)), 0);
    const QColor solid = grey.pixelColor(1, 1);
    EXPECT_EQ(solid.alpha(), 255);
    EXPECT_EQ(solid.red(), solid.green());
    EXPECT_EQ(solid.green(), solid.blue());
    EXPECT_EQ(grey.pixelColor(2, 2).alpha(), 128);
    EXPECT_TRUE(Utils::imageToGreyImage(QImage()).isNull());
}

TEST(BitmapConversionTest, GivenImagesBothWays_WhenConverted_ThenSizesAndPixelsAreKept)
{
    const QImage bitmap = filled(7, 3, Qt::green);
    const QPixmap image = Utils::imageFromCGImageRef(bitmap);
    EXPECT_EQ(image.size(), QSize(7, 3));
    const QImage back = Utils::nsImageToCGImageRef(image);
    EXPECT_EQ(back.size(), QSize(7, 3));
    EXPECT_EQ(QColor(back.pixel(3, 1)), QColor(Qt::green));
    EXPECT_TRUE(Utils::nsImageToCGImageRef(QPixmap()).isNull());
    EXPECT_TRUE(Utils::imageFromCGImageRef(QImage()).isNull());
}

TEST(TextHeightTest, GivenTexts_WhenMeasured_ThenEmptyIsZeroAndLinesAndNarrowWidthsAddHeight)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(12);
    EXPECT_EQ(Utils::heightForString(QString(), font, 200), 0.0f);

    const float one = Utils::heightForString(QStringLiteral("One line"), font, 400);
    const float two = Utils::heightForString(QStringLiteral("One line\nTwo lines"), font, 400);
    EXPECT_GT(one, 0.0f);
    EXPECT_NEAR(two, 2 * one, one * 0.2);

    const QString longer =
        QStringLiteral("A longer text that needs more than one line when the width is small");
    EXPECT_GT(Utils::heightForString(longer, font, 80), Utils::heightForString(longer, font, 2000));
}

} // namespace qv::test
