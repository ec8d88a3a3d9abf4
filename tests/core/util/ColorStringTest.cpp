#include "core/util/ColorString.h"
#include "core/util/StringToColorTransformer.h"

#include "tests/core/util/UtilsTestSupport.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using qv::ColorString;

namespace {

// Colour strings travel to other clients, so a German user must still write "0.500".
class GermanLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const char* current = std::setlocale(LC_NUMERIC, nullptr);
        m_savedNumeric = current ? current : "C";
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"}) {
            if (std::setlocale(LC_NUMERIC, name)) {
                m_cLocaleSwitched = true;
                break;
            }
        }
    }
    void TearDown() override
    {
        std::setlocale(LC_NUMERIC, m_savedNumeric.c_str());
        QLocale::setDefault(m_savedLocale);
    }

    bool m_cLocaleSwitched = false;

private:
    QLocale m_savedLocale;
    std::string m_savedNumeric;
};

QColor rgba(double r, double g, double b, double a = 1)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

void expectComponents(const std::optional<QColor>& color, double r, double g, double b, double a)
{
    ASSERT_TRUE(color.has_value());
    EXPECT_NEAR(color->redF(), r, 1e-4);
    EXPECT_NEAR(color->greenF(), g, 1e-4);
    EXPECT_NEAR(color->blueF(), b, 1e-4);
    EXPECT_NEAR(color->alphaF(), a, 1e-4);
}

} // namespace

TEST_F(GermanLocale, GivenAGermanUser_WhenAColourIsWrittenOrRead_ThenTheDecimalSeparatorIsAPoint)
{
    if (m_cLocaleSwitched) {
        char probe[16];
        std::snprintf(probe, sizeof probe, "%0.1f", 0.5);
        EXPECT_STREQ(probe, "0,5") << "the C library's numeric locale is German for this test";
    }
    EXPECT_EQ(ColorString::stringFromColor(rgba(0.5, 0.25, 1, 1)), "{0.500, 0.250, 1.000, 1.000}");
    EXPECT_EQ(ColorString::stringFromColorForTheme(rgba(0.5, 0.25, 1)), "{0.5, 0.25, 1, 1}");
    EXPECT_EQ(ColorString::stringFromColorForNewProject(rgba(0.5, 0, 1, 0.5)),
              "{0.500000, 0.000000, 1.000000, 0.500000}");

    expectComponents(ColorString::colorWithString("{0.5, 0.25, 1, 0.75}"), 0.5, 0.25, 1, 0.75);
    // A comma is the separator between numbers, never a decimal mark.
    expectComponents(ColorString::colorWithString("{0,5}"), 0, 5, 0, 1);
}

TEST(ColorStringWriting,
     GivenAnyColourOrOneOfTheEightBitGrid_WhenWritten_ThenItReadsBackToThreeDecimalsOrSixDigits)
{
    for (const QColor& color : {rgba(0.123, 0.456, 0.789, 1), rgba(0, 0, 0, 0), rgba(1, 1, 1, 0.333)}) {
        const QString text = ColorString::stringFromColor(color);
        expectComponents(ColorString::colorWithString(text), color.redF(), color.greenF(), color.blueF(),
                         color.alphaF());
        EXPECT_EQ(ColorString::stringFromColor(*ColorString::colorWithString(text)), text);
    }

    EXPECT_EQ(ColorString::stringFromColorForTheme(ColorString::colorWithHexColorString("FF8000")),
              "{1, 0.501961, 0, 1}");
    EXPECT_EQ(ColorString::stringFromColorForNewProject(*ColorString::colorWithString("{0.1, 0.2}")),
              "{0.100000, 0.200000, 0.000000, 1.000000}");
    EXPECT_EQ(ColorString::stringFromColorForTheme(*ColorString::colorWithString("{1.5, -0.25, 0}")),
              "{1.5, -0.25, 0, 1}");
}

