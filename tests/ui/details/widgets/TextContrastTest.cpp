// Every text whose colour the program picks, in the drawer and on the board, reads on what it
// stands on (4.5:1 by relative luminance) in every colour theme, on a light and a dark desktop.
#include "tests/ui/board/BoardDocumentFixture.h"

#include "ui/board/ColorThemes.h"
#include "ui/board/ProjectCounters.h"
#include "ui/board/ProjectListController.h"
#include "ui/board/QuadrantColors.h"
#include "ui/board/widgets/FourQuadrantView.h"
#include "ui/board/widgets/ItemRowDelegate.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/ProjectRowDelegate.h"
#include "ui/board/widgets/QuadrantView.h"
#include "ui/details/widgets/AdvancedFilterViewController.h"
#include "ui/details/widgets/BoardPanels.h"
#include "ui/details/widgets/MyDrawerController.h"

#include <QAction>
#include <QApplication>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>

namespace qv::test {
namespace {

// A desktop theme with light text on dark grey, as dark themes set it.
QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x35, 0x35, 0x35);
    const QColor base(0x2a, 0x2a, 0x2a);
    const QColor text(0xee, 0xee, 0xee);
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
        palette.setColor(role, window);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    return palette;
}

class TextContrastTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        project = ProjectBuilder(context(), "Launch").atIndex(2000);
        for (int q = 0; q < 4; ++q)
            ItemBuilder(QStringLiteral("late %1").arg(q))
                .inQuadrant(q)
                .withValue("descriptionText", "Launch day")
                .due(clock.now().addDays(-1))
                .in(project);
        window = std::make_unique<MainWindow>(*document, services);
        panels = BoardPanels::attach(*window, *document, services);
        window->resize(1180, 760);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        scheduler.runPosted();
        window->showProject(project);
        // A search that the project's name answers: the list marks it.
        panels.filterPanel->searchField()->setText(QStringLiteral("Launch"));
        scheduler.runPosted();
    }
    void TearDown() override { window.reset(); }

    void expectReadable(const QColor& ink, const QColor& background, const QString& what)
    {
        const double ratio = QuadrantColors::contrastRatio(ink, background);
        if (ratio < 4.5)
            unreadable << QStringLiteral("%1: %2 on %3, %4:1")
                              .arg(what, ink.name(), background.name())
                              .arg(ratio, 0, 'f', 2);
    }

    void checkBoard(const QString& where)
    {
        static const QRegularExpression kBackground(QStringLiteral("background-color: (#[0-9a-f]{6})"));
        static const QRegularExpression kText(QStringLiteral("(?<![-\\w])color: (#[0-9a-f]{6})"));
        for (int q = 0; q < 4; ++q) {
            const QString quadrant = QStringLiteral("%1, quadrant %2").arg(where).arg(q);
            QuadrantPanel* panel = window->quadrantPanel(q);
            for (const bool active : {false, true}) {
                panel->showVisualHint(active);
                const QString sheet = panel->header()->styleSheet();
                expectReadable(QColor(kText.match(sheet).captured(1)),
                               QColor(kBackground.match(sheet).captured(1)),
                               quadrant + (active ? ", active title" : ", title"));
            }
            panel->showVisualHint(q == window->board().activeQuadrant());

            QuadrantView* view = window->quadrantView(q);
            const QColor row = view->palette().color(QPalette::Base);
            QStyleOptionViewItem option;
            option.widget = view;
            option.palette = view->palette();
            for (const bool byColour : {false, true}) {
                option.state = QStyle::State_Enabled;
                const ItemRowDelegate::Inks inks = ItemRowDelegate::inksFor(option, byColour);
                expectReadable(inks.title, row, quadrant + ", row title");
                expectReadable(inks.notes, row, quadrant + ", row notes");
                expectReadable(inks.overdue, row, quadrant + ", overdue row title");
                option.state |= QStyle::State_Selected;
                expectReadable(ItemRowDelegate::inksFor(option, byColour).overdue,
                               option.palette.color(QPalette::Highlight),
                               quadrant + ", selected overdue row title");
            }
            expectReadable(ItemRowDelegate::hintInk(view->palette()), row,
                           quadrant + ", empty quadrant's hint");
        }
    }

    void checkDrawer(const QString& where)
    {
        MyDrawerController* drawer = panels.drawer;
        for (int q = 0; q < 4; ++q) {
            window->board().enableQuadrantAndSelectRows(q, {0}, false);
            scheduler.runPosted();
            ASSERT_NE(drawer->getItem(), nullptr);
            ASSERT_EQ(drawer->getItem()->quadrant(), q);
            const QString item = QStringLiteral("%1, drawer of quadrant %2").arg(where).arg(q);
            const QPalette colours = drawer->palette();
            const QColor background = colours.color(QPalette::Window);
            expectReadable(colours.color(QPalette::Active, QPalette::WindowText), background,
                           item + ", labels");
            expectReadable(colours.color(QPalette::Inactive, QPalette::WindowText), background,
                           item + ", labels of an inactive window");
            expectReadable(colours.color(QPalette::Disabled, QPalette::WindowText), background,
                           item + ", greyed texts");
            const QPalette due = drawer->dueField()->palette();
            expectReadable(due.color(QPalette::Text), due.color(QPalette::Base), item + ", overdue date");
            expectReadable(drawer->dueWeekdayLabel()->palette().color(QPalette::WindowText), background,
                           item + ", overdue weekday");
        }
    }

    void checkProjectList(const QString& where)
    {
        ProjectListView* list = window->projectListView();
        const ProjectCounterModel* counters = list->controller().counterModelFor(project);
        ASSERT_NE(counters, nullptr);
        for (int q = 0; q < 4; ++q)
            expectReadable(counters->labelTextColor(q), counters->tileColor(q),
                           QStringLiteral("%1, project's count of quadrant %2").arg(where).arg(q));
        auto* rows = qobject_cast<ProjectRowDelegate*>(list->tableView()->itemDelegate());
        ASSERT_NE(rows, nullptr);
        QStyleOptionViewItem option;
        option.palette = list->tableView()->palette();
        for (const bool selected : {false, true}) {
            option.state = selected ? QStyle::State_Selected : QStyle::State_None;
            expectReadable(rows->nameInk(project, option),
                           option.palette.color(selected ? QPalette::Highlight : QPalette::Base),
                           where + (selected ? ", selected project's name" : ", project's name") +
                               " answering the search");
        }
    }

    BoardPanels panels;
    std::unique_ptr<MainWindow> window;
    QStringList unreadable;
};

