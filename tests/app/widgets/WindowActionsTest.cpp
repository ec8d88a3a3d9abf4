#include "tests/ui/board/BoardDocumentFixture.h"

#include "app/AppDelegate.h"
#include "app/ApplicationMenus.h"
#include "app/HelpLinks.h"
#include "app/ShellAdapters.h"
#include "core/model/ItemFile.h"
#include "core/util/ValueTransformerRegistry.h"
#include "ui/board/AttachmentUploads.h"
#include "ui/board/ScreenCapture.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/QuadrantView.h"
#include "ui/board/widgets/WindowCommands.h"
#include "ui/details/widgets/AdvancedFilterViewController.h"
#include "ui/details/widgets/MasterListWindow.h"
#include "ui/details/widgets/MyDrawerController.h"
#include "ui/details/widgets/PanelsControl.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QSplitter>
#include <QTest>
#include <QTimer>
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

// Takes the picture it was given, as if the user had picked that region.
class FakeCapture final : public ScreenCapture {
public:
    QImage picture;
    bool isAvailable(QString*) const override { return true; }
    void captureSelection(std::function<void(const QImage&)> done) override { done(picture); }
};

// The attachment side: answers the upload question as told and records what it was asked.
class FakeUploads final : public AttachmentUploads {
public:
    bool answer = true;
    QStringList asked;
    std::vector<TODOItem*> uploaded;
    std::vector<ItemFile*> opened;
    mutable FakeCapture capture;

    bool askUploadFile(const QString& fileName) override
    {
        asked << fileName;
        return answer;
    }
    void uploadURLFileForUnsyncedItem(TODOItem* item) override { uploaded.push_back(item); }
    void openItemFile(ItemFile* file) override { opened.push_back(file); }
    ScreenCapture* screenCapture() const override { return &capture; }
};

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
        panels = attachPanels(*window, *document, services);
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

    QAction* windowAction(const char* name) const
    {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    }
    QStringList quadrantNames(int quadrant) const
    {
        return names(window->board().controller(quadrant).arrangedObjects());
    }

    HelpLinks help{QString()};
    BoardPanels panels;
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

TEST_F(
    WindowActionsTest,
    GivenTheAttachmentSide_WhenFilesAScreenShotOrADroppedFileAreAdded_ThenEachBecomesAnItemWhoseFileIsUploaded)
{
    FakeUploads uploads;
    window->setAttachments(&uploads);
    const QString report = home.root() + QStringLiteral("/report.pdf");
    const QString notes = home.root() + QStringLiteral("/notes.txt");
    ASSERT_TRUE(writeFile(report) && writeFile(notes));
    window->setFileChooser([&] { return QStringList{report, notes}; });
    window->board().setActiveQuadrant(2);
    QAction* uploadFiles = windowAction("uploadFiles");
    QAction* capture = windowAction("captureSelectionFromScreen");
    ASSERT_TRUE(uploadFiles && capture);
    EXPECT_TRUE(window->itemContextMenu()->actions().contains(uploadFiles));
    EXPECT_TRUE(window->itemContextMenu()->actions().contains(capture));

    uploadFiles->trigger();
    QStringList added = quadrantNames(2);
    added.sort();
    EXPECT_EQ(added, (QStringList{"notes.txt", "report.pdf"}));
    ASSERT_EQ(uploads.uploaded.size(), 2u);
    EXPECT_EQ(uploads.uploaded[0]->macResourceURL(), QUrl::fromLocalFile(report).toString());
    EXPECT_EQ(uploads.uploaded[1]->icon(), Board::kFileItemIcon);
    EXPECT_TRUE(uploads.asked.isEmpty());

    uploads.capture.picture = QImage(8, 8, QImage::Format_ARGB32);
    uploads.capture.picture.fill(Qt::red);
    capture->trigger();
    ASSERT_EQ(uploads.uploaded.size(), 3u);
    TODOItem* shot = uploads.uploaded[2];
    EXPECT_TRUE(shot->name().startsWith(QStringLiteral("Screen Shot "))) << shot->name().toStdString();
    EXPECT_EQ(shot->quadrant(), 2);
    const QFileInfo picture(QUrl(shot->macResourceURL()).toLocalFile());
    EXPECT_TRUE(picture.exists());
    EXPECT_EQ(picture.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    EXPECT_FALSE(QImage(picture.filePath()).isNull());

    // A dropped file is asked about once the drop is over; "Don't upload" keeps it a link.
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(report)});
    ASSERT_TRUE(window->quadrantView(0)->dropMime(&dropped, -1));
    EXPECT_TRUE(uploads.asked.isEmpty());
    scheduler.runPosted();
    EXPECT_EQ(uploads.asked, QStringList{"report.pdf"});
    EXPECT_EQ(uploads.uploaded.size(), 4u);
    uploads.answer = false;
    ASSERT_TRUE(window->quadrantView(0)->dropMime(&dropped, -1));
    scheduler.runPosted();
    EXPECT_EQ(uploads.asked.size(), 2);
    EXPECT_EQ(uploads.uploaded.size(), 4u);
}

