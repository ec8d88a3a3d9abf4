#include "tests/ui/board/BoardDocumentFixture.h"

#include "core/util/ValueTransformerRegistry.h"
#include "ui/board/AccountCommands.h"
#include "ui/board/BoardImages.h"
#include "ui/board/LoginTransformers.h"
#include "ui/board/StatusBarController.h"
#include "ui/board/widgets/LoginStatusButton.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WindowCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMimeData>

namespace qv::test {
namespace {

// An engine whose status message the window observes.
class StatusEngine final : public QObject, public StubSyncEngine {
    Q_OBJECT
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(bool isOnline READ isOnline NOTIFY isOnlineChanged)
public:
    QString message;
    QString statusMessage() const { return message; }
    void say(const QString& text)
    {
        message = text;
        emit statusMessageChanged();
    }
    void goOnline(bool isOnline)
    {
        online = isOnline;
        emit isOnlineChanged();
    }
signals:
    void statusMessageChanged();
    void isOnlineChanged();
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
        commands().setServerOrigins(QStringLiteral("https://sync.test"), QStringLiteral("https://www.test"));
        commands().setExternalOpener([this](const QUrl& url) {
            opened << url.toString();
            return true;
        });
        window->show();
        scheduler.runPosted();
        window->showProject(project);
    }
    void TearDown() override { window.reset(); }

    WindowCommands& commands() const { return window->commands(); }
    QAction* action(const char* name) const { return commands().action(QString::fromLatin1(name)); }
    QString statusText() const { return window->findChild<QLabel*>(QStringLiteral("statusMessage"))->text(); }

    StatusEngine engine;
    std::unique_ptr<MainWindow> window;
    QStringList opened;
};

} // namespace

TEST_F(WindowCommandsTest,
       GivenNoAccount_WhenTheWindowOpens_ThenAccountCommandsAreOffAndSayWhyWithoutASignInPrompt)
{
    const QString noServer =
        QStringLiteral("This copy of Quadrivo has no sync server set (QUADRIVO_SYNC_URL).");
    for (const char* name : {"syncWindow", "login", "logout"}) {
        EXPECT_FALSE(action(name)->isEnabled()) << name;
        EXPECT_EQ(action(name)->toolTip(), noServer) << name;
    }
    // The status button offers no sign-in either, and says why on itself and its menu.
    LoginStatusButton* button = window->loginStatusButton();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), QStringLiteral("No Sync Server"));
    EXPECT_EQ(button->toolTip(), noServer);
    EXPECT_EQ(button->menu()->toolTip(), noServer);
    EXPECT_TRUE(button->menu()->toolTipsVisible());
    scheduler.advance(10'000);
    engine.say(QStringLiteral("Not signed in -- Click Sync to sign in"));
    EXPECT_TRUE(statusText().isEmpty());
    engine.say(QStringLiteral("Syncing..."));
    EXPECT_EQ(statusText(), QStringLiteral("Syncing..."));
    // The engine's status has no clearing of its own.
    scheduler.advance(60'000);
    EXPECT_EQ(statusText(), QStringLiteral("Syncing..."));
}

TEST_F(WindowCommandsTest,
       GivenAnAccount_WhenSigningInSyncingAndOut_ThenCommandsFollowAndTheHelpProjectIsOfferedOnce)
{
    FakeAccount account;
    commands().setAccount(&account, nullptr);
    EXPECT_TRUE(action("syncWindow")->isEnabled());
    EXPECT_TRUE(action("login")->isEnabled());
    EXPECT_FALSE(action("logout")->isEnabled());

    action("login")->trigger();
    EXPECT_FALSE(action("login")->isEnabled());
    EXPECT_TRUE(action("logout")->isEnabled());
    alerts.answers = {0}; // "Yes"
    action("syncWindow")->trigger();
    action("syncWindow")->trigger();
    action("logout")->trigger();
    EXPECT_EQ(account.calls, (QStringList{"login", "sync", "sync", "logout"}));
    EXPECT_TRUE(action("login")->isEnabled());
    // Asked after the first sync only.
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message, QStringLiteral("Download help project"));
    EXPECT_EQ(
        alerts.shown[0].informative,
        QStringLiteral("We prepared a project for you to learn some of the basic features. Do you want to "
                       "download it now?"));
    EXPECT_EQ(alerts.shown[0].buttons, (QStringList{"Yes", "No"}));
    EXPECT_TRUE(preferences.boolValue(QStringLiteral("_askedDownloadHelpList")));
    // "Yes" made the help project, selected, with its explanations in every quadrant, first one on top.
    TODOList* help = window->board().selectedProject();
    ASSERT_NE(help, project);
    EXPECT_EQ(help->name(), QStringLiteral("Getting Started with Quadrivo"));
    for (int q = 0; q < 4; ++q)
        EXPECT_GE(window->board().controller(q).arrangedObjects().size(), 2u) << q;
    EXPECT_TRUE(names(window->board().controller(0).arrangedObjects()).front().startsWith("Welcome!"));

    // Once quitting has begun they do nothing.
    commands().setTerminatingQuery([] { return true; });
    action("syncWindow")->trigger();
    action("login")->trigger();
    EXPECT_EQ(account.calls.size(), 4);
    commands().setAccount(nullptr, nullptr);
}

