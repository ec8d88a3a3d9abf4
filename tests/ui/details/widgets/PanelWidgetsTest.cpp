#include "tests/ui/board/ProjectListFixture.h"

#include "core/document/CalendarSync.h"
#include "core/model/TodoModel.h"
#include "tests/support/RecordingTagServer.h"

#include "ui/board/ArrayController.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/QuadrantView.h"
#include "ui/details/AdvancedFilter.h"
#include "ui/details/DetailsNotifications.h"
#include "ui/details/DrawerModel.h"
#include "ui/details/ProjectTags.h"
#include "ui/details/UndeleteCandidates.h"
#include "ui/details/widgets/AdvancedFilterViewController.h"
#include "ui/details/widgets/BoardPanels.h"
#include "ui/details/widgets/IconChooserWindow.h"
#include "ui/details/widgets/InboxTableView.h"
#include "ui/details/widgets/MyDrawerController.h"
#include "ui/details/widgets/ProjectTagController.h"
#include "ui/details/widgets/ProjectTagFilterViewController.h"
#include "ui/details/widgets/UndeleteDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSplitter>
#include <QSpontaneKeyEvent>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <functional>

namespace qv::test {
namespace {

using FilterPanelWidgetTest = ProjectListFixture;

TEST_F(FilterPanelWidgetTest, GivenTypedSearchText_WhenResetIsClicked_ThenTheFieldsEmptyAndTheBoardRefilters)
{
    AdvancedFilterViewController panel(*document, services);
    QSignalSpy changed(&panel, &AdvancedFilterViewController::filtersChanged);
    QTest::keyClicks(panel.searchField(), "bank");
    EXPECT_EQ(panel.filter().searchString(), QString("bank"));
    EXPECT_EQ(changed.count(), 4);
    preferences.setValue("kItemFilterState", 2);

    QTest::mouseClick(panel.resetButton(), Qt::LeftButton);
    EXPECT_EQ(panel.searchField()->text(), QString(""));
    EXPECT_EQ(preferences.intValue("kItemFilterState"), 1);
    EXPECT_FALSE(panel.filter().getIsFiltering());
    EXPECT_EQ(changed.count(), 5);
}

TEST_F(FilterPanelWidgetTest,
       GivenTheProgramsClock_WhenThePanelOpens_ThenTheDateRangeIsAWeekEitherSideOfItsToday)
{
    clock.setNow(QDateTime(QDate(2031, 7, 15), QTime(12, 0), QTimeZone::utc()));
    AdvancedFilterViewController panel(*document, services);
    const auto dates = panel.findChildren<QDateEdit*>();
    ASSERT_EQ(dates.size(), 2);
    EXPECT_EQ(dates[0]->date(), QDate(2031, 7, 8));
    EXPECT_EQ(dates[1]->date(), QDate(2031, 7, 22));
}

TEST_F(FilterPanelWidgetTest, GivenTeamPanelOwners_WhenAnnounced_ThenTheDelegateFieldShowsTheOnePerson)
{
    AdvancedFilterViewController panel(*document, services);
    Notification note;
    note.name = kNotificationSelectedOwnersChanged;
    note.object = QStringList{"ann@example.com"};
    notifications.post(note);
    EXPECT_EQ(panel.delegatedToField()->currentText(), QString("ann@example.com"));

    QList<QStringList> announced;
    int observer = 0;
    notifications.addObserver(&observer, kNotificationSelectedOwnersChanged,
                              [&](const Notification& n) { announced << n.object.toStringList(); });
    panel.delegatedToField()->setCurrentIndex(0); // "Anybody"
    emit panel.delegatedToField()->activated(0);
    EXPECT_EQ(announced, (QList<QStringList>{{}}));
    EXPECT_TRUE(panel.filter().selectedOwners().isEmpty());
    notifications.removeObserver(&observer);
}

TEST_F(FilterPanelWidgetTest,
       GivenAHighlightedItemTag_WhenDeleteIsPressed_ThenItGoesOnlyAfterTheAlertAndFromEveryItem)
{
    RecordingTagServer server;
    TagManager tags(TodoModel::shared(), scheduler, &server);
    TODOItem* a = ItemBuilder("a").taggedWith("work").taggedWith("home").in(context());
    TODOItem* b = ItemBuilder("b").taggedWith("work").in(context());
    AdvancedFilterViewController panel(*document, services);
    panel.reloadChoices();
    QListWidget* tagRows = panel.tagList();
    ASSERT_EQ(tagRows->count(), 2);
    QTest::keyClick(tagRows, Qt::Key_Delete); // nothing highlighted: nothing asked
    EXPECT_TRUE(alerts.shown().isEmpty());

    tagRows->item(1)->setSelected(true); // "work"
    alerts.queueAnswer(false);
    QTest::keyClick(tagRows, Qt::Key_Delete);
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown().at(0).message, QString("Removing item tags"));
    EXPECT_EQ(alerts.shown().at(0).informative,
              QString("The tag \"work\" will be removed from every item that carries it."));
    EXPECT_EQ(b->getTagNames(), QStringList({"work"}));

