#include "tests/ui/board/BoardDocumentFixture.h"

#include "core/model/ItemFile.h"
#include "platform/store/UndoManager.h"
#include "sync/SyncNotifications.h"
#include "ui/board/ItemClipboard.h"
#include "ui/board/ItemPasteboard.h"
#include "ui/board/ProjectListController.h"
#include "ui/board/widgets/FourQuadrantView.h"
#include "ui/board/widgets/ItemRowDelegate.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/QuadrantTableModel.h"
#include "ui/board/widgets/QuadrantView.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace qv::test {
namespace {

class MainWindowTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        addLaunchProject(2000);
        ProjectBuilder(project)
            .withValue("textFirstQuadrant", "Do Now")
            .withValue("textFourthQuadrant", "Postpone");
        other = ProjectBuilder(context(), "Other").atIndex(1000);
        x = ItemBuilder("x").inQuadrant(1).atIndex(1000).in(project);
        z = ItemBuilder("z").inQuadrant(3).atIndex(2000).in(project);
        w = ItemBuilder("w").inQuadrant(3).atIndex(1000).in(project);
        ItemBuilder("elsewhere").atIndex(1000).in(other);
        scheduler.runPosted();

        window = std::make_unique<MainWindow>(*document, services);
        window->resize(1000, 700);
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        scheduler.runPosted();
        window->showProject(project);
        QApplication::processEvents();
    }

    void TearDown() override { window.reset(); }

    Board& board() const { return window->board(); }
    QuadrantView* view(int q) const { return window->quadrantView(q); }
    QLineEdit* editor(int q) const { return view(q)->rowDelegate()->openEditor(); }
    QList<qsizetype> selection(int q) const { return board().controller(q).selectionIndexes(); }
    QStringList shown(int q) const { return names(board().controller(q).arrangedObjects()); }

    // Opens the title editor of a row and types over its text.
    QLineEdit* editRow(int q, qsizetype row, const QString& text)
    {
        board().enableQuadrantAndSelectRows(q, {row}, false);
        view(q)->editTitle(row);
        QLineEdit* line = editor(q);
        if (line) {
            line->selectAll();
            QTest::keyClicks(line, text);
        }
        return line;
    }

    QAction* action(const QString& text) const
    {
        for (QAction* candidate : window->findChildren<QAction*>()) {
            if (candidate->text() == text)
                return candidate;
        }
        return nullptr;
    }

    bool lockFree() const { return !sync.editing && sync.holder.isEmpty(); }

    TODOList* other = nullptr;
    TODOItem *x = nullptr, *z = nullptr, *w = nullptr;
    std::unique_ptr<MainWindow> window;
};

// --- The window on a project

