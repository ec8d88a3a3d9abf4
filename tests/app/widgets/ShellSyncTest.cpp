#include "tests/sync/SyncFixture.h"

#include "tests/support/DocumentFakes.h"

#include "app/ShellAdapters.h"
#include "platform/rest/NetworkReachability.h"
#include "ui/board/AccountCommands.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WindowCommands.h"

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

    RecordingAccount account;
    NoBrowser browser;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<WindowShell> shell;
};

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

} // namespace qv::test
