#include "core/util/DiscretizeTransformer.h"
#include "core/util/ImageTransformer.h"
#include "core/util/PercentageTransformer.h"
#include "core/util/ValueTransformerRegistry.h"

#include "tests/core/util/UtilsTestSupport.h"

#include <QDateTime>
#include <QImage>
#include <QLocale>

#include <gtest/gtest.h>

#include <limits>

using namespace qv;

TEST(PercentageTransformer,
     GivenNothingOrAPercentageDone_WhenTransformed_ThenTheLabelSaysProgressOrTheWholePartDone)
{
    const PercentageTransformer t;
    EXPECT_EQ(t.transformedValueClass(), QMetaType::fromType<QString>());
    EXPECT_FALSE(t.allowsReverseTransformation());
    EXPECT_FALSE(t.transformedValue(QVariant()).isValid());
    EXPECT_EQ(t.transformedValue(0).toString(), QStringLiteral("Progress"));
    EXPECT_EQ(t.transformedValue(-5).toString(), QStringLiteral("Progress"));
    EXPECT_EQ(t.transformedValue(0.9).toString(), QStringLiteral("Progress"));
    EXPECT_EQ(t.transformedValue(40).toString(), QStringLiteral("40% done"));
    EXPECT_EQ(t.transformedValue(40.7).toString(), QStringLiteral("40% done"));
    EXPECT_EQ(t.transformedValue(QStringLiteral("75")).toString(), QStringLiteral("75% done"));
}

TEST(DiscretizeTransformer,
     GivenHalvesOrAValueBack_WhenTransformedEitherWay_ThenTheyRoundAwayFromZeroOrKeepTheIntegerPart)
{
    const DiscretizeTransformer t;
    EXPECT_EQ(t.transformedValueClass(), QMetaType::fromType<int>());
    EXPECT_EQ(t.transformedValue(2.5).toInt(), 3);
    EXPECT_EQ(t.transformedValue(-2.5).toInt(), -3);
    EXPECT_EQ(t.transformedValue(2.4).toInt(), 2);
    EXPECT_EQ(t.transformedValue(2.5).typeId(), QMetaType::Int);
    EXPECT_FALSE(t.transformedValue(QVariant()).isValid());

    EXPECT_TRUE(t.allowsReverseTransformation());
    EXPECT_EQ(t.reverseTransformedValue(3.9).toInt(), 3);
    EXPECT_EQ(t.reverseTransformedValue(-3.9).toInt(), -3);
    EXPECT_FALSE(t.reverseTransformedValue(QVariant()).isValid());
}

TEST(ValueTransformerNumbers, GivenTextsAndOutOfRangeNumbers_WhenReadAsNumbers_ThenTheyFollowNumberRules)
{
    EXPECT_EQ(ValueTransformer::intValue(QStringLiteral("  42abc")), 42);
    EXPECT_EQ(ValueTransformer::intValue(QStringLiteral("abc")), 0);
    EXPECT_EQ(ValueTransformer::intValue(1e12), std::numeric_limits<int>::max());
    EXPECT_EQ(ValueTransformer::intValue(true), 1);
    EXPECT_FLOAT_EQ(ValueTransformer::floatValue(QStringLiteral("2.5e1x")), 25.0f);
}

// --- The standard set, by name

struct Case {
    const char* transformer;
    QVariant input;
    QVariant expected;
};

class StandardTransformers : public ::testing::Test {
protected:
    StandardTransformers()
    {
        services.imageNamed = [](const QString& name) {
            if (!name.startsWith(QLatin1String("UI_")))
                return QImage();
            QImage image(1, 1, QImage::Format_RGB32);
            image.setText(QStringLiteral("name"), name);
            return image;
        };
        services.syncHasStore = [this] {
            return hasStore;
        };
        services.currentUserEmail = [this] {
            return email;
        };
        services.isOnline = [this] {
            return online;
        };
        services.avatarForMe = [this] {
            return avatar;
        };
        registerStandardTransformers(registry, services);
    }
    QVariant value(const char* name, const QVariant& input) const
    {
        return registry.transformedValue(QString::fromLatin1(name), input);
    }
    QString imageName(const char* name, const QVariant& input) const
    {
        return value(name, input).value<QImage>().text(QStringLiteral("name"));
    }

    ValueTransformerRegistry registry;
    TransformerServices services;
    bool hasStore = true;
    bool online = false;
    QString email;
    QImage avatar;
};

TEST_F(StandardTransformers, GivenAnUnknownOrAReplacedName_WhenAskedFor_ThenNoneOrTheNewOneAnswers)
{
    EXPECT_EQ(registry.transformer(QStringLiteral("NoSuchTransformer")), nullptr);
    // A feature that comes later adds its own, or replaces one.
    registry.registerTransformer(QStringLiteral("IsOne"), std::make_shared<PercentageTransformer>());
    EXPECT_EQ(value("IsOne", 40).toString(), QStringLiteral("40% done"));
}