TEST_F(MainWindowTest,
       GivenProjects_WhenShownAndRenamed_ThenQuadrantsListTheirItemsTheCrossKeepsYUpAndTheTitleFollows)
{
    EXPECT_EQ(window->windowTitle(), project->name() + QStringLiteral(" \u2014 Quadrivo"));
    EXPECT_FALSE(view(2)->emptyHint().isEmpty()); // empty quadrants say how to add
    EXPECT_TRUE(view(0)->emptyHint().isEmpty());
    EXPECT_EQ(view(0)->model()->rowCount(), 3);
    EXPECT_EQ(view(2)->model()->rowCount(), 0);
    EXPECT_EQ(view(0)->model()->index(0, 0).data().toString(), QStringLiteral("a"));
    EXPECT_EQ(window->quadrantPanel(0)->header()->text(), QStringLiteral("Do Now"));
    EXPECT_EQ(window->quadrantPanel(3)->header()->text(), QStringLiteral("Postpone"));
    EXPECT_EQ(document->window(), window.get());
    EXPECT_EQ(&document->projectList(), static_cast<ProjectList*>(window->projectListView()));

    other->setCenterX(30);
    other->setCenterY(80);
    window->showProject(other);
    EXPECT_EQ(window->fourQuadrantView()->crossFraction(), QPointF(0.3, 1.0 - 0.8));
    emit window->fourQuadrantView()->crossMoved(QPointF(0.6, 0.25));
    EXPECT_DOUBLE_EQ(other->centerX(), 60);
    EXPECT_DOUBLE_EQ(other->centerY(), 75);

    EXPECT_EQ(window->windowTitle(), QStringLiteral("Other \u2014 Quadrivo"));
    other->setName(QStringLiteral("Renamed"));
    context().processPendingChanges();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Renamed \u2014 Quadrivo"));
    window->showProject(nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quadrivo"));
    EXPECT_TRUE(view(2)->emptyHint().isEmpty());
}

TEST_F(MainWindowTest, GivenAFilterHidingAllItemsOfAQuadrant_WhenItShowsNone_ThenItSaysSoInsteadOfBeingEmpty)
{
    const QString none = QStringLiteral("No items here. Double-click to add one.");
    const QString hidden = QStringLiteral("No items match the filter.");
    preferences.setValue("kItemFilterState", 2); // completed items only
    EXPECT_EQ(view(1)->emptyHint(), hidden);
    EXPECT_EQ(view(2)->emptyHint(), none);
    // Trashed items are not hidden by the filter.
    x->setState(2);
    board().updateFilters();
    EXPECT_EQ(view(1)->emptyHint(), none);
}

TEST_F(MainWindowTest, GivenAMovedAndResizedWindow_WhenItClosesAndANewOneOpens_ThenItTakesTheSamePlace)
{
    window->resize(860, 610);
    window->move(70, 40);
    QApplication::processEvents();
    const QRect placed = window->geometry();
    window->close();
    window.reset();

    MainWindow again(*document, services);
    EXPECT_EQ(again.geometry().size(), placed.size());
    EXPECT_EQ(again.geometry().topLeft(), placed.topLeft());
}

// --- Keys across the four quadrants, empty ones included

TEST_F(MainWindowTest, GivenArrowKeys_WhenMovingAcrossQuadrants_ThenEmptyOnesAreFocusedWithoutSelection)
{
    board().enableQuadrantAndSelectRows(0, {2}, false);

    QTest::keyClick(view(0), Qt::Key_Down);
    EXPECT_EQ(board().activeQuadrant(), 2);
    for (int q = 0; q < 4; ++q)
        EXPECT_TRUE(selection(q).isEmpty()) << q;
    EXPECT_EQ(QApplication::focusWidget(), view(2));

    QTest::keyClick(view(2), Qt::Key_Up);
    EXPECT_EQ(board().activeQuadrant(), 0);
    EXPECT_EQ(selection(0), QList<qsizetype>{2});
    EXPECT_EQ(view(0)->selectionModel()->selectedRows().size(), 1);

    QTest::keyClick(view(0), Qt::Key_Right);
    EXPECT_EQ(board().activeQuadrant(), 1);
    EXPECT_EQ(selection(1), QList<qsizetype>{0});
    EXPECT_TRUE(selection(0).isEmpty());

    QTest::keyClick(view(1), Qt::Key_Down);
    EXPECT_EQ(board().activeQuadrant(), 3);
    EXPECT_EQ(selection(3), QList<qsizetype>{0});

    QTest::keyClick(view(3), Qt::Key_Left);
    EXPECT_EQ(board().activeQuadrant(), 2);
    EXPECT_TRUE(selection(2).isEmpty());
    EXPECT_TRUE(selection(3).isEmpty());

    QTest::keyClick(view(2), Qt::Key_Left);
    EXPECT_TRUE(window->projectListView()->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == window->projectListView());
}

TEST_F(MainWindowTest,
       GivenADetailPanelOrTheDeleteKey_WhenPressedInAQuadrant_ThenThePanelTogglesOnceOrTheRowIsTrashed)
{
    window->setRightPanel(new QLabel(QStringLiteral("details")));
    EXPECT_TRUE(window->rightPanelArea()->isVisible());
    board().enableQuadrantAndSelectRows(1, {0}, false);
    QTest::keyClick(view(1), Qt::Key_Space);
    EXPECT_FALSE(preferences.boolValue("kShowingDetail"));
    EXPECT_FALSE(window->rightPanelArea()->isVisible());
    QTest::keyClick(view(1), Qt::Key_Space);
    EXPECT_TRUE(window->isShowingDetail());

    board().enableQuadrantAndSelectRows(3, {1}, false);
    alerts.answers = {0};
    QTest::keyClick(view(3), Qt::Key_Delete);
    EXPECT_EQ(w->state(), 2);
    EXPECT_EQ(shown(3), QStringList({"z"}));
}

// --- Adding items: double click on empty space, and the quick-add chain

TEST_F(MainWindowTest, GivenADoubleClickBelowTheRows_WhenItLands_ThenANewItemOpensForItsTitle)
{
    QWidget* viewport = view(1)->viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(60, viewport->height() - 10));

    ASSERT_EQ(board().controller(1).arrangedCount(), 2);
    TODOItem* added = board().addingItem();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->quadrant(), 1);
    EXPECT_TRUE(view(1)->isEditingTitle());
    ASSERT_NE(editor(1), nullptr);
    EXPECT_EQ(editor(1)->text(), QString());
    EXPECT_TRUE(sync.editing);
    EXPECT_EQ(sync.holder, Board::kItemNameComponent);
    EXPECT_TRUE(sync.blocked.contains(added));
}