    alerts.queueAnswer(true);
    QTest::keyClick(tagRows, Qt::Key_Delete);
    settle();
    EXPECT_EQ(a->getTagNames(), QStringList({"home"}));
    EXPECT_TRUE(b->getTagNames().isEmpty());
    EXPECT_EQ(server.calls, QStringList({"remove work a", "remove work b"}));
    ASSERT_EQ(tagRows->count(), 1);
    EXPECT_EQ(tagRows->item(0)->text(), QString("home"));
}

TEST_F(FilterPanelWidgetTest, GivenThePanelShown_WhenTagsAndOwnersComeAndGo_ThenItsListsFollowAtOnce)
{
    AdvancedFilterViewController panel(*document, services);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    ASSERT_EQ(panel.tagList()->count(), 0);
    TODOItem* item = ItemBuilder("a").taggedWith("beta tag").ownedBy("li@example.com").in(context());
    context().processPendingChanges();
    ASSERT_EQ(panel.tagList()->count(), 1);
    EXPECT_EQ(panel.tagList()->item(0)->text(), QString("beta tag"));
    ASSERT_EQ(panel.delegatedToField()->count(), 2);
    EXPECT_EQ(panel.delegatedToField()->itemText(1), QString("li@example.com"));

    // Other edits leave the lists, and the row the user highlighted, alone.
    panel.tagList()->item(0)->setSelected(true);
    item->setName("renamed");
    context().processPendingChanges();
    EXPECT_TRUE(panel.tagList()->item(0)->isSelected());

    item->setOwnerUsername(QString());
    context().processPendingChanges();
    EXPECT_EQ(panel.delegatedToField()->count(), 1);
}

using InboxWidgetTest = ProjectListFixture;

TEST_F(InboxWidgetTest, GivenTheAddField_WhenReturnIsPressed_ThenOnlyARealTitleBecomesAnItem)
{
    InboxTableView inbox(*document, services);
    QTest::keyClicks(inbox.addField(), "   ");
    QTest::keyClick(inbox.addField(), Qt::Key_Return);
    EXPECT_EQ(inbox.itemsArrayController().arrangedCount(), 0);
    EXPECT_EQ(inbox.addField()->text(), QString("   "));

    inbox.addField()->setText("Buy milk");
    QTest::keyClick(inbox.addField(), Qt::Key_Return);
    EXPECT_EQ(inbox.addField()->text(), QString(""));
    ASSERT_EQ(inbox.tableView()->model()->rowCount(), 1);
    EXPECT_EQ(inbox.tableView()->model()->index(0, 0).data().toString(), QString("Buy milk"));
    EXPECT_EQ(sync.calls, (QStringList{"sendItem Buy milk"}));
}

// The inbox row of that name.
QModelIndex inboxRow(const InboxTableView& inbox, const QString& name)
{
    const QAbstractItemModel* rows = inbox.tableView()->model();
    for (int row = 0; row < rows->rowCount(); ++row) {
        if (rows->index(row, 0).data().toString() == name)
            return rows->index(row, 0);
    }
    return {};
}

TEST_F(InboxWidgetTest, GivenInboxItem_WhenDroppedOnAQuadrant_ThenItJoinsProjectAndQuadrantAsAnUploadedEdit)
{
    TODOList* project = ProjectBuilder(context(), "P");
    ItemBuilder("Kept").in(context());
    TODOItem* call = ItemBuilder("Call Bob").in(context());
    settle();
    MainWindow board(*document, services);
    const BoardPanels panels = BoardPanels::attach(board, *document, services);
    board.showProject(project);
    settle();
    call->setEdited_since(0);
    settle();

    const QModelIndex row = inboxRow(*panels.inbox, "Call Bob");
    panels.inbox->tableView()->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(panels.drawer->getItem(), call);
    const std::unique_ptr<QMimeData> dragged(panels.inbox->tableView()->model()->mimeData({row}));
    ASSERT_TRUE(dragged);
    EXPECT_TRUE(board.quadrantView(2)->dropMime(dragged.get(), 0));
    settle();

    EXPECT_EQ(call->list(), project);
    EXPECT_EQ(call->quadrant(), 2);
    EXPECT_EQ(call->edited_since(), 1);
    EXPECT_EQ(names(board.board().controller(2).arrangedObjects()), QStringList({"Call Bob"}));
    EXPECT_EQ(names(panels.inbox->itemsArrayController().arrangedObjects()), QStringList({"Kept"}));
}

TEST_F(InboxWidgetTest, GivenSelectedInboxItem_WhenDeleteIsPressed_ThenItIsTrashedAsAnUploadedEdit)
{
    ItemBuilder("Kept").in(context());
    TODOItem* spam = ItemBuilder("Spam").in(context());
    InboxTableView inbox(*document, services);
    document->enableDidChangeContextNotifications();
    settle();
    spam->setEdited_since(0);
    settle();

    inbox.tableView()->selectionModel()->select(inboxRow(inbox, "Spam"), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(inbox.tableView(), Qt::Key_Delete);
    settle();

    EXPECT_EQ(spam->objectState(), ObjectState::Trashed);
    EXPECT_EQ(spam->edited_since(), 1);
    EXPECT_EQ(names(inbox.itemsArrayController().arrangedObjects()), QStringList({"Kept"}));
}

using TrashBinWidgetTest = ProjectListFixture;

TEST_F(TrashBinWidgetTest, GivenTrashedItem_WhenTickedAndRestored_ThenItIsBackAndTheBoardIsRefreshed)
{
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* trashed = ItemBuilder("Thrown away").trashed().in(project);
    makeList();
    list->selectProject(project);

    UndeleteViewController bin(*document, services);
    QSignalSpy refresh(&bin, &UndeleteDialog::refreshRequested);
    bin.loadUndeleteCandidates();
    ASSERT_EQ(bin.candidateList()->count(), 1);
    EXPECT_EQ(bin.candidateList()->item(0)->text(), QString("Thrown away"));
    EXPECT_FALSE(bin.restoreButton()->isEnabled());
    bin.candidateList()->item(0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(bin.restoreButton()->isEnabled());
    QTest::mouseClick(bin.restoreButton(), Qt::LeftButton);
    EXPECT_EQ(trashed->state(), 0);
    EXPECT_EQ(refresh.count(), 1);
    EXPECT_EQ(bin.candidates().count(), 0);

    bin.done(QDialog::Rejected);
    EXPECT_EQ(bin.candidates().count(), 0);
}

using DrawerWidgetTest = ProjectListFixture;

TEST_F(DrawerWidgetTest, GivenSelectedItem_WhenItsNameIsEdited_ThenItIsStoredAndABlankNameIsUndone)
{
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* item = ItemBuilder("Draft").in(project);
    ArrayController quadrant;
    quadrant.setContent({item});
    MyDrawerController drawer(*document, services);
    QSignalSpy opened(&drawer, &MyDrawerController::openChanged);
    drawer.setArrayController(&quadrant);
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(drawer.getItem(), nullptr);
    quadrant.setSelectedObjects({item});
    EXPECT_EQ(drawer.nameField()->text(), QString("Draft"));

    drawer.nameField()->setText("Final");
    emit drawer.nameField()->editingFinished();
    EXPECT_EQ(item->name(), QString("Final"));
    drawer.nameField()->setText("  ");
    emit drawer.nameField()->editingFinished();
    EXPECT_EQ(item->name(), QString("Final"));
    EXPECT_EQ(drawer.nameField()->text(), QString("Final"));
}

TEST_F(DrawerWidgetTest, GivenShownItem_WhenEachFieldIsEdited_ThenTheItemTakesTheValue)
{
    RecordingTagServer server;
    TagManager tags(TodoModel::shared(), scheduler, &server);
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* item = ItemBuilder("Draft").in(project);
    TODOItem* other = ItemBuilder("Middle").in(project);
    ArrayController quadrant;
    quadrant.setSortDescriptors({SortDescriptor::byValue("name", true)});
    quadrant.setContent({item, other});
    quadrant.setSelectedObjects({item});
    MyDrawerController drawer(*document, services);
    drawer.setTagManager(&tags);
    drawer.setArrayController(&quadrant);
    const QDateTime start(QDate(2026, 3, 2), QTime(9, 30));
    const QDateTime firstDay(QDate(2026, 3, 2), QTime(0, 0));
    QString chosenIcon;

    struct Edit {
        std::function<void()> edit;
        std::function<bool()> landed;
        const char* field;
    };
    const Edit edits[] = {
        // The row shows the new name in its place at once.
        {[&] {
             drawer.nameField()->selectAll();
             QTest::keyClicks(drawer.nameField(), "Renamed");
             QTest::keyClick(drawer.nameField(), Qt::Key_Return);
         },
         [&] {
             return item->name() == "Renamed" &&
                    names(quadrant.arrangedObjects()) == QStringList({"Middle", "Renamed"});
         },
         "name, applied by Return"},
        {[&] {
             drawer.notesField()->setPlainText("first line\nsecond");
             drawer.notesField()->document()->setModified(true);
             drawer.commitEdits();
         },
         [&] { return item->descriptionText() == "first line\nsecond"; }, "notes"},
        {[&] {
             drawer.linkField()->setText(" https://example.com/plan ");
             emit drawer.linkField()->editingFinished();
         },
         [&] { return item->macResourceURL() == "https://example.com/plan"; }, "link"},
        {[&] {
             drawer.startToggle()->setChecked(true);
             drawer.startField()->setDateTime(start);
         },
         [&] { return item->startDate() == start && !item->allDay(); }, "start date with time"},
        {[&] {
             drawer.dueToggle()->setChecked(true);
             drawer.dueField()->setDateTime(start.addDays(3));
             drawer.allDayToggle()->setChecked(true);
         },
         [&] {
             return item->allDay() && item->startDate() == firstDay &&
                    item->dueDate() == firstDay.addDays(3) &&
                    drawer.dueField()->displayFormat() == "yyyy-MM-dd";
         },
         "due date, then all day"},
        {[&] { drawer.startToggle()->setChecked(false); },
         [&] { return !item->startDate().isValid() && item->dueDate().isValid(); }, "start date removed"},
        {[&] { drawer.effortField()->setValue(5); }, [&] { return item->effort() == 5; }, "effort"},
        {[&] { drawer.completionField()->setValue(100); },
         [&] { return item->objectState() == ObjectState::Completed && item->completionPercentage() == 100; },
         "completion"},
        {[&] {
             drawer.recurrenceField()->setCurrentIndex(2);
             emit drawer.recurrenceField()->activated(2);
         },
         [&] { return item->recurrence() == TODOItem::Recurrence::Weekly; }, "recurrence"},
        {[&] {
             drawer.tagsField()->setText("Work, home, work,");
             emit drawer.tagsField()->editingFinished();
         },
         [&] {
             return item->getTagNames() == QStringList({"home", "work"}) &&
                    server.calls == QStringList({"add work Renamed", "add home Renamed"});
         },
         "tags, through the tag service"},
        {[&] {
             IconChooserWindow* chooser = drawer.showImagesWindow();
             QListWidget* icons = chooser->iconList();
             QListWidgetItem* last = icons->item(icons->count() - 1);
             chosenIcon = last->data(Qt::UserRole).toString();
             QTest::mouseClick(icons->viewport(), Qt::LeftButton, {}, icons->visualItemRect(last).center());
         },
         [&] { return !chosenIcon.isEmpty() && item->icon() == chosenIcon; }, "icon, from the chooser"},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.field);
        e.edit();
        settle(); // the drawer shows the stored values again, as after a turn of the main loop
        EXPECT_TRUE(e.landed());
    }
}

TEST_F(DrawerWidgetTest, GivenAFocusedDueDate_WhenArrowDownIsPressedOnItsDay_ThenOnlyTheDayMoves)
{
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* item = ItemBuilder("Dated").in(project);
    item->setDueDate(QDateTime(QDate(2026, 12, 9), QTime(17, 0)).toUTC());
    ArrayController quadrant;
    quadrant.setContent({item});
    quadrant.setSelectedObjects({item});
    MyDrawerController drawer(*document, services);
    drawer.setArrayController(&quadrant);
    drawer.show();
    QApplication::setActiveWindow(&drawer);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&drawer));
    QDateTimeEdit* due = drawer.dueField();
    due->setFocus();
    due->setCurrentSection(QDateTimeEdit::DaySection);
    for (int press = 0; press < 3; ++press) {
        QTest::keyClick(due, Qt::Key_Down);
        settle(); // each step is stored and shown again
    }
    EXPECT_EQ(item->dueDate().toLocalTime(), QDateTime(QDate(2026, 12, 6), QTime(17, 0)));
}

