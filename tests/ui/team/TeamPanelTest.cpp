// The team panel without a display, against the fake server's team routes: the rows of both
// modes, invitations, their refusals and their lost answers, the owner filter, the minute's
// check for shared projects and the refresh after the project loop.
#include "sync/CollaborationManager.h"
#include "tests/support/FakeSyncServerTeam.h"
#include "tests/sync/SyncFixture.h"
#include "ui/details/AdvancedFilter.h"
#include "ui/team/PendingSharingRequestsViewController.h"
#include "ui/team/SimpleCollaboratorsController.h"
#include "ui/team/TeamViewController.h"

#include <functional>
#include <utility>

namespace qv::test {
namespace {

const QString kRequests = QStringLiteral("/api/v1/sharing_request/");
const QString kOwners = QStringLiteral("/api/v1/project/42/owners/");

QJsonObject request(qint64 id, const QString& target, qint64 project = 42)
{
    return {{"id", id},
            {"project", QStringLiteral("/api/v1/project/%1/").arg(project)},
            {"project_name", "Shared"},
            {"source_username", "ann@x.com"},
            {"target_username", target},
            {"status", "init"}};
}

struct Popover : SharedProjectsPopover {
    bool isShown() const override { return false; }
    void close() override {}
    void showAt(QObject*) override { ++shown; }
    int shown = 0;
};

struct Feed : TeamFeed {
    void setRepresentedObject(TODOList*) override {}
    void setVisible(bool) override {}
    void setMode(int) override {}
    void showCommentsForEmails(const QStringList& list) override { emails << list; }
    void reloadFeed(bool, bool, bool) override { ++reloads; }
    QList<QStringList> emails;
    int reloads = 0;
};

class TeamPanel : public SyncFixture {
protected:
    TeamPanel() : team(server, kUser)
    {
        team.collaborators = {FakeTeam::user(2, "bob@x.com"), FakeTeam::user(3, "Ann@x.com", true),
                              FakeTeam::user(4, "zed@x.com"), FakeTeam::user(5, "dan@x.com")};
        team.owners[42] = {team.me, team.collaborators[1]};
        team.sharingRequests = {request(101, "carl@x.com"), request(102, "Ann@x.com")};
        device->open();
        device->preferences.setValue(CollaborationManager::kLoginKey, kUser);
        manager = std::make_unique<CollaborationManager>(device->services, device->sync());
        people = std::make_unique<SimpleCollaboratorsController>(device->services, *manager, device->sync(),
                                                                 nullptr);
        project = ProjectBuilder(device->context(), "Shared").withId(42);
    }
    QStringList rows(bool flags = false) const
    {
        QStringList list;
        for (const User& user : people->rows())
            list << (flags ? QStringLiteral("%1 %2%3").arg(user.email).arg(user.owner).arg(user.invited)
                           : user.email);
        return list;
    }
    QStringList shown()
    {
        QStringList list;
        for (const auto& alert : device->alerts.shown())
            list << alert.message + " | " + alert.informative;
        device->alerts.clear();
        return list;
    }
    void showProject()
    {
        people->setProject(project);
        settle();
        server.clearRequests();
    }

