#include "core/model/ItemReminder.h"
#include "sync/QVRemindersManager.h"
#include "tests/sync/SyncFixture.h"

#include <QProcess>

#include <csignal>
#include <cstdio>

namespace qv::test {
namespace {

const QString kReminderPath = QStringLiteral("/api/v1/reminder/");

class ReminderSync : public SyncFixture {
protected:
    ~ReminderSync() override { reminders.reset(); }

    void startDevice()
    {
        device->open();
        reminders = std::make_unique<QVRemindersManager>(device->sync());
        start(*device);
    }
    // An item on the server with a reminder the server knows too.
    TODOItem* syncedItemWithReminder(const QString& notes)
    {
        TODOList* project = startWithProject();
        TODOItem* item = ItemBuilder("I").withReminder(notes).madeBy(*device->document, project);
        pass();
        EXPECT_TRUE(item->isValidUniID());
        pass();
        EXPECT_GT(item->reminder()->identifier(), 0);
        return item;
    }
    // One sending pass, and the event loop until every request is answered.
    void pass()
    {
        tick(QVRemindersManager::kSendIntervalMs);
        ASSERT_TRUE(waitUntil([&] { return reminders->pendingRequestCount() == 0; }));
        settle();
    }
    QList<HttpRequest> sends() const
    {
        QList<HttpRequest> all = requests("POST", kReminderPath);
        all += requests("PUT", kReminderPath);
        return all;
    }
    int readBacks() const
    {
        int n = 0;
        for (const HttpRequest& request : server.requests())
            n += request.method == "GET" && request.path.endsWith("/reminder/") ? 1 : 0;
        return n;
    }
    void editNotes(TODOItem* item, const QString& notes)
    {
        item->reminder()->setNotes(notes);
        device->context().processPendingChanges();
    }