TEST_F(DrawerWidgetTest, GivenAShownItem_WhenItsProjectIsRecoloured_ThenTheDrawerTakesTheNewColour)
{
    TODOList* project = ProjectBuilder(context(), "P");
    project->setColorSecondQuadrant("{0, 0, 1, 1}");
    TODOItem* item = ItemBuilder("Shown").inQuadrant(1).in(project);
    ArrayController quadrant;
    quadrant.setContent({item});
    quadrant.setSelectedObjects({item});
    context().processPendingChanges(); // the item's making is told before the drawer opens
    MyDrawerController drawer(*document, services);
    drawer.setArrayController(&quadrant);
    ASSERT_EQ(drawer.palette().color(QPalette::Window), DrawerModel::lighterColor("{0, 0, 1, 1}"));
    project->setColorSecondQuadrant("{0.8, 0.1, 0.1, 1}"); // a theme, a colour well or a sync
    context().processPendingChanges();
    EXPECT_EQ(drawer.palette().color(QPalette::Window), DrawerModel::lighterColor("{0.8, 0.1, 0.1, 1}"));
}

// The calendar sync as the document reaches it: what it was asked to bring up to date.
class RecordingCalendar final : public CalendarSyncInterface {
public:
    QStringList updated;
    void startObservingCalendarNotifications() override {}
    void updateEventForItem(TODOItem* item, TODOList*) override { updated << item->name(); }
    void deleteEventForItem(TODOItem*, TODOList*) override {}
};