TEST_F(TextContrastTest,
       GivenEveryColourThemeUnderALightAndADarkPalette_ThenEveryPickedTextReadsOnItsBackground)
{
    const ColorThemeProducer* producer = window->colorThemes();
    ASSERT_NE(producer, nullptr);
    // Chosen from the menu, and a new project's own colours from the quadrants' colour wells.
    QList<QAction*> themes = window->colorThemeMenu()->actions();
    ASSERT_GE(themes.size(), 9);
    themes.prepend(nullptr);

    const std::pair<QString, QPalette> desktops[] = {{QStringLiteral("light"), window->palette()},
                                                     {QStringLiteral("dark"), darkPalette()}};
    for (const auto& [name, desktop] : desktops) {
        window->setPalette(desktop);
        QApplication::processEvents();
        // The board's message when no project is shown.
        auto* message = qobject_cast<QLabel*>(window->findChild<QStackedWidget*>("boardStack")->widget(1));
        ASSERT_NE(message, nullptr);
        message->ensurePolished();
        expectReadable(message->palette().color(QPalette::WindowText),
                       message->palette().color(QPalette::Window), name + ", the board's message");
        for (QAction* theme : themes) {
            if (theme) {
                theme->trigger();
            } else {
                const QColor colours[] = {
                    QColor::fromRgbF(0.36f, 0.644f, 0.751f), QColor::fromRgbF(0.636f, 0.778f, 0.833f),
                    QColor::fromRgbF(0.636f, 0.778f, 0.833f), QColor::fromRgbF(0.854f, 0.927f, 0.919f)};
                for (int q = 0; q < 4; ++q)
                    window->changeQuadrantColor(q, colours[q]);
            }
            scheduler.runPosted();
            QApplication::processEvents();
            const QString where = name + ", " + (theme ? theme->text() : QStringLiteral("a new project"));
            checkBoard(where);
            checkDrawer(where);
            checkProjectList(where);
        }
    }
    EXPECT_TRUE(unreadable.isEmpty()) << unreadable.size() << " unreadable:\n"
                                      << unreadable.join(QLatin1Char('\n')).toStdString();
}

} // namespace
} // namespace qv::test
