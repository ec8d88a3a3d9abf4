#include "ui/board/ItemRowLayout.h"
#include "core/util/FontSizeTiers.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace qv {
namespace {

// A row with every mark: its own icon and a badge, completion, recurrence, a link, tags, an owner.
ItemRowContent fullRow()
{
    ItemRowContent content;
    content.title = QStringLiteral("Approve the new home page design before the launch party");
    content.hasIcon = true;
    content.hasBadgeFreeIcon = true;
    content.hasDueDate = true;
    content.dueLabel = QStringLiteral("3d");
    content.completionPercentage = 40;
    content.recurrence = TODOItem::Recurrence::Weekly;
    content.link = QStringLiteral("https://example.com");
    content.ownerUsername = QStringLiteral("mara@example.com");
    content.tags = {QStringLiteral("urgent"), QStringLiteral("shop"), QStringLiteral("research")};
    content.notes = QStringLiteral("Mock-ups are in the shared folder.");
    return content;
}

struct Mark {
    const char* name;
    QRectF rect;
};

QRectF frameFor(const ItemRowSettings& settings)
{
    return {0, 3 * settings.rowHeight, 420, settings.rowHeight};
}

// Every mark the row draws, each text at the width it is drawn.
std::vector<Mark> drawnMarks(const ItemRowLayout& layout, const QRectF& frame)
{
    std::vector<Mark> marks;
    const auto add = [&marks](const char* name, const QRectF& rect) {
        if (!rect.isEmpty())
            marks.push_back({name, rect});
    };
    if (layout.isShowingStar())
        add("star", layout.rectForStar(frame));
    if (layout.isShowingRecurrence())
        add("+", layout.rectForFrequencyIn(frame));
    if (layout.isShowingLink() || layout.content().hasFiles)
        add("link", layout.rectForLinkIn(frame));
    if (layout.isShowingIcon())
        add("icon", layout.rectForIconIn(frame)); // the badge is painted inside it
    add("completion", layout.rectForCompletionTextIn(frame));
    add("bar", layout.rectForLevelIn(frame));
    const QRectF title = layout.rectForTitleIn(frame);
    const QFontMetricsF titleMetrics(layout.titleFont());
    const double titleWidth = titleMetrics.horizontalAdvance(
        titleMetrics.elidedText(layout.content().title, Qt::ElideRight, title.width()));
    add("title", QRectF(title.x(), title.y(), std::min(titleWidth, title.width()), title.height()));
    for (const ItemRowLayout::TagPill& pill : layout.tagPills(frame, titleWidth))
        add("tag", pill.rect);
    if (!layout.isShowingTags() && layout.isShowingNotes())
        add("notes", layout.rectForNotesIn(frame));
    add("avatar", layout.rectForAvatarIn(frame));
    // The check box's column follows the name column, past the gap the cell keeps.
    add("check box",
        ItemRowLayout::rectForCheckBoxIn(QRectF(frame.right() + 8, frame.y(), 24, frame.height())));
    return marks;
}

void expectTextFits(const char* what, const QFont& font, const QString& text, const QRectF& place, int tier)
{
    const QFontMetricsF metrics(font);
    EXPECT_LE(metrics.height(), place.height() + 0.01) << what << " at tier " << tier;
    EXPECT_LE(metrics.horizontalAdvance(text), place.width() + 0.01) << what << " at tier " << tier;
}

TEST(ItemRowLayoutTiers, GivenEveryTierAndMark_WhenLaidOut_ThenNoMarksOverlapAndEveryTextFits)
{
    struct Variant {
        const char* name;
        std::function<void(ItemRowContent&)> change;
    };
    const std::vector<Variant> variants = {
        {"full",
         [](ItemRowContent&) {
         }},
        {"notes instead of tags",
         [](ItemRowContent& c) {
             c.tags.clear();
         }},
        {"completed, badge only",
         [](ItemRowContent& c) {
             c.hasBadgeFreeIcon = false;
             c.completionPercentage = 100;
             c.dueLabel = QStringLiteral("due");
         }},
        {"badge only, no completion",
         [](ItemRowContent& c) {
             c.hasBadgeFreeIcon = false;
             c.completionPercentage = 0;
             c.dueLabel = QStringLiteral("next");
         }},
        {"no icon, a file",
         [](ItemRowContent& c) {
             c.hasIcon = c.hasBadgeFreeIcon = false;
             c.hasFiles = true;
             c.highlight = true;
         }},
    };
    for (int tier = FontSizeTiers::kMinTier; tier <= FontSizeTiers::kMaxTier; ++tier) {
        for (const Variant& variant : variants) {
            ItemRowContent content = fullRow();
            variant.change(content);
            const ItemRowSettings settings = ItemRowSettings::forTier(tier);
            const ItemRowLayout layout(content, settings);
            const QRectF frame = frameFor(settings);
            const std::vector<Mark> marks = drawnMarks(layout, frame);
            const QRectF row(frame.x(), frame.y(), frame.width() + 8 + 24, frame.height());
            for (size_t i = 0; i < marks.size(); ++i) {
                EXPECT_TRUE(row.contains(marks[i].rect))
                    << marks[i].name << " leaves the row at tier " << tier << " (" << variant.name << ")";
                for (size_t j = i + 1; j < marks.size(); ++j)
                    EXPECT_FALSE(marks[i].rect.intersects(marks[j].rect))
                        << marks[i].name << " overlaps " << marks[j].name << " at tier " << tier << " ("
                        << variant.name << ")";
            }
            if (layout.isShowingDueBadge()) {
                EXPECT_TRUE(layout.rectForIconIn(frame).contains(layout.rectForBadgeIn(frame)));
            }
            expectTextFits("title", layout.titleFont(), QStringLiteral("Mg"), layout.rectForTitleIn(frame),
                           tier);
            if (layout.isShowingRecurrence())
                expectTextFits("+", layout.recurrenceFont(), QStringLiteral("+"),
                               layout.rectForFrequencyIn(frame), tier);
            if (layout.isShowingCompletionText())
                expectTextFits("completion", layout.completionFont(), QStringLiteral("100%"),
                               layout.rectForCompletionTextIn(frame), tier);
            for (const ItemRowLayout::TagPill& pill : layout.tagPills(frame, 0))
                expectTextFits("tag", layout.tagFont(), pill.name, pill.rect, tier);
            if (!layout.isShowingTags() && layout.isShowingNotes())
                expectTextFits("notes", layout.notesFont(), QStringLiteral("Mg"),
                               layout.rectForNotesIn(frame), tier);
        }
    }
}

TEST(ItemRowLayoutTiers, GivenSmallTiers_WhenLaidOut_ThenWhatCannotBeReadIsLeftOutAndLargeTiersShowIt)
{
    const ItemRowLayout tiny(fullRow(), ItemRowSettings::forTier(0));
    EXPECT_FALSE(tiny.isShowingDueBadge());
    EXPECT_TRUE(tiny.isShowingCompletionBar()); // a thin bar, without its percentage
    EXPECT_FALSE(tiny.isShowingCompletionText());
    EXPECT_TRUE(tiny.isShowingIcon()); // the icon itself, without its badge
    EXPECT_TRUE(tiny.isShowingTagsBesideTitle());

    ItemRowContent badgeOnly = fullRow();
    badgeOnly.hasBadgeFreeIcon = false;
    badgeOnly.dueLabel = QStringLiteral("due");
    EXPECT_FALSE(ItemRowLayout(badgeOnly, ItemRowSettings::forTier(0)).isShowingIcon());

    const ItemRowLayout large(fullRow(), ItemRowSettings::forTier(8));
    EXPECT_TRUE(large.isShowingDueBadge());
    EXPECT_TRUE(large.isShowingCompletionText());
    EXPECT_EQ(large.completionText(), QStringLiteral("40%"));
    EXPECT_FALSE(large.isShowingTagsBesideTitle());
    // The completion sits under the icon, never in the title's column.
    EXPECT_LE(large.rectForLevelIn(frameFor(large.settings())).right(),
              large.rectForTitleIn(frameFor(large.settings())).left());
}

TEST(ItemRowLayoutTiers, GivenAStarAndAPaperclip_WhenLaidOutAtEveryTier_ThenBothAreWholeAndLegible)
{
    ItemRowContent content = fullRow();
    content.hasFiles = true;
    for (int tier = FontSizeTiers::kMinTier; tier <= FontSizeTiers::kMaxTier; ++tier) {
        const ItemRowSettings settings = ItemRowSettings::forTier(tier);
        const ItemRowLayout layout(content, settings);
        const QRectF frame = frameFor(settings);
        const QRectF star = layout.rectForStar(frame);
        const QRectF clip = layout.rectForLinkIn(frame);
        for (const QRectF& mark : {star, clip}) {
            EXPECT_GE(mark.width(), 12) << "tier " << tier;
            EXPECT_GE(mark.left(), frame.left() + 3) << "tier " << tier; // clear of the focus frame
            EXPECT_TRUE(frame.contains(mark)) << "tier " << tier;
        }
        EXPECT_FALSE(star.intersects(clip)) << "tier " << tier;
    }
    EXPECT_TRUE(ItemRowLayout(content, ItemRowSettings::forTier(0)).isShowingMarksSideBySide());
    EXPECT_FALSE(ItemRowLayout(content, ItemRowSettings::forTier(8)).isShowingMarksSideBySide());
}

TEST(ItemRowLayoutTiers, GivenAnOverdueItem_WhenLaidOutAtEveryTier_ThenTheBadgeOrTheTitleColourSaysSo)
{
    ItemRowContent overdue = fullRow();
    overdue.dueLabel = QStringLiteral("due");
    overdue.overdue = true;
    for (int tier = FontSizeTiers::kMinTier; tier <= FontSizeTiers::kMaxTier; ++tier) {
        const ItemRowLayout layout(overdue, ItemRowSettings::forTier(tier));
        EXPECT_TRUE(layout.isShowingDueBadge() || layout.tellsOverdueByColour()) << "tier " << tier;
        EXPECT_NE(layout.isShowingDueBadge(), layout.tellsOverdueByColour()) << "tier " << tier;
    }
    EXPECT_TRUE(ItemRowLayout(overdue, ItemRowSettings::forTier(0)).tellsOverdueByColour());
    ItemRowSettings noIcons = ItemRowSettings::forTier(8);
    noIcons.hidingItemIcons = true;
    EXPECT_TRUE(ItemRowLayout(overdue, noIcons).tellsOverdueByColour());
    // Completed, or not overdue: nothing to tell.
    ItemRowContent done = overdue;
    done.completionPercentage = 100;
    EXPECT_FALSE(ItemRowLayout(done, ItemRowSettings::forTier(0)).tellsOverdueByColour());
    ItemRowContent onTime = fullRow();
    EXPECT_FALSE(ItemRowLayout(onTime, ItemRowSettings::forTier(0)).tellsOverdueByColour());
}

TEST(ItemRowLayoutAvatar, GivenAFrameNarrowerThan100_WhenLaidOut_ThenNoAvatarAndTheTitleUsesTheFullWidth)
{
    const ItemRowLayout layout(fullRow(), ItemRowSettings::forTier(2));
    const QRectF narrow(0, 0, 99, 28);
    EXPECT_FALSE(layout.isShowingAvatar(narrow));
    EXPECT_TRUE(layout.rectForAvatarIn(narrow).isEmpty());
    EXPECT_EQ(layout.rectForTitleIn(narrow).right(), narrow.right());
    ItemRowSettings hidden = ItemRowSettings::forTier(2);
    hidden.hidingAvatars = true;
    EXPECT_FALSE(ItemRowLayout(fullRow(), hidden).isShowingAvatar(QRectF(0, 0, 300, 28)));
}

TEST(ItemRowLayoutNotes, GivenABaseSizeBelow15_WhenNotesExist_ThenNoNotesLineAndTheTitleIsCentred)
{
    ItemRowContent content;
    content.notes = QStringLiteral("\n  first line  \nsecond");
    const ItemRowLayout small(content, ItemRowSettings::forTier(4));
    EXPECT_FALSE(small.isShowingNotes());
    const QRectF frame = frameFor(small.settings());
    EXPECT_NEAR(small.rectForTitleIn(frame).center().y(), frame.center().y(), 1);

    const ItemRowLayout large(content, ItemRowSettings::forTier(5));
    EXPECT_TRUE(large.isShowingNotes());
    EXPECT_EQ(large.notesLine(), QStringLiteral("first line"));
    EXPECT_EQ(large.smallTextSize(), 9);
}

TEST(ItemRowLayoutCompletion, GivenCompletion_WhenLaidOut_ThenStrikeThroughAndOverdueColourFollowIt)
{
    ItemRowContent content;
    content.overdue = true;
    content.completionPercentage = 100;
    const ItemRowLayout done(content, ItemRowSettings::forTier(2));
    EXPECT_TRUE(done.isTitleStruckThrough());
    EXPECT_TRUE(done.titleFont().strikeOut());
    EXPECT_FALSE(done.usesOverdueColour());
    // Without an icon the title starts after the bar's column, not over the bar.
    const QRectF frame = frameFor(done.settings());
    EXPECT_LT(done.rectForLevelIn(frame).right(), done.rectForTitleIn(frame).left());

    content.completionPercentage = 99;
    const ItemRowLayout almost(content, ItemRowSettings::forTier(2));
    EXPECT_FALSE(almost.isTitleStruckThrough());
    EXPECT_TRUE(almost.usesOverdueColour());

    content.completionPercentage = 0;
    EXPECT_TRUE(ItemRowLayout(content, ItemRowSettings::forTier(2)).rectForLevelIn(frame).isEmpty());
}

TEST(ItemRowLayoutMarks, GivenRecurrenceAndLinks_WhenLaidOut_ThenOnlyRealOnesShow)
{
    ItemRowContent content;
    content.recurrence = TODOItem::Recurrence::Weekly;
    const ItemRowSettings settings = ItemRowSettings::forTier(2);
    EXPECT_FALSE(ItemRowLayout(content, settings).isShowingRecurrence());
    content.hasDueDate = true;
    EXPECT_TRUE(ItemRowLayout(content, settings).isShowingRecurrence());
    content.recurrence = TODOItem::Recurrence::Never;
    EXPECT_FALSE(ItemRowLayout(content, settings).isShowingRecurrence());
    EXPECT_FALSE(ItemRowLayout(content, settings).isShowingLink());
    content.link = QStringLiteral("https://example.com");
    EXPECT_TRUE(ItemRowLayout(content, settings).isShowingLink());
}

TEST(ItemRowLayoutClicks, GivenClicks_WhenHitTested_ThenStarComesFirstEvenWhenHidden)
{
    ItemRowSettings noStar = ItemRowSettings::forTier(2);
    noStar.showingStar = false;
    const ItemRowLayout layout(fullRow(), noStar);
    const QRectF frame(0, 40, 300, 28);
    EXPECT_EQ(layout.hitTest(layout.rectForStar(frame).center(), frame), ItemRowLayout::Hit::Star);
    EXPECT_EQ(layout.hitTest(layout.rectForIconIn(frame).center(), frame), ItemRowLayout::Hit::Icon);
    EXPECT_EQ(layout.hitTest(layout.rectForAvatarIn(frame).center(), frame), ItemRowLayout::Hit::Avatar);
    EXPECT_EQ(layout.hitTest(QPointF(150, 50), frame), ItemRowLayout::Hit::None);
    ItemRowSettings hidden = noStar;
    hidden.hidingItemIcons = true;
    hidden.hidingAvatars = true;
    const ItemRowLayout bare(fullRow(), hidden);
    EXPECT_EQ(bare.hitTest(layout.rectForIconIn(frame).center(), frame), ItemRowLayout::Hit::None);
    EXPECT_EQ(bare.hitTest(layout.rectForAvatarIn(frame).center(), frame), ItemRowLayout::Hit::None);
}

} // namespace
} // namespace qv