TEST_F(DrawerWidgetTest, GivenShownItem_WhenItsDatesOrAllDayChange_ThenItsCalendarEventIsBroughtUpToDate)
{
    RecordingCalendar calendar;
    document->setCalendarSync(&calendar);
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* item = ItemBuilder("Dated").in(project);
    ArrayController quadrant;
    quadrant.setContent({item});
    quadrant.setSelectedObjects({item});
    MyDrawerController drawer(*document, services);
    drawer.setArrayController(&quadrant);

    drawer.dueToggle()->setChecked(true);
    EXPECT_EQ(calendar.updated, QStringList{"Dated"});
    drawer.dueField()->setDateTime(QDateTime(QDate(2026, 3, 4), QTime(10, 0)));
    drawer.allDayToggle()->setChecked(true);
    drawer.dueToggle()->setChecked(false);
    EXPECT_EQ(calendar.updated.size(), 4);
    document->setCalendarSync(nullptr);
}

TEST_F(DrawerWidgetTest, GivenNotesBeingTyped_WhenAnotherItemIsSelected_ThenTheNotesGoToTheFirstItem)
{
    TODOList* project = ProjectBuilder(context(), "P");
    project->setColorFirstQuadrant("{0, 0, 1, 1}");
    TODOItem* first = ItemBuilder("first").in(project);
    TODOItem* second = ItemBuilder("second").in(project);
    ArrayController quadrant;
    quadrant.setContent({first, second});
    quadrant.setSelectedObjects({first});
    MyDrawerController drawer(*document, services);
    drawer.setArrayController(&quadrant);
    EXPECT_EQ(drawer.palette().color(QPalette::Window), DrawerModel::lighterColor("{0, 0, 1, 1}"));

    drawer.notesField()->setPlainText("typed for first");
    drawer.notesField()->document()->setModified(true);
    quadrant.setSelectedObjects({second});
    EXPECT_EQ(first->descriptionText(), QString("typed for first"));
    EXPECT_EQ(second->descriptionText(), QString(""));
    EXPECT_EQ(drawer.nameField()->text(), QString("second"));

    drawer.setArrayController(nullptr);
    EXPECT_FALSE(drawer.isOpen());
}

