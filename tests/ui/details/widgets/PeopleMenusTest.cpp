// The window's people menus over a fixed set of people: the owner picture's menu opens once
// for clicks within 0.1 s, a pick delegates every selected item, the rows' context menu offers
// the people but the owner, and the toolbar's team filter sits where it should and filters.
#include "tests/ui/board/ProjectListFixture.h"

#include "ui/board/ArrayController.h"
#include "ui/board/widgets/AvatarMenu.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/QuadrantView.h"
#include "ui/details/widgets/AdvancedFilterViewController.h"
#include "ui/details/widgets/BoardPanels.h"
#include "ui/details/widgets/MyDrawerController.h"
#include "ui/details/widgets/PeopleMenus.h"
#include "ui/details/widgets/TeamFilterItem.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QKeySequence>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>

namespace qv::test {
namespace {

User person(const QString& email, bool teammate)
{
    User user;
    user.username = user.email = email;
    user.teammate = teammate;
    return user;
}

PeopleMenuSource people()
{
    PeopleMenuSource source;
    source.me = person(QStringLiteral("me@x.com"), true);
    source.collaborators = {person(QStringLiteral("ann@x.com"), true),
                            person(QStringLiteral("bob@x.com"), false)};
    return source;
}

QStringList enabledTitles(const QMenu& menu)
{
    QStringList titles;
    for (const QAction* action : menu.actions()) {
        if (!action->isSeparator() && action->isEnabled())
            titles << action->text();
    }
    return titles;
}

class PeopleMenusTest : public ProjectListFixture {
protected:
    void TearDown() override
    {
        window.reset();
        ProjectListFixture::TearDown();
    }
    void open()
    {
        project = ProjectBuilder(context(), "P");
        for (const char* name : {"a", "b", "c"})
            items << ItemBuilder(name).ownedBy("bob@x.com").in(project);
        settle();
        window = std::make_unique<MainWindow>(*document, services);
        panels = BoardPanels::attach(*window, *document, services);
        menus = new PeopleMenus(*window, *panels.drawer, services, [](const TODOItem* item) {
            PeopleMenuSource source = people();
            if (item)
                source.ownerUsername = item->ownerUsername();
            return source;
        });
        window->showProject(project);
        settle();
        for (TODOItem* item : items)
            item->setEdited_since(0);
        settle();
    }

    TODOList* project = nullptr;
    QList<TODOItem*> items;
    std::unique_ptr<MainWindow> window;
    BoardPanels panels;
    PeopleMenus* menus = nullptr;
};

TEST_F(PeopleMenusTest,
       GivenTwoOwnerPictureClicksWithinATenthOfASecond_ThenTheMenuOpensOnceAndAPickDelegatesTheSelection)
{
    open();
    window->board().enableQuadrantAndSelectRows(0, {0, 2}, false);
    settle();
    QSignalSpy opened(menus->drawerMenu(), &QMenu::aboutToShow);
    QuadrantView* view = window->quadrantView(0);
    emit view->collaboratorsRequested();
    scheduler.advance(50);
    emit view->collaboratorsRequested();
    scheduler.advance(PeopleMenus::kCollaboratorsDelayMs);
    EXPECT_EQ(opened.count(), 1);
    emit view->collaboratorsRequested();
    scheduler.advance(PeopleMenus::kCollaboratorsDelayMs);
    EXPECT_EQ(opened.count(), 2);
    menus->drawerMenu()->hide();

    // The drawer's item is owned by bob: he is left out, "me" leads.
    EXPECT_EQ(enabledTitles(*menus->drawerMenu()), QStringList({"me@x.com", "ann@x.com"}));
    for (QAction* action : menus->drawerMenu()->actions()) {
        if (action->text() == "ann@x.com")
            action->trigger();
    }
    settle();
    const std::vector<store::ManagedObject*> selected = window->board().controller(0).selectedObjects();
    ASSERT_EQ(selected.size(), 2u);
    for (TODOItem* item : items) {
        const bool chosen = std::find(selected.begin(), selected.end(), item) != selected.end();
        EXPECT_EQ(item->ownerUsername(), QString(chosen ? "ann@x.com" : "bob@x.com"))
            << item->name().toStdString();
        EXPECT_EQ(item->edited_since(), chosen ? 1 : 0);
    }
    EXPECT_EQ(menus->ownerButton()->text(), QString("ann@x.com"));
}

TEST_F(PeopleMenusTest,
       GivenTheRowsContextMenu_WhenItOpens_ThenItsDelegateMenuOffersThePeopleForTheOneSelectedItem)
{
    open();
    window->board().enableQuadrantAndSelectRows(0, {1}, false);
    settle();
    emit window->itemContextMenu()->aboutToShow();
    ASSERT_NE(menus->delegateMenu(), nullptr);
    EXPECT_EQ(menus->delegateMenu()->title(), QString("Delegate"));
    EXPECT_EQ(enabledTitles(*menus->delegateMenu()), QStringList({"me@x.com", "ann@x.com"}));

    // Several selected: no item to leave its owner out for.
    window->board().enableQuadrantAndSelectRows(0, {0, 1}, false);
    emit window->itemContextMenu()->aboutToShow();
    EXPECT_EQ(enabledTitles(*menus->delegateMenu()), QStringList({"ann@x.com", "bob@x.com"}));
}

TEST_F(PeopleMenusTest,
       GivenTheToolbar_ThenTheTeamFilterGoesWhereItsVisibleItemsSay_AndItsChoiceFiltersTheBoard)
{
    for (const auto& [visible, index] : {std::pair{9, 6}, {4, 3}, {1, 0}, {7, 6}, {8, 6}, {0, 6}})
        EXPECT_EQ(TeamFilterItem::insertionIndex(visible), index) << visible;

    open();
    QToolBar* toolbar = window->findChild<QToolBar*>();
    ASSERT_NE(toolbar, nullptr);
    TeamFilterItem* item = TeamFilterItem::addTo(*toolbar, &notifications, people);
    EXPECT_EQ(TeamFilterItem::addTo(*toolbar, &notifications, people), item);
    EXPECT_EQ(item->objectName(), QString("TeamFilter"));
    EXPECT_EQ(toolbar->widgetForAction(toolbar->actions().value(6)), item);

    emit item->peopleMenu()->aboutToShow();
    EXPECT_EQ(enabledTitles(*item->peopleMenu()),
              QStringList({"Anybody", "me@x.com", "ann@x.com", "bob@x.com"}));
    item->choose(QStringLiteral("ann@x.com"));
    EXPECT_EQ(panels.filterPanel->delegatedToField()->currentText(), QString("ann@x.com"));
    panels.filterPanel->delegatedToField()->setCurrentIndex(0); // "Anybody"
    emit panels.filterPanel->delegatedToField()->activated(0);
    EXPECT_TRUE(item->chosen().isEmpty());
}

// The text Qt shows for a menu item's or a button's text: "&&" is an "&", a lone "&" marks a shortcut.
QString shownText(const QString& text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'&' && i + 1 < text.size())
            ++i;
        shown += text.at(i);
    }
    return shown;
}