TEST_F(WindowCommandsTest,
       GivenAProjectAndItemUnsyncedThenSynced_WhenLinkedOrOpened_ThenAnAlertInExactWordsThenTheLinkOrThePage)
{
    window->board().selectItem(a);
    const QString unsynced = QStringLiteral(
        "This project is not synced yet. Please make sure that you are logged in, and that the "
        "project has synced to our server. Then try ");
    const struct {
        const char* command;
        QString message;
        QString informative;
    } cases[] = {
        {"qvWebMenu", "Unsynced project", unsynced + "to open the web view again."},
        {"getLinkForProject", "Unsynced project", unsynced + "again."},
        {"getLinkForItem", "Unsynced item",
         "This itemis not synced yet. Please make sure that you are logged in, and that the item has synced. "
         "Then try again."},
    };
    for (const auto& expected : cases) {
        alerts.shown.clear();
        action(expected.command)->trigger();
        ASSERT_EQ(alerts.shown.size(), 1) << expected.command;
        EXPECT_EQ(alerts.shown[0].message, expected.message);
        EXPECT_EQ(alerts.shown[0].informative, expected.informative);
        EXPECT_EQ(alerts.shown[0].buttons, QStringList{"OK"});
    }
    EXPECT_TRUE(opened.isEmpty());

    alerts.shown.clear();
    ProjectBuilder(project).withId(77);
    a->setServerID(4242);

    action("getLinkForItem")->trigger();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    ASSERT_EQ(copied->urls().size(), 1);
    EXPECT_TRUE(copied->text().endsWith(QStringLiteral("4242")));
    EXPECT_EQ(copied->urls().front().toString(), copied->text());
    EXPECT_EQ(statusText(), QStringLiteral("Copied URL to the pasteboard: ") + copied->text());

    action("getLinkForProject")->trigger();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().endsWith(QStringLiteral("77")));

    action("qvWebMenu")->trigger();
    EXPECT_EQ(opened, QStringList{"https://sync.test/qvweb/pr/77/"});
    EXPECT_TRUE(alerts.shown.isEmpty());
}

