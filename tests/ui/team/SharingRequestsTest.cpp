// Answering the projects others share with the signed-in user, and picking the address of a
// person to invite, against the fake server on 127.0.0.1.
#include "ui/team/InputCollaboratorViewController.h"
#include "ui/team/IsInitStringValueTransformer.h"
#include "ui/team/PendingSharingRequestsViewController.h"

#include "core/util/ValueTransformerRegistry.h"
#include "tests/ui/team/SharingFixture.h"

namespace qv::test {
namespace {

TEST_F(Sharing, GivenASharedProject_WhenAccepted_ThenItIsDownloadedSavedAndSelectedAndTheListEmpties)
{
    const qint64 id = shareProjectOfAnn();
    EXPECT_EQ(loaded(false), QStringList({"called", "Launch"}));
    EXPECT_TRUE(pending->canAnswer(0));
    // Rows already there: without force nothing is asked and the callback is not called.
    EXPECT_EQ(loaded(false), QStringList());

    pending->acceptRequest(0);
    EXPECT_TRUE(pending->cellState(0, SharingRequest::kAccepted));
    EXPECT_FALSE(pending->canAnswer(0));
    EXPECT_TRUE(pending->isShowingProgress());
    settle();

    EXPECT_EQ(team.request(1).value("status"), SharingRequest::kAccepted);
    EXPECT_TRUE(team.owners[id].contains(team.me));
    ASSERT_NE(device->projectWithID(id), nullptr);
    EXPECT_EQ(MyDocument::getAllTODOItemsForTODOList(device->projectWithID(id)).size(), 2u);
    EXPECT_FALSE(device->context().hasChanges()); // saved
    EXPECT_EQ(selected, QList<qint64>{id});
    EXPECT_EQ(pending->count(), 0);
    EXPECT_FALSE(pending->isShowingProgress());
}

TEST_F(Sharing, GivenAnAnswerThatFails_ThenTheRequestIsOpenAgainAndCanBeAnsweredLater)
{
    const qint64 id = shareProjectOfAnn();
    loaded(true);
    server.failNext(QStringLiteral("/api/v1/sharing_request/1/"), 500);
    QList<QString> statuses;
    QObject::connect(pending.get(), &PendingSharingRequestsViewController::requestsChanged, [&] {
        if (pending->count() == 1)
            statuses << pending->requests().first().status;
    });
    pending->acceptRequest(0);
    settle();
    EXPECT_EQ(statuses, QStringList({"accepted", "init", "init"}));
    EXPECT_EQ(device->projectWithID(id), nullptr);
    ASSERT_TRUE(pending->canAnswer(0));

    // A refusal closes it without downloading; out-of-range rows are ignored.
    pending->rejectRequest(5);
    pending->rejectRequest(0);
    settle();
    EXPECT_EQ(team.request(1).value("status"), SharingRequest::kRejected);
    EXPECT_EQ(pending->count(), 0);

    // An address without the project's number: answered, nothing downloaded.
    team.inviteMe(id, team.collaborators[0]);
    team.sharingRequests.last().insert("project", "/api/v1/project/");
    loaded(true);
    pending->acceptRequest(0);
    settle();
    EXPECT_EQ(team.request(2).value("status"), SharingRequest::kAccepted);
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/project/")), 0);

    // A failed list gives the callback an empty one.
    server.failNext(QStringLiteral("/api/v1/sharing_request/"), 500);
    EXPECT_EQ(loaded(true), QStringList{"called"});
}

TEST_F(Sharing, GivenCachedCollaborators_WhenTypingAndPicking_ThenAddressesReachTheDelegateAndTheMenuMatches)
{
    manager->getCollaborators();
    settle();
    InputCollaboratorViewController input(*manager);
    input.setDelegate(this);
    int menus = 0;
    QObject::connect(&input, &InputCollaboratorViewController::completionMenuRequested, [&] { ++menus; });
    const auto titles = [&] {
        QStringList list;
        for (const CollaboratorCompletion& c : input.completions())
            list << c.title + (c.enabled ? "" : " (off)");
        return list;
    };

    input.startProgress();
    input.setText(QStringLiteral("typed"));
    input.reset();
    EXPECT_EQ(input.text(), "");
    EXPECT_FALSE(input.isInProgress());
    EXPECT_EQ(titles(), QStringList({kAnn, "bob@x.com"}));

    input.setText(QStringLiteral("ANN"));
    input.enterPressed();
    EXPECT_TRUE(entered.isEmpty());
    EXPECT_EQ(titles(), QStringList{kAnn});
    input.setText(QStringLiteral("carl"));
    input.enterPressed();
    EXPECT_EQ(titles(), QStringList{"Not Found (off)"});

    input.completeAndEnter(kAnn);
    EXPECT_EQ(input.text(), kAnn);
    EXPECT_EQ(entered, QStringList{kAnn});
    EXPECT_EQ(titles(), QStringList{kAnn});
    EXPECT_EQ(menus, 3);
}

TEST(IsInitStringValueTransformer, GivenAStatus_ThenOnlyInitIsTrue)
{
    ValueTransformerRegistry registry;
    registerSharingTransformers(registry);
    const QString name = QStringLiteral("IsInitStringValueTransformer");
    EXPECT_EQ(registry.transformedValue(name, QStringLiteral("init")), QVariant(true));
    for (const QVariant& value : {QVariant(QStringLiteral("accepted")), QVariant(QStringLiteral("rejected")),
                                  QVariant(), QVariant(QStringLiteral("Init"))})
        EXPECT_EQ(registry.transformedValue(name, value), QVariant(false)) << value.toString().toStdString();
}

} // namespace
} // namespace qv::test
