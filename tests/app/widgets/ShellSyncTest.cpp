#include "tests/sync/SyncFixture.h"

#include "tests/support/DocumentFakes.h"

#include "app/ShellAdapters.h"
#include "platform/rest/NetworkReachability.h"
#include "ui/board/AccountCommands.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WindowCommands.h"

#include <QAction>
#include <QTest>

namespace qv::test {
namespace {

// A signed-in account whose whole sync is recorded and succeeds when told.
class RecordingAccount final : public AccountCommands {
public:
    bool available = true;
    std::function<void()> pendingSync;
    bool isAvailable() const override { return available; }
    std::optional<AccountUser> currentUser() const override { return AccountUser{kUser, 1, {}}; }
    void sync(std::function<void()> onDidSync) override { pendingSync = std::move(onDidSync); }
    void login(std::function<void()>) override {}
    void logout() override {}
};

class NoBrowser final : public InternalBrowser {
public:
    void showURLInInternalWebBrowser(const QUrl&) override {}
};

// The window and the shell's view of it over a device that talks to the test server.
class ShellSyncTest : public SyncFixture {
protected:
    void SetUp() override
    {
        start(*device);
        window = std::make_unique<MainWindow>(*device->document, device->services);
        window->commands().setAccount(&account, &browser);
        shell = std::make_unique<WindowShell>(*window, *device->document, device->sync(), scheduler,
                                              std::function<void()>());
    }
    void TearDown() override
    {
        shell.reset();
        window.reset();
    }

    QAction* action(const QString& text) const
    {
        for (QAction* candidate : window->findChildren<QAction*>()) {
            if (candidate->text() == text)
                return candidate;
        }
        return nullptr;
    }
    // Open items of that title, here and on the server.
    std::vector<TODOItem*> openNamed(const QString& title)
    {
        std::vector<TODOItem*> found;
        for (TODOItem* item : device->items())
            if (!item->isDeleted() && item->name() == title && item->objectState() == ObjectState::Open)
                found.push_back(item);
        return found;
    }
    int openOnServer(const QString& title) const
    {
        int open = 0;
        for (const QJsonObject& item : server.items())
            open += item.value("name").toString() == title && item.value("state").toInt() == 0 ? 1 : 0;
        return open;
    }

