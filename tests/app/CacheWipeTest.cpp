#include "app/DeleteCacheWindowController.h"
#include "app/ShellInterfaces.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace qv::test {

namespace {

class RecordingSheet : public CacheWipeProgress {
public:
    QStringList calls;
    void begin() override { calls << QStringLiteral("begin"); }
    void end() override { calls << QStringLiteral("end"); }
};

class CacheWipeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        cache = home.cacheHome() + QStringLiteral("/Quadrivo/RequestCache-sync.test");
        ASSERT_TRUE(writeFile(cache + QStringLiteral("/PermanentStore/nested/response"), "cached"));
    }

    TempHome home;
    Preferences preferences{home.root() + QStringLiteral("/prefs.conf")};
    RecordingSheet sheet;
    LogCapture capture;
    QString cache;
    int completions = 0;
    bool terminating = false;

    void wipe(const QString& folder)
    {
        DeleteCacheWindowController controller(preferences, &sheet, [this] { return terminating; });
        controller.cleanCacheAt(folder, [this] { ++completions; });
    }
};

} // namespace

TEST_F(
    CacheWipeTest,
    GivenThePermanentFolder_WhenWipedOrWhileQuitting_ThenItIsDeletedUnderTheSheetUnlessQuittingAndRemembered)
{
    wipe(cache);
    EXPECT_FALSE(QFileInfo::exists(cache + QStringLiteral("/PermanentStore")));
    EXPECT_TRUE(QFileInfo::exists(cache));
    EXPECT_TRUE(preferences.boolValue(QStringLiteral("_permanentCacheErased")));
    EXPECT_EQ(sheet.calls, (QStringList{QStringLiteral("begin"), QStringLiteral("end")}));
    EXPECT_EQ(completions, 1);

    // While quitting, no sheet is shown but the deletion still happens.
    ASSERT_TRUE(QDir().mkpath(cache + QStringLiteral("/PermanentStore")));
    terminating = true;
    sheet.calls.clear();
    wipe(cache);
    EXPECT_TRUE(sheet.calls.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(cache + QStringLiteral("/PermanentStore")));
    EXPECT_EQ(completions, 2);
}

TEST_F(CacheWipeTest,
       GivenNoPermanentFolderOrALink_WhenWiped_ThenNothingOrOnlyTheLinkGoesAndTheWipeIsRemembered)
{
    for (const QString& folder : {home.root() + QStringLiteral("/elsewhere"), QString()}) {
        preferences.remove(QStringLiteral("_permanentCacheErased"));
        wipe(folder);
        // Else the wipe, and its overlay, would come back at every launch.
        EXPECT_TRUE(preferences.boolValue(QStringLiteral("_permanentCacheErased")));
    }
    EXPECT_TRUE(QFileInfo::exists(cache + QStringLiteral("/PermanentStore/nested/response")));
    EXPECT_EQ(sheet.calls.size(), 4);
    EXPECT_EQ(completions, 2);
    EXPECT_TRUE(capture.lines().isEmpty());

    const QString outside = home.root() + QStringLiteral("/precious");
    ASSERT_TRUE(writeFile(outside + QStringLiteral("/keep")));
    const QString linked = home.root() + QStringLiteral("/linked-cache");
    ASSERT_TRUE(QDir().mkpath(linked));
    ASSERT_TRUE(QFile::link(outside, linked + QStringLiteral("/PermanentStore")));

    wipe(linked);
    EXPECT_FALSE(QFileInfo(linked + QStringLiteral("/PermanentStore")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/keep")));
}

TEST(CacheWipeFolderTest, GivenTheSyncServer_WhenTheCacheFolderIsNamed_ThenItFollowsTheHost)
{
    EXPECT_EQ(DeleteCacheWindowController::requestCacheFolder(QStringLiteral("/c"),
                                                              QStringLiteral("https://a.test:8443")),
              QStringLiteral("/c/RequestCache-a.test"));
    EXPECT_TRUE(DeleteCacheWindowController::requestCacheFolder(QStringLiteral("/c"), QString()).isEmpty());
}

} // namespace qv::test