TEST_F(MainWindowTest, GivenQuickAdd_WhenTitlesEndWithReturn_ThenEachOpensTheNextAndABlankOneIsDropped)
{
    TODOItem* first = board().addTODOItemToQuadrant(2);
    ASSERT_NE(editor(2), nullptr);
    QTest::keyClicks(editor(2), QStringLiteral("Buy milk"));
    QTest::keyClick(editor(2), Qt::Key_Return);
    EXPECT_EQ(first->name(), QStringLiteral("Buy milk"));
    EXPECT_EQ(editor(2), nullptr);
    EXPECT_TRUE(lockFree());
    EXPECT_FALSE(sync.blocked.contains(first));

    scheduler.runPosted();
    TODOItem* second = board().addingItem();
    ASSERT_NE(second, nullptr);
    ASSERT_NE(editor(2), nullptr);
    EXPECT_TRUE(sync.editing);
    QTest::keyClicks(editor(2), QStringLiteral("Call Ann"));
    QTest::keyClick(editor(2), Qt::Key_Return);
    scheduler.runPosted();
    TODOItem* third = board().addingItem();
    ASSERT_NE(third, nullptr);
    ASSERT_NE(editor(2), nullptr);

    QTest::keyClick(editor(2), Qt::Key_Return);
    scheduler.runPosted();
    EXPECT_TRUE(third->isDeleted());
    EXPECT_EQ(board().addingItem(), nullptr);
    EXPECT_EQ(editor(2), nullptr);
    EXPECT_TRUE(lockFree());
    EXPECT_EQ(shown(2), QStringList({"Buy milk", "Call Ann"}));
    EXPECT_EQ(board().controller(2).selectedObjects(), std::vector<store::ManagedObject*>{second});
}

// --- The editing lock ends with every way an edit can end

TEST_F(MainWindowTest, GivenAnEdit_WhenItEndsInAnyWay_ThenTheTextIsKeptAndTheLockReleased)
{
    const auto endEdit = [this](const QString& how, int q, qsizetype row, TODOItem* item,
                                const std::function<void()>& end) {
        SCOPED_TRACE(how.toStdString());
        ASSERT_NE(editRow(q, row, how), nullptr);
        EXPECT_TRUE(sync.editing);
        end();
        QApplication::processEvents();
        EXPECT_EQ(item->name(), how);
        EXPECT_TRUE(lockFree());
    };
    scheduler.advance(1000); // the window starts observing the sync loops
    endEdit("an item loop pass rebuilds the quadrant", 0, 0, a, [this] {
        notifications.post(kNotificationItemUpdaterLooped);
        scheduler.runPosted();
        EXPECT_EQ(editor(0), nullptr);
    });
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Tab, Qt::Key_Escape}) {
        endEdit(QStringLiteral("key %1").arg(int(key)), 0, 1, b, [this, key] {
            QTest::keyClick(editor(0), key);
            EXPECT_EQ(editor(0), nullptr);
            scheduler.runPosted();
            EXPECT_EQ(board().addingItem(), nullptr);
        });
    }
    endEdit("a click elsewhere", 0, 0, a, [this] {
        QTest::mouseClick(view(3)->viewport(), Qt::LeftButton, {},
                          view(3)->visualRect(view(3)->model()->index(0, 0)).center());
        EXPECT_EQ(editor(0), nullptr);
        EXPECT_EQ(board().activeQuadrant(), 3);
    });
    endEdit("another project selected", 0, 2, c, [this] {
        window->projectListView()->selectProject(other);
        QApplication::processEvents();
        EXPECT_EQ(shown(0), QStringList({"elsewhere"}));
    });
    window->showProject(project);
    endEdit("the window destroyed", 1, 0, x, [this] { window.reset(); });
}