TEST(
    ColorStringReading,
    GivenOneToFourNumbersBlanksSignsOrMalformedText_WhenRead_ThenValuesAreKeptUnclampedAndMalformedGivesNothing)
{
    expectComponents(ColorString::colorWithString("{0.5}"), 0.5, 0, 0, 1);
    expectComponents(ColorString::colorWithString("{0.5, 0.6}"), 0.5, 0.6, 0, 1);
    expectComponents(ColorString::colorWithString("{0.5, 0.6, 0.7}"), 0.5, 0.6, 0.7, 1);
    expectComponents(ColorString::colorWithString("{0.5, 0.6, 0.7, 0.8}"), 0.5, 0.6, 0.7, 0.8);

    expectComponents(ColorString::colorWithString(" \t{ 0.1 ,\n0.2 , 0.3 ,0.4 } \n"), 0.1, 0.2, 0.3, 0.4);

    expectComponents(ColorString::colorWithString("{+.5, 5e-1, 1.5, -0.25}"), 0.5, 0.5, 1.5, 0);
    const auto wide = ColorString::colorWithString("{1.5, -0.5, 0, 1}");
    ASSERT_TRUE(wide.has_value());
    EXPECT_NEAR(wide->redF(), 1.5, 1e-3);
    EXPECT_NEAR(wide->greenF(), -0.5, 1e-3);

    for (const char* bad :
         {"{0.1, 0.2, 0.3, 0.4, 0.5}", "{0.1; 0.2, 0.3, 0.4}", "0.1, 0.2, 0.3, 0.4", "{0.1, 0.2, 0.3, 0.4}x",
          "{0.1, 0.2, 0.3, 0.4", "{}", "{0.1,}", "{, 0.1}", "{0.1 0.2}", "", "{.}", "{abc}"})
        EXPECT_FALSE(ColorString::colorWithString(QString::fromLatin1(bad)).has_value()) << bad;
    EXPECT_FALSE(ColorString::colorWithString(QString()).has_value());
}

TEST(ColorStringHex, GivenHexadecimalTextOrNothingReadable_WhenRead_ThenTheBytesGiveTheColourOrItIsBlack)
{
    const QColor orange = ColorString::colorWithHexColorString("FF8000");
    EXPECT_DOUBLE_EQ(orange.redF(), 1.0);
    EXPECT_FLOAT_EQ(orange.greenF(), 128.0f / 255.0f);
    EXPECT_DOUBLE_EQ(orange.blueF(), 0.0);
    EXPECT_DOUBLE_EQ(orange.alphaF(), 1.0);
    EXPECT_EQ(ColorString::colorWithHexColorString("0x2C3539"), QColor(44, 53, 57));
    EXPECT_EQ(ColorString::colorWithHexColorString("ff"), QColor(0, 0, 255));
    // Scanning stops at the first character that is no hexadecimal digit.
    EXPECT_EQ(ColorString::colorWithHexColorString("12zz"), QColor(0, 0, 0x12));
    // Bits above the red byte are ignored.
    EXPECT_EQ(ColorString::colorWithHexColorString("1FF0000"), QColor(255, 0, 0));

    EXPECT_EQ(ColorString::colorWithHexColorString(QString()), QColor(0, 0, 0));
    EXPECT_EQ(ColorString::colorWithHexColorString("#FF0000"), QColor(0, 0, 0));
    EXPECT_EQ(ColorString::colorWithHexColorString("xyz"), QColor(0, 0, 0));
}

TEST(TextColorForBackground, GivenTheBrightnessAtTheThreshold_WhenAsked_ThenOnlyBrighterBackgroundsGetBlack)
{
    const QColor lightGrey = QColor::fromRgbF(0.9f, 0.9f, 0.9f, 1);
    EXPECT_EQ(ColorString::textColorForBackground(rgba(0.6, 0.6, 0.6)), lightGrey);
    EXPECT_EQ(ColorString::textColorForBackground(rgba(0.2, 0.61, 0.1)), QColor(0, 0, 0));
    EXPECT_EQ(ColorString::textColorForBackground(rgba(0.2, 0.2, 0.2)), lightGrey);
    EXPECT_EQ(ColorString::textColorForBackground(rgba(0.5, 0.5, 0.5), 0.4), QColor(0, 0, 0));
}

TEST(StringToColorTransformer, GivenNoOrUnreadableText_WhenTransformed_ThenTheColourIsWhite)
{
    const qv::StringToColorTransformer transformer;
    EXPECT_EQ(transformer.transformedValueClass(), QMetaType::fromType<QColor>());
    EXPECT_FALSE(transformer.allowsReverseTransformation());
    EXPECT_EQ(transformer.transformedValue(QVariant()).value<QColor>(), QColor(Qt::white));
    EXPECT_EQ(transformer.transformedValue(QString()).value<QColor>(), QColor(Qt::white));
    EXPECT_EQ(transformer.transformedValue("{1; 0}").value<QColor>(), QColor(Qt::white));
    const QColor parsed = transformer.transformedValue("{1, 0, 0, 1}").value<QColor>();
    EXPECT_EQ(parsed, QColor(255, 0, 0));
}