TEST_F(DrawerWidgetTest, GivenFieldsWithoutFocus_WhenTheWheelTurnsOverThem_ThenTheDrawerScrollsInstead)
{
    TODOList* project = ProjectBuilder(context(), "P");
    const QDateTime start(QDate(2026, 3, 2), QTime(9, 30));
    TODOItem* item = ItemBuilder("Weekly")
                         .starting(start)
                         .due(start.addDays(3))
                         .withValue("effort", 3)
                         .withValue("completionPercentage", 40)
                         .withValue("frequency", "Weekly")
                         .in(project);
    ArrayController quadrant;
    quadrant.setContent({item});
    quadrant.setSelectedObjects({item});
    MyDrawerController drawer(*document, services);
    drawer.setArrayController(&quadrant);
    drawer.resize(260, 220);
    drawer.show();
    QScrollBar* bar = drawer.findChild<QScrollArea*>()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    const auto wheel = [](QWidget* field, int notches) {
        for (int n = 0; n < std::abs(notches); ++n) {
            const QPointF at = QRectF(field->rect()).center();
            QWheelEvent event(at, field->mapToGlobal(at), QPoint(), QPoint(0, notches < 0 ? -120 : 120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            // As from the window system, so that an ignored turn passes to the parent (sendEvent would
            // make it a synthetic one, which stops at the field).
            QSpontaneKeyEvent::setSpontaneous(&event);
            qApp->notify(field, &event);
        }
    };
    const QList<QWidget*> fields = {drawer.completionField(), drawer.effortField(), drawer.recurrenceField(),
                                    drawer.startField(), drawer.dueField()};
    for (QWidget* field : fields) {
        SCOPED_TRACE(field->metaObject()->className());
        bar->setValue(0);
        wheel(field, -10);
        settle();
        EXPECT_GT(bar->value(), 0);
        EXPECT_FALSE(field->hasFocus());
    }
    EXPECT_EQ(item->effort(), 3);
    EXPECT_EQ(item->completionPercentage(), 40);
    EXPECT_EQ(item->objectState(), ObjectState::Open);
    EXPECT_EQ(item->recurrence(), TODOItem::Recurrence::Weekly);
    EXPECT_EQ(item->startDate(), start);
    EXPECT_EQ(item->dueDate(), start.addDays(3));

    // With keyboard focus the wheel is the field's.
    QApplication::setActiveWindow(&drawer);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&drawer));
    drawer.effortField()->setFocus();
    ASSERT_TRUE(drawer.effortField()->hasFocus());
    wheel(drawer.effortField(), 2);
    settle();
    EXPECT_EQ(item->effort(), 5);
}

