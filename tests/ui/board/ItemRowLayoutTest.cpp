#include "ui/board/ItemRowLayout.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

ItemRowSettings settings(double fontSize)
{
    ItemRowSettings s;
    s.fontSize = fontSize;
    return s;
}

const QRectF kRow(0, 40, 300, 28);

TEST(ItemRowLayoutAvatar, GivenAFrameNarrowerThan100_WhenLaidOut_ThenNoAvatarAndTheTitleUsesTheFullWidth)
{
    ItemRowContent content;
    content.hasIcon = true;
    const ItemRowLayout layout(content, settings(12));
    const QRectF narrow(0, 0, 99, 28);
    EXPECT_FALSE(layout.isShowingAvatar(narrow));
    EXPECT_TRUE(layout.rectForAvatarIn(narrow).isEmpty());
    EXPECT_EQ(layout.rectForTitleIn(narrow).width(), 99 - 33);
    EXPECT_TRUE(layout.isShowingAvatar(kRow));
    EXPECT_EQ(layout.rectForAvatarIn(kRow), QRectF(300 - 28 + 8, 40, 28, 28));
    EXPECT_EQ(layout.rectForTitleIn(kRow).width(), 300 - 33 - 28);
}

TEST(ItemRowLayoutNotes, GivenABaseSizeBelow15_WhenNotesExist_ThenNoNotesLineAndTheTitleMovesDown)
{
    ItemRowContent content;
    content.notes = QStringLiteral("\n  first line  \nsecond");
    const ItemRowLayout small(content, settings(14));
    EXPECT_FALSE(small.isShowingNotes());
    // d = trunc((28 - 14) / 2 - 3) = 4
    EXPECT_EQ(small.rectForTitleIn(kRow), QRectF(15, 44, 285 - 28, 24));

    const ItemRowLayout large(content, settings(15));
    EXPECT_TRUE(large.isShowingNotes());
    EXPECT_EQ(large.notesLine(), QStringLiteral("first line"));
    EXPECT_EQ(large.smallTextSize(), 9);
    EXPECT_EQ(large.rectForTitleIn(kRow), QRectF(15, 40, 285 - 28, 28));
    EXPECT_EQ(large.rectForNotesIn(kRow), QRectF(25, 40 + 28 - 7.5, 300 - 25 - 28, 28));
}

TEST(ItemRowLayoutCompletion, GivenCompletion_WhenLaidOut_ThenTheBarStrikeThroughAndOverdueColourFollowIt)
{
    ItemRowContent content;
    content.overdue = true;
    content.completionPercentage = 100;
    const ItemRowLayout done(content, settings(12));
    EXPECT_TRUE(done.isTitleStruckThrough());
    EXPECT_FALSE(done.usesOverdueColour());
    EXPECT_EQ(done.rectForLevelIn(kRow), QRectF(1, 40 + 22, 27, 5));

    content.completionPercentage = 99;
    const ItemRowLayout almost(content, settings(12));
    EXPECT_FALSE(almost.isTitleStruckThrough());
    EXPECT_TRUE(almost.usesOverdueColour());

    content.completionPercentage = 0;
    const ItemRowLayout none(content, settings(12));
    EXPECT_FALSE(none.isShowingCompletionBar());
    EXPECT_TRUE(none.rectForLevelIn(kRow).isEmpty());
}

TEST(ItemRowLayoutTags, GivenTagsWithoutIconOrBar_WhenLaidOut_ThenTheyStart12FromTheLeft)
{
    ItemRowContent content;
    content.tags = {QStringLiteral("home")};
    const ItemRowLayout plain(content, settings(12));
    EXPECT_TRUE(plain.isShowingTags());
    EXPECT_EQ(plain.rectForTagsIn(kRow), QRectF(12, 40 + 28 - 12 - 3, 300 - 12 - 28, 16));
    content.hasIcon = true;
    EXPECT_EQ(ItemRowLayout(content, settings(12)).rectForTagsIn(kRow).x(), 33);
    ItemRowSettings hidden = settings(12);
    hidden.hidingItemTags = true;
    EXPECT_FALSE(ItemRowLayout(content, hidden).isShowingTags());
}

TEST(ItemRowLayoutTags, GivenARowTooShortForALineOfTags_WhenLaidOut_ThenTheyGoBesideTheCentredTitle)
{
    ItemRowContent content;
    content.tags = {QStringLiteral("home")};
    const QRectF shortRow(0, 0, 300, 20);
    const ItemRowLayout tiny(content, settings(10));
    EXPECT_TRUE(tiny.isShowingTagsBesideTitle(shortRow));
    // d = trunc((20 - 10) / 2 - 3) = 2: the title keeps its place on the row's middle.
    EXPECT_EQ(tiny.rectForTitleIn(shortRow).y(), 2);
    const QRectF beside = tiny.rectForTagsBesideTitleIn(shortRow, 100);
    EXPECT_EQ(beside.x(), 15 + 100 + 6);
    EXPECT_LE(beside.bottom(), shortRow.bottom());
    EXPECT_FALSE(ItemRowLayout(content, settings(12)).isShowingTagsBesideTitle(kRow));
}

TEST(ItemRowLayoutMarks, GivenRecurrenceAndLinks_WhenLaidOut_ThenOnlyRealOnesShow)
{
    ItemRowContent content;
    content.recurrence = TODOItem::Recurrence::Weekly;
    EXPECT_FALSE(ItemRowLayout(content, settings(12)).isShowingRecurrence());
    content.hasDueDate = true;
    EXPECT_TRUE(ItemRowLayout(content, settings(12)).isShowingRecurrence());
    content.recurrence = TODOItem::Recurrence::Never;
    EXPECT_FALSE(ItemRowLayout(content, settings(12)).isShowingRecurrence());
    EXPECT_FALSE(ItemRowLayout(content, settings(12)).isShowingLink());
    content.link = QStringLiteral("https://example.com");
    EXPECT_TRUE(ItemRowLayout(content, settings(12)).isShowingLink());
}

TEST(ItemRowLayoutClicks, GivenClicks_WhenHitTested_ThenStarComesFirstEvenWhenHidden)
{
    ItemRowContent content;
    content.hasIcon = true;
    ItemRowSettings noStar = settings(12);
    noStar.showingStar = false;
    const ItemRowLayout layout(content, noStar);
    EXPECT_EQ(layout.hitTest(QPointF(3, 43), kRow), ItemRowLayout::Hit::Star);
    EXPECT_EQ(layout.hitTest(QPointF(20, 55), kRow), ItemRowLayout::Hit::Icon);
    EXPECT_EQ(layout.hitTest(QPointF(290, 50), kRow), ItemRowLayout::Hit::Avatar);
    EXPECT_EQ(layout.hitTest(QPointF(150, 50), kRow), ItemRowLayout::Hit::None);
    ItemRowSettings hidden = noStar;
    hidden.hidingItemIcons = true;
    hidden.hidingAvatars = true;
    EXPECT_EQ(ItemRowLayout(content, hidden).hitTest(QPointF(20, 55), kRow), ItemRowLayout::Hit::None);
    EXPECT_EQ(ItemRowLayout(content, hidden).hitTest(QPointF(290, 50), kRow), ItemRowLayout::Hit::None);
}

} // namespace
} // namespace qv
