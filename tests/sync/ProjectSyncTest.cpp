// Projects: uploads, remote changes, the download of one project with its items, and tags.
#include "sync/RestObjectStore.h"
#include "tests/sync/SyncFixture.h"

#include <algorithm>
#include <tuple>

namespace qv::test {
namespace {

class ProjectSync : public SyncFixture {};

TEST_F(ProjectSync, GivenFiveEditedProjects_ThenTheyGoAsFiveSingleRequests)
{
    start(*device);
    std::vector<TODOList*> projects;
    for (int i = 0; i < 5; ++i)
        projects.push_back(ProjectBuilder(device->context(), QStringLiteral("p%1").arg(i)));
    tick(5'000);
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/project/")), 5);
    for (TODOList* project : projects) {
        ASSERT_TRUE(project->isValidUniID());
        EXPECT_EQ(project->edited_since(), 0);
        EXPECT_EQ(server.project(project->id_()).value("name").toString(), project->name());
    }

    projects[2]->setTextFirstQuadrant(QStringLiteral("Now"));
    projects[2]->setCenterX(40); // not a change worth sending on its own
    tick(5'000);
    EXPECT_EQ(count("PUT", QStringLiteral("/api/v1/project/%1/").arg(projects[2]->id_())), 1);
    EXPECT_EQ(server.project(projects[2]->id_()).value("textFirstQuadrant").toString(),
              QStringLiteral("Now"));
}

TEST_F(ProjectSync, GivenAProjectFromAnotherDevice_ThenItIsDownloadedWithItsItemsAndAnnounced)
{
    start(*device);
    QVariantList announced;
    device->notifications.addObserver(this, kNotificationProjectUpdaterLooped, [&](const Notification& n) {
        announced += n.userInfo.value(QStringLiteral("updatedProjects")).toList();
    });
    const qint64 theirs =
        server.createProjectAsOtherDevice({{"name", "shared"}, {"tags", QJsonArray{"team"}}});
    const qint64 item = server.createItemAsOtherDevice({{"name", "task"}, {"idd", 9}}, theirs);
    // The item poll is kept from finding the project first.
    server.failNext(QStringLiteral("/api/v1/item/"), 500, 1, PathMatch::Exact);
    tick(5'000);
    TODOList* project = device->projectWithID(theirs);
    ASSERT_NE(project, nullptr);
    EXPECT_EQ(project->getTagNames(), QStringList{QStringLiteral("team")});
    ASSERT_NE(device->itemWithServerID(item), nullptr);
    EXPECT_EQ(device->itemWithServerID(item)->list(), project);
    EXPECT_TRUE(announced.contains(QVariant(theirs)));
}

TEST_F(ProjectSync, GivenACopyLeavingKeysOut_ThenTheirLocalValuesStayAndAKeySentAsNullClearsItsValue)
{
    start(*device);
    // JSON key, attribute, local value.
    const std::vector<std::tuple<QString, QString, QString>> leftOut{
        {"textFirstQuadrant", "textFirstQuadrant", "Now"},
        {"colorSecondQuadrant", "colorSecondQuadrant", "#112233"},
        {"notes", "qv_notes", "kept"},
    };
    ProjectBuilder builder(device->context(), "v1");
    builder.taggedWith(QStringLiteral("team")).withValue("textThirdQuadrant", QStringLiteral("Later"));
    for (const auto& [key, attribute, value] : leftOut)
        builder.withValue(qPrintable(attribute), value);
    TODOList* project = builder;
    tick(5'000);
    const qint64 id = project->id_();
    ASSERT_NE(id, 0);
    // The sync cache started afresh: it knows nothing of the project's values.
    store::Context& cache = device->sync().restStore().context();
    cache.deleteObject(cache.lookupFirst(TODOList::staticEntityName(), QStringLiteral("id_"), id));
    server.modifyProjectAsOtherDevice(id, {{"name", "v2"}, {"textThirdQuadrant", QJsonValue::Null}});
    QStringList keys{QStringLiteral("tags")};
    for (const auto& [key, attribute, value] : leftOut)
        keys << key;
    server.omitProjectFields(id, keys);
    tick(5'000);
    EXPECT_EQ(project->name(), QStringLiteral("v2"));
    for (const auto& [key, attribute, value] : leftOut)
        EXPECT_EQ(project->value(attribute).toString(), value) << key.toStdString();
    EXPECT_EQ(project->getTagNames(), QStringList{QStringLiteral("team")});
    EXPECT_TRUE(project->isNull(QStringLiteral("textThirdQuadrant")));
    EXPECT_EQ(project->edited_since(), 0);
}

TEST_F(ProjectSync, GivenThisDevicesOwnProjectMissingLocally_ThenItIsDownloadedOnce)
{
    // The store lost it (a crash before the save); the server still has it.
    start(*device);
    server.createProjectAsOtherDevice({{"name", "mine"}, {"editedByDevice", kDeviceA}});
    tick(10'000);
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/project/1/items/")), 1);
    ASSERT_EQ(device->context().count(TODOList::staticEntityName()), 1);
    EXPECT_NE(device->projectWithID(1), nullptr);
}

TEST_F(ProjectSync, GivenAProjectRemovedOnTheServer_ThenItsItemsAreRemovedWithoutBeingMarked)
{
    TODOList* project = startWithProject();
    TODOItem* a = ItemBuilder("a").madeBy(*device->document, project);
    TODOItem* b = ItemBuilder("b").madeBy(*device->document, project);
    tick(5'000);
    server.deleteProjectAsOtherDevice(project->id_());
    server.clearRequests();
    tick(5'000);
    EXPECT_EQ(project->state(), 3);
    for (TODOItem* item : {a, b}) {
        EXPECT_EQ(item->state(), 3);
        EXPECT_EQ(item->edited_since(), 0);
    }
    tick(5'000);
    EXPECT_EQ(itemUploads(), 0);
}

// --- Projects whose download failed

class FailedDownload : public SyncFixture {
protected:
    // Another device's new project with three items, whose download is answered 500 until
    // the faults are cleared.
    void SetUp() override
    {
        start(*device);
        theirs = server.createProjectAsOtherDevice({{"name", "shared"}});
        for (int i = 1; i <= 3; ++i)
            server.createItemAsOtherDevice({{"name", QStringLiteral("task %1").arg(i)}, {"idd", i}}, theirs);
        server.failNext(downloadPath(), 500, -1, PathMatch::Exact);
    }
    QString downloadPath() const { return QStringLiteral("/api/v1/project/%1/").arg(theirs); }
    int attempts() const
    {
        return int(
            std::ranges::count(requests("GET", downloadPath()), downloadPath().toUtf8(), &HttpRequest::path));
    }
    // The project and its items exactly once, here and on the server, and nothing left to fetch.
    void expectArrivedOnce()
    {
        TODOList* project = device->projectWithID(theirs);
        ASSERT_NE(project, nullptr);
        EXPECT_EQ(project->items().size(), 3u);
        EXPECT_EQ(device->context().count(TODOList::staticEntityName()), server.projectCount());
        EXPECT_EQ(int(device->items().size()), server.itemCount());
        EXPECT_TRUE(device->sync().getInstantSyncStatus()->projectsToDownload().isEmpty());
    }

    qint64 theirs = 0;
};

TEST_F(FailedDownload, GivenARestartBeforeTheRetry_ThenTheProjectAndItsItemsComeAfterTheRestart)
{
    tick(5'000);
    ASSERT_GE(attempts(), 1);
    ASSERT_EQ(device->projectWithID(theirs), nullptr);
    EXPECT_EQ(device->sync().getInstantSyncStatus()->projectsToDownload(), QList<qint64>{theirs});
    // Later changes move the poll cursors past the project and its items, and they are saved so.
    const qint64 later = server.createProjectAsOtherDevice({{"name", "later"}});
    server.createItemAsOtherDevice({{"name", "later task"}, {"idd", 4}}, later);
    tick(10'000);
    ASSERT_NE(device->projectWithID(later), nullptr);
    device->quit();
    server.clearFaults();
    start(*device);
    tick(5'000);
    expectArrivedOnce();
}

TEST_F(FailedDownload, GivenRepeatedFailures_ThenTheDownloadIsTriedAgainWithPausesGrowingToAMinute)
{
    // The first attempt fails at the next poll; the pauses after it are 10, 20 and 40 s, then
    // never longer than a minute.
    const struct {
        qint64 tickMs;
        int attempts;
    } schedule[] = {{5'000, 1}, {9'000, 1},  {1'000, 2}, {19'000, 2}, {1'000, 3}, {39'000, 3},
                    {1'000, 4}, {59'000, 4}, {1'000, 5}, {59'000, 5}, {1'000, 6}};
    for (const auto& step : schedule) {
        tick(step.tickMs);
        EXPECT_EQ(attempts(), step.attempts) << "at " << clock.elapsedMs() << " ms";
    }
    EXPECT_EQ(device->projectWithID(theirs), nullptr);
    server.clearFaults();
    tick(60'000);
    EXPECT_EQ(attempts(), 7);
    expectArrivedOnce();
}

class ProjectDownload : public SyncFixture {
protected:
    // A project of another device with two items, one of them already known here.
    void SetUp() override
    {
        start(*device);
        projectID = server.createProjectAsOtherDevice({{"name", "remote"}});
        knownID = server.createItemAsOtherDevice({{"name", "known"}, {"idd", 1}}, projectID);
        tick(5'000);
        ASSERT_NE(device->projectWithID(projectID), nullptr);
        newID = server.createItemAsOtherDevice({{"name", "new"}, {"idd", 2}}, projectID);
        server.modifyItemAsOtherDevice(knownID, {{"name", "known, renamed"}});
    }
    bool download(TODOList** result = nullptr, QString* error = nullptr)
    {
        bool done = false;
        device->sync().getProjectAndItemsForProjectWithID(
            projectID,
            [&](TODOList* project) {
                done = true;
                if (result)
                    *result = project;
            },
            [&](const QString& message) {
                done = true;
                if (error)
                    *error = message.isEmpty() ? QStringLiteral("?") : message;
            });
        return waitUntil([&] { return done; });
    }

    qint64 projectID = 0;
    qint64 knownID = 0;
    qint64 newID = 0;
};

TEST_F(ProjectDownload,
       GivenItemsPartlyKnownAndTwoRequests_ThenOneDownloadServesBothUpdatesKnownItemsAndCreatesTheOthers)
{
    TODOList* first = nullptr;
    device->sync().getProjectAndItemsForProjectWithID(projectID, [&](TODOList* p) { first = p; }, {});
    TODOList* project = nullptr;
    ASSERT_TRUE(download(&project));
    settle();
    ASSERT_EQ(project, device->projectWithID(projectID));
    EXPECT_EQ(first, project);
    EXPECT_EQ(count("GET", QStringLiteral("/api/v1/project/%1/items/").arg(projectID)), 2); // and SetUp's
    EXPECT_EQ(device->itemWithServerID(knownID)->name(), QStringLiteral("known, renamed"));
    ASSERT_NE(device->itemWithServerID(newID), nullptr);
    EXPECT_EQ(device->itemWithServerID(newID)->list(), project);
    EXPECT_EQ(project->items().size(), 2u);
}

TEST_F(ProjectDownload, GivenPendingLocalEdits_ThenTheDownloadKeepsThem)
{
    TODOList* project = device->projectWithID(projectID);
    TODOItem* known = device->itemWithServerID(knownID);
    device->sync().blockSyncForItem(known);
    known->setName(QStringLiteral("my edit"));
    server.failNext(QStringLiteral("/api/v1/project/%1/").arg(projectID), 500);
    project->setName(QStringLiteral("my project name"));
    settle();
    ASSERT_EQ(project->edited_since(), 1);
    ASSERT_EQ(known->edited_since(), 1);
    server.modifyProjectAsOtherDevice(projectID, {{"name", "their project name"}});

    ASSERT_TRUE(download());
    EXPECT_EQ(project->name(), QStringLiteral("my project name"));
    EXPECT_EQ(project->edited_since(), 1);
    EXPECT_EQ(known->name(), QStringLiteral("my edit"));
    EXPECT_EQ(known->edited_since(), 1);
    EXPECT_NE(device->itemWithServerID(newID), nullptr);

    device->sync().unblockSyncForItem(known);
    tick(5'000);
    EXPECT_EQ(server.item(knownID).value("name").toString(), QStringLiteral("my edit"));
    EXPECT_EQ(server.project(projectID).value("name").toString(), QStringLiteral("my project name"));
}

TEST_F(ProjectDownload, GivenAReplyWithoutAProject_ThenTheFailureIsCalled)
{
    server.addRoute("GET", QStringLiteral("/api/v1/project/:id/"),
                    [](const HttpRequest&) { return HttpResponse::json(QJsonObject()); });
    QString error;
    TODOList* project = nullptr;
    ASSERT_TRUE(download(&project, &error));
    EXPECT_EQ(project, nullptr);
    EXPECT_FALSE(error.isEmpty());
    // Nothing is left waiting: the next download starts afresh.
    EXPECT_FALSE(device->sync().isDownloadingProject(projectID));
}

// --- Tags on the server

class ServerTags : public SyncFixture {
protected:
    void SetUp() override
    {
        project = startWithProject();
        item = ItemBuilder("x").madeBy(*device->document, project);
        tick(5'000);
        ASSERT_TRUE(item->isValidUniID());
        server.clearRequests();
    }
    QJsonObject lastTagBody() const
    {
        const auto sent = server.requestsTo("POST", QStringLiteral("/api/v1/tag/"));
        return sent.isEmpty() ? QJsonObject() : sent.last().json().object();
    }

    TODOList* project = nullptr;
    TODOItem* item = nullptr;
};

TEST_F(ServerTags, GivenTagNamesWithBlanksAndCapitals_ThenTheyAreSentTrimmedAndInLowerCase)
{
    bool ok = false;
    ASSERT_TRUE(device->sync().setTagNames({QStringLiteral(" Work "), QStringLiteral("home")}, item,
                                           [&](const QByteArray&) { ok = true; }, {}));
    settle();
    EXPECT_TRUE(ok);
    const QJsonObject body = lastTagBody();
    EXPECT_EQ(body.value("object").toString(), FakeSyncServer::itemUri(item->serverID()));
    EXPECT_EQ(body.value("action").toString(), QStringLiteral("set"));
    EXPECT_EQ(body.value("names").toArray(), (QJsonArray{"work", "home"}));
    const auto sent = server.requestsTo("POST", QStringLiteral("/api/v1/tag/"));
    EXPECT_TRUE(sent.last().rawQuery.isEmpty());
    EXPECT_EQ(sent.last().header("Content-Type"), QByteArray("application/json; charset=utf-8"));

    ASSERT_TRUE(device->sync().addTagName(QStringLiteral("Urgent"), project, {}, {}));
    settle();
    EXPECT_EQ(lastTagBody(), (QJsonObject{{"object", FakeSyncServer::projectUri(project->id_())},
                                          {"action", "add"},
                                          {"name", "urgent"}}));
}

TEST_F(ServerTags, GivenAnUploadOutOfflineOrNoAddress_ThenNoTagRequestIsSent)
{
    item->setName(QStringLiteral("y"));
    server.holdNext(QStringLiteral("/api/v1/item/"));
    ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    EXPECT_FALSE(device->sync().addTagName(QStringLiteral("t"), item, {}, {}));
    server.releaseHeldReplies();
    settle();
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/tag/")), 0);

    TODOItem* unsent = ItemBuilder("not on the server").madeBy(*device->document, project);
    device->sync().blockSyncForItem(unsent);
    EXPECT_FALSE(device->sync().addTagName(QStringLiteral("t"), unsent, {}, {}));
    device->sync().stopAllLoops();
    EXPECT_FALSE(device->sync().addTagName(QStringLiteral("t"), item, {}, {}));
    settle();
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/tag/")), 0);
}

TEST_F(ServerTags, GivenA404_ThenTheFailureGetsNoErrorAndTheItemIsFreeAgain)
{
    server.failNext(QStringLiteral("/api/v1/tag/"), 404);
    bool succeeded = false;
    std::optional<std::optional<QString>> failed;
    ASSERT_TRUE(device->sync().removeTagName(
        QStringLiteral("t"), item, [&](const QByteArray&) { succeeded = true; },
        [&](const std::optional<QString>& e) { failed = e; }));
    EXPECT_TRUE(device->sync().itemLoop().isInFlight(item));
    settle();
    EXPECT_FALSE(succeeded);
    ASSERT_TRUE(failed.has_value());
    EXPECT_FALSE(failed->has_value());
    EXPECT_FALSE(device->sync().itemLoop().isInFlight(item));

    item->setName(QStringLiteral("free"));
    tick(5'000);
    EXPECT_EQ(server.item(item->serverID()).value("name").toString(), QStringLiteral("free"));
}

TEST_F(ProjectDownload, GivenOneItemMoreThanTheServerGivesAtOnce_ThenEveryItemArrivesInTheProject)
{
    // A server that caps its pages below what the download asks for.
    server.setMaxPageSize(50);
    for (int i = 0; i < 49; ++i)
        server.createItemAsOtherDevice({{"name", QStringLiteral("bulk %1").arg(i)}}, projectID);
    server.clearRequests();
    TODOList* project = nullptr;
    ASSERT_TRUE(download(&project));
    ASSERT_NE(project, nullptr);
    // The two of the set-up and the forty-nine.
    EXPECT_EQ(project->items().size(), 51u);
    const auto pages = requests("GET", QStringLiteral("/api/v1/project/%1/items/").arg(projectID));
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0].queryItem(QStringLiteral("limit")), QStringLiteral("10000"));
    EXPECT_FALSE(pages[0].hasQueryItem(QStringLiteral("offset")));
    EXPECT_EQ(pages[1].queryItem(QStringLiteral("offset")), QStringLiteral("50"));
}

} // namespace
} // namespace qv::test
