// Each web surface opened first in a program that has loaded none of the web engine: the engine's
// library comes in with that first page, and the page works. Each case runs in a process of its
// own (see CMakeLists.txt), so "first" holds for every one.
#include "tests/support/CommentsFixture.h"
#include "tests/ui/account/widgets/SignInFixture.h"
#include "ui/details/widgets/FeedViewController.h"

#include <QFile>

namespace qv::test {
namespace {

bool webEngineMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngine");
}

QString answer(web::Page& page, const QString& script, web::World world)
{
    std::optional<QVariant> result;
    page.runJavaScript(script, world, [&result](const QVariant& value) { result = value; });
    EXPECT_TRUE(signin::waitUntil([&] { return result.has_value(); }));
    return result.value_or(QVariant()).toString();
}

using FirstPageOfTheAccount = signin::SignInFixture;

TEST_F(FirstPageOfTheAccount,
       GivenAStartThatShowedNoPage_WhenTheSignInSheetOpens_ThenTheEngineLoadsAndSignsIn)
{
    QCoreApplication::processEvents();
    ASSERT_FALSE(webEngineMapped()) << "the window, engine and account loaded the web engine";
    signIn();
    EXPECT_TRUE(web.isLoaded());
    EXPECT_TRUE(webEngineMapped());
}

TEST_F(FirstPageOfTheAccount, GivenAStartThatShowedNoPage_WhenTheInternalBrowserOpens_ThenItShowsThePage)
{
    QCoreApplication::processEvents();
    ASSERT_FALSE(webEngineMapped());
    WebBrowserWindowController& browser = session->browser();
    const QUrl address(server.baseUrl().toString() + QStringLiteral("/desktoplogin/"));
    browser.showURLInInternalWebBrowser(address);
    ASSERT_NE(browser.page(), nullptr);
    ASSERT_TRUE(signin::waitUntil(
        [&] { return browser.page()->url() == address && !browser.windowTitle().isEmpty(); }));
    // The title can come before the form is parsed: ask until the page has it.
    const QString fields = QStringLiteral("document.querySelectorAll('input[name=password]').length + ''");
    EXPECT_TRUE(signin::waitUntil([&] { return answer(*browser.page(), fields, web::World::Page) == "1"; }));
    EXPECT_TRUE(webEngineMapped());
    browser.close();
}

class FirstFeedPage : public CommentsFixture {};

TEST_F(FirstFeedPage, GivenAHiddenFeed_WhenItIsFirstShown_ThenTheEngineLoadsAndShowsTheComments)
{
    startWithItems();
    WebEngineLoader web;
    FeedViewController view(device->services, *comments, device->sync());
    view.setWebEngine(&web);
    view.resize(360, 480);
    serverComments.commentAs(QStringLiteral("bob@x.com"), itemUri(item), QStringLiteral("from bob"));
    view.setRepresentedObject(item);
    ASSERT_TRUE(waitUntil([&] { return !pageRequests().isEmpty(); }, 30'000));
    settle();
    EXPECT_FALSE(webEngineMapped()) << "a feed nobody sees loaded the web engine";
    EXPECT_EQ(view.page(), nullptr);

    view.show();
    ASSERT_NE(view.page(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return view.pagesLoaded() > 0; }, 30'000));
    EXPECT_EQ(answer(*view.page(), QStringLiteral("document.querySelectorAll('.comment').length + ''"),
                     web::World::Page),
              QStringLiteral("1"));
    EXPECT_TRUE(webEngineMapped());
}

} // namespace
} // namespace qv::test
