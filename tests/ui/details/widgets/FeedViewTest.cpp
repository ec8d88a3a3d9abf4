// The feed's widgets with a real web view against the fake server: a page too large to be set
// directly, the people filter's script in the page, the input's placeholder and Shift+Return, and
// what the input area says of a comment whose answer was lost; on a dark desktop, the page's own
// light background.
#include "ui/details/widgets/FeedViewController.h"

#include "tests/support/CommentsFixture.h"
#include "ui/details/FeedModel.h"
#include "ui/details/widgets/ResponderTextView.h"
#include "ui/web/WebEngineLoader.h"

#include <QLabel>
#include <QToolButton>

namespace qv::test {
namespace {

class FeedView : public CommentsFixture {
protected:
    void startView()
    {
        startWithItems();
        view = std::make_unique<FeedViewController>(device->services, *comments, device->sync());
        view->setWebEngine(&web);
        view->resize(360, 480);
        view->show();
    }
    ~FeedView() override { view.reset(); }

    QString evaluate(const QString& script)
    {
        QString result;
        bool done = false;
        if (!view->page())
            return result;
        view->page()->runJavaScript(script, web::World::Page, [&](const QVariant& value) {
            result = value.toString();
            done = true;
        });
        EXPECT_TRUE(waitUntil([&] { return done; }, 30'000));
        return result;
    }

    WebEngineLoader web;
    std::unique_ptr<FeedViewController> view;
};

TEST_F(FeedView, GivenAPageOver2MB_WhenShown_ThenItIsServedWithTheServersAddressesAndItsScriptAnswers)
{
    startView();
    serverComments.commentAs(QStringLiteral("bob@x.com"), itemUri(item), QStringLiteral("from bob"));
    serverComments.commentAs(kUser, itemUri(item), QStringLiteral("from me"));
    serverComments.paddingBytes = int(FeedModel::kInlinePageLimit) + 1024;
    view->setRepresentedObject(item);
    ASSERT_TRUE(waitUntil([&] { return view->page() && view->page()->isServed(view->pageAddress()); }));
    ASSERT_TRUE(waitUntil([&] { return !evaluate("document.querySelector('.comment') ? 1 : ''").isEmpty(); },
                          30'000));
    EXPECT_EQ(evaluate("document.baseURI"), server.baseUrl().toString() + "/");
    EXPECT_EQ(evaluate("document.querySelectorAll('.comment').length + ''"), "2");

    view->showCommentsForEmails({QStringLiteral("bob@x.com")});
    const QString visible = "Array.from(document.querySelectorAll('.comment'))"
                            ".filter(c => c.style.display !== 'none').length + ''";
    ASSERT_TRUE(waitUntil([&] { return evaluate(visible) == "1"; }, 30'000));

    // A small page is set directly; the served one is let go.
    serverComments.paddingBytes = 0;
    serverComments.commentAs(QStringLiteral("bob@x.com"), itemUri(item), QStringLiteral("again"));
    view->reloadFeed(false, true, true);
    ASSERT_TRUE(waitUntil([&] { return view->pageAddress().scheme() == "http"; }));
    EXPECT_EQ(view->page()->servedPageCount(), 0);
}

TEST_F(FeedView, GivenTheInput_ThenItsPlaceholderFollowsTheConnectionAndShiftReturnSendsTheComment)
{
    startView();
    view->setRepresentedObject(item);
    settle();
    ResponderTextView* input = view->commentInputTextView();
    EXPECT_TRUE(view->inputContainer()->isVisible());
    EXPECT_EQ(input->placeholder(), "Write comment ...");
    EXPECT_TRUE(view->uploadButton()->isVisible());

    QTest::keyClicks(input, QStringLiteral("a"));
    QTest::keyClick(input, Qt::Key_Return);
    QTest::keyClicks(input, QStringLiteral("b"));
    EXPECT_EQ(input->toPlainText(), "a\nb");
    EXPECT_TRUE(view->sendButton()->isVisible());
    EXPECT_FALSE(view->uploadButton()->isVisible());
    QTest::keyClick(input, Qt::Key_Return, Qt::ShiftModifier);
    settle();
    const QList<HttpRequest> posts = requests("POST", QStringLiteral("/api/v1/comment/"));
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts[0].json()["text"].toString(), "a<br/>b");
    EXPECT_EQ(input->toPlainText(), "");
    EXPECT_EQ(view->inputContainer()->height(), int(FeedModel::kInputHeight));

    server.setOnline(false);
    device->sync().fire();
    settle();
    EXPECT_EQ(input->placeholder(), "Offline ...");
    view->setRepresentedObject(project);
    EXPECT_FALSE(view->inputContainer()->isVisible());
}

TEST_F(FeedView, GivenACommentsAnswerLost_ThenTheAreaSaysSoAndShiftReturnSendsNothingUntilTheFeedAnswered)
{
    startView();
    view->setRepresentedObject(item);
    settle();
    ResponderTextView* input = view->commentInputTextView();
    QLabel* notice = view->noticeLabel();
    EXPECT_FALSE(notice->isVisible());
    EXPECT_EQ(notice->textFormat(), Qt::PlainText);

    QTest::keyClicks(input, QStringLiteral("<b>shipped</b>"));
    server.applyThenDropNext(QStringLiteral("/api/v1/comment/"));
    server.holdNext(QStringLiteral("/api/v1/item/%1/comments.html/").arg(item->serverID()));
    QTest::keyClick(input, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_TRUE(waitUntil([&] { return server.heldReplyCount() == 1; }));
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text(), view->model().notice());
    EXPECT_FALSE(input->isEnabled());
    EXPECT_FALSE(view->sendButton()->isEnabled());
    QTest::keyClick(input, Qt::Key_Return, Qt::ShiftModifier);
    view->sendButton()->click();
    server.releaseHeldReplies();
    settle();
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/comment/")), 1);
    EXPECT_EQ(serverComments.comments.size(), 1);
    EXPECT_EQ(input->toPlainText(), "");
    EXPECT_TRUE(input->isEnabled());
    EXPECT_FALSE(notice->isVisible());
}

TEST_F(FeedView, GivenTheLargestFontTier_WhenLongAddressesAreShownAtTheDrawersWidth_ThenThePageFitsItsWidth)
{
    startView();
    device->preferences.setValue(QStringLiteral("FONT_TIER"), 8);
    view->resize(270, 480);
    serverComments.commentAs(
        QStringLiteral("pat.o-brien@contractors.example.org"), itemUri(item),
        QStringLiteral("The plan: https://example.com/launch/plans/final-version-three"));
    view->setRepresentedObject(item);
    ASSERT_TRUE(waitUntil([&] { return !evaluate("document.querySelector('.comment') ? 1 : ''").isEmpty(); },
                          30'000));
    const QString widths =
        "document.documentElement.scrollWidth + ' wide in ' + document.documentElement.clientWidth";
    const QString fits =
        "document.documentElement.scrollWidth <= document.documentElement.clientWidth ? 'fits' : ''";
    EXPECT_TRUE(waitUntil([&] { return evaluate(fits) == "fits"; }, 5'000)) << evaluate(widths).toStdString();
}

TEST_F(FeedView, GivenADarkDesktop_WhenTheCommentsShow_ThenThePageKeepsTheLightBackgroundItsTextIsMeantFor)
{
    startWithItems();
    view = std::make_unique<FeedViewController>(device->services, *comments, device->sync());
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x3d, 0x3d, 0x3d));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    view->setPalette(dark);
    view->setWebEngine(&web);
    view->resize(360, 480);
    view->show();
    serverComments.commentAs(QStringLiteral("bob@x.com"), itemUri(item), QStringLiteral("from bob"));
    view->setRepresentedObject(item);
    ASSERT_TRUE(waitUntil([&] { return !evaluate("document.querySelector('.comment') ? 1 : ''").isEmpty(); },
                          30'000));
    QWidget* page = view->findChild<QWidget*>(QStringLiteral("feedWebView"));
    ASSERT_NE(page, nullptr);
    // Below the one comment the page is empty: what shows there is its background.
    EXPECT_TRUE(waitUntil(
        [&] {
            const QImage shot = page->grab().toImage();
            return shot.pixelColor(shot.width() / 2, shot.height() - 10).lightnessF() > 0.9;
        },
        5'000));
}

} // namespace
} // namespace qv::test
