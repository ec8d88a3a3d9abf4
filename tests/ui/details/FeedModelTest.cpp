// The feed's decisions against the fake server: which links stay inside, when the view reloads,
// the comment input (sending, unsent text per item, height, a comment whose answer was lost) and
// the people filter's script.
#include "ui/details/FeedModel.h"

#include "core/util/BuildInfo.h"
#include "platform/NotificationCenter.h"
#include "sync/SyncNotifications.h"
#include "tests/support/CommentsFixture.h"
#include "ui/details/DetailsNotifications.h"

#include <QFont>

namespace qv::test {
namespace {

class Feed : public CommentsFixture {
protected:
    void startFeed()
    {
        startWithItems();
        model = std::make_unique<FeedModel>(device->services, *comments, device->sync());
        QObject::connect(model.get(), &FeedModel::pageChanged, [this](const QString& html) {
            shown << (html.isNull() ? QStringLiteral("blank") : html);
        });
        model->setOpener([this](const QUrl& url) { opened << url.toString(); });
        device->notifications.addObserver(this, kNotificationCommentsRefreshed,
                                          [this](const Notification&) { ++refreshed; });
    }
    ~Feed() override
    {
        device->notifications.removeObserver(this);
        model.reset();
    }
    void type(const QString& text) { model->setInputText(text, font, 200); }
    QString page(const char* path) const { return server.baseUrl().toString() + QLatin1String(path); }

    std::unique_ptr<FeedModel> model;
    QStringList shown;
    QStringList opened;
    int refreshed = 0;
    QFont font{QStringLiteral("DejaVu Sans"), 10};
};

TEST_F(Feed, GivenLinksInThePage_WhenClicked_ThenFeedLinksSetTheLimitAndReloadAndOthersGoOutside)
{
    startFeed();
    model->setRepresentedObject(item);
    settle();
    const QString feed = QStringLiteral("/api/v1/item/%1/comments.html/").arg(item->serverID());

    EXPECT_TRUE(model->acceptNavigation(QUrl(page("/")), false));
    EXPECT_FALSE(model->acceptNavigation(QUrl(page("") + feed + "?limit=50"), true));
    settle();
    EXPECT_EQ(comments->getLimitOfCommentsForObject(item), 50);
    EXPECT_EQ(pageRequests().last(), feed + "?limit=50");
    // The whole account's page ends in "html"; without "limit" it only reloads.
    EXPECT_FALSE(model->acceptNavigation(QUrl(page("/api/v1/comment/html/")), true));
    settle();
    EXPECT_EQ(pageRequests().size(), 3);
    EXPECT_EQ(comments->getLimitOfCommentsForObject(item), 50);
    for (const QString& outside : {QStringLiteral("https://elsewhere.example/api/v1/comment/html/?limit=5"),
                                   page("/api/v1/item/1/"), QStringLiteral("mailto:bob@x.com")})
        EXPECT_FALSE(model->acceptNavigation(QUrl(outside), true)) << qPrintable(outside);
    EXPECT_EQ(opened.size(), 3);
    EXPECT_EQ(comments->getLimitOfCommentsForObject(nullptr), 0);
    EXPECT_EQ(model->internalBrowserAddress().toString(), server.baseUrl().toString() + feed +
                                                              "?limit=50&app_type=Halvern&type=" + kDeviceA +
                                                              "&version=" + BuildInfo::version());
}

TEST_F(Feed, GivenPagesArriving_ThenTheViewReloadsOnlyForANewPageAndUnsyncedItemsShowBlank)
{
    startFeed();
    serverComments.commentAs(QStringLiteral("bob@x.com"), itemUri(item), QStringLiteral("one"));
    model->setRepresentedObject(item);
    EXPECT_EQ(shown, QStringList{"blank"}); // nothing cached yet
    EXPECT_TRUE(model->isLoading());
    settle();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[1].contains("one"));
    EXPECT_FALSE(model->isLoading());
    EXPECT_EQ(refreshed, 1);

