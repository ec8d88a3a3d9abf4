#include "ui/board/WebAddresses.h"

#include <gtest/gtest.h>

namespace qv::test {

namespace {

WebAddressContext context(std::optional<AccountUser> user = std::nullopt)
{
    return {QStringLiteral("https://sync.test/"), QStringLiteral("https://www.test"), QStringLiteral("dev1"),
            QStringLiteral("2.17.0"), std::move(user)};
}

} // namespace

TEST(WebAddressesTest, GivenEachPage_WhenItsAddressIsMade_ThenPathAndQueryAreTheServiceOnes)
{
    const AccountUser signedIn{QStringLiteral("me@example.com"), 31, QStringLiteral("h4sh")};
    const AccountUser withoutHash{QStringLiteral("me@example.com"), 31, QString()};
    const QString query = QStringLiteral("app_type=Halvern&type=dev1&version=2.17.0");
    const struct {
        WebPage page;
        std::optional<AccountUser> user;
        QString address;
    } cases[] = {
        {WebPage::CalendarFeeds, {}, "https://sync.test/qvweb/feeds/?embedded&" + query},
        {WebPage::DailyReport, {}, "https://sync.test/accounts/report/?embedded&" + query},
        {WebPage::DailyReport, signedIn, "https://sync.test/accounts/report/31/h4sh?embedded&" + query},
        {WebPage::DailyReport, withoutHash, "https://sync.test/accounts/report/?embedded&" + query},
        {WebPage::WeeklyReport, {}, "https://sync.test/accounts/weekly_report/?embedded&" + query},
        {WebPage::WeeklyReport, signedIn,
         "https://sync.test/accounts/weekly_report/31/h4sh?embedded&" + query},
        {WebPage::AccountManagement, {}, "https://sync.test/manage/account?" + query},
        {WebPage::CollaboratorsManagement, {}, "https://sync.test/manage/collaborators/?" + query},
        {WebPage::NotesAccount, {}, "https://sync.test/evernote/import/?" + query},
        {WebPage::ManageCollaborators, {}, "https://sync.test/manage/collaborators/"},
        {WebPage::HotList, {}, "https://sync.test/hot/?embedded"},
        {WebPage::ChangeAvatar, {}, "https://sync.test/avatar/change/"},
        {WebPage::DeleteAvatar, {}, "https://sync.test/avatar/delete/"},
        {WebPage::DeleteAvatars, {}, "https://sync.test/avatar/delete/"},
        {WebPage::TeamPage,
         {},
         "https://www.test/collaboration_mac?qv_platform=Halvern&qv_version=2.17.0&uid=dev1"},
        // The signed-in user's number follows under a second "uid".
        {WebPage::TeamPage, signedIn,
         "https://www.test/collaboration_mac?qv_platform=Halvern&qv_version=2.17.0&uid=dev1&uid=31"},
    };
    // Where each page opens is the window's to show: WindowCommandsTest.
    for (const auto& expected : cases)
        EXPECT_EQ(WebAddresses::address(expected.page, context(expected.user)).toString(), expected.address);
}

TEST(WebAddressesTest, GivenNoServerOrAnUnsyncedProject_WhenAnAddressIsMade_ThenThereIsNone)
{
    WebAddressContext unconfigured = context();
    unconfigured.syncOrigin.clear();
    unconfigured.webOrigin.clear();
    EXPECT_FALSE(WebAddresses::address(WebPage::HotList, unconfigured).isValid());
    EXPECT_FALSE(WebAddresses::address(WebPage::TeamPage, unconfigured).isValid());

    EXPECT_EQ(WebAddresses::projectPage(77, QStringLiteral("https://sync.test")).toString(),
              QStringLiteral("https://sync.test/qvweb/pr/77/"));
    EXPECT_FALSE(WebAddresses::projectPage(0, QStringLiteral("https://sync.test")).isValid());
    EXPECT_FALSE(WebAddresses::projectPage(77, QString()).isValid());
}

} // namespace qv::test
