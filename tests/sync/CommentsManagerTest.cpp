// The comments service against the fake server: the page addresses, the minute a page is held
// back, failures, error pages, what a comment asks back, and how a comment without a page ended.
#include "sync/CommentsManager.h"

#include "tests/support/CommentsFixture.h"

namespace qv::test {
namespace {

class Comments : public CommentsFixture {
protected:
    // Fetches and waits; "refused" when no request started, else "page" or "failed".
    QString fetch(const store::ManagedObject* object, int days = 0, bool force = false)
    {
        QString outcome = QStringLiteral("refused");
        const bool started = comments->retrieveHTMLCommentsForObject(
            object, days, [&](const QString&) { outcome = QStringLiteral("page"); },
            [&](const std::optional<QString>& error) { outcome = error ? "failed" : "failed without error"; },
            force);
        if (started)
            outcome = QStringLiteral("pending");
        settle();
        return outcome;
    }
    QString send(const QString& text, const store::ManagedObject* object)
    {
        QString outcome = QStringLiteral("pending");
        comments->sendComment(
            text, object, 0, [&](const QString& html) { outcome = html.isNull() ? "no page" : "page"; },
            [&](const SendFailure& failure) {
                outcome = failure.mayHaveArrived ? "unknown" : failure.error ? "failed" : "refused";
            });
        settle();
        return outcome;
    }
};

TEST_F(Comments, GivenPagesAskedFor_ThenTheyAreHeldBackForAMinuteUnlessForcedAndFailuresHoldNothing)
{
    startWithItems();
    EXPECT_EQ(CommentsManager::getURLForObject(nullptr), "/comment/html/");
    EXPECT_EQ(CommentsManager::getURLForObject(project),
              QStringLiteral("/project/%1/comments.html/").arg(project->id_()));
    serverComments.commentAs(QStringLiteral("bob@x.com"), itemUri(item), QStringLiteral("hello"));

    EXPECT_EQ(fetch(item), "page");
    EXPECT_TRUE(comments->getCachedCommentsForObject(item).contains("hello"));
    EXPECT_EQ(comments->numberOfCommentsForObject(item), 1);
    EXPECT_EQ(comments->timestampForObject(item), server.now());
    EXPECT_EQ(fetch(item), "refused");
    EXPECT_EQ(fetch(item, 0, true), "page");
    // A minute later, though the wall clock was set back an hour meanwhile.
    tick(CommentsManager::kQueryHoldMs);
    clock.setNow(clock.now().addSecs(-3600));
    comments->setLimitOfCommentsForObject(item, 50);
    EXPECT_EQ(fetch(item), "page");
    // Other days are another page.
    EXPECT_EQ(fetch(item, 7), "page");
    const QString path = QStringLiteral("/api/v1/item/%1/comments.html/").arg(item->serverID());
    EXPECT_EQ(pageRequests(),
              QStringList({path + "?limit=20", path + "?limit=20", path + "?limit=50", path + "?days=7"}));

    // A fetch that failed does not hold back the next; an error page is still a page.
    const QString otherPath = QStringLiteral("/api/v1/item/%1/comments.html/").arg(otherItem->serverID());
    server.dropNext(otherPath, 2); // the network layer tries a GET again on a dropped connection
    EXPECT_EQ(fetch(otherItem), "failed");
    server.failNext(otherPath, 500);
    EXPECT_EQ(fetch(otherItem), "page");
    EXPECT_TRUE(comments->getCachedCommentsForObject(otherItem).contains("injected failure"));
    EXPECT_EQ(comments->numberOfCommentsForObject(otherItem), CommentsManager::kDefaultLimit);

    TODOItem* unsynced = ItemBuilder("new").madeBy(*device->document, project);
    EXPECT_EQ(fetch(unsynced), "failed without error");
    device->sync().stopAllLoops();
    server.setOnline(false);
    device->sync().fire();
    settle();
    EXPECT_EQ(fetch(nullptr, 0, true), "refused");
}

TEST_F(Comments, GivenAComment_ThenItAsksBackWhatIsShownPlusOneAndTheReplyBecomesThePage)
{
    startWithItems();
    EXPECT_EQ(send(QStringLiteral("a<br/>b"), item), "page");
    EXPECT_EQ(send(QStringLiteral("p"), project), "page");
    EXPECT_EQ(send(QStringLiteral("second"), item), "page");
    const QList<HttpRequest> posts = requests("POST", QStringLiteral("/api/v1/comment/"));
    ASSERT_EQ(posts.size(), 3);
    EXPECT_EQ(
        posts[0].body,
        QStringLiteral(R"({"item":"%1","text":"a<br/>b","num_comments":20})").arg(itemUri(item)).toUtf8());
    EXPECT_EQ(posts[1].json()["num_comments"].toInt(), CommentsManager::kProjectReplyLimit);
    EXPECT_EQ(posts[2].json()["num_comments"].toInt(), 2);
    EXPECT_TRUE(comments->getCachedCommentsForObject(item).contains("second"));
    EXPECT_EQ(comments->numberOfCommentsForObject(item), 2);

    // A garbled answer may be a cut one: the comment may be there.
    server.malformNext(QStringLiteral("/api/v1/comment/"));
    EXPECT_EQ(send(QStringLiteral("third"), item), "unknown");
    EXPECT_EQ(send(QString(), item), "refused");
    EXPECT_EQ(send(QStringLiteral("x"), nullptr), "refused");
    EXPECT_EQ(send(QStringLiteral("x"), ItemBuilder("new").madeBy(*device->document, project)), "refused");
}

TEST_F(Comments, GivenACommentsAnswerLostOrRefused_ThenOnlyALostAnswerIsOneThatMayHaveArrived)
{
    startWithItems();
    const QString path = QStringLiteral("/api/v1/comment/");
    // The server stored each of these and its answer never came whole.
    server.applyThenDropNext(path);
    EXPECT_EQ(send(QStringLiteral("dropped"), item), "unknown");
    server.applyThenFailNext(path, 504);
    EXPECT_EQ(send(QStringLiteral("gateway"), item), "unknown");
    server.applyThenCutNext(path);
    EXPECT_EQ(send(QStringLiteral("cut"), item), "unknown");
    EXPECT_EQ(serverComments.comments.size(), 3);

    // A refusal is an answer: nothing was stored and no page comes of it.
    server.failNext(path, 400);
    EXPECT_EQ(send(QStringLiteral("refused"), item), "failed");
    server.failNext(path, 500);
    EXPECT_EQ(send(QStringLiteral("broken"), item), "failed");
    EXPECT_EQ(serverComments.comments.size(), 3);
    EXPECT_EQ(comments->getCachedCommentsForObject(item), QString());
}

} // namespace
} // namespace qv::test
