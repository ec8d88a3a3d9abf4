// The whole-document sync of a device new to an account: everything already on the server comes down.
#include "tests/sync/SyncFixture.h"

#include <algorithm>
#include <optional>

namespace qv::test {
namespace {

class WholeSync : public SyncFixture {
protected:
    bool runWholeSync(SyncDevice& d)
    {
        server.setNow(clock.now());
        std::optional<bool> result;
        d.sync().runFullPass([&](bool completed, const QString&) { result = completed; });
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        settle();
        return result.value_or(false);
    }
};

TEST_F(WholeSync, GivenAnAccountWithData_WhenANewDeviceSyncs_ThenItGetsEverythingOnceAndItsOwnEditsWin)
{
    // More items than fit on one page.
    server.setPageSize(5);
    TODOList* project = startWithProject();
    newItems(project, "i", 12);
    ItemBuilder("inbox").madeBy(*device->document, nullptr);
    tick(10'000);
    ASSERT_EQ(server.itemCount(), 13);
    device->quit();
    // The new device signs in well after all of it was last changed.
    tick(120'000);

    SyncDevice& b = addOtherDevice();
    ASSERT_TRUE(b.open());
    ASSERT_TRUE(runWholeSync(b));
    ASSERT_EQ(b.items().size(), 13u);
    for (int i = 0; i < 12; ++i) {
        const TODOItem* item = b.itemNamed(QStringLiteral("i%1").arg(i));
        ASSERT_NE(item, nullptr) << i;
        ASSERT_NE(item->list(), nullptr);
        EXPECT_EQ(item->list()->name(), "P");
        EXPECT_EQ(item->edited_since(), 0);
    }
    ASSERT_NE(b.itemNamed("inbox"), nullptr);
    EXPECT_EQ(b.itemNamed("inbox")->list(), nullptr);

    // A later whole sync brings everything again: what this device has not sent yet still wins.
    b.itemNamed("i3")->setName("mine");
    ASSERT_TRUE(runWholeSync(b));
    EXPECT_EQ(b.items().size(), 13u);
    EXPECT_EQ(b.itemNamed("mine")->edited_since(), 0);
    EXPECT_EQ(server.item(b.itemNamed("mine")->serverID()).value("name").toString(), "mine");

    // Its loops go on from where they were, and nothing was made twice.
    start(b);
    tick(20'000);
    EXPECT_EQ(server.itemCount(), 13);
    EXPECT_EQ(server.projectCount(), 1);
    EXPECT_EQ(count("POST", QStringLiteral("/api/v1/project/")), 1);
    EXPECT_EQ(b.items().size(), 13u);
}

TEST_F(WholeSync, GivenASyncAskedForWhileTheStartOfANewStoreRunsOne_ThenItJoinsItAndBothComplete)
{
    server.createProjectAsOtherDevice({{"name", "theirs"}});
    tick(60'000);
    ASSERT_TRUE(device->open());
    device->sync().startAllLoops();
    ASSERT_TRUE(device->sync().isRunningFullPass());
    std::optional<bool> asked;
    device->sync().runFullPass([&](bool completed, const QString&) { asked = completed; });
    ASSERT_TRUE(waitUntil([&] { return asked.has_value(); }));
    EXPECT_TRUE(*asked);
    EXPECT_FALSE(device->sync().owesWholeSync());
    const auto projectPolls = [this] {
        return std::ranges::count(requests("GET", QStringLiteral("/api/v1/project/")), "/api/v1/project/",
                                  &HttpRequest::path);
    };
    // One pass: its polls went out once.
    EXPECT_EQ(projectPolls(), 1);
    ASSERT_EQ(device->context().count(TODOList::staticEntityName()), 1);
    // The loops follow, as after any start.
    tick(QVRestManager::kLoopStartDelayMs);
    EXPECT_EQ(projectPolls(), 2);
}

} // namespace
} // namespace qv::test