    std::unique_ptr<QVRemindersManager> reminders;
};

TEST_F(ReminderSync, GivenReminderChanges_WhenTracked_ThenOnlyChangesBeyondTimestampAndMarkMark)
{
    startDevice();
    TODOItem* item = syncedItemWithReminder(QStringLiteral("n"));
    ItemReminder* reminder = item->reminder();
    struct Case {
        const char* key;
        QVariant value;
        bool marks;
    } cases[] = {
        {"timestamp", qint64(42), false}, {"edited_since", qint64(0), false}, {"notes", "changed", true}};
    for (const Case& c : cases) {
        {
            QVRestManager::TrackingPause pause(device->sync());
            reminder->setEdited_since(0);
        }
        reminder->setValue(QString::fromLatin1(c.key), c.value);
        device->context().processPendingChanges();
        EXPECT_EQ(reminder->edited_since(), c.marks ? 1 : 0) << c.key;
    }
}

TEST_F(ReminderSync, GivenReminderOfUnsyncedItem_WhenPassesRun_ThenItWaitsThenGoesAsPostThenPut)
{
    startDevice();
    TODOList* project = startWithProject();
    // Blocked: the item stays off the server for the first passes.
    TODOItem* item =
        ItemBuilder("I").withReminder(QStringLiteral("first")).madeBy(*device->document, project);
    device->sync().blockSyncForItem(item);
    pass();
    pass();
    EXPECT_TRUE(sends().isEmpty());
    EXPECT_EQ(item->reminder()->edited_since(), 1);

    device->sync().unblockSyncForItem(item);
    pass();
    pass();
    ASSERT_EQ(sends().size(), 1);
    EXPECT_EQ(sends().first().method, "POST");
    const qint64 id = item->reminder()->identifier();
    ASSERT_GT(id, 0);
    EXPECT_EQ(item->reminder()->edited_since(), 0);
    EXPECT_EQ(server.reminder(id).value("item").toString(), FakeSyncServer::itemUri(item->serverID()));

    // An item whose path a reply left empty still names itself by its id.
    {
        QVRestManager::TrackingPause pause(device->sync());
        item->setResourceURI(QString());
    }
    editNotes(item, QStringLiteral("second"));
    pass();
    ASSERT_EQ(sends().size(), 2);
    EXPECT_EQ(sends().last().method, "PUT");
    EXPECT_TRUE(sends().last().path.startsWith(QStringLiteral("/api/v1/reminder/%1/").arg(id).toUtf8()));
    EXPECT_EQ(sends().last().json().object().value("item").toString(),
              FakeSyncServer::itemUri(item->serverID()));
    EXPECT_EQ(server.reminder(id).value("notes").toString(), "second");
    EXPECT_EQ(server.reminderCount(), 1);
}

TEST_F(ReminderSync, GivenEditWhileInFlight_WhenReplyArrives_ThenEditIsKeptAndResent)
{
    startDevice();
    TODOItem* item = syncedItemWithReminder(QStringLiteral("n"));
    editNotes(item, QStringLiteral("sent"));
    server.holdNext(kReminderPath);
    scheduler.advance(QVRemindersManager::kSendIntervalMs);
    ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    // Still marked while out: a crash now would lose nothing.
    EXPECT_EQ(item->reminder()->edited_since(), 1);

    editNotes(item, QStringLiteral("typed meanwhile"));
    server.releaseHeldReplies();
    ASSERT_TRUE(waitUntil([&] { return reminders->pendingRequestCount() == 0; }));
    EXPECT_EQ(item->reminder()->notes(), "typed meanwhile");
    EXPECT_EQ(item->reminder()->edited_since(), 1);

    pass();
    EXPECT_EQ(server.reminder(item->reminder()->identifier()).value("notes").toString(), "typed meanwhile");
    EXPECT_EQ(item->reminder()->edited_since(), 0);
}

TEST_F(ReminderSync, GivenFailedSend_WhenRefusedOrNot_ThenOnlyRefusalReadsBackOnce)
{
    struct Case {
        int status;
        bool readBack;
    };
    for (const Case c : {Case{400, true}, Case{500, false}, Case{503, false}}) {
        SCOPED_TRACE(c.status);
        reminders.reset();
        device->kill();
        server.clearRequests();
        startDevice();
        TODOItem* item = syncedItemWithReminder(QStringLiteral("server"));
        editNotes(item, QStringLiteral("local"));
        const int before = readBacks();
        server.failNext(kReminderPath, c.status);
        pass();
        EXPECT_EQ(readBacks() - before, c.readBack ? 1 : 0);
        EXPECT_EQ(item->reminder()->notes(), c.readBack ? "server" : "local");
        EXPECT_EQ(item->reminder()->edited_since(), c.readBack ? 0 : 1);
        pass();
        EXPECT_EQ(readBacks() - before, c.readBack ? 1 : 0);
        EXPECT_EQ(item->reminder()->edited_since(), 0);
        EXPECT_EQ(server.reminder(item->reminder()->identifier()).value("notes").toString(),
                  c.readBack ? "server" : "local");
    }
}

// The child: opens the store the parent left, lets its sending pass go out, saves while the
// request is out and says so; then waits to be killed.
TEST(ReminderCrashChild, RunsUntilKilled)
{
    const QString folder = qEnvironmentVariable("QV_REMINDER_CHILD_FOLDER");
    if (folder.isEmpty())
        GTEST_SKIP() << "run by ReminderSync.GivenKillInFlight...";
    FakeClock clock;
    ManualScheduler scheduler{&clock};
    SyncDevice device(folder, kDeviceA, clock, scheduler, qEnvironmentVariable("QV_REMINDER_CHILD_ORIGIN"));
    device.open();
    QVRemindersManager reminders(device.sync());
    device.sync().startAllLoops();
    for (int step = 0; step < 600 && reminders.pendingRequestCount() == 0; ++step) {
        scheduler.advance(100);
        QCoreApplication::processEvents();
        scheduler.runPosted();
        QTest::qWait(1);
    }
    ASSERT_GT(reminders.pendingRequestCount(), 0);
    QTest::qWait(200); // the request reaches the server, which holds its reply
    device.save();
    std::puts("saved");
    std::fflush(stdout);
    for (;;)
        QTest::qWait(100);
}

TEST_F(ReminderSync, GivenKillInFlight_WhenRestarted_ThenTheEditIsSentAgain)
{
    startDevice();
    TODOItem* item = syncedItemWithReminder(QStringLiteral("n"));
    editNotes(item, QStringLiteral("edit"));
    const qint64 id = item->reminder()->identifier();
    device->save();
    reminders.reset();
    device->kill();

    server.holdNext(kReminderPath);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QV_REMINDER_CHILD_FOLDER"), home.root() + QStringLiteral("/a"));
    environment.insert(QStringLiteral("QV_REMINDER_CHILD_ORIGIN"), server.baseUrl().toString());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=ReminderCrashChild.*")});
    QByteArray output;
    const bool saved = waitUntil(
        [&] {
            output += child.readAllStandardOutput();
            return output.contains("saved\n") && server.heldReplyCount() == 1;
        },
        30000);
    if (child.processId() > 0) // 0 once it is gone, and kill(0) would reach this process
        ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(5000);
    ASSERT_TRUE(saved) << output.toStdString();
    server.clearFaults();
    server.releaseHeldReplies();
    const int sentBefore = int(sends().size());

    startDevice();
    pass();
    EXPECT_EQ(int(sends().size()), sentBefore + 1);
    ItemReminder* reminder = ItemReminder::findWithID(id, device->context(), nullptr);
    ASSERT_NE(reminder, nullptr);
    EXPECT_EQ(reminder->edited_since(), 0);
    EXPECT_EQ(server.reminder(id).value("notes").toString(), "edit");
}

} // namespace
} // namespace qv::test
