#include "core/util/BuildInfo.h"
#include "tests/app/ShellProcess.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace qv::test {

namespace {

const QString kProgram = QStringLiteral(QV_PROGRAM);
// No window system at all.
const QStringList kNoDisplay = {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("DISPLAY"),
                                QStringLiteral("WAYLAND_DISPLAY")};

} // namespace

TEST(CommandLineTest, GivenNoDisplay_WhenAskedForTheVersionOrHelp_ThenTheProgramAnswers)
{
    TempHome home;
    Helper version(kProgram, home, {QStringLiteral("--version")}, {}, kNoDisplay);
    EXPECT_EQ(version.finish(), 0) << version.errors.constData();
    EXPECT_EQ(version.output, "Quadrivo " + BuildInfo::version().toUtf8() + '\n');

    Helper help(kProgram, home, {QStringLiteral("--help")}, {}, kNoDisplay);
    EXPECT_EQ(help.finish(), 0) << help.errors.constData();
    EXPECT_TRUE(help.output.startsWith("Usage: quadrivo [options] [url...]\n")) << help.output.constData();

    // The manual page names every option the help lists.
    const QByteArray page = readFile(QStringLiteral(QV_SOURCE_DIR "/packaging/quadrivo.1"));
    ASSERT_FALSE(page.isEmpty());
    auto options =
        QRegularExpression(QStringLiteral("--[a-z-]+")).globalMatch(QString::fromUtf8(help.output));
    int count = 0;
    for (; options.hasNext(); ++count) {
        const QString option = options.next().captured();
        EXPECT_TRUE(page.contains(QString(option).replace(u'-', QStringLiteral("\\-")).toUtf8()))
            << option.toStdString();
    }
    EXPECT_GE(count, 4);

    // The window system's own options are no usage error, and need no display to be judged.
    Helper reversed(kProgram, home, {QStringLiteral("-reverse"), QStringLiteral("--version")}, {},
                    kNoDisplay);
    EXPECT_EQ(reversed.finish(), 0) << reversed.errors.constData();
    EXPECT_EQ(reversed.output, "Quadrivo " + BuildInfo::version().toUtf8() + '\n');

    // Anything else needs a window: a clear refusal, not an abort inside the window system.
    Helper start(kProgram, home, {}, {}, kNoDisplay);
    EXPECT_EQ(start.finish(), 1);
    EXPECT_TRUE(start.errors.startsWith("quadrivo: no display")) << start.errors.constData();
}

TEST(CommandLineTest, GivenNoDisplay_WhenTheOptionsAreWrong_ThenItIsAUsageErrorWithStatusTwo)
{
    TempHome home;
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("--add-file")},
          QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--bogus")}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        Helper launch(kProgram, home, arguments, {}, kNoDisplay);
        EXPECT_EQ(launch.finish(), 2) << launch.errors.constData();
        EXPECT_FALSE(launch.errors.contains("display")) << launch.errors.constData();
        EXPECT_FALSE(launch.errors.isEmpty());
    }
}

TEST(CommandLineTest, GivenNoDisplay_WhenTextOrAFileIsAdded_ThenARunningCopyTakesItAndWithoutOneItFails)
{
    TempHome home;
    const QString file = home.root() + QStringLiteral("/note.txt");
    writeFile(file, "a note");
    const QStringList addFile{QStringLiteral("--add-file"), file};

    Helper alone(kProgram, home, addFile, {}, kNoDisplay);
    EXPECT_EQ(alone.finish(), 1);
    EXPECT_TRUE(alone.errors.startsWith("quadrivo: no display")) << alone.errors.constData();
    EXPECT_TRUE(alone.errors.contains("no running copy")) << alone.errors.constData();

    Helper running(home, {QStringLiteral("guard")});
    ASSERT_TRUE(running.waitForLine(QStringLiteral("primary"))) << running.output.constData();
    Helper text(kProgram, home, {QStringLiteral("--add-text")}, "Buy milk", kNoDisplay);
    EXPECT_EQ(text.finish(), 0) << text.errors.constData();
    EXPECT_TRUE(running.waitForLine(QStringLiteral("message .*Buy milk.*"))) << running.output.constData();
    Helper handed(kProgram, home, addFile, {}, kNoDisplay);
    EXPECT_EQ(handed.finish(), 0) << handed.errors.constData();
    EXPECT_TRUE(running.waitForLine(QStringLiteral("message .*note\\.txt.*"))) << running.output.constData();
}

TEST(CommandLineTest,
     GivenInputThatCannotBeHandedOver_WhenLaunched_ThenItFailsWithTheReasonAndForwardsNothing)
{
    TempHome home;
    Helper running(home, {QStringLiteral("guard")});
    ASSERT_TRUE(running.waitForLine(QStringLiteral("primary"))) << running.output.constData();

    const struct {
        QStringList arguments;
        QByteArray input;
    } cases[] = {
        {{QStringLiteral("--add-file"), QStringLiteral("missing.txt")}, {}},
        {{QStringLiteral("--add-text")}, QByteArray("one\0two", 7)},
    };
    for (const auto& [arguments, input] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        Helper launch(kProgram, home, arguments, input, kNoDisplay);
        EXPECT_EQ(launch.finish(), 1);
        EXPECT_TRUE(launch.errors.startsWith("quadrivo: ")) << launch.errors.constData();
    }

    // A good launch after them is the first the running copy hears of.
    Helper good(home, {QStringLiteral("guard"), QStringLiteral("quadrivo://")});
    EXPECT_EQ(good.finish(), 0) << good.output.constData();
    ASSERT_TRUE(running.waitForLine(QStringLiteral("message .*")));
    EXPECT_EQ(running.output.count("message"), 1) << running.output.constData();
}

TEST(CommandLineTest, GivenALinkThatCannotBeReadOrNoText_WhenLaunched_ThenItSaysWhyAndFailsWithOne)
{
    TempHome home;
    Helper running(home, {QStringLiteral("guard")});
    ASSERT_TRUE(running.waitForLine(QStringLiteral("primary"))) << running.output.constData();

    const struct {
        QStringList arguments;
        QByteArray input;
        const char* reason;
    } cases[] = {
        {{QStringLiteral("quadrivo://garbage")}, {}, "cannot read the link \"quadrivo://garbage\""},
        {{QStringLiteral("--add-text")}, QByteArray(""), "empty"},
        {{QStringLiteral("--add-text")}, QByteArray("  \n\t\n"), "blank"},
    };
    for (const auto& [arguments, input, reason] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        Helper launch(kProgram, home, arguments, input, kNoDisplay);
        EXPECT_EQ(launch.finish(), 1) << launch.errors.constData();
        EXPECT_TRUE(launch.errors.startsWith("quadrivo: ")) << launch.errors.constData();
        EXPECT_TRUE(launch.errors.contains(reason)) << launch.errors.constData();
    }
    // Nothing reached the running copy.
    Helper good(home, {QStringLiteral("guard"), QStringLiteral("quadrivo://")});
    EXPECT_EQ(good.finish(), 0) << good.output.constData();
    ASSERT_TRUE(running.waitForLine(QStringLiteral("message .*")));
    EXPECT_EQ(running.output.count("message"), 1) << running.output.constData();
}

} // namespace qv::test