TEST_F(DrawerWidgetTest, GivenFeedAndFilesViews_WhenInstalled_ThenTheyTakeTheEmptyPlacesAndFollowTheItem)
{
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* item = ItemBuilder("Shown").in(project);
    ArrayController quadrant;
    quadrant.setContent({item});
    MyDrawerController drawer(*document, services);
    drawer.resize(300, 600);
    drawer.show();
    std::vector<TODOItem*> followed;
    QObject::connect(&drawer, &MyDrawerController::itemChanged,
                     [&](TODOItem* shown) { followed.push_back(shown); });
    drawer.setArrayController(&quadrant);
    // Squeezed under the details, the empty feed's words show whole or not at all.
    quadrant.setSelectedObjects({item});
    drawer.splitView()->setSizes({590, 10});
    QApplication::processEvents();
    const auto* words = drawer.splitView()->widget(1)->findChild<QLabel*>();
    ASSERT_NE(words, nullptr);
    if (drawer.splitView()->sizes().at(1) > 0) {
        EXPECT_GE(words->height(), words->heightForWidth(words->width()));
    }
    QPointer<QWidget> feed = new QLabel("feed");
    QPointer<QWidget> files = new QLabel("files");
    drawer.setFeedView(feed);
    drawer.setFilesView(files);
    EXPECT_TRUE(drawer.isAncestorOf(feed));
    EXPECT_TRUE(drawer.tabs()->isAncestorOf(files));
    EXPECT_EQ(drawer.tabs()->tabText(1), QString("Files"));
    EXPECT_EQ(followed, std::vector<TODOItem*>{item});

    drawer.splitView()->setSizes({600, 0});
    drawer.toggleFeed();
    EXPECT_NEAR(drawer.splitView()->sizes().at(1), drawer.splitView()->height() / 3.0, 8.0);
    drawer.toggleFeed();
    EXPECT_EQ(drawer.splitView()->sizes().at(1), 0);

    drawer.setFeedView(nullptr);
    EXPECT_TRUE(feed.isNull());
}

