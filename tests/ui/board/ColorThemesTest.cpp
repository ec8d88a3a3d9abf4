#include "ui/board/ColorThemes.h"
#include "core/model/TODOList.h"
#include "core/util/ColorString.h"
#include "tests/core/util/UtilsTestSupport.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>

namespace qv::test {
namespace {

TEST(ColorThemes, GivenLinesOfEachFormat_WhenRead_ThenTheyGiveFourColoursTheNameAsWrittenAndAPreview)
{
    const auto theme =
        ColorTheme::fromString(QStringLiteral("i:255 0 0 0 255 0 0 0 255  255\t255 255: Primaries "));
    ASSERT_TRUE(theme);
    EXPECT_EQ(theme->name(), QStringLiteral(" Primaries "));
    EXPECT_EQ(theme->colorNumber(0), QColor::fromRgbF(1, 0, 0));
    EXPECT_EQ(theme->colorNumber(1), QColor::fromRgbF(0, 1, 0));
    EXPECT_EQ(theme->colorNumber(2), QColor::fromRgbF(0, 0, 1));
    EXPECT_EQ(theme->colorNumber(3), QColor::fromRgbF(1, 1, 1));
    // Top row quadrants one and two, bottom row three and four.
    ASSERT_EQ(theme->image().size(), QSize(2, 2));
    EXPECT_EQ(theme->image().pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(theme->image().pixel(0, 1), qRgb(0, 0, 255));

    const auto hex = ColorTheme::fromString(QStringLiteral("h:FF8000 0x000000 ffffff 123456:Hex"));
    ASSERT_TRUE(hex);
    EXPECT_EQ(hex->colorNumber(0), QColor(255, 128, 0));
    EXPECT_EQ(hex->colorNumber(3), QColor(0x12, 0x34, 0x56));

    const auto fractions =
        ColorTheme::fromString(QStringLiteral("dec:0.25 0.5 1 x 0 0 0 0 0 0 0 0:Fractions"));
    ASSERT_TRUE(fractions);
    EXPECT_EQ(fractions->colorNumber(0), QColor::fromRgbF(0.25f, 0.5f, 1.0f));
    EXPECT_EQ(fractions->colorNumber(1), QColor::fromRgbF(0, 0, 0)); // "x" reads as 0
}

TEST(ColorThemes, GivenMalformedLinesOrFiles_WhenRead_ThenTheWholeFileGivesNoThemes)
{
    const char* const badLines[] = {
        "i:255 0 0 0 255 0 0 0 255 255 255:Eleven numbers",
        "h:FF0000 00FF00 0000FF:Three colours",
        "x:1 2 3 4 5 6 7 8 9 10 11 12:Unknown format",
        ":1 2 3 4 5 6 7 8 9 10 11 12:No format",
        "i:1 2 3 4 5 6 7 8 9 10 11 12:Name: with a colon",
        "i 1 2 3 4 5 6 7 8 9 10 11 12 No colons",
        "",
    };
    const QString good = QStringLiteral("h:FF0000 00FF00 0000FF FFFFFF:Good");
    for (const char* line : badLines) {
        EXPECT_FALSE(ColorTheme::fromString(QString::fromUtf8(line))) << line;
        EXPECT_FALSE(ColorThemeProducer::fromText(good + u'\n' + QString::fromUtf8(line) + u'\n' + good))
            << line;
    }
    // Blank lines around the themes and CR LF line ends do not spoil a file.
    EXPECT_FALSE(ColorThemeProducer::fromText(QString()));
    const auto file = ColorThemeProducer::fromText(QStringLiteral("\n  ") + good + QStringLiteral("\r\n") +
                                                   good + QStringLiteral("\n\n\n"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->themes().size(), 2u);
}

TEST(ColorThemes, GivenTheShippedThemesFile_WhenRead_ThenEveryThemeHasANameAndDistinctColours)
{
    const auto shipped = ColorThemeProducer::fromFileNamed(ColorThemeProducer::kResourceName);
    ASSERT_TRUE(shipped);
    EXPECT_GE(shipped->themes().size(), 5u);
    for (const ColorTheme& theme : shipped->themes()) {
        EXPECT_FALSE(theme.name().trimmed().isEmpty());
        for (int q = 1; q < 4; ++q)
            EXPECT_NE(theme.colorNumber(q), theme.colorNumber(q - 1)) << qPrintable(theme.name());
    }
    EXPECT_FALSE(ColorThemeProducer::fromFileNamed(QStringLiteral("no-such-themes")));
}

// A German user's decimal comma must not reach the synced colour texts.
TEST(ColorThemes, GivenAGermanLocale_WhenAThemeIsApplied_ThenTheProjectColoursAreWrittenWithDecimalPoints)
{
    const QLocale previous;
    const std::string previousC = std::setlocale(LC_ALL, nullptr);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // The C library's German locale where the machine has one; Qt's default locale always.
    std::setlocale(LC_ALL, "de_DE.UTF-8");

    ModelStore store;
    TODOList* project = ProjectBuilder(store.context, "P");
    const auto theme =
        ColorTheme::fromString(QStringLiteral("d:0.25 0.5 1 0.125 0.75 0.3 0 0 0 1 1 1:Quarters"));
    ASSERT_TRUE(theme);
    theme->applyTo(*project);
    const QStringList written = {project->colorFirstQuadrant(), project->colorSecondQuadrant(),
                                 project->colorThirdQuadrant(), project->colorFourthQuadrant()};

    QLocale::setDefault(previous);
    std::setlocale(LC_ALL, previousC.c_str());
    EXPECT_EQ(written,
              QStringList({"{0.25, 0.5, 1, 1}", "{0.125, 0.75, 0.3, 1}", "{0, 0, 0, 1}", "{1, 1, 1, 1}"}));
}

} // namespace
} // namespace qv::test
