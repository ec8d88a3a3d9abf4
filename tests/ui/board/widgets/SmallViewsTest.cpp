#include "ui/board/widgets/SmallViews.h"
#include "ui/board/widgets/SimpleSplitViewController.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QStandardItemModel>
#include <QTest>
#include <QTimeEdit>

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(ColoredView,
     GivenColourStringsAndColours_WhenSet_ThenOnlyReadableOnesPaintAndAnExplicitOneForgetsTheString)
{
    ColoredView view;
    view.setBackgroundColor(QStringLiteral("{0.5, 0.25, 1, 1}"));
    EXPECT_EQ(view.getActualColor(), QColor::fromRgbF(0.5f, 0.25f, 1, 1));
    view.setBackgroundColor(QStringLiteral("not a colour"));
    EXPECT_FALSE(view.getActualColor().isValid());
    EXPECT_EQ(view.backgroundColor(), QStringLiteral("not a colour"));
    view.setBackgroundColorExplicit(Qt::red);
    EXPECT_EQ(view.getActualColor(), QColor(Qt::red));
    EXPECT_TRUE(view.backgroundColor().isNull());
}

TEST(PanelSegmentedControl, GivenCounts_WhenShown_ThenNoneForZeroAndTheBadgeWidthFollowsTheDigits)
{
    PanelSegmentedControl control;
    for (const char* name : {"Inbox", "Feed", "Team"})
        control.addTab(QString::fromLatin1(name));
    control.resize(300, 30);
    control.setInboxCount(7);
    EXPECT_FALSE(control.tabIcon(PanelSegmentedControl::kInboxSegment).isNull());
    control.setInboxCount(0);
    EXPECT_TRUE(control.tabIcon(PanelSegmentedControl::kInboxSegment).isNull());
    control.setTeamCount(3);
    EXPECT_FALSE(control.tabIcon(PanelSegmentedControl::kTeamSegment).isNull());

    EXPECT_EQ(PanelSegmentedControl::imageForCount(7, 30).width(), 20);
    EXPECT_EQ(PanelSegmentedControl::imageForCount(42, 30).width(), 30);
    EXPECT_EQ(PanelSegmentedControl::imageForCount(100, 30).width(), 40);
    EXPECT_EQ(PanelSegmentedControl::imageForCount(100, 30).height(), 30);
}

TEST(DeselectableTableView,
     GivenASelectedRow_WhenClickedAgainOrAnotherRightClicked_ThenItClearsOrSelectsThatRowAlone)
{
    QStandardItemModel model(3, 1);
    DeselectableTableView table;
    table.setModel(&model);
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.resize(200, 200);
    table.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    const auto centre = [&table](int row) {
        return table.visualRect(table.model()->index(row, 0)).center();
    };

    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, centre(1));
    EXPECT_TRUE(table.selectionModel()->isRowSelected(1, {}));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, centre(1));
    EXPECT_FALSE(table.selectionModel()->hasSelection());

    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, centre(0));
    QTest::mousePress(table.viewport(), Qt::RightButton, {}, centre(2));
    EXPECT_EQ(table.selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(table.selectionModel()->isRowSelected(2, {}));
}