    RecordingAccount account;
    NoBrowser browser;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<WindowShell> shell;
};

// Each quadrant's items as the board shows them, top first.
QStringList boardOrder(MainWindow& window)
{
    QStringList rows;
    for (int q = 0; q < 4; ++q) {
        for (const QString& name : names(window.board().controller(q).arrangedObjects()))
            rows << QStringLiteral("%1 %2").arg(q).arg(name);
    }
    return rows;
}

} // namespace

TEST_F(ShellSyncTest,
       GivenWorkWaitingForTheFirstFrame_WhenTheWindowPaintsOrNeverDoes_ThenItRunsAfterTheFrameOrTheBound)
{
    QStringList ran;
    shell->afterFirstFrame([&ran] { ran << QStringLiteral("first"); });
    shell->afterFirstFrame([&ran] { ran << QStringLiteral("second"); });
    scheduler.runPosted();
    EXPECT_TRUE(ran.isEmpty());

    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->repaint();
    // Not inside the painting: on the next turn of the loop.
    EXPECT_TRUE(ran.isEmpty());
    scheduler.runPosted();
    EXPECT_EQ(ran, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    shell->afterFirstFrame([&ran] { ran << QStringLiteral("late"); });
    scheduler.runPosted();
    EXPECT_EQ(ran.last(), QStringLiteral("late"));
    // The bound does not run them twice.
    scheduler.advance(FirstFrameWatch::kBoundMs);
    EXPECT_EQ(ran.size(), 3);

    // A window that never paints holds nothing up beyond the bound.
    QWidget hidden;
    FirstFrameWatch watch(hidden, scheduler);
    bool hiddenRan = false;
    watch.afterFirstFrame([&hiddenRan] { hiddenRan = true; });
    scheduler.advance(FirstFrameWatch::kBoundMs - 1);
    EXPECT_FALSE(hiddenRan);
    scheduler.advance(1);
    EXPECT_TRUE(hiddenRan);
}

TEST_F(ShellSyncTest, GivenTheNetworkWatchedOnlyAfterTheStart_WhenItsReachabilityChanges_ThenTheEngineFollows)
{
    EngineShell engine(device->sync(), device->services);
    engine.startAllLoops();
    // Asked for at the start; the network's reachability comes after the first frame.
    engine.startObservingReachability();
    rest::NetworkReachability network(rest::NetworkReachability::Backend::Manual);
    engine.setReachability(&network);

    network.setReachable(false);
    EXPECT_FALSE(device->sync().isStarted());
    network.setReachable(true);
    EXPECT_TRUE(device->sync().isStarted());

    // Once the quit stops observing, a change is no longer followed.
    engine.stopObservingNotifications();
    network.setReachable(false);
    EXPECT_TRUE(device->sync().isStarted());
    engine.stopAllLoops();
}

TEST_F(ShellSyncTest,
       GivenASyncAfterStart_WhenTheShellIsAsked_ThenTheAccountsWholeSyncRunsAndThenTheCompletion)
{
    bool completed = false;
    EXPECT_TRUE(shell->syncAndRunAfter([&] { completed = true; }));
    ASSERT_TRUE(account.pendingSync);
    EXPECT_FALSE(completed);
    account.pendingSync();
    EXPECT_TRUE(completed);

    // Without a sync server nothing can run: the caller starts the loops itself.
    account.available = false;
    account.pendingSync = nullptr;
    EXPECT_FALSE(shell->syncAndRunAfter([] {}));
    EXPECT_FALSE(account.pendingSync);
}

TEST_F(ShellSyncTest, GivenAProjectStillToBeFetched_WhenItIsSelected_ThenItsItemsComeFromTheServer)
{
    const qint64 theirs = server.createProjectAsOtherDevice({{"name", "shared"}});
    server.createItemAsOtherDevice({{"name", "their task"}, {"idd", 31}}, theirs);
    TODOList* lazy = ProjectBuilder(device->context(), "shared").withId(theirs).lazy();
    settle();

    window->projectListView()->selectProject(lazy);
    ASSERT_TRUE(waitUntil([&] { return !lazy->lazyFetch(); }));
    settle();
    EXPECT_EQ(window->board().selectedProject(), lazy);
    EXPECT_EQ(names(window->board().controller(0).arrangedObjects()), QStringList{"their task"});
}

TEST_F(ShellSyncTest,
       GivenARepeatingItemCompleted_WhileItsNextOccurrenceUploads_ThenUndoAndRedoAreOfferedAndHoldOnTheServer)
{
    TODOList* project = ProjectBuilder(device->context(), "P");
    TODOItem* weekly = ItemBuilder("Weekly")
                           .due(QDateTime(QDate(2026, 3, 2), QTime(9, 0)))
                           .withValue("frequency", "Weekly")
                           .madeBy(*device->document, project);
    tick(5'000);
    ASSERT_TRUE(weekly->isValidUniID());
    window->showProject(project);
    window->board().selectItem(weekly);
    QAction* undo = action(QStringLiteral("Undo"));
    QAction* redo = action(QStringLiteral("Redo"));
    ASSERT_TRUE(undo && redo);

    // The server takes the next occurrence; its answer is still on the way.
    server.holdNext(QStringLiteral("/api/v1/item/"), 1, PathMatch::Exact);
    action(QStringLiteral("Toggle Completed"))->trigger();
    ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    ASSERT_EQ(openNamed("Weekly").size(), 1u);
    ASSERT_NE(openNamed("Weekly").front(), weekly);
    EXPECT_TRUE(undo->isEnabled());
    undo->trigger();
    EXPECT_EQ(openNamed("Weekly"), std::vector<TODOItem*>{weekly});

    // The answer comes after the undo: the occurrence goes on the server too, and comes back
    // neither here nor there.
    server.releaseHeldReplies();
    tick(10'000);
    EXPECT_EQ(openNamed("Weekly"), std::vector<TODOItem*>{weekly});
    EXPECT_EQ(openOnServer("Weekly"), 1);
    EXPECT_TRUE(redo->isEnabled());

    redo->trigger();
    tick(10'000);
    EXPECT_EQ(weekly->objectState(), ObjectState::Completed);
    EXPECT_EQ(openNamed("Weekly").size(), 1u);
    EXPECT_EQ(openOnServer("Weekly"), 1);
    EXPECT_TRUE(undo->isEnabled());
}

TEST_F(ShellSyncTest, GivenCompletionsWhoseUploadsWereAnswered_ThenEachCanBeUndoneAndRedone)
{
    TODOList* project = ProjectBuilder(device->context(), "P");
    const std::vector<TODOItem*> items = {ItemBuilder("first").madeBy(*device->document, project),
                                          ItemBuilder("second").madeBy(*device->document, project)};
    tick(5'000);
    window->showProject(project);
    QAction* undo = action(QStringLiteral("Undo"));
    QAction* redo = action(QStringLiteral("Redo"));
    ASSERT_TRUE(undo && redo);

    for (TODOItem* item : items) {
        window->board().selectItem(item);
        action(QStringLiteral("Toggle Completed"))->trigger();
        tick(5'000);
        ASSERT_EQ(server.item(item->serverID()).value("state").toInt(), 1) << item->name().toStdString();
        EXPECT_TRUE(undo->isEnabled()) << item->name().toStdString();
        undo->trigger();
        EXPECT_EQ(item->objectState(), ObjectState::Open);
        tick(5'000);
        EXPECT_TRUE(redo->isEnabled()) << item->name().toStdString();
        redo->trigger();
        EXPECT_EQ(item->objectState(), ObjectState::Completed);
    }
}

TEST_F(ShellSyncTest, GivenTheHelpProject_WhenUploadedAndSyncedIntoANewStore_ThenItsItemsKeepTheirOrder)
{
    TODOList* help = window->commands().downloadHelpList();
    ASSERT_NE(help, nullptr);
    const QStringList made = boardOrder(*window);
    ASSERT_TRUE(made.front().startsWith(QStringLiteral("0 Welcome!")));
    tick(10'000);
    for (TODOItem* item : device->items()) {
        if (item->list() == help) {
            EXPECT_EQ(server.item(item->serverID()).value("index").toInteger(-1), item->index());
        }
    }

    // A new device takes the account in with a whole sync, and starts again later.
    SyncDevice& fresh = addOtherDevice();
    for (const char* run : {"synced", "reopened"}) {
        start(fresh);
        {
            MainWindow shown(*fresh.document, fresh.services);
            shown.showProject(fresh.projectWithID(help->id_()));
            EXPECT_EQ(boardOrder(shown), made) << run;
        }
        fresh.quit();
    }
}

} // namespace qv::test
