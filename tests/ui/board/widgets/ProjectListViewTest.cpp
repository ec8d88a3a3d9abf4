#include "tests/ui/board/ProjectListFixture.h"

#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/ProjectRowDelegate.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <functional>

namespace qv::test {
namespace {

// The list in a window beside another field that can take the focus.
class ProjectListViewTest : public ProjectListFixture {
protected:
    void TearDown() override
    {
        delete window;
        window = nullptr;
        ProjectListFixture::TearDown();
    }

    ProjectListView& makeView()
    {
        settle();
        window = new QWidget;
        auto* layout = new QHBoxLayout(window);
        view = new ProjectListView(*document, services, window);
        elsewhere = new QLineEdit(window);
        layout->addWidget(view);
        layout->addWidget(elsewhere);
        view->setHost(&host);
        this->ProjectListFixture::window.list = view;
        window->resize(420, 400);
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        return *view;
    }

    QLineEdit* openEditor(TODOList* project)
    {
        view->findAndEditProject(project);
        QApplication::processEvents();
        return view->tableView()->findChild<QLineEdit*>();
    }

    QStringList shownNames() const
    {
        QStringList names;
        QAbstractItemModel* model = view->tableView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, ProjectNameColumn).data().toString();
        return names;
    }

    bool lockHeld() const { return sync.holders.contains(QStringLiteral("projectNameTextCell")); }

    QWidget* window = nullptr;
    ProjectListView* view = nullptr;
    QLineEdit* elsewhere = nullptr;
};

using ProjectNameEditorLockTest = ProjectListViewTest;

TEST_F(ProjectNameEditorLockTest,
       GivenOpenEditor_WhenTheEditEndsInAnyWay_ThenTheTextIsStoredAndTheLockReleasedOnce)
{
    TODOList* a = ProjectBuilder(context(), "A").atIndex(2000);
    TODOList* b = ProjectBuilder(context(), "B").atIndex(1000);
    makeView();
    const auto endEdit = [this](const QString& how, TODOList* project,
                                const std::function<void(QLineEdit*)>& end) {
        SCOPED_TRACE(how.toStdString());
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the editor closed before
        QLineEdit* editor = openEditor(project);
        ASSERT_NE(editor, nullptr);
        EXPECT_TRUE(lockHeld());
        EXPECT_EQ(editor->selectedText(), project->name()); // opened with the text selected
        editor->setText(how);
        end(editor);
        QApplication::processEvents();
        EXPECT_FALSE(lockHeld());
        EXPECT_EQ(project->name(), how);
    };
    endEdit("Tab", a, [](QLineEdit* editor) { QTest::keyClick(editor, Qt::Key_Tab); });
    EXPECT_EQ(view->getSelectedProject(), a); // Tab leaves the project selected
    endEdit("Return", a, [](QLineEdit* editor) { QTest::keyClick(editor, Qt::Key_Return); });
    endEdit("Escape", b, [](QLineEdit* editor) { QTest::keyClick(editor, Qt::Key_Escape); });
    endEdit("Focus elsewhere", a, [this](QLineEdit* editor) {
        ASSERT_TRUE(editor->hasFocus());
        elsewhere->setFocus(Qt::MouseFocusReason);
    });
    endEdit("Another project selected", a, [this, b](QLineEdit*) { view->selectProject(b); });
    EXPECT_EQ(b->name(), QString("Escape"));
    endEdit("Rows rebuilt", a, [this, b](QLineEdit*) {
        b->setIndex(3000);
        view->rearrange();
    });
    endEdit("List closed", a, [this](QLineEdit*) {
        delete window;
        window = nullptr;
        this->ProjectListFixture::window.list = nullptr;
    });
    EXPECT_EQ(sync.lockCalls.count("+projectNameTextCell"), 7);
    EXPECT_EQ(sync.lockCalls.count("-projectNameTextCell"), 7);
}

using ProjectListViewInputTest = ProjectListViewTest;

TEST_F(
    ProjectListViewInputTest,
    GivenRowsAtLoad_WhenTheLoopTurnsAndARowIsClicked_ThenTheFirstThenTheClickedProjectIsSelectedAndAnnounced)
{
    TODOList* a = ProjectBuilder(context(), "A").atIndex(2000);
    TODOList* b = ProjectBuilder(context(), "B").atIndex(1000);
    makeView();
    std::vector<TODOList*> announced;
    QObject::connect(view, &ProjectListView::selectedProjectChanged,
                     [&](TODOList* project) { announced.push_back(project); });
    settle();
    EXPECT_EQ(announced, (std::vector<TODOList*>{a}));

    QTableView* table = view->tableView();
    const QRect row = table->visualRect(table->model()->index(1, ProjectNameColumn));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(view->getSelectedProject(), b);
    EXPECT_EQ(announced, (std::vector<TODOList*>{a, b}));
    EXPECT_GE(host.deselects, 1);
}

TEST_F(ProjectListViewInputTest,
       GivenFocusedList_WhenRightArrowSpaceOrADoubleClickBelowTheRows_ThenTheBoardTheFeedOrANewProjectIsAsked)
{
    ProjectBuilder(context(), "A");
    makeView();
    QTableView* table = view->tableView();
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, QPoint(100, table->viewport()->height() - 5));
    QApplication::processEvents();
    EXPECT_EQ(view->numProjects(), 2);
    EXPECT_TRUE(lockHeld());
    EXPECT_TRUE(shownNames().contains("Blank"));