    // The same page again leaves the view (and the reader's place) alone.
    model->refresh();
    settle();
    EXPECT_EQ(shown.size(), 2);
    serverComments.commentAs(QStringLiteral("bob@x.com"), itemUri(item), QStringLiteral("two"));
    model->reloadFeed(false, true, true);
    settle();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[2].contains("two"));
    EXPECT_EQ(refreshed, 2);

    // Switching back shows the cached page at once; a hidden feed fetches nothing.
    model->setRepresentedObject(otherItem);
    settle();
    model->setRepresentedObject(item);
    EXPECT_TRUE(shown.last().contains("two"));
    model->setVisible(false);
    const int asked = int(pageRequests().size());
    model->reloadFeed(true, true, true);
    settle();
    EXPECT_EQ(pageRequests().size(), asked);

    model->setVisible(true);
    TODOItem* unsynced = ItemBuilder("new").madeBy(*device->document, project);
    model->setRepresentedObject(unsynced);
    EXPECT_EQ(shown.last(), "blank");
    EXPECT_FALSE(model->inputIsEnabled());
    model->setRepresentedObject(project);
    EXPECT_FALSE(model->showsInput());
}

TEST_F(Feed, GivenTheItemLoopChangedItems_ThenOnlyTheShownItemsFeedIsFetchedAgain)
{
    startFeed();
    model->setRepresentedObject(item);
    settle();
    serverComments.commentAs(QStringLiteral("bob@x.com"), itemUri(item), QStringLiteral("from bob"));
    const auto looped = [this](const TODOItem* changed) {
        device->notifications.post(kNotificationItemUpdaterLooped, nullptr,
                                   {{QStringLiteral("updatedItems"), QVariantList{changed->serverID()}}});
        settle();
    };
    const qsizetype asked = pageRequests().size();
    looped(otherItem);
    EXPECT_EQ(pageRequests().size(), asked);
    // Within the minute in which a page is not fetched again.
    looped(item);
    EXPECT_EQ(pageRequests().size(), asked + 1);
    EXPECT_TRUE(shown.last().contains("from bob"));
}

TEST_F(Feed, GivenCommentsTyped_ThenTheyTravelAsHtmlAndEachItemKeepsItsUnsentText)
{
    startFeed();
    EXPECT_EQ(FeedModel::commentHtml(QStringLiteral(" \ta\nb \t")), "a<br/>b");
    EXPECT_EQ(FeedModel::commentHtml(QStringLiteral("  \t ")), "");

    model->setRepresentedObject(item);
    settle();
    EXPECT_TRUE(model->inputIsEnabled());
    type(QStringLiteral("for one"));
    model->setRepresentedObject(otherItem);
    EXPECT_EQ(model->inputText(), "");
    type(QStringLiteral("   "));
    EXPECT_FALSE(model->sendComment());
    model->setRepresentedObject(item);
    EXPECT_EQ(model->inputText(), "for one");
    type(QString());
    model->setRepresentedObject(otherItem);
    model->setRepresentedObject(item);
    EXPECT_EQ(model->inputText(), "");

    type(QStringLiteral("a\nb"));
    server.holdNext(QStringLiteral("/api/v1/comment/"));
    EXPECT_TRUE(model->sendComment());
    EXPECT_FALSE(model->inputIsEnabled());
    EXPECT_FALSE(model->sendComment());
    ASSERT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    // A page fetched while the comment is out does not replace what the reply will show.
    const int before = int(shown.size());
    model->reloadFeed(false, true, true);
    ASSERT_TRUE(waitUntil([&] { return !model->isLoading(); }));
    EXPECT_EQ(shown.size(), before);
    server.releaseHeldReplies();
    settle();
    EXPECT_EQ(requests("POST", QStringLiteral("/api/v1/comment/")).first().json()["text"].toString(),
              "a<br/>b");
    EXPECT_TRUE(shown.last().contains("a<br/>b"));
    EXPECT_EQ(model->inputText(), "");
    EXPECT_TRUE(model->inputIsEnabled());

    // A comment that failed stays for another try.
    type(QStringLiteral("again"));
    server.dropNext(QStringLiteral("/api/v1/comment/"), 2); // a dropped reused connection is tried again
    EXPECT_TRUE(model->sendComment());
    settle();
    EXPECT_EQ(model->inputText(), "again");
    EXPECT_TRUE(model->inputIsEnabled());
}

