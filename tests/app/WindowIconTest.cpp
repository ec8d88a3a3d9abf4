#include "app/WindowIcon.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace qv::test {

namespace {

bool writePng(const QString& path, int side, Qt::GlobalColor color)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(color);
    return image.save(path, "PNG");
}

} // namespace

TEST(WindowIconTest, GivenFilesOfThreeSizes_WhenAPixmapIsAsked_ThenOnlyTheFileOfThatSizeIsReadAndOnlyThen)
{
    TempHome home;
    const QDir folder(home.root());
    QList<std::pair<int, QString>> files;
    for (const int side : {16, 48, 256})
        files.append({side, folder.filePath(QStringLiteral("icon-%1.png").arg(side))});
    // The files do not exist yet: an icon that read them now would hold nothing.
    const QIcon icon = lazyIcon(files);
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {48, 48}, {256, 256}}));

    ASSERT_TRUE(writePng(files[0].second, 16, Qt::red));
    ASSERT_TRUE(writePng(files[1].second, 48, Qt::green));
    const QImage small = icon.pixmap(QSize(16, 16)).toImage();
    ASSERT_EQ(small.size(), QSize(16, 16));
    EXPECT_EQ(small.pixelColor(8, 8), QColor(Qt::red));
    // 32 px comes from the next larger file, made smaller; the 256 px file is never needed.
    const QImage medium = icon.pixmap(QSize(32, 32)).toImage();
    ASSERT_EQ(medium.size(), QSize(32, 32));
    EXPECT_EQ(medium.pixelColor(16, 16), QColor(Qt::green));
    EXPECT_EQ(icon.actualSize(QSize(32, 32)), QSize(32, 32));

    // Larger than the largest: the largest, as large as it is.
    ASSERT_TRUE(writePng(files[2].second, 256, Qt::blue));
    EXPECT_EQ(icon.pixmap(QSize(512, 512)).size(), QSize(256, 256));
}

TEST(WindowIconTest, GivenTheApplicationsIcon_WhenAsked_ThenItsOwnFilesGiveEachSize)
{
    const QIcon icon = applicationIcon();
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {48, 48}, {256, 256}}));
    for (const int side : {16, 48, 256}) {
        SCOPED_TRACE(side);
        EXPECT_EQ(icon.pixmap(QSize(side, side)).size(), QSize(side, side));
    }
}

} // namespace qv::test
