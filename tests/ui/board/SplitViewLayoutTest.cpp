#include "ui/board/SplitViewLayout.h"
#include "platform/Preferences.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using C = PanelColumn;

TEST(SplitViewLayoutTest, GivenADivider_WhenItsRangeIsAsked_ThenItKeeps252FromAShownDetailAnd180Elsewhere)
{
    struct Case {
        std::vector<PanelColumn> columns;
        qsizetype divider;
        bool detailVisible;
        int limit;
    };
    const Case cases[] = {
        {{C::Projects, C::Board, C::Detail}, 1, true, 252},
        {{C::Projects, C::Board, C::Detail}, 0, true, 180},
        {{C::Projects, C::Board, C::Detail}, 1, false, 180},
        {{C::Inbox, C::Projects, C::Board, C::Feed}, 2, true, 180},
        {{C::Board, C::Feed, C::Detail}, 1, true, 252},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitViewLayout::dividerLimit(c.divider, c.columns, c.detailVisible), c.limit);
        EXPECT_EQ(SplitViewLayout::constrainedRange(c.divider, c.columns, c.detailVisible, 100, 1000),
                  std::make_pair(100 + c.limit, 1000 - c.limit));
    }
}

TEST(SplitViewLayoutTest,
     GivenSavedOrRememberedWidths_WhenReadForOtherColumnsOrAfterAColumnLeft_ThenNoneOrTheWidthItHad)
{
    TempHome home;
    Preferences preferences(home.root() + QStringLiteral("/prefs.conf"));
    EXPECT_EQ(SplitViewLayout::savedWidths(preferences, 3), std::nullopt);

    SplitViewLayout::saveWidths(preferences, {180, 700, 252, 240});
    EXPECT_EQ(SplitViewLayout::savedWidths(preferences, 4), (QList<int>{180, 700, 252, 240}));
    EXPECT_EQ(SplitViewLayout::savedWidths(preferences, 5), std::nullopt);
    preferences.setValue(SplitViewLayout::kWidthsKey, QVariantList{180, QStringLiteral("wide")});
    EXPECT_EQ(SplitViewLayout::savedWidths(preferences, 2), std::nullopt);

    SplitViewLayout layout;
    layout.rememberWidth(C::Inbox, 215);
    EXPECT_EQ(layout.rememberedWidth(C::Inbox), 215);
}

// A side column shown for the first time comes with a width of its own (the feed's is left to the
// split view). Narrower than its divider keeps it, the panel would clip its content, and the
// divider would stand where no drag could have put it.
TEST(SplitViewLayoutTest, GivenASideColumnShownTheFirstTime_ThenItIsAsWideAsItsDividersKeepIt)
{
    const SplitViewLayout layout;
    const std::vector<PanelColumn> arrangements[] = {
        {C::Inbox, C::Projects, C::Board, C::Feed, C::Detail},
        {C::Inbox, C::Board},
        {C::Projects, C::Board, C::Detail},
        {C::Board, C::Detail},
    };
    for (const std::vector<PanelColumn>& columns : arrangements) {
        for (qsizetype index = 0; index < qsizetype(columns.size()); ++index) {
            const C column = columns[size_t(index)];
            if (column == C::Board || column == C::Feed)
                continue;
            const int width = layout.rememberedWidth(column);
            for (const qsizetype divider : {index - 1, index}) {
                if (divider < 0 || divider + 1 >= qsizetype(columns.size()))
                    continue;
                EXPECT_GE(width, SplitViewLayout::dividerLimit(divider, columns, true))
                    << int(column) << " beside divider " << divider;
            }
        }
    }
}

TEST(SplitViewLayoutTest,
     GivenANarrowWindow_WhenFitted_ThenSideColumnsGiveWidthDownToTheirLimitsBeforeTheBoard)
{
    const std::vector<PanelColumn> columns{C::Projects, C::Board, C::Detail};
    // At 800 px the board would keep 270 px beside 230 and 300: the sides go down to 180 and 252.
    EXPECT_EQ(SplitViewLayout::fitted({230, 900, 300}, columns, 800), (QList<int>{180, 368, 252}));
    // Half the width is all the board asks for.
    EXPECT_EQ(SplitViewLayout::fitted({300, 500, 300}, columns, 1000), (QList<int>{248, 500, 252}));
    // A wide window leaves the sides alone and gives the board the rest.
    EXPECT_EQ(SplitViewLayout::fitted({230, 500, 300}, columns, 1600), (QList<int>{230, 1070, 300}));
}

} // namespace
} // namespace qv::test
