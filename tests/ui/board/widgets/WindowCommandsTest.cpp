#include "tests/ui/board/BoardDocumentFixture.h"

#include "ui/board/AccountCommands.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/WindowCommands.h"

#include <QAction>
#include <QApplication>
#include <QLabel>

namespace qv::test {
namespace {

// An engine whose status message the window observes.
class StatusEngine final : public QObject, public StubSyncEngine {
    Q_OBJECT
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
public:
    QString message;
    QString statusMessage() const { return message; }
    void say(const QString& text)
    {
        message = text;
        emit statusMessageChanged();
    }
signals:
    void statusMessageChanged();
};

class FakeAccount final : public AccountCommands {
public:
    std::optional<AccountUser> user;
    QStringList calls;
    bool isAvailable() const override { return true; }
    std::optional<AccountUser> currentUser() const override { return user; }
    void sync(std::function<void()> onDidSync) override
    {
        calls << QStringLiteral("sync");
        onDidSync();
    }
    void login(std::function<void()> onDidLogin) override
    {
        calls << QStringLiteral("login");
        user = AccountUser{QStringLiteral("me@example.com"), 7, {}};
        onDidLogin();
    }
    void logout() override
    {
        calls << QStringLiteral("logout");
        user.reset();
    }
};

class WindowCommandsTest : public BoardDocumentFixture {
protected:
    void SetUp() override
    {
        addLaunchProject(2000);
        document->setSyncEngine(&engine);
        window = std::make_unique<MainWindow>(*document, services);
        scheduler.runPosted();
    }
    void TearDown() override { window.reset(); }

    WindowCommands& commands() const { return window->commands(); }
    QString statusText() const { return window->findChild<QLabel*>(QStringLiteral("statusMessage"))->text(); }

    StatusEngine engine;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST_F(WindowCommandsTest,
       GivenNoAccount_WhenTheWindowOpens_ThenAccountCommandsAreOffAndSayWhyWithoutASignInPrompt)
{
    for (QAction* action : {commands().syncAction(), commands().signInAction(), commands().signOutAction()}) {
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
        EXPECT_TRUE(action->toolTip().contains(QStringLiteral("not available")))
            << action->text().toStdString();
    }
    scheduler.advance(10'000);
    engine.say(QStringLiteral("Not signed in -- Click Sync to sign in"));
    EXPECT_TRUE(statusText().isEmpty());
    engine.say(QStringLiteral("Syncing..."));
    EXPECT_EQ(statusText(), QStringLiteral("Syncing..."));
}

TEST_F(WindowCommandsTest, GivenAnAccount_WhenSigningInSyncingAndOut_ThenTheCommandsFollowWhoIsSignedIn)
{
    FakeAccount account;
    commands().setAccount(&account, nullptr);
    EXPECT_TRUE(commands().syncAction()->isEnabled());
    EXPECT_TRUE(commands().signInAction()->isEnabled());
    EXPECT_FALSE(commands().signOutAction()->isEnabled());

    commands().signInAction()->trigger();
    EXPECT_FALSE(commands().signInAction()->isEnabled());
    EXPECT_TRUE(commands().signOutAction()->isEnabled());
    commands().syncAction()->trigger();
    commands().signOutAction()->trigger();
    EXPECT_EQ(account.calls, (QStringList{"login", "sync", "logout"}));
    EXPECT_TRUE(commands().signInAction()->isEnabled());

    // Once quitting has begun they do nothing.
    commands().setTerminatingQuery([] { return true; });
    commands().syncAction()->trigger();
    commands().signInAction()->trigger();
    EXPECT_EQ(account.calls.size(), 3);
    commands().setAccount(nullptr, nullptr);
}

} // namespace qv::test

#include "WindowCommandsTest.moc"
