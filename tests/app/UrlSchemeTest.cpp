#include "tests/app/ShellFakes.h"

namespace qv::test {

namespace {

using UrlSchemeTest = ShellFixture;

const QString kProjectLink = QStringLiteral("quadrivo://sync.test:8443/api/v1/project/42");
const QString kItemLink = QStringLiteral("quadrivo://sync.test:8443/api/v1/item/77");
const QString kProjectNotFound = QStringLiteral("The project was not found");
const QString kItemNotFound =
    QStringLiteral("The item was not found. Maybe you don't own that item, it was already erased or it is "
                   "being filtered by the UI at this moment.");

} // namespace

TEST_F(UrlSchemeTest,
       GivenAProjectThatIsThereOrArrivesWithinThreeSeconds_WhenItsLinkArrives_ThenItIsSelectedQuietly)
{
    launch();
    bool synced = true;
    window.projectExists = [&](qint64 id) {
        return id == 42 && synced;
    };
    for (const bool there : {true, false}) {
        SCOPED_TRACE(there ? "there" : "arrives");
        log.calls.clear();
        synced = there;
        delegate->handleURL(kProjectLink);
        synced = true;
        scheduler.advance(20'000);
        EXPECT_EQ(log.calls.filter(QStringLiteral("window.select")).size(), there ? 1 : 2);
        EXPECT_EQ(log.has(QStringLiteral("window.requestAttention")), !there);
        EXPECT_TRUE(log.calls.filter(QStringLiteral("window.status")).isEmpty());
        EXPECT_TRUE(alerts.shown().isEmpty());
    }
    EXPECT_TRUE(logCapture.contains(kProjectLink));
}

TEST_F(UrlSchemeTest,
       GivenAProjectThatNeverArrives_WhenItsLinkArrives_ThenItIsTriedAt3And13SecondsAndReportedNotFound)
{
    launch();
    log.calls.clear();

    delegate->handleURL(kProjectLink);
    EXPECT_EQ(log.calls,
              (QStringList{QStringLiteral("window.selectProject 42"),
                           QStringLiteral("window.requestAttention"), QStringLiteral("window.show")}));

    scheduler.advance(2999);
    EXPECT_EQ(log.calls.count(QStringLiteral("window.selectProject 42")), 1);
    scheduler.advance(1);
    EXPECT_EQ(log.calls.count(QStringLiteral("window.selectProject 42")), 2);
    EXPECT_EQ(window.statusMessage, QStringLiteral("Syncing and searching for project..."));

    scheduler.advance(9999);
    EXPECT_TRUE(alerts.shown().isEmpty());
    scheduler.advance(1);
    EXPECT_EQ(log.calls.count(QStringLiteral("window.selectProject 42")), 3);
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown()[0].message, QStringLiteral("Not found"));
    EXPECT_EQ(alerts.shown()[0].informative, kProjectNotFound);
    EXPECT_EQ(alerts.shown()[0].button, QStringLiteral("Ok"));
    EXPECT_EQ(window.statusMessage, QString());
}

TEST_F(UrlSchemeTest, GivenAnItemThatArrivesOnTheThirdTry_WhenRetried_ThenTheStatusIsClearedWithoutAlert)
{
    launch();
    int tries = 0;
    window.itemExists = [&](qint64 id) {
        return id == 77 && ++tries == 3;
    };

    delegate->handleURL(kItemLink);
    scheduler.advance(3000);
    EXPECT_EQ(window.statusMessage, QStringLiteral("Syncing and searching for item..."));
    scheduler.advance(10'000);

    EXPECT_EQ(tries, 3);
    EXPECT_EQ(window.statusMessage, QString());
    EXPECT_TRUE(alerts.shown().isEmpty());
}

TEST_F(UrlSchemeTest, GivenTwoLinksInQuickSuccession_WhenNeitherIsFound_ThenEachRunsItsOwnChain)
{
    launch();
    delegate->handleURL(kProjectLink);
    scheduler.advance(500);
    delegate->handleURL(kItemLink);
    scheduler.advance(14'000);
    EXPECT_EQ(log.calls.count(QStringLiteral("window.selectProject 42")), 3);
    EXPECT_EQ(log.calls.count(QStringLiteral("window.selectItem 77")), 3);
    ASSERT_EQ(alerts.shown().size(), 2);
    EXPECT_EQ(alerts.shown()[1].informative, kItemNotFound);
}

TEST_F(UrlSchemeTest,
       GivenALinkThatStartedTheApplication_WhenTheDocumentOpensMeanwhile_ThenTheRetryFindsTheProject)
{
    window.projectExists = [](qint64 id) {
        return id == 42;
    };
    makeDelegate().applicationWillFinishLaunching();
    delegate->handleURL(kProjectLink);
    delegate->applicationDidFinishLaunching();
    scheduler.advance(3000);

    EXPECT_TRUE(log.has(QStringLiteral("window.selectProject 42")));
    EXPECT_FALSE(log.has(QStringLiteral("window.reselectLastProject")));
    EXPECT_TRUE(alerts.shown().isEmpty());
}

TEST_F(
    UrlSchemeTest,
    GivenASyncLinkWithin120SecondsAFileOrAnotherLink_WhenItArrives_ThenNothingVisibleHappensAndTheRestIsIgnored)
{
    launch();
    sync.lastSync = clock.now().addSecs(-60);
    log.calls.clear();
    delegate->handleURL(QStringLiteral("quadrivo://sync/"));
    EXPECT_TRUE(log.calls.isEmpty());
    EXPECT_TRUE(logCapture.contains(QStringLiteral("It's been only 60 seconds since last sync; Passing")));

    sync.lastSync = clock.now().addSecs(-600);
    delegate->handleURL(QStringLiteral("quadrivo://sync/"));
    EXPECT_EQ(log.calls, QStringList{QStringLiteral("window.syncAndRunAfter")});

    // A file is only logged; other links are ignored.
    log.calls.clear();
    delegate->handleURL(QStringLiteral("file:///tmp/notes.txt"));
    EXPECT_TRUE(logCapture.contains(QStringLiteral("Application open file")));
    EXPECT_TRUE(log.calls.isEmpty());
    delegate->handleURL(QStringLiteral("quadrivo://elsewhere/api/v1/project/42"));
    delegate->handleURL(QStringLiteral("quadrivo://sync.test:8443/api/v1/project/abc"));
    scheduler.advance(20'000);
    EXPECT_TRUE(log.calls.filter(QStringLiteral("window.")).isEmpty());
    EXPECT_TRUE(alerts.shown().isEmpty());

    // Text that is no link is not taken as one; the bare scheme link welcomes.
    delegate.reset();
    makeDelegate();
    delegate->handleURL(QStringLiteral("not a link at all"));
    delegate->handleURL(QStringLiteral("quadrivo://bad host/%zz"));
    EXPECT_FALSE(delegate->receivedURL());
    launch();
    delegate->handleURL(QStringLiteral("quadrivo://"));
    EXPECT_EQ(window.statusMessage, QStringLiteral("Welcome to Quadrivo!"));
}

} // namespace qv::test