TEST_F(Feed, GivenACommentStoredWhoseAnswerIsLost_ThenTheFeedIsLookedAtBeforeTheInputOpensAndItShowsOnce)
{
    startFeed();
    const QString said = QStringLiteral("Done & <dusted>\nsee you");
    // The same words said before: only a newer one is this comment.
    serverComments.commentAs(kUser, itemUri(item), FeedModel::commentHtml(said));
    model->setRepresentedObject(item);
    settle();
    std::vector<bool> enabled;
    QObject::connect(model.get(), &FeedModel::inputEnabledChanged, [&](bool on) { enabled.push_back(on); });
    const QString posts = QStringLiteral("/api/v1/comment/");
    const QString feed = QStringLiteral("/api/v1/item/%1/comments.html/").arg(item->serverID());

    tick(60'000);
    type(said);
    server.applyThenDropNext(posts);
    server.holdNext(feed);
    EXPECT_TRUE(model->sendComment());
    EXPECT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; })) << "the feed was not fetched";
    EXPECT_EQ(model->notice(), "The answer to your comment was lost. Checking whether it arrived...");
    // Until the feed has answered nothing more can go out.
    EXPECT_FALSE(model->inputIsEnabled());
    EXPECT_FALSE(model->sendComment());
    server.releaseHeldReplies();
    settle();
    EXPECT_EQ(count("POST", posts), 1);
    ASSERT_EQ(serverComments.comments.size(), 2);
    EXPECT_EQ(shown.last().count(QStringLiteral("Done &amp; &lt;dusted&gt;<br/>see you")), 2);
    EXPECT_EQ(model->inputText(), "");
    EXPECT_EQ(model->notice(), "");
    EXPECT_EQ(enabled, (std::vector<bool>{false, true}));

    // Lost before the server took it: the feed holds no newer one, so the text stays.
    type(said);
    server.dropNext(posts);
    EXPECT_TRUE(model->sendComment());
    settle();
    EXPECT_EQ(serverComments.comments.size(), 2);
    EXPECT_EQ(model->inputText(), said);
    EXPECT_EQ(model->notice(), "Your comment did not arrive. You can send it again.");
    EXPECT_TRUE(model->inputIsEnabled());

    // A refusal is told as one, with no look at the feed.
    const qsizetype asked = pageRequests().size();
    server.failNext(posts, 400);
    EXPECT_TRUE(model->sendComment());
    settle();
    EXPECT_EQ(model->notice(), "Your comment was not sent. You can send it again.");
    EXPECT_EQ(model->inputText(), said);
    EXPECT_TRUE(model->inputIsEnabled());
    EXPECT_EQ(pageRequests().size(), asked);
    EXPECT_EQ(serverComments.comments.size(), 2);
}

TEST_F(Feed, GivenACommentsAnswerLostWhileOffline_ThenItIsLookedForOnceOnlineAndAnotherItemKeepsItsOwn)
{
    startFeed();
    model->setRepresentedObject(item);
    settle();
    server.setOnline(false);
    device->sync().fire();
    settle();
    ASSERT_FALSE(device->sync().isOnline());

    type(QStringLiteral("while away"));
    server.applyThenFailNext(QStringLiteral("/api/v1/comment/"), 502);
    EXPECT_TRUE(model->sendComment());
    settle();
    // The feed cannot be fetched offline: the input stays closed.
    EXPECT_EQ(serverComments.comments.size(), 1);
    EXPECT_EQ(model->notice(), "The answer to your comment was lost. Checking whether it arrived...");
    EXPECT_FALSE(model->inputIsEnabled());
    EXPECT_FALSE(model->sendComment());
    model->setRepresentedObject(otherItem);
    EXPECT_EQ(model->notice(), "");
    EXPECT_TRUE(model->inputIsEnabled());

    server.setOnline(true);
    device->sync().fire();
    settle();
    ASSERT_TRUE(device->sync().isOnline());
    model->setRepresentedObject(item);
    EXPECT_EQ(model->inputText(), "");
    EXPECT_EQ(model->notice(), "");
    EXPECT_TRUE(model->inputIsEnabled());
    EXPECT_TRUE(comments->getCachedCommentsForObject(item).contains("while away"));
}