    FakeTeam team;
    std::unique_ptr<CollaborationManager> manager;
    std::unique_ptr<SimpleCollaboratorsController> people;
    TODOList* project = nullptr;
};

TEST_F(TeamPanel, GivenOwnersInvitationsAndTeam_ThenOneRowPerPersonSortedByEmailInBothModes)
{
    showProject();
    // An open invitation wins over the owner record of the same person; case does not sort.
    EXPECT_EQ(rows(true), QStringList({"Ann@x.com 01", "carl@x.com 01", "user@example.com 11"}));

    people->setMode(SimpleCollaboratorsController::WholeTeam);
    EXPECT_EQ(rows(true), QStringList({"Ann@x.com 01", "bob@x.com 00", "carl@x.com 01", "dan@x.com 00",
                                       "user@example.com 11", "zed@x.com 00"}));
    EXPECT_EQ(project->collaborators(), QVariantList({kUser, "Ann@x.com"}));

    // The selection is the board's owner filter, and the filter panel's choice selects rows.
    AdvancedFilter filter(device->preferences, &device->notifications);
    people->setFilterPanel(&filter);
    people->setSelectionIndexes({1, 3});
    EXPECT_EQ(filter.selectedOwners(), QStringList({"bob@x.com", "dan@x.com"}));
    filter.setDelegatedTo("zed@x.com");
    EXPECT_EQ(people->currentOwnerUsernames(), QStringList{"zed@x.com"});

    people->setMode(SimpleCollaboratorsController::ProjectOnly);
    EXPECT_EQ(rows(), QStringList({"Ann@x.com", "carl@x.com", "user@example.com"}));
    EXPECT_TRUE(people->currentOwnerUsernames().isEmpty());
}

TEST_F(TeamPanel, GivenThreePeopleSelected_WhenInvited_ThenAskedOnceAndOneRequestASecond)
{
    showProject();
    people->setMode(SimpleCollaboratorsController::WholeTeam);
    people->setSelectionIndexes({1, 3, 5});
    device->alerts.queueAnswer(true);
    people->inviteCollaborators();
    EXPECT_EQ(shown(),
              QStringList{"Invite Collaborators | Do you want to invite bob@x.com, dan@x.com and 1 more "
                          "to project?"});

    QStringList sent;
    for (int second = 0; second < 3; ++second) {
        scheduler.advance(second == 0 ? 0 : 1);
        settle();
        ASSERT_EQ(count("POST", kRequests), second + 1);
        sent << requests("POST", kRequests).last().json().object().value("target_username").toString();
        tick(999);
        EXPECT_EQ(count("POST", kRequests), second + 1);
    }
    EXPECT_EQ(sent, QStringList({"bob@x.com", "dan@x.com", "zed@x.com"}));
    // Each shows as an open invitation.
    EXPECT_EQ(rows(true).filter(" 01").size(), 5);

    // Withdrawing one puts it back as rejected; an owner's box does nothing.
    people->inviteUninviteCollaborator(int(rows().indexOf("bob@x.com")));
    people->inviteUninviteCollaborator(int(rows().indexOf(kUser)));
    settle();
    EXPECT_EQ(count("PUT", kRequests), 1);
    EXPECT_EQ(requests("PUT", kRequests).last().json().object().value("status"), "rejected");
    EXPECT_TRUE(rows(true).contains("bob@x.com 00"));
}

TEST_F(TeamPanel, GivenABadAddress_WhenInvited_ThenTheAlertSaysWhyAndNothingIsSent)
{
    TODOList* local = ProjectBuilder(device->context(), "Local");
    people->setProject(local);
    people->addOwner("new@x.com");
    showProject();
    people->addOwner("not an address");
    // The signed-in address typed in another case is still oneself.
    people->addOwner("USER@Example.com");
    people->removeOwner("user@example.COM");
    settle();
    EXPECT_EQ(shown(),
              QStringList({"Sync project first | Sync 'Local' before sharing with new team members.",
                           "Invalid account | not an address is not a valid email address.",
                           "Invalid account | You cannot invite yourself to a project. Please choose "
                           "another collaborator.",
                           "Invalid account | You cannot remove yourself from a project. Just delete that "
                           "project."}));
    EXPECT_EQ(count("POST", kRequests), 0);
}

TEST_F(TeamPanel, GivenTheServerRefusesOrFails_WhenInvited_ThenTheAlertsSaySo)
{
    showProject();
    team.refusals["new@x.com"] = QStringLiteral("Your plan allows 5 members");
    QStringList outcomes;
    const auto invite = [&](const QString& email) {
        people->addOwner(
            email, [&] { outcomes << "invited"; },
            [&](const std::optional<QString>& error) { outcomes << (error ? "error" : "refused"); });
        settle();
    };
    invite("new@x.com");
    team.refusals["new@x.com"] = QStringLiteral(""); // refused without a word
    invite("new@x.com");
    server.failNext(kRequests, 500);
    invite("new@x.com");
    EXPECT_EQ(shown(),
              QStringList({"We couldn't invite this collaborator | Your plan allows 5 members",
                           "We couldn't invite this collaborator | Please, try later",
                           "Failure while inviting account. Please try later | new@x.com couldn't be "
                           "invited at this moment"}));
    EXPECT_EQ(outcomes, QStringList({"refused", "refused", "error"}));
    EXPECT_FALSE(rows().contains("new@x.com"));
    EXPECT_FALSE(people->isBusy());
}

TEST_F(TeamPanel, GivenAnInvitationWhoseAnswerIsLost_ThenTheOpenRequestsAreLookedAtBeforeItCanBeSentAgain)
{
    showProject();
    QStringList outcomes;
    const auto invite = [&](const QString& email) {
        people->addOwner(
            email, [&] { outcomes << "invited"; },
            [&](const std::optional<QString>& error) { outcomes << (error ? "error" : "refused"); });
    };
    // What the next look at the open requests meets: first it is held until the second try.
    std::function<void()> look = [&] {
        server.holdNext(kRequests);
    };
    QObject::connect(&server, &LoopbackHttpServer::requestReceived, [&](const HttpRequest& received) {
        if (look && received.method == "GET" && received.path == kRequests.toUtf8())
            std::exchange(look, nullptr)();
    });

    server.applyThenDropNext(kRequests);
    invite("new@x.com");
    EXPECT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; })) << "the requests were not looked at";
    EXPECT_TRUE(people->isBusy());
    invite("NEW@x.com");
    server.releaseHeldReplies();
    settle();
    EXPECT_EQ(count("POST", kRequests), 1);
    EXPECT_EQ(team.sharingRequests.size(), 3);
    EXPECT_EQ(shown(),
              QStringList({"The server's answer was lost | Checking whether new@x.com was invited. Wait "
                           "a moment before inviting them again.",
                           "Still checking the invitation | Wait until it is known whether NEW@x.com "
                           "was invited."}));
    EXPECT_EQ(outcomes, QStringList{"invited"});
    EXPECT_TRUE(rows(true).contains("new@x.com 01"));
    EXPECT_FALSE(people->isBusy());

    // Lost before the server took it: not among the open requests, so it can be sent again.
    server.dropNext(kRequests);
    invite("zed@x.com");
    settle();
    EXPECT_EQ(team.sharingRequests.size(), 3);
    EXPECT_EQ(shown(),
              QStringList({"The server's answer was lost | Checking whether zed@x.com was invited. Wait "
                           "a moment before inviting them again.",
                           "The invitation did not arrive | zed@x.com was not invited. You can invite "
                           "them again."}));
    EXPECT_EQ(outcomes, QStringList({"invited", "error"}));
    EXPECT_FALSE(rows().contains("zed@x.com"));
    invite("zed@x.com");
    settle();
    EXPECT_EQ(outcomes, QStringList({"invited", "error", "invited"}));
    EXPECT_TRUE(rows(true).contains("zed@x.com 01"));

    // No look possible: the question is left to the user.
    server.applyThenDropNext(kRequests);
    look = [&] {
        server.failNext(kRequests, 500);
    };
    invite("dan@x.com");
    settle();
    EXPECT_EQ(shown().last(), "Could not check the invitation | dan@x.com may have been invited. Refresh the "
                              "team before inviting them again.");
    EXPECT_EQ(outcomes.last(), "error");
    EXPECT_FALSE(people->isBusy());
}

