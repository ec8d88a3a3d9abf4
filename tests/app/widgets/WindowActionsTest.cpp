#include "tests/ui/board/BoardDocumentFixture.h"

#include "app/AppDelegate.h"
#include "app/ApplicationMenus.h"
#include "app/HelpLinks.h"
#include "app/ShellAdapters.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WindowCommands.h"
#include "ui/details/widgets/AdvancedFilterViewController.h"
#include "ui/details/widgets/MasterListWindow.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <set>

namespace qv::test {
namespace {

// receivers() is protected: a member pointer taken in a subclass reaches it without a cast.
struct ActionProbe : QAction {
    static constexpr auto receiversOf = &ActionProbe::receivers;
};

// Menus, tool buttons and groups listen to the actions they hold; a handler is a listener more.
bool isConnected(QAction* action)
{
    int holders = action->actionGroup() ? 1 : 0;
    for (QObject* holder : action->associatedObjects())
        holders += qobject_cast<QMenu*>(holder) || qobject_cast<QToolButton*>(holder) ? 1 : 0;
    const auto count = [action](const char* signal) {
        return (action->*ActionProbe::receiversOf)(signal);
    };
    return count(SIGNAL(triggered(bool))) > holders || count(SIGNAL(toggled(bool))) > 0;
}

QString plain(QString text)
{
    return text.remove(QLatin1Char('&')).remove(QStringLiteral("…")).trimmed();
}

void collect(const QList<QAction*>& actions, std::set<QAction*>& into)
{
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        if (action->menu())
            collect(action->menu()->actions(), into);
        else
            into.insert(action);
    }
}

// The window as the shell composes it: its panels and the application's menus.
class WindowActionsTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        addLaunchProject(2000);
        other = ProjectBuilder(context(), "Other").atIndex(1000);
        ItemBuilder("elsewhere").in(other);
        ItemBuilder("done").completed().in(other);
        window = std::make_unique<MainWindow>(*document, services);
        attachPanels(*window, *document, services);
        AppDelegate::Dependencies deps;
        deps.services = services;
        delegate = std::make_unique<AppDelegate>(std::move(deps));
        addApplicationMenus(*window, *delegate, preferences, help);
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        scheduler.runPosted();
        window->showProject(project);
    }
    void TearDown() override
    {
        window.reset();
        delegate.reset();
    }

    WindowCommands& commands() const { return window->commands(); }
    AdvancedFilterViewController* filterPanel() const
    {
        return window->findChild<AdvancedFilterViewController*>();
    }

    HelpLinks help{QString()};
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<MainWindow> window;
    TODOList* other = nullptr;
};

} // namespace

TEST_F(WindowActionsTest, GivenEveryMenuAndToolbarAction_WhenWalked_ThenEachHasAHandlerOrSaysWhyItIsOff)
{
    std::set<QAction*> actions;
    collect(window->menuBar()->actions(), actions);
    for (QMenu* menu : window->findChildren<QMenu*>())
        collect(menu->actions(), actions);
    for (QToolBar* toolbar : window->findChildren<QToolBar*>()) {
        for (QAction* action : toolbar->actions()) {
            if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(action))) {
                if (button->defaultAction())
                    actions.insert(button->defaultAction());
                if (button->menu())
                    collect(button->menu()->actions(), actions);
            } else if (!action->isSeparator()) {
                actions.insert(action);
            }
        }
    }
    ASSERT_GT(actions.size(), 60u);

    QStringList silent;
    for (QAction* action : actions) {
        const bool explained = !action->isEnabled() && !plain(action->toolTip()).isEmpty() &&
                               plain(action->toolTip()) != plain(action->text());
        if (!isConnected(action) && !explained)
            silent << action->text();
    }
    EXPECT_TRUE(silent.isEmpty()) << silent.join(QStringLiteral(", ")).toStdString();
}

