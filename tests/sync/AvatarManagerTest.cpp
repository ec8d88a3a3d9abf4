// Avatars against the fake server: one request per address, the path form of an address, the
// 60 s freshness rule, replies that are no picture, and a store left clean by unchanged pictures.
#include "sync/AvatarManager.h"

#include "tests/support/FakeSyncServerAvatars.h"
#include "tests/support/FakeSyncServerTeam.h"
#include "tests/sync/SyncFixture.h"

namespace qv::test {
namespace {

const QString kBob = QStringLiteral("bob@x.com");
const QString kPlus = QStringLiteral("ann+team@firm.consulting");

class Avatars : public SyncFixture {
protected:
    Avatars() : team(server, kUser), avatars(server, team)
    {
        team.collaborators = {FakeTeam::user(2, kBob),
                              FakeTeam::user(3, QStringLiteral("annteam@firm.consulting"))};
        placeholder.fill(Qt::gray);
    }
    void startOnline()
    {
        start(*device);
        manager = std::make_unique<AvatarManager>(device->services, device->sync(), placeholder);
        server.clearRequests();
    }
    // Moves the clock only, so that no loop runs and nothing but the avatars touches the store.
    void later(qint64 seconds) { clock.advance(seconds * 1000); }
    int avatarRequests() { return count("GET", QStringLiteral("/avatar/")); }
    QByteArray stored(const QString& email)
    {
        auto* record = store::as<Avatar>(
            device->context().lookupFirst(Avatar::staticEntityName(), QStringLiteral("qv_email"), email));
        return record ? record->qv_coded_image() : QByteArray();
    }

    FakeTeam team;
    FakeAvatars avatars;
    QImage placeholder{8, 8, QImage::Format_ARGB32};
    std::unique_ptr<AvatarManager> manager;
};

TEST_F(Avatars, GivenAnAddress_ThenItsPathDropsPlusAndBlanksAndIsPercentEncoded)
{
    EXPECT_EQ(AvatarManager::avatarPath(kPlus), "/avatar/annteam%40firm.consulting/");
    EXPECT_EQ(AvatarManager::avatarPath(QStringLiteral("o'neil@x.com")), "/avatar/o%27neil%40x.com/");
    EXPECT_EQ(AvatarManager::avatarPath(QStringLiteral("a/b#c@x.com")), "/avatar/a%2Fb%23c%40x.com/");
    // "%" would let an address name some other path once decoded.
    EXPECT_FALSE(AvatarManager::isAvatarAddress(QStringLiteral("a%2F..%2F@x.com")));
    EXPECT_FALSE(AvatarManager::isAvatarAddress(QStringLiteral("not an address")));
    EXPECT_TRUE(AvatarManager::isAvatarAddress(kPlus));
}

TEST_F(Avatars, GivenANewAddressAskedTwiceOnline_ThenOneRequestServesItAndTheSecondCallerAtOnce)
{
    startOnline();
    QStringList calls;
    const AvatarImage* first = manager->avatarForEmail(kPlus, false, [&](const AvatarImage& a) {
        calls << (a.hasPicture() ? "first: picture" : "first: placeholder");
    });
    const AvatarImage* second = manager->avatarForEmail(kPlus, false, [&](const AvatarImage& a) {
        calls << (a.hasPicture() ? "second: picture" : "second: placeholder");
    });
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->image(), placeholder);
    EXPECT_EQ(calls, QStringList{"second: placeholder"});
    settle();

    EXPECT_EQ(calls, QStringList({"second: placeholder", "first: picture"}));
    const QList<HttpRequest> sent = requests("GET", QStringLiteral("/avatar/"));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].path, "/avatar/annteam%40firm.consulting/");
    EXPECT_EQ(first->image().size(), QSize(AvatarImage::kSize, AvatarImage::kSize));
    EXPECT_EQ(first->smallImage().size(), QSize(AvatarImage::kSmallSize, AvatarImage::kSmallSize));
    EXPECT_FALSE(stored(kPlus).isEmpty());
    EXPECT_EQ(manager->avatarForEmail(QStringLiteral("a%40b@x.com")), nullptr);
}

