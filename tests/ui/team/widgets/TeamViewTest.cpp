// The team column on screen: a click on a row's check box withdraws the invitation, and the
// share menu offers a new member and the people not yet in the project.
#include "ui/team/widgets/TeamView.h"
#include "sync/CollaborationManager.h"
#include "tests/support/FakeSyncServerTeam.h"
#include "tests/sync/SyncFixture.h"
#include "ui/team/SimpleCollaboratorsController.h"
#include "ui/team/TeamViewController.h"
#include "ui/team/widgets/SimpleCollaboratorsView.h"

#include <QMenu>
#include <QTableView>
#include <QToolButton>

namespace qv::test {
namespace {

class TeamColumn : public SyncFixture {
protected:
    TeamColumn() : team(server, kUser)
    {
        team.collaborators = {FakeTeam::user(2, "bob@x.com", true), FakeTeam::user(3, "ann@x.com")};
        team.owners[42] = {team.me, team.collaborators[1]};
        team.sharingRequests = {{{"id", 9},
                                 {"project", "/api/v1/project/42/"},
                                 {"target_username", "carl@x.com"},
                                 {"status", "init"}}};
        device->open();
        manager = std::make_unique<CollaborationManager>(device->services, device->sync());
        people = std::make_unique<SimpleCollaboratorsController>(device->services, *manager, device->sync(),
                                                                 nullptr);
        controller = std::make_unique<TeamViewController>(device->services, *people);
        view = std::make_unique<TeamView>(*controller, &device->preferences);
    }

    FakeTeam team;
    std::unique_ptr<CollaborationManager> manager;
    std::unique_ptr<SimpleCollaboratorsController> people;
    std::unique_ptr<TeamViewController> controller;
    std::unique_ptr<TeamView> view;
};

TEST_F(TeamColumn, GivenAnInvitationRow_WhenItsBoxIsClicked_ThenItIsWithdrawn)
{
    view->resize(320, 480);
    view->show();
    controller->setRepresentedObject(ProjectBuilder(device->context(), "Shared").withId(42));
    settle();
    QTableView* table = view->peopleView()->table();
    ASSERT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(table->model()->index(1, 1).data().toString(), "carl@x.com");

    const QRect box = table->visualRect(table->model()->index(1, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, box.center());
    settle();
    EXPECT_EQ(count("PUT", "/api/v1/sharing_request/9/"), 1);
    EXPECT_EQ(table->model()->rowCount(), 2);

    QMenu share;
    view->peopleView()->fillInvitingMenu(&share);
    QStringList titles;
    for (const QAction* action : share.actions()) {
        if (!action->isSeparator())
            titles << action->text();
    }
    EXPECT_EQ(titles, QStringList({"New Team Member", "Your team", "bob@x.com"}));
}

TEST_F(TeamColumn, GivenTheColumnHiddenAtStart_WhenItIsFirstShown_ThenTheRefreshIconIsReadOnlyThen)
{
    QToolButton* refresh = view->peopleView()->refreshButton();
    EXPECT_TRUE(refresh->icon().isNull());
    view->show();
    EXPECT_FALSE(refresh->icon().isNull());
}

} // namespace
} // namespace qv::test