// The service's pages need the signed-in session of the program's own browser window; a page
// that went to the desktop's browser instead would ask the user to sign in there.
TEST_F(WindowCommandsTest,
       GivenTheServicesPages_WhenOpenedFromTheirMenus_ThenEachOpensInTheProgramsBrowserNotTheDesktops)
{
    struct RecordingBrowser final : InternalBrowser {
        QStringList shown;
        void showURLInInternalWebBrowser(const QUrl& url) override { shown << url.toString(); }
    } browser;
    FakeAccount account;
    commands().setAccount(&account, &browser);
    const std::pair<const char*, const char*> pages[] = {
        {"showDailyReport", "/accounts/report/?embedded"},
        {"showWeeklyReport", "/accounts/weekly_report/?embedded"},
        {"showHotList", "/hot/?embedded"},
        {"showAccountMgmtPage", "/manage/account?"},
        {"showCollaboratorsManagementPage", "/manage/collaborators/?"},
        {"associateEvernoteAccount", "/evernote/import/?"},
        {"changeAvatar", "/avatar/change/"},
        {"deleteAvatar", "/avatar/delete/"},
        {"showCalendarFeeds", "/qvweb/feeds/?embedded"},
        {"showTeamWebPage", "https://www.test/collaboration_mac?"},
    };
    for (const auto& [name, address] : pages) {
        browser.shown.clear();
        action(name)->trigger();
        ASSERT_EQ(browser.shown.size(), 1) << name;
        EXPECT_TRUE(browser.shown.front().contains(QLatin1String(address))) << name;
    }
    EXPECT_TRUE(opened.isEmpty());

    // Deleting every avatar is the one page left to the desktop's browser.
    browser.shown.clear();
    commands().openWebPage(WebPage::DeleteAvatars);
    EXPECT_EQ(opened, QStringList{"https://sync.test/avatar/delete/"});
    EXPECT_TRUE(browser.shown.isEmpty());
    commands().setAccount(nullptr, nullptr);
}