TEST_F(Avatars, GivenAPicture_ThenItIsFetchedAgainOnlyAfter60SecondsAndUnchangedBytesLeaveTheStoreClean)
{
    startOnline();
    manager->avatarForEmail(kBob);
    settle();
    device->save();
    ASSERT_FALSE(device->context().hasChanges());

    later(60);
    manager->avatarForEmail(kBob);
    settle();
    EXPECT_EQ(avatarRequests(), 1);

    later(1);
    manager->avatarForEmail(kBob);
    settle();
    EXPECT_EQ(avatarRequests(), 2);
    // The same picture again: the next save has nothing to write and makes no backup.
    EXPECT_FALSE(device->context().hasChanges());

    const QByteArray before = stored(kBob);
    avatars.replies[kBob] = FakeAvatars::picture(QStringLiteral("new"));
    manager->avatarForEmail(kBob, true);
    settle();
    EXPECT_NE(stored(kBob), before);
    EXPECT_TRUE(device->context().hasChanges());
}

TEST_F(Avatars, GivenARestart_ThenTheStoredPictureIsShownAtOnceAndOfflineNothingIsAsked)
{
    startOnline();
    manager->avatarForEmail(kBob);
    settle();
    const QImage downloaded = manager->cachedAvatarForEmail(kBob)->image();
    manager.reset();
    device->quit();
    ASSERT_TRUE(device->open());
    server.clearRequests();
    manager = std::make_unique<AvatarManager>(device->services, device->sync(), placeholder);

    const AvatarImage* avatar = manager->avatarForEmail(kBob);
    const AvatarImage* unknown = manager->avatarForEmail(QStringLiteral("new@x.com"));
    settle();
    EXPECT_TRUE(avatar->isImageLoaded());
    EXPECT_EQ(avatar->image().convertToFormat(QImage::Format_ARGB32),
              downloaded.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(unknown->image(), placeholder);
    EXPECT_FALSE(unknown->isImageLoaded());
    EXPECT_EQ(avatarRequests(), 0);
}

TEST_F(Avatars, GivenAReplyThatIsNoPicture_ThenTheOldPictureAndTheStoredDataStay)
{
    startOnline();
    manager->avatarForEmail(kBob);
    const AvatarImage* stranger = manager->avatarForEmail(QStringLiteral("stranger@x.com"));
    settle();
    const QImage good = manager->cachedAvatarForEmail(kBob)->image();
    const QByteArray goodStored = stored(kBob);
    device->save();

    struct Case {
        std::function<void()> arrange;
        const char* what;
    };
    const Case cases[] = {
        {[&] { avatars.replies[kBob] = QByteArray(); }, "empty body"},
        {[&] { server.failNext(QStringLiteral("/avatar/"), 500); }, "server error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        manager->avatarForEmail(kBob, true);
        settle();
        EXPECT_EQ(manager->cachedAvatarForEmail(kBob)->image(), good);
        EXPECT_EQ(stored(kBob), goodStored);
        EXPECT_FALSE(device->context().hasChanges());
    }
    // An HTML 404 page for an unknown address: the placeholder stays and no record is made.
    EXPECT_EQ(stranger->image(), placeholder);
    EXPECT_TRUE(stored(QStringLiteral("stranger@x.com")).isNull());

    // Within 60 s of a failed try, a known picture is not asked for again; a missing one is.
    server.clearRequests();
    later(30);
    manager->avatarForEmail(kBob);
    manager->avatarForEmail(QStringLiteral("stranger@x.com"));
    settle();
    const QList<HttpRequest> sent = requests("GET", QStringLiteral("/avatar/"));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].path, "/avatar/stranger%40x.com/");
}

} // namespace
} // namespace qv::test
