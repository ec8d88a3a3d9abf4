#include "tests/sync/SyncFixture.h"

#include "app/AppDelegate.h"
#include "app/InboxHandOver.h"
#include "platform/Log.h"
#include "ui/board/Board.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace qv::test {
namespace {

// Stands in every field the user fills; no log line may carry it.
const QString kSecret = QStringLiteral("Sentinel7f3a");

class LogPrivacyTest : public SyncFixture {
protected:
    // Every category on at every level, from the first step on.
    LogCapture log;
};

} // namespace

TEST_F(LogPrivacyTest, GivenTheUsersTextInEveryField_WhenTheUsualPathsRun_ThenNoLogLineCarriesIt)
{
    // A link handed over with a password, a query and a fragment of the user's.
    AppDelegate::Dependencies dependencies;
    dependencies.services = device->services;
    AppDelegate(dependencies)
        .handleURL(QStringLiteral("quadrivo://me:%1@sync.test/project/1?note=%1#%1").arg(kSecret));

    // Two devices, the second one's server address carrying a password.
    QUrl origin = server.baseUrl();
    origin.setUserInfo(QStringLiteral("me:") + kSecret);
    other = std::make_unique<SyncDevice>(home.root() + QStringLiteral("/b"), kDeviceB, clock, scheduler,
                                         origin.toString());
    start(*device);
    start(*other);

    // Added and edited on the first, each step synced.
    TODOList* project = ProjectBuilder(device->context(), kSecret);
    TODOItem* item =
        ItemBuilder(kSecret).withValue("descriptionText", kSecret).madeBy(*device->document, project);
    tick(5'000);
    item->setName(kSecret + QStringLiteral(" renamed"));
    item->setDescriptionText(kSecret + QStringLiteral(" notes"));
    tick(5'000);

    // Text and a link with a password dropped or pasted on the board.
    Board board(*device->document, device->services);
    board.updateFilters();
    board.updateSortDescriptors();
    board.showProject(project);
    QMimeData text;
    text.setText(kSecret + u'\n' + kSecret);
    QMimeData link;
    link.setUrls({QUrl(QStringLiteral("https://me:%1@example.com/?q=%1").arg(kSecret))});
    EXPECT_TRUE(board.acceptDrop(0, &text, -1));
    EXPECT_TRUE(board.acceptDrop(1, &link, -1));

    // Text and a file handed over on the command line.
    const QString file = home.root() + u'/' + kSecret + QStringLiteral(".txt");
    ASSERT_TRUE(writeFile(file));
    InboxHandOver handOver(*device->document, device->preferences, nullptr);
    EXPECT_NE(handOver.addNewItemFromText(kSecret + u'\n' + kSecret), nullptr);
    EXPECT_NE(handOver.addNewItemFromFiles({file}), nullptr);
    tick(30'000);
    ASSERT_NE(other->itemNamed(kSecret + QStringLiteral(" renamed")), nullptr);

    // The paths did log, with lengths where the text would have been.
    EXPECT_TRUE(log.contains(QStringLiteral("Text handed over: <25 chars>")));
    EXPECT_EQ(log.lines().filter(kSecret), QStringList());
}

} // namespace qv::test