TEST_F(WindowCommandsTest,
       GivenWindowMessages_WhenTimePasses_ThenEachClears15SecondsAfterTheLastAndHiddenOnesAreDropped)
{
    window->setStatusBarMessage(QStringLiteral("first"));
    scheduler.advance(10'000);
    window->setStatusBarMessage(QStringLiteral("second"));
    scheduler.advance(14'999);
    EXPECT_EQ(statusText(), QStringLiteral("second"));
    scheduler.advance(1);
    EXPECT_TRUE(statusText().isEmpty());

    // The engine's status waits under a message for its 15 s, then shows its latest.
    window->setStatusBarMessage(QStringLiteral("Sync failed: why"));
    engine.say(QStringLiteral("Syncing from Server"));
    engine.say(QStringLiteral("Your data was just synced"));
    scheduler.advance(14'999);
    EXPECT_EQ(statusText(), QStringLiteral("Sync failed: why"));
    scheduler.advance(1);
    EXPECT_EQ(statusText(), QStringLiteral("Your data was just synced"));
    engine.say(QString());

    // A notice is not pushed aside: the message that came meanwhile follows it.
    StatusBarController& bar = commands().statusBar();
    EXPECT_TRUE(bar.setStatusBarNotice(QStringLiteral("notice")));
    window->setStatusBarMessage(QStringLiteral("Done logging in"));
    scheduler.advance(14'999);
    EXPECT_EQ(statusText(), QStringLiteral("notice"));
    scheduler.advance(1);
    EXPECT_EQ(statusText(), QStringLiteral("Done logging in"));
    scheduler.advance(15'000);
    EXPECT_TRUE(statusText().isEmpty());

    window->hide();
    window->setStatusBarMessage(QStringLiteral("unseen"));
    EXPECT_FALSE(bar.setStatusBarNotice(QStringLiteral("unseen")));
    EXPECT_TRUE(statusText().isEmpty());
}

TEST_F(WindowCommandsTest,
       GivenAKeptSessionOnlineBeforeTheWindowObserves_WhenObservingStarts_ThenTheButtonSaysOnline)
{
    engine.online = false;
    FakeAccount account;
    account.user = AccountUser{QStringLiteral("me@example.com"), 7, {}};
    preferences.setValue("_currentUser", "me@example.com");
    commands().setAccount(&account, nullptr);
    LoginStatusButton* button = window->loginStatusButton();
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), QStringLiteral("Not Signed In: me@example.com"));
    // The keep-alive answered before anyone listened: no change is announced afterwards.
    engine.online = true;
    scheduler.advance(10'000);
    EXPECT_EQ(button->text(), QStringLiteral("Online: me@example.com"));
    EXPECT_TRUE(action("logout")->isEnabled());
}

TEST_F(WindowCommandsTest, GivenAnAddressWithAnAmpersand_ThenTheAccountButtonShowsItAsTypedWithoutAShortcut)
{
    FakeAccount account;
    account.user = AccountUser{QStringLiteral("r&d@example.com"), 7, {}};
    preferences.setValue("_currentUser", "r&d@example.com");
    commands().setAccount(&account, nullptr);
    LoginStatusButton* button = window->loginStatusButton();
    ASSERT_TRUE(button);
    EXPECT_TRUE(button->text().endsWith(QStringLiteral(": r&&d@example.com"))) // shown with one "&"
        << button->text().toStdString();
    EXPECT_TRUE(QKeySequence::mnemonic(button->text()).isEmpty());
}

TEST_F(WindowCommandsTest,
       GivenTheAccountButton_WhenTheUserSignsInAndTheirPictureArrives_ThenItsTitleAndPictureFollow)
{
    FakeAccount account;
    commands().setAccount(&account, nullptr);
    engine.goOnline(false);
    scheduler.advance(10'000);
    QImage mine;
    registerLoginTransformers(window->valueTransformers(), {{},
                                                            [&](const QString&) { return mine; },
                                                            [this] {
                                                                return engine.online;
                                                            }});
    LoginStatusButton* button = window->loginStatusButton();
    ASSERT_TRUE(button);
    const auto shownColour = [&] {
        return button->icon().pixmap(QSize(80, 80)).toImage().pixelColor(40, 40);
    };
    const QImage signIn = BoardImages::imageNamed(QStringLiteral("mac_sync_offline"));
    const auto showsSignIn = [&] {
        return button->icon().pixmap(signIn.size()).toImage().convertToFormat(signIn.format()) == signIn;
    };
    QStringList menu;
    for (QAction* item : button->menu()->actions())
        menu << item->objectName();
    EXPECT_EQ(menu, (QStringList{"syncWindow", "login", "logout"}));
    EXPECT_EQ(button->text(), QStringLiteral("Click Here to Sign In"));
    EXPECT_TRUE(showsSignIn());

    // Signing in stores the user; the engine goes online afterwards.
    preferences.setValue("_currentUser", "me@example.com");
    action("login")->trigger();
    EXPECT_EQ(button->text(), QStringLiteral("Not Signed In: me@example.com"));
    engine.goOnline(true);
    EXPECT_EQ(button->text(), QStringLiteral("Online: me@example.com"));
    EXPECT_TRUE(showsSignIn());

    // The picture's arrival is announced with a redraw.
    mine = QImage(80, 80, QImage::Format_ARGB32);
    mine.fill(Qt::red);
    window->redisplayLoginStatusButton();
    EXPECT_EQ(shownColour(), QColor(Qt::red));
    engine.goOnline(false);
    EXPECT_NE(shownColour(), QColor(Qt::red));
    EXPECT_EQ(shownColour().red(), shownColour().blue());
}

TEST_F(WindowCommandsTest, GivenADialogLeftOpenBySignIn_WhenTheFirstSyncEnds_ThenTheHelpQuestionWaitsForIt)
{
    FakeAccount account;
    commands().setAccount(&account, nullptr);
    QDialog notice(window.get()); // the password notice, say
    notice.setModal(true);
    notice.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &notice);
    alerts.answers = {1}; // "No"
    action("syncWindow")->trigger();
    EXPECT_TRUE(alerts.shown.empty()); // not opened on top of it
    notice.accept();
    QApplication::processEvents();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].message, QStringLiteral("Download help project"));
    commands().setAccount(nullptr, nullptr);
}

TEST_F(WindowCommandsTest, GivenNoItemSelected_ThenChooseIconIsOffUntilOneIs)
{
    QAction* choose = action("showImageWindow");
    ASSERT_NE(choose, nullptr);
    EXPECT_FALSE(choose->isEnabled());
    window->board().enableQuadrantAndSelectRows(0, {0}, false);
    EXPECT_TRUE(choose->isEnabled());
    window->board().controller(0).clearSelection();
    EXPECT_FALSE(choose->isEnabled());
}

} // namespace qv::test

#include "WindowCommandsTest.moc"