TEST(FieldsAndPickers,
     GivenFocusTextAndItems_WhenTheyArrive_ThenPlaceholdersHideTextIsSelectedItemsGreyAndTheCalendarFollows)
{
    QWidget window;
    auto* other = new QLineEdit(&window);
    auto* text = new NSTextViewWithPlaceHolder(&window);
    auto* search = new SelectOnBeginSearchField(&window);
    auto* date = new DatePickerWithPopup(&window);
    auto* popup = new GrayedOutPopUpButton(&window);
    auto* passive = new NoInteractionTextField(&window);
    text->move(0, 90);
    search->move(0, 30);
    date->move(0, 60);
    text->setPlaceholderString(QStringLiteral("Notes"));
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // The placeholder shows only while the text view is empty and unfocused.
    other->setFocus();
    EXPECT_TRUE(text->isShowingPlaceholder());
    text->setFocus();
    EXPECT_FALSE(text->isShowingPlaceholder());
    other->setFocus();
    text->setPlainText(QStringLiteral("written"));
    EXPECT_FALSE(text->isShowingPlaceholder());

    // Text dropped with a link becomes that link.
    text->clear();
    QMimeData mime;
    mime.setText(QStringLiteral("the plan"));
    mime.setUrls({QUrl(QStringLiteral("https://example.com/plan"))});
    text->insertFromMimeData(&mime);
    EXPECT_TRUE(text->toHtml().contains(QStringLiteral("href=\"https://example.com/plan\"")));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("the plan"));

    search->setText(QStringLiteral("milk"));
    other->setFocus();
    search->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(search->selectedText(), QStringLiteral("milk"));

    popup->addItems({QStringLiteral("Anybody"), QStringLiteral("Me")});
    EXPECT_EQ(popup->itemData(1, Qt::ForegroundRole).value<QColor>(),
              popup->palette().color(QPalette::Disabled, QPalette::ButtonText));
    EXPECT_TRUE(passive->testAttribute(Qt::WA_TransparentForMouseEvents));

    date->setDateTime(QDateTime(QDate(2026, 3, 10), QTime(9, 30)));
    date->setFocus();
    ASSERT_NE(date->popover(), nullptr);
    EXPECT_TRUE(date->popover()->isVisible());
    DateAndTimeViewController* calendar = date->dateAndTimeViewController();
    EXPECT_EQ(calendar->dateTime(), date->dateTime());
    calendar->datePicker()->setSelectedDate(QDate(2026, 4, 2));
    EXPECT_EQ(date->date(), QDate(2026, 4, 2));
    date->setTime(QTime(14, 0));
    EXPECT_EQ(calendar->timePicker()->time(), QTime(14, 0));
}

TEST(SimpleSplitViewController,
     GivenDividerMoves_WhenProposed_ThenTheyKeep100FromEachEndAndADoubleClickCollapsesTheSecond)
{
    EXPECT_EQ(SimpleSplitViewController::constrainedPosition(40, 600), 100);
    EXPECT_EQ(SimpleSplitViewController::constrainedPosition(560, 600), 500);
    EXPECT_EQ(SimpleSplitViewController::constrainedPosition(300, 600), 300);
    EXPECT_EQ(SimpleSplitViewController::constrainedPosition(300, 80), 300); // no room for a far limit

    SimpleSplitViewController split(Qt::Horizontal);
    split.addWidget(new QLabel(QStringLiteral("one")));
    split.addWidget(new QLabel(QStringLiteral("two")));
    split.resize(600, 200);
    split.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&split));
    QTest::mouseDClick(split.handle(1), Qt::LeftButton);
    EXPECT_EQ(split.sizes().at(1), 0);
    EXPECT_TRUE(split.handle(1)->isVisible());
}

TEST(HelperWindowController, GivenAHostedView_WhenSet_ThenItSitsUnderTheNameAndGoesWithTheSheet)
{
    HelperWindowController sheet;
    auto* view = new QLabel(QStringLiteral("hosted"));
    sheet.setViewController(view);
    sheet.setTitle(QStringLiteral("Write release notes"));
    EXPECT_EQ(sheet.title(), QStringLiteral("Write release notes"));
    EXPECT_EQ(view->parentWidget(), &sheet);
    QPointer<QWidget> replaced = view;
    sheet.setViewController(new QLabel(QStringLiteral("next")));
    EXPECT_TRUE(replaced.isNull());
}

TEST(MenuFont, GivenNestedMenus_WhenTheFontChanges_ThenEveryEntryTakesIt)
{
    QMenu menu;
    menu.addAction(QStringLiteral("One"));
    QMenu* sub = menu.addMenu(QStringLiteral("More"));
    QAction* deep = sub->addAction(QStringLiteral("Two"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(17);
    changeMenuFont(&menu, font);
    EXPECT_EQ(menu.actions().first()->font().pixelSize(), 17);
    EXPECT_EQ(deep->font().pixelSize(), 17);
}

} // namespace
} // namespace qv