TEST_F(WindowActionsTest, GivenFiltersSet_WhenCleared_ThenThePanelTheStateAndTheProjectOrderFollowTheCommands)
{
    filterPanel()->searchField()->setText(QStringLiteral("zzz"));
    preferences.setValue(QStringLiteral("kItemFilterState"), 2);
    commands().action(QStringLiteral("clearFilters"))->trigger();
    EXPECT_TRUE(filterPanel()->searchField()->text().isEmpty());
    EXPECT_EQ(preferences.intValue(QStringLiteral("kItemFilterState")), 1);
    EXPECT_EQ(names(window->board().controller(0).arrangedObjects()), (QStringList{"a", "b", "c"}));

    ProjectListController& list = window->projectListView()->controller();
    EXPECT_EQ(list.getProjectAtRow(0), project);
    commands().action(QStringLiteral("toggleProjectAlphabeticalOrder"))->trigger();
    EXPECT_TRUE(list.alphabeticalOrder());
    EXPECT_EQ(list.getProjectAtRow(0), project);
    EXPECT_EQ(list.getProjectAtRow(1), other);
    commands().action(QStringLiteral("toggleProjectAlphabeticalOrder"))->trigger();
    EXPECT_FALSE(list.alphabeticalOrder());
}

TEST_F(WindowActionsTest,
       GivenTheFilterPanel_WhenFoundOrMovedToItsOwnWindow_ThenItTakesTheKeysAndComesBackOnClose)
{
    commands().gotoFindField();
    EXPECT_TRUE(filterPanel()->searchField()->hasFocus());

    commands().showAdvancedFilterWindow();
    QWidget* own = filterPanel()->window();
    ASSERT_NE(own, window.get());
    EXPECT_TRUE(own->isVisible());
    own->close();
    QApplication::processEvents();
    EXPECT_EQ(filterPanel()->window(), window.get());
}

TEST_F(WindowActionsTest,
       GivenTheMasterList_WhenOpenSearchedAndTheStoreChanges_ThenItListsEveryOpenItemAndFollows)
{
    commands().showMasterList();
    auto* master = qobject_cast<MasterListWindow*>(commands().masterList());
    ASSERT_NE(master, nullptr);
    const auto rows = [master] {
        QStringList shown;
        for (int i = 0; i < master->itemList()->topLevelItemCount(); ++i)
            shown << master->itemList()->topLevelItem(i)->text(0);
        return shown;
    };
    EXPECT_EQ(rows(), (QStringList{"a", "b", "c", "elsewhere"}));

    master->searchField()->setText(QStringLiteral("ELSE"));
    EXPECT_EQ(rows(), QStringList{"elsewhere"});
    ItemBuilder("somewhere else").in(project);
    scheduler.runPosted();
    EXPECT_EQ(rows(), (QStringList{"somewhere else", "elsewhere"}));

    // While it is open, Find goes to its own search field.
    master->activateWindow();
    QApplication::setActiveWindow(master);
    commands().gotoFindField();
    EXPECT_TRUE(master->searchField()->hasFocus());
    master->reject();
    QApplication::processEvents();
    EXPECT_EQ(commands().masterList(), nullptr);
}

TEST_F(WindowActionsTest, GivenTheCacheWipe_WhenItRuns_ThenTheOverlayWithoutSyncingCoversTheBoardMeanwhile)
{
    auto* overlay = window->findChild<QWidget*>(QStringLiteral("grayOverlay"));
    ASSERT_NE(overlay, nullptr);
    OverlayWipeProgress progress(*window);
    progress.begin();
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_EQ(overlay->geometry(), window->centralWidget()->geometry());
    EXPECT_FALSE(window->centralWidget()->isEnabled());
    EXPECT_FALSE(overlay->findChild<QLabel*>()->isVisible());
    progress.end();
    EXPECT_FALSE(overlay->isVisible());
    EXPECT_TRUE(window->centralWidget()->isEnabled());

    // While the sync window is up the overlay shows the sync's progress, centred under its words.
    commands().showGrayOverlay();
    EXPECT_TRUE(overlay->findChild<QLabel*>()->isVisible());
    QApplication::processEvents();
    const auto* busy = overlay->findChild<QProgressBar*>();
    ASSERT_NE(busy, nullptr);
    const QRect bar(busy->mapTo(overlay, QPoint(0, 0)), busy->size());
    EXPECT_NEAR(bar.center().x(), overlay->rect().center().x(), 2);
    commands().hideGrayOverlay();
}

} // namespace qv::test
