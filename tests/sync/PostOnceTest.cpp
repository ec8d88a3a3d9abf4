// Every POST route against a server that carries the POST out and then drops the connection
// before answering, on a connection kept alive from earlier requests: the POST reaches the
// server once, and its unknown outcome is adopted from the server or reported, never sent
// again unasked.
#include "core/model/ItemReminder.h"
#include "sync/CollaborationManager.h"
#include "sync/CommentsManager.h"
#include "sync/FileManager.h"
#include "sync/QVRemindersManager.h"
#include "tests/support/FakeAccountProfile.h"
#include "tests/support/FakeSyncServerComments.h"
#include "tests/support/FakeSyncServerTeam.h"
#include "tests/sync/SyncFixture.h"

#include <functional>

namespace qv::test {
namespace {

using LostReply = std::function<void(FakeSyncServer&, const QString& path)>;

class PostOnce : public SyncFixture {
protected:
    PostOnce() : serverComments(server), team(server, kUser)
    {
        team.collaborators = {FakeTeam::user(2, QStringLiteral("bob@x.com"))};
    }
    ~PostOnce() override
    {
        reminders.reset();
        files.reset();
        collaboration.reset();
        comments.reset();
    }

    void startWithEveryService()
    {
        profile.profile = server.userProfile();
        device->open();
        reminders = std::make_unique<QVRemindersManager>(device->sync());
        files = std::make_unique<FileManager>(device->sync(), &profile);
        comments = std::make_unique<CommentsManager>(device->services, device->sync());
        collaboration = std::make_unique<CollaborationManager>(device->services, device->sync());
        device->sync().setCollaborators(collaboration.get());
        project = startWithProject();
        item = ItemBuilder("known").madeBy(*device->document, project);
        tick(5'000);
        ASSERT_TRUE(item->isValidUniID());
        team.owners[project->id_()] = {team.me};
    }

    // Arms the fault for the POST to path, runs start (which sends it), lets every poll and
    // pass come round, and checks the POST went out once, on a connection that had carried an
    // earlier request.
    void postOnce(const QString& path, const LostReply& fault, const std::function<void()>& start)
    {
        settle();
        const qsizetype before = server.requests().size();
        fault(server, path);
        start();
        tick(40'000);
        QList<HttpRequest> posts;
        for (qsizetype i = before; i < server.requests().size(); ++i)
            if (server.requests()[i].method == "POST" && server.requests()[i].path == path.toUtf8())
                posts.append(server.requests()[i]);
        ASSERT_EQ(posts.size(), 1) << path.toStdString();
        bool reused = false;
        for (qsizetype i = 0; i < before; ++i)
            reused = reused || server.requests()[i].connectionId == posts.first().connectionId;
        EXPECT_TRUE(reused) << "the POST went out on a new connection";
    }
    int named(const QList<QJsonObject>& objects, const QString& name) const
    {
        int n = 0;
        for (const QJsonObject& object : objects)
            n += object.value("name").toString() == name ? 1 : 0;
        return n;
    }

    FakeComments serverComments;
    FakeTeam team;
    FakeAccountProfile profile;
    std::unique_ptr<QVRemindersManager> reminders;
    std::unique_ptr<FileManager> files;
    std::unique_ptr<CommentsManager> comments;
    std::unique_ptr<CollaborationManager> collaboration;
    TODOList* project = nullptr;
    TODOItem* item = nullptr;
};

TEST_F(PostOnce, GivenEachPostRoute_WhenTheServerTakesThePostAndDrops_ThenItHoldsOneObjectAdoptedOrReported)
{
    startWithEveryService();
    const LostReply drop = [](FakeSyncServer& s, const QString& p) {
        s.applyThenDropNext(p, 1, PathMatch::Exact);
    };

    {
        SCOPED_TRACE("items");
        postOnce(QStringLiteral("/api/v1/item/"), drop, [&] {
            ItemBuilder("new item").madeBy(*device->document, project);
            device->sync().sendEditedItemsToServer();
        });
        EXPECT_EQ(named(server.items(), QStringLiteral("new item")), 1);
        ASSERT_NE(device->itemNamed(QStringLiteral("new item")), nullptr);
        EXPECT_TRUE(device->itemNamed(QStringLiteral("new item"))->isValidUniID()) << "adopted";
    }
    {
        SCOPED_TRACE("projects");
        TODOList* made = nullptr;
        postOnce(QStringLiteral("/api/v1/project/"), drop, [&] {
            made = ProjectBuilder(device->context(), "new project");
            device->sync().sendEditedProjectsToServer();
        });
        EXPECT_EQ(named(server.projects(), QStringLiteral("new project")), 1);
        EXPECT_TRUE(made->isValidUniID()) << "adopted";
    }
    {
        SCOPED_TRACE("reminders");
        postOnce(QStringLiteral("/api/v1/reminder/"), drop, [&] {
            ItemReminder::reminderForItem(item, device->services.clock)->setNotes(QStringLiteral("call"));
            device->context().processPendingChanges();
        });
        EXPECT_EQ(server.reminderCount(), 1);
        // The read-back after the failure took the server's reminder as this one.
        EXPECT_GT(item->reminder()->identifier(), 0);
    }
    {
        SCOPED_TRACE("comments");
        std::optional<SendFailure> reported;
        postOnce(QStringLiteral("/api/v1/comment/"), drop, [&] {
            comments->sendComment(QStringLiteral("hello"), item, 0, {},
                                  [&](const SendFailure& failure) { reported = failure; });
        });
        EXPECT_EQ(serverComments.comments.size(), 1);
        ASSERT_TRUE(reported.has_value());
        EXPECT_TRUE(reported->error.has_value());
        EXPECT_TRUE(reported->mayHaveArrived);
    }
    {
        SCOPED_TRACE("sharing requests");
        std::optional<SendFailure> reported;
        SharingRequest invitation;
        invitation.projectURI = FakeSyncServer::projectUri(project->id_());
        invitation.targetUsername = QStringLiteral("bob@x.com");
        postOnce(QStringLiteral("/api/v1/sharing_request/"), drop, [&] {
            collaboration->postSharingRequest(invitation, {},
                                              [&](const SendFailure& failure) { reported = failure; });
        });
        EXPECT_EQ(team.sharingRequests.size(), 1);
        ASSERT_TRUE(reported.has_value());
        EXPECT_TRUE(reported->mayHaveArrived);
    }
    {
        SCOPED_TRACE("file uploads");
        bool reported = false;
        const QString path = home.root() + QStringLiteral("/plan.txt");
        ASSERT_TRUE(writeFile(path, "plan"));
        postOnce(QStringLiteral("/api/v1/file/"), drop, [&] {
            EXPECT_TRUE(files->uploadFileAt(path, item, false, {},
                                            [&](const std::optional<rest::Error>&) { reported = true; }));
        });
        EXPECT_EQ(server.fileCount(), 1);
        EXPECT_TRUE(reported);
    }
    {
        SCOPED_TRACE("tag operations");
        std::optional<QString> reported;
        postOnce(QStringLiteral("/api/v1/tag/"), drop, [&] {
            EXPECT_TRUE(
                device->sync().addTagName(QStringLiteral("urgent"), item, {},
                                          [&](const std::optional<QString>& error) { reported = error; }));
        });
        EXPECT_TRUE(reported.has_value());
        const QJsonArray tags = server.item(item->serverID()).value("tags").toArray();
        ASSERT_EQ(tags.size(), 1);
        EXPECT_EQ(tags.first().toObject().value("name").toString(), QStringLiteral("urgent"));
    }
}

} // namespace
} // namespace qv::test
