#include "core/util/DiscretizeTransformer.h"
#include "core/util/ImageTransformer.h"
#include "core/util/PercentageTransformer.h"

#include "tests/core/util/UtilsTestSupport.h"

#include <QImage>

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

TEST(ImageTransformer, GivenANameWithNoImage_WhenTransformed_ThenThereIsNoImage)
{
    const ImageTransformer t;
    EXPECT_EQ(t.transformedValueClass(), QMetaType::fromType<QImage>());
    EXPECT_FALSE(t.transformedValue(QStringLiteral("no-such-image.png")).isValid());
    EXPECT_FALSE(t.transformedValue(QVariant()).isValid());
    EXPECT_TRUE(ImageTransformer::imageNamed(QStringLiteral("../escape.png")).isNull());
}
