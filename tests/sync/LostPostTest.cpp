// Posts whose outcome the client cannot know (a lost, cut or 5xx reply, a kill before the save),
// against a server that lists inbox items only in the inbox poll: nothing lost, nothing twice.
#include "tests/sync/ChildFixture.h"

#include "core/util/Utils.h"

#include <QProcess>

#include <functional>

namespace qv::test {
namespace {

using Fault = std::function<void(FakeSyncServer&, const QString& path)>;

struct UnknownOutcome {
    Fault fault;
    const char* name;
};

const std::vector<UnknownOutcome>& unknownOutcomes()
{
    static const std::vector<UnknownOutcome> cases = {
        {[](FakeSyncServer& s, const QString& p) { s.applyThenDropNext(p); }, "applied, dropped"},
        {[](FakeSyncServer& s, const QString& p) { s.applyThenFailNext(p, 502); }, "applied, 502"},
        {[](FakeSyncServer& s, const QString& p) { s.applyThenFailNext(p, 503); }, "applied, 503"},
        {[](FakeSyncServer& s, const QString& p) { s.applyThenFailNext(p, 504); }, "applied, 504"},
        {[](FakeSyncServer& s, const QString& p) { s.applyThenCutNext(p); }, "applied, reply cut"},
        {[](FakeSyncServer& s, const QString& p) { s.truncateNext(p); }, "applied, reply malformed"},
    };
    return cases;
}

class LostPost : public ChildFixture {
protected:
    // Server copies of that name that are not removed.
    int liveOnServer(const QString& name, bool project = false) const
    {
        int n = 0;
        for (const QJsonObject& object : project ? server.projects() : server.items())
            n += object.value("name").toString() == name && object.value("state").toInt() != 3 ? 1 : 0;
        return n;
    }
    // Posts that carried that name, alone or in a batch.
    int postsOf(const QString& name, const QString& path = QStringLiteral("/api/v1/item/")) const
    {
        int n = 0;
        for (const HttpRequest& request : server.requestsTo("POST", path))
            n += request.body.contains("\"" + name.toUtf8() + "\"") ? 1 : 0;
        return n;
    }
    int onDevice(SyncDevice& d, const QString& name)
    {
        int n = 0;
        for (TODOItem* item : d.items())
            n += item->name() == name ? 1 : 0;
        return n;
    }
    std::vector<TODOList*> projectsNamed(SyncDevice& d, const QString& name)
    {
        std::vector<TODOList*> found;
        for (store::ManagedObject* object : d.context().objects(TODOList::staticEntityName()))
            if (static_cast<TODOList*>(object)->name() == name)
                found.push_back(static_cast<TODOList*>(object));
        return found;
    }
    void expectOnceEverywhere(const QString& name)
    {
        EXPECT_EQ(liveOnServer(name), 1) << name.toStdString();
        ASSERT_EQ(onDevice(*device, name), 1) << name.toStdString();
        TODOItem* item = device->itemNamed(name);
        EXPECT_TRUE(item->isValidUniID()) << name.toStdString();
        EXPECT_EQ(item->edited_since(), 0) << name.toStdString();
        EXPECT_NE(server.item(item->serverID()).value("state").toInt(), 3) << name.toStdString();
    }
    // Long enough for the polls of items, inbox (every 30 s) and projects to come round.
    void untilEveryPollHasRun() { tick(40'000); }

    // The device run by the driver program in a child process on the store of `device`, which
    // stays closed meanwhile; started at once.
    void launchChild()
    {
        device.reset();
        ChildFixture::launchChild(devicePath(), kDeviceA);
    }
    // The child's clock and the server's move on together.
    void tickChild(qint64 ms)
    {
        for (; ms > 0; ms -= 1000) {
            tell("tick 1000");
            clock.advance(1000);
            server.setNow(clock.now());
        }
    }
    void killChild()
    {
        ChildFixture::killChild();
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    }
    // Starts the device in this process on the store the child left, and lets every poll run.
    void restartHere()
    {
        device = std::make_unique<SyncDevice>(devicePath(), kDeviceA, clock, scheduler,
                                              server.baseUrl().toString());
        start(*device);
        untilEveryPollHasRun();
    }
    QString devicePath() const { return home.root() + QStringLiteral("/a"); }
};

TEST_F(LostPost, GivenAPostAppliedButUnanswered_ThenInboxAndProjectItemsEndUpOnceOnDeviceAndServer)
{
    TODOList* project = startWithProject();
    for (const UnknownOutcome& c : unknownOutcomes()) {
        for (const bool inbox : {true, false}) {
            const QString name = QStringLiteral("%1 %2").arg(inbox ? "inbox" : "project", c.name);
            SCOPED_TRACE(name.toStdString());
            c.fault(server, QStringLiteral("/api/v1/item/"));
            if (inbox)
                device->document->addItemWithTitle(name);
            else
                ItemBuilder(name).madeBy(*device->document, project);
            device->sync().sendEditedItemsToServer();
            untilEveryPollHasRun();
            expectOnceEverywhere(name);
            EXPECT_EQ(postsOf(name), 1);
        }
    }
}

TEST_F(LostPost, GivenABulkPostOfThreeAppliedButUnanswered_WhileTheProgramRuns_ThenEachItemIsOnTheServerOnce)
{
    TODOList* project = startWithProject();
    const std::vector<UnknownOutcome> cases = {
        {[](FakeSyncServer& s, const QString& p) { s.applyThenFailNext(p, 502); }, "502"},
        {[](FakeSyncServer& s, const QString& p) { s.applyThenDropNext(p); }, "dropped"},
        {[](FakeSyncServer& s, const QString& p) { s.applyThenCutNext(p); }, "cut"},
    };
    for (const UnknownOutcome& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = server.itemCount();
        const qsizetype postsBefore = server.requestsTo("POST", QStringLiteral("/api/v1/item/")).size();
        newItems(project, c.name, 3);
        c.fault(server, QStringLiteral("/api/v1/item/"));
        device->sync().sendEditedItemsToServer();
        untilEveryPollHasRun();

        const QList<HttpRequest> posts = server.requestsTo("POST", QStringLiteral("/api/v1/item/"));
        EXPECT_EQ(posts.size(), postsBefore + 1) << "the three went out in one request, once";
        EXPECT_EQ(posts.last().json().object().value("objects").toArray().size(), 3);
        // Not one copy more, not even one marked removed.
        EXPECT_EQ(server.itemCount(), before + 3);
        for (int i = 0; i < 3; ++i)
            expectOnceEverywhere(QStringLiteral("%1%2").arg(QLatin1String(c.name)).arg(i));
    }
}

TEST_F(LostPost, GivenTwoServerCopiesOfAnItemThisDeviceCreated_ThenTheOneNotAdoptedIsMarkedRemoved)
{
    TODOList* project = startWithProject();
    for (const bool inbox : {true, false}) {
        TODOItem* item = inbox ? device->document->addItemWithTitle(QStringLiteral("twice"))
                               : ItemBuilder("twice").madeBy(*device->document, project);
        tick(5'000);
        ASSERT_TRUE(item->isValidUniID());
        // What a request delivered twice (by a proxy, or sent twice by an earlier version) leaves.
        QJsonObject copy = server.item(item->serverID());
        copy.remove("projects");
        const qint64 second = server.createItemAsOtherDevice(copy, inbox ? 0 : project->id_());
        untilEveryPollHasRun();
        EXPECT_EQ(server.item(second).value("state").toInt(), 3);
        expectOnceEverywhere(QStringLiteral("twice"));
        item->setName(QStringLiteral("done"));
        tick(5'000);
    }
}

TEST_F(LostPost, GivenAChildKilledWithABulkPostOfTenInboxItemsApplied_WhenRestarted_ThenEachIsThereOnce)
{
    ASSERT_NO_FATAL_FAILURE(launchChild());
    tickChild(40'000);
    tell("items 10");
    tell("save");
    server.holdNext(QStringLiteral("/api/v1/item/"));
    tell("send items");
    ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    killChild();
    server.releaseHeldReplies();
    ASSERT_EQ(server.itemCount(), 10);

    restartHere();
    for (int i = 0; i < 10; ++i)
        expectOnceEverywhere(QStringLiteral("bulk %1").arg(i));
    EXPECT_EQ(server.itemCount(), 10);
}

TEST_F(LostPost,
       GivenAChildWhoseBulkPostIsTakenAndDroppedOnAKeptConnection_ThenItGoesOutOnceAndEachItemIsThereOnce)
{
    ASSERT_NO_FATAL_FAILURE(launchChild());
    tickChild(40'000);
    tell("items 3");
    const qsizetype before = server.requests().size();
    server.applyThenDropNext(QStringLiteral("/api/v1/item/"), 1, PathMatch::Exact);
    tickChild(40'000);
    int posts = 0;
    for (qsizetype i = before; i < server.requests().size(); ++i)
        posts +=
            server.requests()[i].method == "POST" && server.requests()[i].path == "/api/v1/item/" ? 1 : 0;
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(server.itemCount(), 3);
    killChild();

    restartHere();
    for (int i = 0; i < 3; ++i)
        expectOnceEverywhere(QStringLiteral("bulk %1").arg(i));
    EXPECT_EQ(server.itemCount(), 3);
}

TEST_F(LostPost, GivenItemsUploadedButLostWithTheStore_WhenRestarted_ThenTheyComeBackFromTheServer)
{
    TODOList* project = startWithProject();
    device->save();
    newItems(project, "lost ", 3);
    device->document->addItemWithTitle(QStringLiteral("lost inbox"));
    device->sync().sendEditedItemsToServer();
    // Answered, before the document's next save falls due.
    ASSERT_TRUE(waitUntil([&] { return device->countEdited() == 0; }));
    ASSERT_EQ(server.itemCount(), 4);
    const qint64 projectID = project->id_();
    device->kill(); // before any save: the store never heard of them

    start(*device);
    untilEveryPollHasRun();
    for (int i = 0; i < 3; ++i) {
        ASSERT_NO_FATAL_FAILURE(expectOnceEverywhere(QStringLiteral("lost %1").arg(i)));
        EXPECT_EQ(device->itemNamed(QStringLiteral("lost %1").arg(i))->list()->id_(), projectID);
    }
    expectOnceEverywhere(QStringLiteral("lost inbox"));
}

TEST_F(LostPost, GivenAnItemThisDeviceRemoved_WhenItsOwnCopyComesBack_ThenItIsNotCreatedAgain)
{
    TODOList* project = startWithProject();
    TODOItem* item = ItemBuilder("gone").madeBy(*device->document, project);
    tick(5'000);
    const qint64 id = item->serverID();
    device->context().deleteObject(item);
    tick(5'000);
    ASSERT_TRUE(server.modifyItemAsOtherDevice(id, {{"editedByDevice", kDeviceA}, {"quadrant", 2}}));
    tick(10'000);
    EXPECT_EQ(device->itemWithServerID(id), nullptr);
}

TEST_F(LostPost, GivenAProjectPostAppliedButUnanswered_ThenTheProjectEndsUpOnceOnDeviceAndServer)
{
    start(*device);
    for (const UnknownOutcome& c : unknownOutcomes()) {
        const QString name = QString::fromLatin1(c.name);
        SCOPED_TRACE(c.name);
        c.fault(server, QStringLiteral("/api/v1/project/"));
        ProjectBuilder(device->context(), name);
        device->sync().sendEditedProjectsToServer();
        untilEveryPollHasRun();
        EXPECT_EQ(liveOnServer(name, true), 1);
        EXPECT_EQ(postsOf(name, QStringLiteral("/api/v1/project/")), 1);
        const std::vector<TODOList*> local = projectsNamed(*device, name);
        ASSERT_EQ(local.size(), 1u);
        EXPECT_TRUE(local.front()->isValidUniID());
        EXPECT_EQ(local.front()->edited_since(), 0);
    }
}

TEST_F(LostPost, GivenAProjectRenamedBeforeItsLostPostWasAdopted_ThenItIsOnceOnDeviceAndServer)
{
    start(*device);
    server.applyThenFailNext(QStringLiteral("/api/v1/project/"), 502);
    TODOList* project = ProjectBuilder(device->context(), "draft");
    device->sync().sendEditedProjectsToServer();
    ASSERT_TRUE(waitUntil([&] { return !device->sync().projectLoop().isInFlight(project); }));
    project->setName(QStringLiteral("renamed"));
    untilEveryPollHasRun();
    ASSERT_EQ(server.projectCount(), 1);
    EXPECT_EQ(liveOnServer(QStringLiteral("renamed"), true), 1);
    EXPECT_EQ(device->context().objects(TODOList::staticEntityName()).size(), 1u);
    EXPECT_TRUE(project->isValidUniID());
    EXPECT_EQ(project->edited_since(), 0);
}

TEST_F(LostPost, GivenPostsLostUnderTheEarlierDeviceIdentifier_WhenRestartedAfterTheUpgrade_ThenEachIsAdopted)
{
    const QString host = QStringLiteral("debian");
    device->setDeviceUID(Utils::deviceUIDForHostName(host));
    start(*device);
    tick(40'000);
    server.applyThenFailNext(QStringLiteral("/api/v1/project/"), 502);
    server.applyThenFailNext(QStringLiteral("/api/v1/item/"), 502);
    ItemBuilder("upgraded item").madeBy(*device->document, ProjectBuilder(device->context(), "upgraded"));
    device->document->addItemWithTitle(QStringLiteral("upgraded inbox"));
    device->sync().sendEditedProjectsToServer();
    device->sync().sendEditedItemsToServer();
    settle();
    device->quit();
    device->setDeviceUID(Utils::deviceUIDFor({"4c4c4544004d3510804bb4c04f4e3532", host}),
                         Utils::deviceUIDForHostName(host));
    start(*device);
    untilEveryPollHasRun();
    EXPECT_EQ(liveOnServer(QStringLiteral("upgraded"), true), 1);
    EXPECT_EQ(projectsNamed(*device, QStringLiteral("upgraded")).size(), 1u);
    expectOnceEverywhere(QStringLiteral("upgraded item"));
    expectOnceEverywhere(QStringLiteral("upgraded inbox"));
}

TEST_F(LostPost, GivenAChildKilledWithAProjectPostOut_WhenRestarted_ThenItIsOnceOnDeviceAndServerSavedOrNot)
{
    for (const bool savedBeforePost : {true, false}) {
        const QString name = savedBeforePost ? QStringLiteral("saved") : QStringLiteral("unsaved");
        SCOPED_TRACE(name.toStdString());
        device.reset();
        ASSERT_NO_FATAL_FAILURE(launchChild());
        tickChild(5'000);
        tell("project " + name.toUtf8());
        if (savedBeforePost)
            tell("save");
        server.holdNext(QStringLiteral("/api/v1/project/"));
        tell("send projects");
        ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
        killChild();
        server.releaseHeldReplies();

        restartHere();
        EXPECT_EQ(liveOnServer(name, true), 1);
        const std::vector<TODOList*> local = projectsNamed(*device, name);
        ASSERT_EQ(local.size(), 1u);
        EXPECT_TRUE(local.front()->isValidUniID());
        // Unsaved, the item never reached the store: a crash loses what was never written.
        if (savedBeforePost)
            expectOnceEverywhere(name + QStringLiteral(" item"));
        device->quit();
    }
}

} // namespace
} // namespace qv::test