TEST_F(DrawerWidgetTest, GivenNoItemShown_WhenTheFeedIsToggled_ThenTheNextItemShowsItsDetailsOverTheFeed)
{
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* item = ItemBuilder("Shown later").in(project);
    ArrayController quadrant;
    quadrant.setContent({item});
    // Laid out in its column before any item was shown, and one never laid out at all.
    for (const bool laidOut : {true, false}) {
        SCOPED_TRACE(laidOut ? "laid out" : "never shown");
        quadrant.setSelectedObjects({});
        QWidget column;
        column.resize(300, 600);
        auto* drawer = new MyDrawerController(*document, services, &column);
        drawer->setGeometry(column.rect());
        drawer->setFeedView(new QLabel("feed"));
        drawer->setArrayController(&quadrant);
        if (laidOut) {
            column.show();
            QApplication::processEvents();
        }
        drawer->toggleFeed(); // View > Toggle Feed with nothing selected

        quadrant.setSelectedObjects({item});
        column.show();
        QApplication::processEvents();
        ASSERT_EQ(drawer->getItem(), item);
        const QList<int> sizes = drawer->splitView()->sizes();
        EXPECT_NEAR(sizes.at(1), drawer->splitView()->height() / 3.0, 8.0);
        EXPECT_NEAR(sizes.at(0), drawer->splitView()->height() * 2 / 3.0, 8.0);

        // Toggled again, the feed folds away under the details.
        drawer->toggleFeed();
        EXPECT_EQ(drawer->splitView()->sizes().at(1), 0);
    }
}

TEST_F(DrawerWidgetTest,
       GivenTheFirstStartsWindowAtEveryFontTier_WhenADueDateIsOn_ThenTheDrawerNeedsNoSidewaysScroll)
{
    preferences.setValue("kShowingDetail", true);
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* item = ItemBuilder("Plan the launch party").in(project);
    settle();
    MainWindow board(*document, services);
    const BoardPanels panels = BoardPanels::attach(board, *document, services);
    board.resize(1180, 760); // the size of a first start
    board.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&board));
    settle();
    board.showProject(project);
    board.board().enableQuadrantAndSelectRows(0, {0}, false);
    settle();
    MyDrawerController* drawer = panels.drawer;
    ASSERT_EQ(drawer->getItem(), item);
    drawer->dueToggle()->setChecked(true);
    const auto* details = drawer->findChild<QScrollArea*>();
    const QDateTime monday(QDate(2026, 3, 9), QTime(17, 0));
    QStringList cut;
    for (int tier = 0; tier <= 8; ++tier) {
        preferences.setValue("FONT_TIER", tier);
        for (int day = 0; day < 7; ++day) { // each weekday's name
            drawer->dueField()->setDateTime(monday.addDays(day));
            settle();
            QApplication::processEvents();
            const QLabel* weekday = drawer->dueWeekdayLabel();
            const QString when = QStringLiteral("tier %1, %2: ").arg(tier).arg(weekday->text());
            if (details->horizontalScrollBar()->maximum() > 0)
                cut << when + QStringLiteral("scrolls sideways");
            if (weekday->width() < weekday->sizeHint().width())
                cut << when + QStringLiteral("the weekday is cut");
            for (const QWidget* shown : details->widget()->findChildren<QWidget*>()) {
                const QRect place(shown->mapTo(details->viewport(), QPoint(0, 0)), shown->size());
                if (shown->isVisibleTo(details->widget()) &&
                    place.right() > details->viewport()->rect().right())
                    cut << when + QString::fromLatin1(shown->metaObject()->className()) +
                               QStringLiteral(" ends outside");
            }
        }
    }
    EXPECT_TRUE(cut.isEmpty()) << cut.size() << " cut, first: " << cut.value(0).toStdString();
}

