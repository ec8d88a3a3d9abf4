#include "core/util/Base64.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using qv::Base64;

namespace {

QByteArray bytes(const char* text)
{
    return QByteArray(text);
}

} // namespace

TEST(Base64Encoding,
     GivenTheClassicTripletsOrRandomBytesUpTo70_WhenEncoded_ThenPaddedStandardTextThatDecodesBack)
{
    EXPECT_EQ(Base64::encode(bytes("M")), QStringLiteral("TQ=="));
    EXPECT_EQ(Base64::encode(bytes("Ma")), QStringLiteral("TWE="));
    EXPECT_EQ(Base64::encode(bytes("Man")), QStringLiteral("TWFu"));
    EXPECT_EQ(Base64::encode(QByteArray()), QString());
    EXPECT_EQ(Base64::encode("abc", 0), QString());
    EXPECT_EQ(Base64::encode("abc", -3), QString());

    QRandomGenerator random(20240607);
    for (int length = 0; length <= 70; ++length) {
        QByteArray data(length, Qt::Uninitialized);
        for (char& c : data)
            c = char(random.bounded(256));
        const QString text = Base64::encode(data);
        EXPECT_EQ(text.size(), 4 * ((length + 2) / 3)) << length;
        EXPECT_EQ(text, QString::fromLatin1(data.toBase64())) << length;
        EXPECT_FALSE(text.contains(u'\n'));
        const auto decoded = Base64::decode(text);
        ASSERT_TRUE(decoded.has_value()) << length;
        EXPECT_EQ(*decoded, data) << length;
    }
}

TEST(Base64Decoding,
     GivenPaddedGroupsOrOnlyPadding_WhenDecoded_ThenTheLengthFollowsThePaddingAndNothingIsRefused)
{
    EXPECT_EQ(Base64::decode(QStringLiteral("TQ==")), bytes("M"));
    EXPECT_EQ(Base64::decode(QStringLiteral("TWE=")), bytes("Ma"));
    EXPECT_EQ(Base64::decode(QStringLiteral("TWFu")), bytes("Man"));
    EXPECT_EQ(Base64::decode(QStringLiteral("")), QByteArray());

    const auto allPadding = Base64::decode(QStringLiteral("===="));
    ASSERT_TRUE(allPadding.has_value());
    EXPECT_TRUE(allPadding->isEmpty());

    const auto oneLetter = Base64::decode(QStringLiteral("T==="));
    ASSERT_TRUE(oneLetter.has_value());
    EXPECT_TRUE(oneLetter->isEmpty());
}

TEST(Base64Decoding, GivenABadLengthTextOutsideAsciiOrOutsideTheAlphabet_WhenDecoded_ThenRefusedOrCountedAsA)
{
    EXPECT_FALSE(Base64::decode(QStringLiteral("TWFuT")).has_value());
    EXPECT_FALSE(Base64::decode(QStringLiteral("TQ=")).has_value());
    EXPECT_FALSE(Base64::decode(QString()).has_value());
    EXPECT_FALSE(Base64::decode(nullptr, 4).has_value());
    EXPECT_FALSE(Base64::decode("TWFu", -4).has_value());

    EXPECT_FALSE(Base64::decode(QStringLiteral("TWé=")).has_value());

    // "T*Fu" decodes like "TAFu"; the length stays that of four characters.
    EXPECT_EQ(Base64::decode(QStringLiteral("T*Fu")), Base64::decode(QStringLiteral("TAFu")));
    EXPECT_EQ(Base64::decode(QStringLiteral("T*Fu"))->size(), 3);
    // Padding inside the text is no terminator.
    EXPECT_EQ(Base64::decode(QStringLiteral("TQ==TWFu"))->size(), 6);
    EXPECT_EQ(Base64::decode(QStringLiteral("TQ==TWFu"))->mid(3), bytes("Man"));
    // A byte above 127 in the raw form.
    const char raw[] = {'T', char(0xC3), 'F', 'u'};
    EXPECT_EQ(Base64::decode(raw, 4), Base64::decode(QStringLiteral("TAFu")));
}
