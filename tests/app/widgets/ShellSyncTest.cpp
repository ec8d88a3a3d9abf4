#include "tests/sync/SyncFixture.h"

#include "tests/support/DocumentFakes.h"

#include "app/ShellAdapters.h"
#include "ui/board/AccountCommands.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WindowCommands.h"

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