TEST_F(StandardTransformers,
       GivenTheEdgeValuesOfEachTransformer_WhenTransformed_ThenTheyGiveTheDocumentedValues)
{
    const Case cases[] = {
        {"CounterFirstQuadrantTransformer", QVariant(), "0"},
        {"CounterFirstQuadrantTransformer", QVariantList{1, 2, 3}, "3"},
        {"CounterFirstQuadrantTransformer", QStringList{"a"}, "1"},
        {"InboxTitleTransformer", 0, "Inbox Ctrl+F1"},
        {"ProjectTitleTransformer", QVariant(), "Projects Ctrl+F2"},
        {"ProjectTitleTransformer", 4, "4 Projects Ctrl+F2"},
        {"TeamTitleTransformer", 0, "Team Ctrl+F3"},
        {"IncomingTitleTransformer", 0, ""},
        {"IncomingTitleTransformer", 2, "(2)"},
        {"OnlineOfflineTooltipTransformer", true, "Online"},
        {"OnlineOfflineTooltipTransformer", QVariant(), "Offline"},
        {"IsSyncingTransformer", QVariant(), 1},
        {"IsSyncingTransformer", "Syncing...", 1},
        {"IsSyncingTransformer", "Synced", 0},
        {"SignOutTransformer", "", "Sign out"},
        {"SignOutTransformer", QVariant(), "Sign out"},
        {"SignOutTransformer", 5, "Sign out"},
        {"SignOutTransformer", "ann@example.com", "Sign out 'ann@example.com'"},
        {"DateToStringTransformer", QVariant(), "---"},
        {"EpochToStringTransformer", 0, "---"},
        {"EpochToStringTransformer", -5, "---"},
        {"NSNumberToNSString", 42, "42"},
        {"NSNumberToNSString", 2.5, "2.5"},
        {"NSNumberToNSString", QVariant(), "0"},
        {"NSNumberToNSString", "7", "0"},
        {"EffortValueToDurationString", 0, "Effort"},
        {"EffortValueToDurationString", 2, "Half a day"},
        {"EffortValueToDurationString", 8, "Several months"},
        {"EffortValueToDurationString", 9, ""},
        {"EffortValueToDurationString", -1, ""},
        {"EffortValueToDurationString", "3", ""},
        {"PercentageToStateTransformer", QVariant(), QVariant()},
        {"PercentageToStateTransformer", 99, 0},
        {"PercentageToStateTransformer", 100, 1},
        {"DiscretizeTransformerTimes5", 12.5, 3},
        {"DiscretizeTransformerTimes5", 12.4, 2},
        {"DiscretizeTransformerTimes5", -12.5, -3},
        {"DiscretizeTransformerTimes5", QVariant(), QVariant()},
        {"IsNotNilOrZero", QVariant(), 0},
        {"IsNotNilOrZero", 5, 1},
        {"IsNilOrZero", QVariant(), 1},
        {"IsNilOrZero", 0, 1},
        {"IsNilOrZero", 5, 0},
        {"IsOne", 1, 1},
        {"IsOne", QVariant(), 0},
        {"IsOne", 2, 0},
        {"IsNotOne", QVariant(), true},
        {"IsNotOne", 1, false},
        {"IsNotNilOrEmptyString", "", false},
        {"IsNotNilOrEmptyString", QVariant(), false},
        {"IsNotNilOrEmptyString", "x", true},
        {"IsNilOrEmptyString", "", 1},
        {"IsNilOrEmptyString", "x", 0},
        {"IsNotNeverOrNilValueTransformer", "Never", false},
        {"IsNotNeverOrNilValueTransformer", "", false},
        {"IsNotNeverOrNilValueTransformer", QVariant(), false},
        {"IsNotNeverOrNilValueTransformer", "Daily", true},
        {"PercentageTransformer", 40, "40% done"},
        {"DiscretizeTransformer", 2.5, 3},
        {"StringToColorTransformer", "{1, 0, 0, 1}", QColor(Qt::red)},
    };
    for (const Case& c : cases) {
        const QVariant got = value(c.transformer, c.input);
        EXPECT_EQ(got, c.expected) << c.transformer << " of " << c.input.toString().toStdString() << " gave "
                                   << got.toString().toStdString();
    }
    const ValueTransformer* times5 = registry.transformer(QStringLiteral("DiscretizeTransformerTimes5"));
    EXPECT_EQ(times5->reverseTransformedValue(3), QVariant(15));
    // Values whose fifth-times would not fit an int stop at its ends instead of wrapping.
    EXPECT_EQ(times5->reverseTransformedValue(-1717986816), QVariant(std::numeric_limits<int>::min()));
    EXPECT_EQ(times5->reverseTransformedValue(std::numeric_limits<int>::max()),
              QVariant(std::numeric_limits<int>::max()));
    EXPECT_EQ(times5->reverseTransformedValue(-429496729), QVariant(-2147483645));
    EXPECT_FALSE(times5->reverseTransformedValue(QVariant()).isValid());
    EXPECT_EQ(value("DateToStringTransformer", QDateTime(QDate(2026, 3, 10), QTime(12, 0))).toString(),
              QLocale().toString(QDate(2026, 3, 10), QLocale::LongFormat));
    EXPECT_NE(value("EpochToStringTransformer", 1'700'000'000).toString(), QStringLiteral("---"));
}

TEST_F(StandardTransformers,
       GivenCountsOrImageNames_WhenTitledOrTransformed_ThenRedCentredCountsAndTheImageFactoryAnswers)
{
    const QVariant inbox = value("InboxTitleTransformer", 3);
    ASSERT_TRUE(inbox.canConvert<AttributedText>());
    EXPECT_EQ(inbox.value<AttributedText>(),
              (AttributedText{QStringLiteral("3 Inbox Ctrl+F1"), QColor(Qt::red), AttributedText::Size::Small,
                              Qt::AlignCenter}));
    EXPECT_EQ(inbox.toString(), QStringLiteral("3 Inbox Ctrl+F1"));
    const AttributedText team = value("TeamTitleTransformer", 2).value<AttributedText>();
    EXPECT_EQ(team.text, QStringLiteral("2 Team Ctrl+F3"));
    EXPECT_EQ(team.size, AttributedText::Size::Mini);

    const std::tuple<const char*, QVariant, const char*> cases[] = {
        {"InboxImageTransformer", 0, "UI_Icon_mac_inbox.png"},
        {"InboxImageTransformer", 2, "UI_Icon_mac_inbox_red.png"},
        {"TeamImageTransformer", QVariant(), "UI_Icon_mac_feed.png"},
        {"TeamImageTransformer", 1, "UI_Icon_mac_feed_red.png"},
        {"IncomingImageTransformer", 0, "UI_Icon_mac_incoming_project.png"},
        {"IncomingImageTransformer", 1, "UI_Icon_mac_incoming_project_red.png"},
        {"OnlineOfflineSyncImageTransformer", true, "UI_icon_mac_sync_green.png"},
        {"OnlineOfflineSyncImageTransformer", QVariant(), "UI_icon_mac_sync_red.png"},
        {"OnlineOfflineImageTransformer", true, "UI_icon_mac_sync_green.png"},
        {"OnlineOfflineImageTransformer", false, "UI_icon_mac_sync_red.png"},
        {"ImageTransformer", "UI_Icon_mac_add", "UI_Icon_mac_add"},
    };
    for (const auto& [transformer, input, expected] : cases)
        EXPECT_EQ(imageName(transformer, input), QString::fromLatin1(expected)) << transformer;
    EXPECT_FALSE(value("ImageTransformer", QStringLiteral("no-such-image.png")).isValid());
    EXPECT_FALSE(value("ImageTransformer", QVariant()).isValid());

    avatar = QImage(4, 4, QImage::Format_RGB32);
    avatar.setText(QStringLiteral("name"), QStringLiteral("me"));
    EXPECT_EQ(imageName("OnlineOfflineImageTransformer", true), QStringLiteral("me"));
    EXPECT_EQ(imageName("OnlineOfflineImageTransformer", false), QStringLiteral("UI_icon_mac_sync_red.png"));
}

TEST_F(StandardTransformers,
       GivenTheSyncEngineState_WhenTheSignInTitleIsAsked_ThenItSaysWhatToDoOrWhoIsOnline)
{
    hasStore = false;
    EXPECT_EQ(value("OnlineOfflineTitleTransformer", true),
              QStringLiteral("Not Signed In -- Press Sync to Sign In"));
    hasStore = true;
    EXPECT_EQ(value("OnlineOfflineTitleTransformer", true), QStringLiteral("Click Here to Sign In"));
    email = QStringLiteral("ann@example.com");
    EXPECT_EQ(value("OnlineOfflineTitleTransformer", QVariant()),
              QStringLiteral("Not Signed In: ann@example.com"));
    online = true;
    EXPECT_EQ(value("OnlineOfflineTitleTransformer", QVariant()), QStringLiteral("Online: ann@example.com"));
}

TEST_F(StandardTransformers,
       GivenColourStrings_WhenLightened_ThenHueStaysSaturationFallsToAFifthAndBlackBecomesGrey)
{
    const QColor grey = value("StringToLighterColorTransformer", "{0, 0, 0, 1}").value<QColor>();
    EXPECT_NEAR(grey.valueF(), 0.8, 1e-3);
    EXPECT_NEAR(grey.hsvSaturationF(), 0.0, 1e-3);
    const QColor blue = value("StringToLighterColorTransformer", "{0, 0, 0.5, 0.5}").value<QColor>();
    EXPECT_NEAR(blue.hsvHueF(), QColor::fromRgbF(0, 0, 1).hsvHueF(), 1e-3);
    EXPECT_NEAR(blue.hsvSaturationF(), 0.2, 1e-3);
    EXPECT_NEAR(blue.valueF(), 0.9, 1e-3);
    EXPECT_NEAR(blue.alphaF(), 0.5, 1e-3);
    EXPECT_EQ(value("StringToLighterColorTransformer", QVariant()).value<QColor>(), QColor(Qt::white));
    EXPECT_EQ(value("StringToLighterColorTransformer", "{1, 2").value<QColor>(), QColor(Qt::white));
}