TEST_F(PeopleMenusTest,
       GivenAnAmpersandInAddressesAndNames_WhenEveryMenuIsFilled_ThenEachShowsThemAsTypedWithoutAShortcut)
{
    const QStringList typed = {"q&a@x.com", "r&d@x.com", "s&p@x.com", "R&D"};
    project = ProjectBuilder(context(), "P");
    project->setTextFirstQuadrant(QStringLiteral("R&D"));
    items << ItemBuilder("a").ownedBy("r&d@x.com").in(project)
          << ItemBuilder("b").ownedBy("s&p@x.com").in(project);
    settle();
    const auto source = [](const TODOItem* item) {
        PeopleMenuSource people;
        people.me = person(QStringLiteral("q&a@x.com"), true);
        people.collaborators = {person(QStringLiteral("r&d@x.com"), true),
                                person(QStringLiteral("s&p@x.com"), false)};
        if (item)
            people.ownerUsername = item->ownerUsername();
        return people;
    };
    window = std::make_unique<MainWindow>(*document, services);
    panels = BoardPanels::attach(*window, *document, services);
    menus = new PeopleMenus(*window, *panels.drawer, services, source);
    TeamFilterItem* team = TeamFilterItem::addTo(*window->findChild<QToolBar*>(), &notifications,
                                                 [&source] { return source(nullptr); });
    window->showProject(project);
    window->board().enableQuadrantAndSelectRows(0, {0}, false);
    settle();
    menus->showMenuWithAll(menus->ownerButton());
    menus->drawerMenu()->hide();
    emit window->itemContextMenu()->aboutToShow();
    team->choose(QStringLiteral("s&p@x.com"));
    emit team->peopleMenu()->aboutToShow();

    QStringList texts;
    for (const QAction* action : window->findChildren<QAction*>())
        texts << action->text();
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        texts << button->text();
    QStringList marked;
    QStringList seen;
    for (const QString& text : std::as_const(texts)) {
        const QString shown = shownText(text);
        for (const QString& name : typed) {
            if (!shown.contains(name) && !shown.contains(QString(name).remove(u'&')))
                continue;
            seen << shown;
            if (!QKeySequence::mnemonic(text).isEmpty() || !shown.contains(name))
                marked << text;
        }
    }
    EXPECT_TRUE(marked.isEmpty()) << marked.join(QStringLiteral(" | ")).toStdString();
    for (const QString& name : typed) // the walk met every name
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const QString& text) {
            return text.contains(name);
        })) << name.toStdString();
    // The one chosen is told by its address, and ticked.
    const QList<QAction*> chosen = team->peopleMenu()->actions();
    EXPECT_TRUE(std::any_of(chosen.begin(), chosen.end(), [](const QAction* action) {
        return action->isChecked() && action->data().toString() == QStringLiteral("s&p@x.com");
    }));
}

} // namespace
} // namespace qv::test