using TagFilterWidgetTest = ProjectListFixture;

TEST_F(TagFilterWidgetTest, GivenArchivedTag_WhenTheToggleIsClicked_ThenTheListShowsArchivedProjects)
{
    ProjectBuilder(context(), "Work").atIndex(2000);
    ProjectBuilder(context(), "Old").atIndex(1000).taggedWith("archived");
    settle();
    ProjectListView view(*document, services);
    window.list = &view;
    ProjectTagFilterViewController filter(*document, services, view, nullptr, false);
    filter.reloadTags();
    ASSERT_TRUE(filter.archivedToggle()->isEnabled());
    EXPECT_EQ(view.tableView()->model()->rowCount(), 1);

    QTest::mouseClick(filter.archivedToggle(), Qt::LeftButton);
    EXPECT_TRUE(filter.archivedToggle()->isChecked());
    ASSERT_EQ(view.tableView()->model()->rowCount(), 1);
    EXPECT_EQ(view.tableView()->model()->index(0, 1).data().toString(), QString("Old"));
    ASSERT_EQ(filter.tagList()->count(), 1);
    EXPECT_EQ(filter.tagList()->item(0)->checkState(), Qt::Checked);

    filter.tagList()->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(filter.archivedToggle()->isChecked());
    EXPECT_EQ(view.tableView()->model()->index(0, 1).data().toString(), QString("Work"));
    window.list = nullptr;
}

TEST_F(TagFilterWidgetTest,
       GivenAProjectTaggedArchived_WhenTagged_ThenItLeavesTheListAndTheArchivedFilterBringsItBack)
{
    ProjectBuilder(context(), "Work").atIndex(2000);
    TODOList* old = ProjectBuilder(context(), "Old").atIndex(1000);
    settle();
    ProjectListView view(*document, services);
    window.list = &view;
    ProjectTagFilterViewController filter(*document, services, view, nullptr, false);
    ProjectTagController tagField(*document, services, view);
    document->enableDidChangeContextNotifications();
    settle();
    old->setEdited_since(0);
    view.controller().selectProject(old);
    tagField.setProject(old);
    const auto rows = [&view] {
        QStringList shown;
        for (int row = 0; row < view.controller().rowCount(); ++row)
            shown << view.controller().getProjectAtRow(row)->name();
        return shown;
    };
    EXPECT_FALSE(filter.archivedToggle()->isEnabled());

    tagField.tagField()->setText("Archived, client");
    emit tagField.tagField()->editingFinished();
    settle();
    EXPECT_EQ(ProjectTags::names(old), QStringList({"archived", "client"}));
    EXPECT_EQ(old->edited_since(), 1);
    EXPECT_EQ(rows(), QStringList({"Work"}));
    ASSERT_TRUE(filter.archivedToggle()->isEnabled());

    QTest::mouseClick(filter.archivedToggle(), Qt::LeftButton);
    EXPECT_EQ(rows(), QStringList({"Old"}));

    // Delete in the tag list removes the tag from the projects, after the alert.
    filter.archivedToggle()->click();
    const QList<QListWidgetItem*> client = filter.tagList()->findItems("client", Qt::MatchExactly);
    ASSERT_EQ(client.size(), 1);
    client.front()->setSelected(true);
    alerts.queueAnswer(true);
    QTest::keyClick(filter.tagList(), Qt::Key_Delete);
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown().at(0).message, QString("Removing project tags"));
    EXPECT_EQ(ProjectTags::names(old), QStringList({"archived"}));
    window.list = nullptr;
}

TEST_F(TagFilterWidgetTest, GivenNoArchivedTag_WhenShown_ThenTheToggleIsDisabled)
{
    ProjectBuilder(context(), "Work");
    settle();
    ProjectListView view(*document, services);
    window.list = &view;
    ProjectTagFilterViewController filter(*document, services, view);
    EXPECT_FALSE(filter.archivedToggle()->isEnabled());
    window.list = nullptr;
}

} // namespace
} // namespace qv::test