    view->tableView()->setFocus();
    QTest::keyClick(view->tableView(), Qt::Key_Right);
    EXPECT_EQ(host.firstQuadrantRequests, 1);
    const bool feed = preferences.boolValue("kShowingFeed");
    QTest::keyClick(view->tableView(), Qt::Key_Space);
    EXPECT_EQ(preferences.boolValue("kShowingFeed"), !feed);
}

using ProjectListViewDragTest = ProjectListViewTest;

TEST_F(ProjectListViewDragTest,
       GivenDraggedRow_WhenDroppedOnARowOfThisListOnly_ThenTheProjectsReorderUnlessAlphabetical)
{
    ProjectBuilder(context(), "A").atIndex(3000);
    ProjectBuilder(context(), "B").atIndex(2000);
    ProjectBuilder(context(), "C").atIndex(1000);
    makeView();
    QAbstractItemModel* model = view->tableView()->model();
    std::unique_ptr<QMimeData> data(model->mimeData({model->index(2, ProjectNameColumn)}));
    ASSERT_TRUE(data->hasFormat("TODOListDataType"));
    EXPECT_TRUE(model->dropMimeData(data.get(), Qt::MoveAction, -1, 0, model->index(0, 0)));
    EXPECT_EQ(shownNames(), (QStringList{"C", "A", "B"}));
    EXPECT_FALSE(data->hasFormat("TODOListDataType"));

    std::unique_ptr<QMimeData> between(model->mimeData({model->index(0, ProjectNameColumn)}));
    EXPECT_TRUE(model->dropMimeData(between.get(), Qt::MoveAction, 3 - 1, 0, {}));
    EXPECT_EQ(shownNames(), (QStringList{"A", "C", "B"}));

    // Rows from another list are refused.
    ProjectListView other(*document, services);
    QAbstractItemModel* theirs = other.tableView()->model();
    std::unique_ptr<QMimeData> foreign(theirs->mimeData({theirs->index(1, ProjectNameColumn)}));
    EXPECT_FALSE(model->dropMimeData(foreign.get(), Qt::MoveAction, -1, 0, model->index(0, 0)));
    EXPECT_EQ(shownNames(), (QStringList{"A", "C", "B"}));
    this->ProjectListFixture::window.list = view;

    // In alphabetical order rows cannot be dragged.
    EXPECT_TRUE(model->flags(model->index(0, 1)) & Qt::ItemIsDragEnabled);
    view->setAlphabeticalOrder(true);
    EXPECT_FALSE(model->flags(model->index(0, 1)) & Qt::ItemIsDragEnabled);
}

using ProjectNameCellTest = ProjectListViewTest;

TEST_F(ProjectNameCellTest, GivenProjectTags_WhenTagsAreHidden_ThenTheNameTakesTheWholeRow)
{
    TODOList* project = ProjectBuilder(context(), "Tagged");
    ProjectBuilder(project).taggedWith("client");
    makeView();
    ProjectRowDelegate delegate(view->controller(), &preferences);
    const QStringList tags = project->getTagNames();
    const QRect frame(0, 0, 200, 44);
    ASSERT_TRUE(delegate.isShowingTags(tags));
    EXPECT_LT(delegate.rectForTitleIn(frame, true).height(), 44);
    EXPECT_FALSE(delegate.rectForTagsIn(frame, true).isEmpty());

    preferences.setValue("kHidingProjectTags", true);
    EXPECT_FALSE(delegate.isShowingTags(tags));
    EXPECT_EQ(delegate.rectForTitleIn(frame, false), frame);
    EXPECT_TRUE(delegate.rectForTagsIn(frame, false).isNull());
    EXPECT_FALSE(delegate.isShowingTags({}));
}

class ProjectCounterCellTest : public ProjectListViewTest {
protected:
    QImage paint(TODOList* project)
    {
        QImage image(68, 44, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        const ProjectCounterModel* counters = view->controller().counterModelFor(project);
        paintProjectCounters(painter, image.rect(), *counters);
        return image;
    }
};

TEST_F(ProjectCounterCellTest, GivenProjectColours_WhenTheCellIsDrawn_ThenEachTileHasItsQuadrantColour)
{
    TODOList* project = ProjectBuilder(context(), "P");
    project->setColorFirstQuadrant("{1, 0, 0, 1}");
    project->setColorSecondQuadrant("{0, 1, 0, 1}");
    project->setColorThirdQuadrant("{0, 0, 1, 1}");
    project->setColorFourthQuadrant("{1, 1, 0, 1}");
    makeView();
    const QImage image = paint(project);
    const QColor expected[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int q = 0; q < 4; ++q) {
        const QRect tile = projectCounterTileRect(image.rect(), q);
        EXPECT_EQ(image.pixelColor(tile.left() + 3, tile.bottom() - 3), expected[q]) << "quadrant " << q;
    }
}

TEST_F(ProjectCounterCellTest, GivenOverdueOpenItem_WhenTheCellIsDrawn_ThenTheRedBadgeShowsUntilItIsDone)
{
    TODOList* project = ProjectBuilder(context(), "P");
    TODOItem* late = ItemBuilder("late").inQuadrant(1).in(project);
    late->setDueDate(clock.now().addSecs(-60));
    makeView();
    const QRect badge = projectCounterBadgeRect(QRect(0, 0, 68, 44));
    const QPoint inside(badge.left() + 3, badge.center().y());

    QImage image = paint(project);
    EXPECT_EQ(image.pixelColor(inside), ProjectCounterModel::overdueBadgeColor());

    late->setState(1);
    view->cleanListCustomCells();
    image = paint(project);
    EXPECT_NE(image.pixelColor(inside), ProjectCounterModel::overdueBadgeColor());
}

} // namespace
} // namespace qv::test
