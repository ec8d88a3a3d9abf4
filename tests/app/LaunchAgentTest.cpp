#include "app/LaunchAgent.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace qv::test {

namespace {

class LaunchAgentTest : public ::testing::Test {
protected:
    TempHome home;
    Preferences preferences{home.root() + QStringLiteral("/prefs.conf")};
};

} // namespace

TEST_F(
    LaunchAgentTest,
    GivenTheSettingWasNeverSet_WhenConfiguredToggledOrTheProgramMoved_ThenAPrivateEntryIsWrittenRemovedOrRewritten)
{
    LaunchAgent agent(preferences, {}, QStringLiteral("/opt/quadrivo/bin/quadrivo"));
    EXPECT_EQ(agent.agentPath(), home.configHome() + QStringLiteral("/autostart/quadrivo.desktop"));

    agent.configureLaunchAgentScript();

    EXPECT_TRUE(preferences.hasUserValue(QStringLiteral("kLaunchOnStart")));
    EXPECT_TRUE(preferences.boolValue(QStringLiteral("kLaunchOnStart")));
    const QByteArray entry = readFile(agent.agentPath());
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nType=Application\n"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/quadrivo/bin/quadrivo\"\n"));
    // Only the user can read the entry or the folder made for it (Qt's "user" bits repeat the owner's).
    const QFileDevice::Permissions modeBits(0x7077);
    EXPECT_EQ(QFileInfo(agent.agentPath()).permissions() & modeBits,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(QFileInfo(home.configHome() + QStringLiteral("/autostart")).permissions() & modeBits,
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // Toggled off and on, the entry goes at once and comes back.
    agent.toggleLaunchOnStart();
    EXPECT_FALSE(preferences.boolValue(QStringLiteral("kLaunchOnStart")));
    EXPECT_FALSE(QFileInfo::exists(agent.agentPath()));

    agent.toggleLaunchOnStart();
    EXPECT_TRUE(preferences.boolValue(QStringLiteral("kLaunchOnStart")));
    EXPECT_TRUE(QFileInfo::exists(agent.agentPath()));

    // Moved, the program's next start rewrites the entry.
    LaunchAgent moved(preferences, {}, QStringLiteral("/new/quadrivo"));
    moved.configureLaunchAgentScript();
    EXPECT_TRUE(readFile(moved.agentPath()).contains("Exec=\"/new/quadrivo\"\n"));
}

TEST_F(LaunchAgentTest, GivenTheSettingIsOff_WhenConfiguredAtStart_ThenAnOldEntryIsRemovedAndOthersStay)
{
    LaunchAgent agent(preferences, {}, QStringLiteral("/usr/bin/quadrivo"));
    agent.installLaunchAgentScript();
    const QString other = home.configHome() + QStringLiteral("/autostart/other.desktop");
    ASSERT_TRUE(writeFile(other));
    preferences.setValue(QStringLiteral("kLaunchOnStart"), false);

    agent.configureLaunchAgentScript();

    EXPECT_FALSE(QFileInfo::exists(agent.agentPath()));
    EXPECT_TRUE(QFileInfo::exists(other));
    EXPECT_FALSE(preferences.boolValue(QStringLiteral("kLaunchOnStart")));
}

TEST_F(LaunchAgentTest,
       GivenAProgramPathWithShellCharactersOrALineBreak_WhenWritten_ThenOneQuotedArgumentOrNothingAndALog)
{
    // Inside the quotes " ` $ \ are escaped, % is doubled, and the value's own escaping doubles
    // every backslash.
    EXPECT_EQ(LaunchAgent::quotedExecArgument(QStringLiteral("/home/a b/it's $HOME/`x`/50%/q\"/\\")),
              QStringLiteral(R"("/home/a b/it's \\$HOME/\\`x\\`/50%%/q\\"/\\\\")"));

    LaunchAgent agent(preferences, {}, QStringLiteral("/tmp/evil; rm -rf ~/quadrivo"));
    ASSERT_TRUE(agent.installLaunchAgentScript());
    EXPECT_TRUE(readFile(agent.agentPath()).contains("\nExec=\"/tmp/evil; rm -rf ~/quadrivo\"\n"));

    LogCapture capture;
    QFile::remove(agent.agentPath());
    LaunchAgent broken(preferences, {}, QStringLiteral("/tmp/x\nExec=/bin/evil"));
    EXPECT_FALSE(broken.installLaunchAgentScript());
    EXPECT_FALSE(QFileInfo::exists(broken.agentPath()));
    EXPECT_TRUE(capture.contains(QStringLiteral("Installing script %1\n Result: 1").arg(broken.agentPath())));
}

TEST_F(LaunchAgentTest,
       GivenTheDesktopTurnedTheEntryOff_WhenLaunched_ThenThatIsTheSettingAndTheEntryStaysAsItIs)
{
    const QByteArray offs[] = {"[Desktop Entry]\nType=Application\nExec=quadrivo\nHidden=true\n",
                               "[Desktop Entry]\nExec=quadrivo\nX-GNOME-Autostart-enabled=false\n"};
    for (const QByteArray& off : offs) {
        SCOPED_TRACE(off.constData());
        LaunchAgent agent(preferences, {}, QStringLiteral("/usr/bin/quadrivo"));
        preferences.setValue(LaunchAgent::key(), true);
        agent.installLaunchAgentScript();
        ASSERT_TRUE(writeFile(agent.agentPath(), off));

        for (int launch = 0; launch < 2; ++launch) {
            EXPECT_TRUE(agent.configureLaunchAgentScript());
            EXPECT_FALSE(agent.launchOnStart());
            EXPECT_EQ(readFile(agent.agentPath()), off);
        }
        // Turned on again from the application, the entry is ours and on.
        EXPECT_TRUE(agent.toggleLaunchOnStart());
        EXPECT_FALSE(agent.isTurnedOffByDesktop());
        EXPECT_EQ(readFile(agent.agentPath()),
                  LaunchAgent::entryContents(QStringLiteral("/usr/bin/quadrivo")));
    }
}

TEST_F(LaunchAgentTest, GivenAProgramInABuildFolder_WhenLaunchedOrToggled_ThenTheEntryIsLeftAlone)
{
    const QString build = home.root() + QStringLiteral("/src/build/release");
    ASSERT_TRUE(writeFile(build + QStringLiteral("/CMakeCache.txt")));
    EXPECT_FALSE(LaunchAgent::isInstalledProgram(build + QStringLiteral("/quadrivo")));
    EXPECT_TRUE(LaunchAgent::isInstalledProgram(home.root() + QStringLiteral("/prefix/bin/quadrivo")));

    // An installed copy's entry is neither rewritten to point into the build nor removed.
    LaunchAgent(preferences, {}, QStringLiteral("/usr/bin/quadrivo")).configureLaunchAgentScript();
    const QByteArray installed = readFile(home.configHome() + QStringLiteral("/autostart/quadrivo.desktop"));
    LaunchAgent fromBuild(preferences, {}, build + QStringLiteral("/quadrivo"));
    EXPECT_FALSE(fromBuild.canInstall());
    fromBuild.configureLaunchAgentScript();
    fromBuild.toggleLaunchOnStart();
    EXPECT_EQ(readFile(fromBuild.agentPath()), installed);
    EXPECT_TRUE(fromBuild.launchOnStart());
}

} // namespace qv::test