TEST_F(TeamPanel, GivenTheMinutesCheck_ThenThePopoverOpensOnlyWhenTheCountChanged)
{
    manager->reloadMe();
    settle();
    PendingSharingRequestsViewController shared(*manager, device->sync());
    Popover popover;
    TeamViewController view(device->services, *people);
    view.setSharedProjects(&shared);
    view.setSharedProjectsPopover(&popover);
    const auto at = [&](qint64 ms) {
        tick(ms);
        return popover.shown;
    };
    EXPECT_EQ(at(1'999), 0);
    EXPECT_EQ(at(1), 1);
    EXPECT_EQ(at(60'000), 1);
    EXPECT_EQ(count("GET", kRequests), 2);
    team.sharingRequests << request(103, kUser, 43);
    EXPECT_EQ(at(60'000), 2);
    EXPECT_EQ(at(60'000), 2);

    // With nothing shared the timer stays silent; asking says so.
    team.sharingRequests.clear();
    EXPECT_EQ(at(60'000), 2);
    EXPECT_TRUE(shown().isEmpty());
    QObject button;
    view.checkForSharingRequests(&button);
    settle();
    EXPECT_EQ(shown(), QStringList{"No new projects are currently shared with you | "});
}

TEST_F(TeamPanel, GivenNoSessionOrNoConnection_WhenTheMinutesCheckIsDue_ThenTheServerIsNotAsked)
{
    manager->reloadMe();
    settle();
    PendingSharingRequestsViewController shared(*manager, device->sync());
    TeamViewController view(device->services, *people);
    view.setSharedProjects(&shared);
    view.setCheckAllowed(TeamViewController::whenSignedInAndOnline(device->sync()));

    // Offline (the loops never started): two checks due, none sent.
    device->preferences.setValue("_currentUser", kUser);
    tick(62'000);
    EXPECT_EQ(count("GET", kRequests), 0);

    // Online and signed in: the minute's check asks.
    start(*device);
    tick(60'000);
    EXPECT_EQ(count("GET", kRequests), 1);

    // Signed out (the loops stop, "_currentUser" goes) and merely signed out with the loops on.
    device->preferences.remove("_currentUser");
    tick(60'000);
    device->sync().stopAllLoops();
    tick(120'000);
    EXPECT_EQ(count("GET", kRequests), 1);
}

TEST_F(TeamPanel, GivenTheProjectLoopReportsTheShownProject_ThenPeopleAndFeedRefreshOncePerVersion)
{
    device->preferences.setValue(TeamViewController::kShowingFeedKey, true);
    TeamViewController view(device->services, *people);
    Feed feed;
    view.setFeed(&feed);
    EXPECT_EQ(view.feedTitle(), "History for selected project");
    view.setRepresentedObject(project);
    settle();
    server.clearRequests();

    const auto looped = [&] {
        device->notifications.post(kNotificationProjectUpdaterLooped, nullptr,
                                   {{"updatedProjects", QVariantList{41, 42}}});
        settle();
        return count("GET", kOwners);
    };
    project->setVersionID(3);
    project->setTimestamp(1000);
    EXPECT_EQ(looped(), 1);
    EXPECT_EQ(looped(), 1);
    project->setTimestamp(1001);
    EXPECT_EQ(looped(), 2);
    project->setVersionID(4);
    project->setTimestamp(900);
    EXPECT_EQ(looped(), 3);
    EXPECT_EQ(feed.reloads, 3);
    device->preferences.setValue(TeamViewController::kShowingFeedKey, false);
    project->setVersionID(5);
    EXPECT_EQ(looped(), 3);

    // Choosing people shows their comments, once per different choice.
    view.setWindow({[&] { return people->currentOwnerUsernames(); },
                    [] {
                    }});
    people->setSelectionIndexes({0});
    people->setSelectionIndexes({1});
    people->setSelectionIndexes({1});
    scheduler.runPosted();
    EXPECT_EQ(feed.emails, QList<QStringList>({{"carl@x.com"}}));

    view.setSelectedMode(SimpleCollaboratorsController::WholeTeam);
    EXPECT_EQ(view.feedTitle(), "History");
    EXPECT_EQ(device->preferences.intValue(TeamViewController::kSelectedModeKey), 0);
}

} // namespace
} // namespace qv::test