TEST_F(WindowActionsTest, GivenAnAttachmentNotOnThisComputer_WhenItsItemIsDoubleClicked_ThenOurCopyIsOpened)
{
    FakeUploads uploads;
    window->setAttachments(&uploads);
    preferences.setValue(QStringLiteral("kShowingDetail"), true);
    auto* file = context().insert<ItemFile>(ItemFile::staticEntityName());
    file->setUrl(QStringLiteral("https://sync.test/files/9/report.pdf"));
    a->addFilesObject(file);
    a->setMacResourceURL(QStringLiteral("https://sync.test/files/9/report.pdf"));
    scheduler.runPosted();

    QuadrantView* view = window->quadrantView(0);
    const QRect row = view->visualRect(view->model()->index(0, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_EQ(uploads.opened.size(), 1u);
    EXPECT_EQ(uploads.opened[0], file);
}

TEST_F(WindowActionsTest, GivenTheViewMenu_WhenFeedAndAvatarTogglesAreChosen_ThenTheDrawerAndTheRowsFollow)
{
    QAction* hideAvatars = windowAction("kHidingAvatarsInItems");
    ASSERT_NE(hideAvatars, nullptr);
    hideAvatars->trigger();
    EXPECT_TRUE(preferences.boolValue(QStringLiteral("kHidingAvatarsInItems")));
    hideAvatars->trigger();
    EXPECT_FALSE(preferences.boolValue(QStringLiteral("kHidingAvatarsInItems")));

    QAction* toggleFeed = windowAction("toggleFeed");
    ASSERT_NE(toggleFeed, nullptr);
    preferences.setValue(QStringLiteral("kShowingDetail"), true);
    window->board().enableQuadrantAndSelectRows(0, {0}, false);
    panels.drawer->setFeedView(new QLabel(QStringLiteral("feed")));
    window->resize(1200, 800);
    QApplication::processEvents();
    QSplitter* split = panels.drawer->splitView();
    split->setSizes({600, 0});
    toggleFeed->trigger();
    EXPECT_NEAR(split->sizes().at(1), split->height() / 3.0, 8.0);
}

TEST_F(WindowActionsTest, GivenAnItemDueYesterday_WhenTheDrawerShowsIt_ThenItsWeekdayAndTheOverdueColourShow)
{
    const QDateTime yesterday = clock.now().addDays(-1);
    a->setDueDate(yesterday);
    window->board().enableQuadrantAndSelectRows(0, {0}, false);
    scheduler.runPosted();
    ASSERT_EQ(panels.drawer->getItem(), a);
    EXPECT_EQ(panels.drawer->dueWeekdayLabel()->text(),
              window->valueTransformers()
                  .transformer(QStringLiteral("NSDateToDayOfTheWeekTransformer"))
                  ->transformedValue(yesterday)
                  .toString());
    EXPECT_FALSE(panels.drawer->dueWeekdayLabel()->text().isEmpty());
    EXPECT_EQ(panels.drawer->dueField()->palette().color(QPalette::Text), QColor::fromRgbF(0.8f, 0, 0, 1));

    b->setDueDate(clock.now().addDays(1));
    window->board().enableQuadrantAndSelectRows(0, {1}, false);
    scheduler.runPosted();
    ASSERT_EQ(panels.drawer->getItem(), b);
    EXPECT_NE(panels.drawer->dueField()->palette().color(QPalette::Text), QColor::fromRgbF(0.8f, 0, 0, 1));
}

TEST_F(WindowActionsTest, GivenInboxItems_WhenThePanelSwitcherShows_ThenTheirNumberIsItsRedImageNotItsText)
{
    QAction* inbox = panels.panelsControl->segment(PanelsControl::kInboxSegment);
    EXPECT_TRUE(inbox->icon().isNull());
    ItemBuilder("mailed").in(context());
    scheduler.runPosted();
    EXPECT_EQ(inbox->text(), QStringLiteral("Inbox"));
    EXPECT_FALSE(inbox->icon().isNull());
    panels.panelsControl->setTeamCount(3);
    EXPECT_EQ(panels.panelsControl->segment(PanelsControl::kTeamSegment)->text(), QStringLiteral("Team"));
    EXPECT_FALSE(panels.panelsControl->segment(PanelsControl::kTeamSegment)->icon().isNull());
}

TEST_F(WindowActionsTest,
       GivenTheCommandsThatOpenAWindow_ThenEachWindowIsTitledAsItsCommandAndTheFiltersReadAlike)
{
    window->board().enableQuadrantAndSelectRows(0, {0}, false); // an item to choose an icon for
    scheduler.runPosted();
    // The menu bar's command of that text.
    const auto command = [this](const QString& text) -> QAction* {
        std::set<QAction*> actions;
        collect(window->menuBar()->actions(), actions);
        for (QAction* action : actions) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    };
    // The title of the window the action opens, modal or not; that window is closed again.
    const auto titleOfWindowOpenedBy = [](QAction* action) {
        QString title;
        QTimer::singleShot(0, [&title] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                title = modal->windowTitle();
                modal->close();
            }
        });
        const QWidgetList before = QApplication::topLevelWidgets();
        action->trigger();
        QApplication::processEvents();
        for (QWidget* opened : QApplication::topLevelWidgets()) {
            if (title.isEmpty() && opened->isVisible() && !before.contains(opened)) {
                title = opened->windowTitle();
                opened->close();
            }
        }
        return title;
    };
    for (const QString& text : {QStringLiteral("Trashed Items…"), QStringLiteral("Trashed Projects…"),
                                QStringLiteral("Choose Icon…"), QStringLiteral("Master List…")}) {
        QAction* action = command(text);
        ASSERT_NE(action, nullptr) << text.toStdString();
        EXPECT_EQ(titleOfWindowOpenedBy(action), plain(text));
    }

    // The filter panel's states read as the View menu's.
    QStringList shown;
    for (const QAction* top : window->menuBar()->actions()) {
        for (const QAction* action : top->menu() ? top->menu()->actions() : QList<QAction*>()) {
            if (plain(top->text()) == QStringLiteral("View") && action->menu() &&
                action->text() == QStringLiteral("Show")) {
                for (const QAction* state : action->menu()->actions())
                    shown << state->text();
            }
        }
    }
    QStringList panel;
    for (int state = 0; state < filterPanel()->stateField()->count(); ++state)
        panel << filterPanel()->stateField()->itemText(state);
    EXPECT_EQ(panel, shown);
    EXPECT_EQ(shown.size(), 5);
}

TEST_F(WindowActionsTest, GivenTheMasterList_WhenARowIsActivated_ThenTheBoardShowsItsProjectAndSelectsTheItem)
{
    commands().showMasterList();
    auto* master = qobject_cast<MasterListWindow*>(commands().masterList());
    ASSERT_NE(master, nullptr);
    QTreeWidget* list = master->itemList();
    QTreeWidgetItem* elsewhere = list->findItems(QStringLiteral("elsewhere"), Qt::MatchExactly).value(0);
    ASSERT_NE(elsewhere, nullptr);
    list->setCurrentItem(elsewhere);
    QTest::keyClick(list, Qt::Key_Return);
    scheduler.runPosted();
    QApplication::processEvents();
    EXPECT_EQ(window->board().selectedProject(), other);
    TODOItem* selected = window->board().getSelectedItem();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->name(), QStringLiteral("elsewhere"));
}

} // namespace qv::test