TEST_F(Feed, GivenTextTyped_ThenTheInputGrowsUpTo200AndReturnsTo37OnlyWhenEmptied)
{
    startFeed();
    model->setRepresentedObject(item);
    std::vector<double> heights{model->inputHeight()};
    QObject::connect(model.get(), &FeedModel::inputHeightChanged, [&](double h) { heights.push_back(h); });
    type(QStringLiteral("one line"));
    type(QStringLiteral("1\n2\n3\n4"));
    const double fourLines = model->inputHeight();
    type(QStringLiteral("1"));
    EXPECT_EQ(model->inputHeight(), fourLines);
    type(QStringLiteral("line\n").repeated(40));
    type(QString());
    EXPECT_EQ(heights.front(), FeedModel::kInputHeight);
    EXPECT_GT(fourLines, FeedModel::kInputHeight);
    EXPECT_EQ(heights.size(), 4U);
    EXPECT_EQ(heights[2], FeedModel::kMaxInputHeight);
    EXPECT_EQ(heights.back(), FeedModel::kInputHeight);
}

TEST_F(Feed, GivenPeopleChosenBeforeThePageIsReady_ThenTheScriptIsTriedThreeTimes100msApart)
{
    startFeed();
    QStringList scripts;
    std::vector<qint64> at;
    bool ready = false;
    model->setScriptRunner([&](const QString& script, const std::function<void(bool)>& done) {
        scripts << script;
        at.push_back(scheduler.nowMs());
        done(ready);
    });
    const qint64 start = scheduler.nowMs();
    model->showCommentsForEmails({QStringLiteral("b@x.com"), QStringLiteral("a@x.com")});
    model->showCommentsForEmails({QStringLiteral("a@x.com"), QStringLiteral("b@x.com")});
    scheduler.advance(1'000);
    EXPECT_EQ(scripts, QStringList(3, R"(showCommentsForEmails(["a@x.com","b@x.com"]))"));
    EXPECT_EQ(at, (std::vector<qint64>{start, start + 100, start + 200}));
    // A page that has loaded is asked once.
    ready = true;
    model->pageLoaded();
    scheduler.advance(1'000);
    EXPECT_EQ(scripts.size(), 4);
}

TEST_F(Feed, GivenAPageLargerThanTheViewTakesDirectly_ThenItIsServedWithTheServersBaseAddress)
{
    const QByteArray plain(2 * 1024 * 1024 - 100, 'x');
    EXPECT_TRUE(FeedModel::fitsInline(plain));
    // Each "<" takes three characters in the address.
    EXPECT_FALSE(FeedModel::fitsInline(QByteArray(800 * 1024, '<')));
    const QUrl base(QStringLiteral("http://127.0.0.1:8/"));
    EXPECT_EQ(FeedModel::withBaseAddress("<!DOCTYPE html><html><HEAD lang=\"x\"><title>t</title>", base),
              "<!DOCTYPE html><html><HEAD lang=\"x\"><base href=\"http://127.0.0.1:8/\"><title>t</title>");
    EXPECT_EQ(FeedModel::withBaseAddress("<p>no head</p>", base),
              "<base href=\"http://127.0.0.1:8/\"><p>no head</p>");
}

} // namespace
} // namespace qv::test
