#include "ui/board/widgets/PanelSplitView.h"
#include "platform/Preferences.h"
#include "tests/support/TestEnvironment.h"

#include <QTest>

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using C = PanelColumn;

// The five columns as plain widgets, the board 1000 px wide to start with.
class PanelSplitViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view = std::make_unique<PanelSplitView>(preferences, new QWidget);
        for (C column : {C::Inbox, C::Projects, C::Feed, C::Detail})
            view->setColumnWidget(column, new QWidget);
        view->showColumn(C::Projects, true);
        view->showColumn(C::Detail, true);
        view->resize(1000 + 180 + 252 + 2 * view->handleWidth(), 600);
        view->show();
        view->restoreWidths();
        QApplication::processEvents();
    }

    TempHome home;
    Preferences preferences{home.root() + QStringLiteral("/prefs.conf")};
    std::unique_ptr<PanelSplitView> view;
};

TEST_F(PanelSplitViewTest, GivenShownColumns_WhenOneLeavesAndComesBack_ThenItKeepsItsWidthAndTheBoardPays)
{
    EXPECT_EQ(view->columns(), (std::vector<C>{C::Projects, C::Board, C::Detail}));
    EXPECT_EQ(view->columnWidths(), (QList<int>{180, 1000, 252}));
    view->showColumn(C::Inbox, true);
    EXPECT_EQ(view->columns(), (std::vector<C>{C::Inbox, C::Projects, C::Board, C::Detail}));
    EXPECT_EQ(view->columnWidths(), (QList<int>{180, 180, 820, 252}));

    view->moveDivider(0, 230); // the project list keeps 180: the inbox cannot widen
    EXPECT_EQ(view->columnWidths().at(0), 180);
    view->moveDivider(1, 2 * 180 + 50 + view->handleWidth()); // room for it
    view->moveDivider(0, 230);
    EXPECT_EQ(view->columnWidths(), (QList<int>{230, 180, 770, 252}));
    view->showColumn(C::Inbox, false);
    EXPECT_EQ(view->columnWidths(), (QList<int>{180, 1000, 252}));
    view->showColumn(C::Inbox, false); // already out: nothing
    view->showColumn(C::Inbox, true);
    EXPECT_EQ(view->columnWidths().at(0), 230);
    EXPECT_EQ(preferences.value(SplitViewLayout::kWidthsKey).toList().size(), 4);
}

TEST_F(PanelSplitViewTest,
       GivenADividerDragOrSavedWidths_WhenMovedTooFarOrReopened_ThenItStopsAtTheLimitsAndTheWidthsAreRestored)
{
    view->moveDivider(0, 20); // the project list may not go below 180
    EXPECT_EQ(view->columnWidths().at(0), 180);
    view->moveDivider(1, 5000); // the detail column keeps 252 beside the board
    EXPECT_EQ(view->columnWidths().at(2), 252);
    view->moveDivider(1, 10); // and the board keeps 252 beside it
    EXPECT_EQ(view->columnWidths().at(1), 252);
    const QVariantList saved = preferences.value(SplitViewLayout::kWidthsKey).toList();
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved.at(1).toInt(), 252);

    SplitViewLayout::saveWidths(preferences, {240, 940, 252});
    PanelSplitView again(preferences, new QWidget);
    again.setColumnWidget(C::Projects, new QWidget);
    again.setColumnWidget(C::Detail, new QWidget);
    again.showColumn(C::Projects, true);
    again.showColumn(C::Detail, true);
    again.resize(view->size());
    again.show();
    again.restoreWidths();
    QApplication::processEvents();
    EXPECT_EQ(again.columnWidths(), (QList<int>{240, 940, 252}));
}

TEST_F(PanelSplitViewTest, GivenSidePanelsShown_WhenTheWindowNarrowsTo800_ThenTheyShrinkBeforeTheBoard)
{
    view->moveDivider(0, 230);
    view->resize(800, 600);
    QApplication::processEvents();
    const QList<int> widths = view->columnWidths();
    EXPECT_EQ(widths.at(0), 180);
    EXPECT_EQ(widths.at(2), 252);
    EXPECT_GE(widths.at(1), 800 - 180 - 252 - 2 * view->handleWidth());
}

} // namespace
} // namespace qv::test
