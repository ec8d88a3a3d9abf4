#include "tests/ui/board/BoardFixture.h"

#include "core/model/ListTag.h"
#include "ui/board/BoardArrangement.h"
#include "ui/board/ProjectCounters.h"

namespace qv::test {
namespace {

class ProjectCountersTest : public BoardFixture {
protected:
    TODOList* list = ProjectBuilder(context, "p");
    ProjectCounterModel model{clock};
    const ObjectPredicate boardFilter = BoardArrangement::stateFilterPredicate(0);

    TODOItem* add(const QString& name, qint64 quadrant, qint64 state = 0)
    {
        TODOItem* it = ItemBuilder(name).inQuadrant(quadrant).inState(state).in(context);
        list->addItem(it);
        return it;
    }

    bool fill(const QString& search = QStringLiteral(""))
    {
        return model.fillOutCellInfoForList(list, 1, search, {}, {}, boardFilter);
    }
};

TEST_F(ProjectCountersTest, GivenProjectWithoutItems_WhenFilled_ThenLabelsAreEmptyAndBadgeHidden)
{
    EXPECT_TRUE(fill());
    for (int q = 0; q < 4; ++q)
        EXPECT_EQ(model.quadrantLabel(q), QString(""));
    EXPECT_TRUE(model.isOverdueBadgeHidden());
    EXPECT_EQ(model.overdueLabel(), QString(""));
    EXPECT_FALSE(model.showsArchivedImage());
}

TEST_F(ProjectCountersTest, GivenItemsInQuadrants_WhenFilled_ThenEachQuadrantCountsWhatTheFilterPasses)
{
    add("a", 0);
    add("b", 0);
    add("c", 2, 1);
    add("trashed", 2, 2);
    add("removed", 3, 3);
    add("d", 3);
    fill();
    EXPECT_EQ(model.quadrantLabel(0), QString("2"));
    EXPECT_EQ(model.quadrantLabel(1), QString(""));
    EXPECT_EQ(model.quadrantLabel(2), QString("1"));
    EXPECT_EQ(model.quadrantLabel(3), QString("1"));

    const ProjectCounts openOnly =
        countProjectItems(*list, BoardArrangement::stateFilterPredicate(1), clock.now());
    EXPECT_EQ(openOnly.quadrants, (std::array<int, 4>{2, 0, 0, 1}));
}

TEST_F(ProjectCountersTest, GivenDueItems_WhenCounted_ThenBadgeCountsOpenItemsDueAtOrBeforeNow)
{
    const QDateTime now = clock.now();
    add("minute ago", 0)->setDueDate(now.addSecs(-60));
    add("exactly now", 1)->setDueDate(now);
    add("completed", 0, 1)->setDueDate(now.addSecs(-60));
    add("trashed", 0, 2)->setDueDate(now.addSecs(-60));
    add("later", 0)->setDueDate(now.addSecs(60));
    add("undated", 0);
    fill();
    EXPECT_EQ(model.counts().overdue, 2);
    EXPECT_EQ(model.overdueLabel(), QString("2"));
    EXPECT_FALSE(model.isOverdueBadgeHidden());
}

TEST_F(ProjectCountersTest, GivenFilledModel_WhenFilledAgainWithSameInputs_ThenCountsAreKept)
{
    add("a", 0);
    EXPECT_TRUE(fill(QStringLiteral("x")));
    add("b", 0);
    EXPECT_FALSE(fill(QStringLiteral("x")));
    EXPECT_EQ(model.quadrantLabel(0), QString("1"));

    EXPECT_TRUE(fill(QStringLiteral("y")));
    EXPECT_EQ(model.quadrantLabel(0), QString("2"));
    EXPECT_TRUE(model.fillOutCellInfoForList(list, 2, QStringLiteral("y"), {}, {}, boardFilter));
    EXPECT_TRUE(model.fillOutCellInfoForList(list, 2, QString(), {}, {}, boardFilter));
    EXPECT_TRUE(model.fillOutCellInfoForList(list, 2, QString(), {}, {}, boardFilter)); // null never equals
}

TEST_F(ProjectCountersTest, GivenProjectAttributes_WhenFilled_ThenTilesAndArchivedMarkFollowTheProject)
{
    list->setColorFirstQuadrant(QStringLiteral("{1, 0, 0, 1}"));
    list->setColorSecondQuadrant(QStringLiteral("{0.95, 0.95, 0.95, 1}"));
    auto* archived = context.insert<ListTag>(ListTag::staticEntityName());
    archived->setName(QStringLiteral("archived"));
    list->addTagsObject(archived);
    fill();
    EXPECT_EQ(model.tileColorString(0), QStringLiteral("{1, 0, 0, 1}"));
    EXPECT_EQ(model.tileColor(0).rgba(), QColor(Qt::red).rgba());
    EXPECT_EQ(model.labelTextColor(1).rgba(), QColor(Qt::black).rgba());
    EXPECT_TRUE(model.showsArchivedImage());
}

TEST_F(ProjectCountersTest, GivenDueDates_WhenTestedForOverdue_ThenOnlyEarlierCalendarDaysCount)
{
    const QDate today = clock.now().toLocalTime().date();
    const QDateTime midnight(today, QTime(0, 0));
    const QDateTime lateYesterday(today.addDays(-1), QTime(23, 59));
    EXPECT_FALSE(isDateOverdue(midnight, clock));
    EXPECT_TRUE(isDateOverdue(lateYesterday, clock));
    EXPECT_FALSE(isDateOverdue(QDateTime(), clock));

    TODOItem* done = add("done", 0, 1);
    done->setDueDate(lateYesterday);
    EXPECT_TRUE(isItemOverdue(done, clock)); // whatever its state
    EXPECT_FALSE(isItemOverdue(add("undated", 0), clock));
    EXPECT_FALSE(isItemOverdue(nullptr, clock));
}

} // namespace
} // namespace qv::test