TEST_F(MainWindowTest, GivenAQuickAddEdit_WhenTheWindowCloses_ThenTheTextIsKeptTheItemReleasedAndTheLockFree)
{
    TODOItem* item = board().addTODOItemToQuadrant(3);
    QTest::keyClicks(editor(3), QStringLiteral("Typed before closing"));
    EXPECT_TRUE(sync.blocked.contains(item));
    window->close();
    EXPECT_EQ(item->name(), QStringLiteral("Typed before closing"));
    EXPECT_FALSE(item->isDeleted());
    EXPECT_TRUE(sync.blocked.isEmpty());
    EXPECT_TRUE(lockFree());
    window.reset();
    EXPECT_TRUE(lockFree());
}

// --- Dragging: reorder, move between quadrants, and the lock while a drag is out

// --- The Edit menu

TEST_F(MainWindowTest,
       GivenTheEditKeys_WhenPressedInAQuadrant_ThenItemsAreCopiedCutPastedAndStepsUndoneAndRedone)
{
    QMenu* edit = nullptr;
    for (QAction* menu : window->menuBar()->actions()) {
        if (menu->text() == QStringLiteral("&Edit"))
            edit = menu->menu();
    }
    ASSERT_NE(edit, nullptr);
    QStringList entries;
    for (QAction* entry : edit->actions()) {
        if (!entry->isSeparator())
            entries << entry->text();
    }
    EXPECT_EQ(entries, QStringList({"Undo", "Redo", "Cut", "Copy", "Paste"}));
    context().undoManager()->removeAllActions();

    board().enableQuadrantAndSelectRows(0, {0}, false);
    QTest::keyClick(view(0), Qt::Key_C, Qt::ControlModifier);
    board().enableQuadrantAndSelectRows(1, {0}, false);
    QTest::keyClick(view(1), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(shown(1), QStringList({"a", "x"}));
    EXPECT_EQ(shown(0), QStringList({"a", "b", "c"}));
    scheduler.runPosted();

    QTest::keyClick(view(1), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(shown(1), QStringList{"x"});
    const QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    ASSERT_FALSE(redoKeys.isEmpty());
    for (const QKeySequence& keys : redoKeys) {
        QTest::keySequence(view(1), keys);
        EXPECT_EQ(shown(1), QStringList({"a", "x"})) << keys.toString().toStdString();
        QTest::keyClick(view(1), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(shown(1), QStringList{"x"});
    }

    board().enableQuadrantAndSelectRows(3, {0}, false);
    QTest::keyClick(view(3), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(shown(3), QStringList{"w"});
    QTest::keyClick(view(3), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(shown(3), QStringList({"z", "w"}));
}

TEST_F(MainWindowTest, GivenItemsDroppedOnQuadrantTables_WhenAccepted_ThenTheyReorderOrMove)
{
    const auto reorder = ItemPasteboard::forItems({c}, project, {2}).toMimeData();
    EXPECT_TRUE(view(0)->dropMime(reorder.get(), 0));
    EXPECT_EQ(shown(0), QStringList({"c", "a", "b"}));
    EXPECT_EQ(view(0)->model()->index(0, 0).data().toString(), QStringLiteral("c"));

    const auto move = ItemPasteboard::forItems({a}, project, {1}).toMimeData();
    EXPECT_TRUE(view(2)->dropMime(move.get(), view(2)->dropRowAt(QPoint(10, 10))));
    EXPECT_EQ(a->quadrant(), 2);
    EXPECT_EQ(shown(0), QStringList({"c", "b"}));
    EXPECT_EQ(shown(2), QStringList({"a"}));
    EXPECT_EQ(view(2)->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(board().activeQuadrant(), 2);
}

TEST_F(MainWindowTest, GivenADragOutOfAQuadrant_WhenItEnds_ThenTheLockHeldMeanwhileIsReleased)
{
    bool lockedDuringDrag = false;
    QStringList dragged;
    view(3)->setDragRunner([&](QDrag& drag) {
        lockedDuringDrag = sync.editing;
        const auto pasteboard = ItemPasteboard::fromMimeData(drag.mimeData());
        if (pasteboard)
            dragged = pasteboard->itemURIs;
        view(1)->dropMime(drag.mimeData(), 0);
        return Qt::MoveAction;
    });
    QSignalSpy dragging(view(3), &QuadrantView::draggingChanged);
    board().enableQuadrantAndSelectRows(3, {0, 1}, false);

    const QPoint start = view(3)->visualRect(view(3)->model()->index(0, 0)).center();
    QTest::mousePress(view(3)->viewport(), Qt::LeftButton, {}, start);
    // The first move takes the table into dragging, the second carries the drag out.
    QTest::mouseMove(view(3)->viewport(), start + QPoint(0, 2));
    QTest::mouseMove(view(3)->viewport(), start + QPoint(0, 40));
    QTest::mouseRelease(view(3)->viewport(), Qt::LeftButton, {}, start + QPoint(0, 40));

    EXPECT_TRUE(lockedDuringDrag);
    EXPECT_EQ(dragged, QStringList({z->uri(), w->uri()}));
    EXPECT_EQ(dragging.count(), 2);
    EXPECT_FALSE(view(3)->isDragging());
    EXPECT_TRUE(lockFree());
    EXPECT_EQ(shown(1), QStringList({"z", "w", "x"}));
    EXPECT_TRUE(shown(3).isEmpty());
}

TEST_F(
    MainWindowTest,
    GivenItemsDraggedOverAnotherProjectInTheList_WhenDroppedOnItsQuadrant_ThenTheyMoveThereInOneUndoableStep)
{
    if (!document->isReceivingEditingNotifications())
        document->enableDidChangeContextNotifications();
    ItemBuilder().withServerID(77).taggedWith("home").onto(a);
    auto* file = context().insert<ItemFile>(ItemFile::staticEntityName());
    a->addFilesObject(file);
    // Another user's edit marked it; the mark goes a while after the project is shown.
    other->setHighlight(1);
    scheduler.runPosted();
    context().undoManager()->removeAllActions();
    const int itemCount = context().count(TODOItem::staticEntityName());

    QTableView* list = window->projectListView()->tableView();
    view(0)->setDragRunner([&](QDrag& drag) {
        // Over the other project's row, which shows its board, then onto its second quadrant.
        const QPoint row = list->visualRect(list->model()->index(1, 0)).center();
        const QPoint quadrant = view(1)->viewport()->rect().center();
        QDragEnterEvent enterList(row, Qt::MoveAction, drag.mimeData(), Qt::LeftButton, {});
        QApplication::sendEvent(list->viewport(), &enterList);
        QDragMoveEvent over(row, Qt::MoveAction, drag.mimeData(), Qt::LeftButton, {});
        QApplication::sendEvent(list->viewport(), &over);
        QDragEnterEvent enterQuadrant(quadrant, Qt::MoveAction, drag.mimeData(), Qt::LeftButton, {});
        QApplication::sendEvent(view(1)->viewport(), &enterQuadrant);
        QDropEvent drop(quadrant, Qt::MoveAction, drag.mimeData(), Qt::LeftButton, {});
        QApplication::sendEvent(view(1)->viewport(), &drop);
        return drop.dropAction();
    });
    board().enableQuadrantAndSelectRows(0, {0, 1}, false);
    const QPoint start = view(0)->visualRect(view(0)->model()->index(0, 0)).center();
    QTest::mousePress(view(0)->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(view(0)->viewport(), start + QPoint(0, 2));
    QTest::mouseMove(view(0)->viewport(), start + QPoint(0, 40));
    QTest::mouseRelease(view(0)->viewport(), Qt::LeftButton, {}, start + QPoint(0, 40));
    scheduler.runPosted();

    ASSERT_EQ(board().selectedProject(), other);
    ASSERT_EQ(shown(1), QStringList({"a", "b"}));
    auto* copy = store::as<TODOItem>(board().controller(1).arrangedObjectAt(0));
    EXPECT_EQ(copy->list(), other);
    EXPECT_NE(copy->id_(), a->id_());
    EXPECT_TRUE(copy->isNull("serverID"));
    EXPECT_EQ(copy->getTagNames(), QStringList{"home"});
    EXPECT_EQ(copy->files(), std::vector<ItemFile*>{file});
    EXPECT_EQ(copy->copiedFromID(), 77);
    for (TODOItem* source : {a, b}) {
        EXPECT_EQ(source->state(), 2);
        EXPECT_EQ(source->edited_since(), 1) << "the move must reach the server";
    }

    // One step back, also once the mark went: the sources are back, the copies gone.
    scheduler.advance(ProjectListController::kHighlightClearDelayMs);
    ASSERT_EQ(other->highlight(), 0);
    window->clipboard().undo();
    EXPECT_TRUE(shown(1).isEmpty());
    EXPECT_EQ(context().count(TODOItem::staticEntityName()), itemCount);
    EXPECT_EQ(a->state(), 0);
    EXPECT_EQ(b->state(), 0);
}

// --- Start-up: the first-run project, the templates menu and the login check

TEST_F(MainWindowTest, GivenTheTemplatesMenu_WhenBuilt_ThenTheCustomTemplateEntryComesFirstDisabled)
{
    QAction* custom = action(QStringLiteral("Custom template"));
    ASSERT_NE(custom, nullptr);
    EXPECT_FALSE(custom->isEnabled());
    EXPECT_TRUE(custom->toolTip().contains(QStringLiteral("not available")));
    EXPECT_EQ(custom->data().toInt(), 0);
}

TEST_F(MainWindowTest,
       GivenTheWindowBecameActiveWhileOffline_WhenFourSecondsPass_ThenLoginOrTheSyncSheetIsAsked)
{
    QSignalSpy sheet(window.get(), &MainWindow::syncWindowRequested);
    QSignalSpy login(window.get(), &MainWindow::loginRequested);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &activate);
    scheduler.advance(3999);
    EXPECT_EQ(sheet.count() + login.count(), 0);
    scheduler.advance(1);
    EXPECT_EQ(sheet.count(), 1);

    // Only the first activation of the run counts.
    preferences.setValue("_currentUser", "me@example.com");
    QApplication::sendEvent(window.get(), &activate);
    scheduler.advance(5000);
    EXPECT_EQ(sheet.count(), 1);
    EXPECT_EQ(login.count(), 0);
}

TEST_F(MainWindowTest, GivenAStoredUserOrOnlineOrOfflineOnly_WhenTheCheckRuns_ThenOnlyAKnownOfflineUserLogsIn)
{
    window.reset();
    preferences.setValue("_currentUser", "me@example.com");
    for (int round = 0; round < 3; ++round) {
        sync.online = round == 1;
        preferences.setValue("kWorkOfflineOnly", round == 2);
        MainWindow fresh(*document, services);
        QSignalSpy login(&fresh, &MainWindow::loginRequested);
        QSignalSpy sheet(&fresh, &MainWindow::syncWindowRequested);
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(&fresh, &activate);
        scheduler.advance(4000);
        EXPECT_EQ(login.count(), round == 0 ? 1 : 0) << round;
        EXPECT_EQ(sheet.count(), 0);
    }
}

class FirstRunTest : public BoardDocumentFixture {};

TEST_F(FirstRunTest, GivenAFreshStore_WhenTheWindowOpens_ThenMyProjectIsMadeOnce)
{
    preferences.setValue("kAddedMyProject", false);
    {
        MainWindow window(*document, services);
        scheduler.runPosted();
        ASSERT_EQ(window.projectListView()->numProjects(), 1);
        const TODOList* made = window.projectListView()->getAllProjects().front();
        EXPECT_EQ(made->name(), QStringLiteral("My Project"));
        EXPECT_EQ(made->textFirstQuadrant(), QStringLiteral("Do Now"));
        EXPECT_TRUE(preferences.boolValue("kAddedMyProject"));
    }
    // The document's start-up runs once, whoever opens the window.
    MainWindow again(*document, services);
    scheduler.runPosted();
    EXPECT_EQ(again.projectListView()->numProjects(), 1);
}

} // namespace
} // namespace qv::test
