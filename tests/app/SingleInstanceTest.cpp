#include "app/SingleInstance.h"
#include "app/AppDelegate.h"
#include "core/document/StoreFiles.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "tests/app/ShellProcess.h"
#include "tests/app/StoreWriteLock.h"
#include "tests/support/DocumentFakes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <memory>
#include <sys/stat.h>

namespace qv::test {

namespace {

// The names of an entity's objects in the store, as the next start reads them.
QStringList savedProjectNames(const TempHome& home, const QString& entity = TODOList::staticEntityName())
{
    return namesInStoreFile(
        home.dataHome() + QStringLiteral("/Velmora/Quadrivo/") + StoreFiles::kStoreFileName, entity);
}

// The web host of the announcements, on this machine: it takes each request and never answers.
class SilentHost {
public:
    SilentHost()
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        qputenv("QUADRIVO_WEB_URL",
                QByteArrayLiteral("http://127.0.0.1:") + QByteArray::number(m_server.serverPort()));
    }
    ~SilentHost() { qunsetenv("QUADRIVO_WEB_URL"); }
    SilentHost(const SilentHost&) = delete;
    SilentHost& operator=(const SilentHost&) = delete;

    // What the requests so far carried.
    QByteArray received()
    {
        QByteArray all;
        while (m_server.hasPendingConnections() || m_server.waitForNewConnection(200)) {
            QTcpSocket* socket = m_server.nextPendingConnection();
            while (socket->waitForReadyRead(200))
                all += socket->readAll();
        }
        return all;
    }

private:
    QTcpServer m_server;
};

// What the application printed as it ended: the time from the quit's start to the loop's end.
qint64 quitTimeMs(const QByteArray& output)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("ended (\\d+) ms after the quit began"))
            .match(QString::fromUtf8(output));
    return match.hasMatch() ? match.captured(1).toLongLong() : std::numeric_limits<qint64>::max();
}

} // namespace

// --- One copy per user

TEST(SingleInstanceTest, GivenACopyRuns_WhenAPlainSecondCopyStarts_ThenItAsksTheRunningOneForItsWindow)
{
    TempHome home;
    // Started under a umask that takes nothing away: what is the user's alone is made so by the
    // program itself, not by the umask of whoever runs the tests.
    const mode_t saved = ::umask(0);
    Helper first(home, {QStringLiteral("guard")});
    ::umask(saved);
    ASSERT_TRUE(first.waitForLine(QStringLiteral("primary"))) << first.output.constData();

    Helper second(home, {QStringLiteral("guard")});
    EXPECT_EQ(second.finish(), 0);
    EXPECT_TRUE(second.output.contains("forwarded"));
    EXPECT_TRUE(first.waitForLine(QStringLiteral("message \\{\\}"))) << first.output.constData();

    // Only the user can reach the socket or read the lock.
    for (const char* name : {"quadrivo.socket", "quadrivo.lock"}) {
        const QFileInfo file(home.runtimeDir() + u'/' + QLatin1String(name));
        ASSERT_TRUE(file.exists()) << name;
        EXPECT_EQ(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                        QFileDevice::ReadOther | QFileDevice::WriteOther),
                  QFileDevice::Permissions())
            << name;
    }
}

TEST(SingleInstanceTest,
     GivenACopyThatHoldsTheLockButDoesNotAnswer_WhenASecondCopyStarts_ThenItSaysSoAndQuits)
{
    TempHome home;
    QLockFile lock(home.runtimeDir() + QStringLiteral("/quadrivo.lock"));
    ASSERT_TRUE(lock.tryLock(0));

    Helper plain(home,
                 {QStringLiteral("guard"), QStringLiteral("--connect-timeout-ms"), QStringLiteral("200")});
    EXPECT_EQ(plain.finish(), 3);
    const SingleInstance::Alert alert = SingleInstance::alreadyRunningAlert();
    EXPECT_EQ(alert.message, QStringLiteral("Another copy of Quadrivo is already running."));
    EXPECT_EQ(alert.informative, QStringLiteral("This copy will now quit."));
    EXPECT_TRUE(plain.output.contains((alert.message + u'\n' + alert.informative + u'\n').toUtf8()));

    Helper link(home, {QStringLiteral("guard"), QStringLiteral("--connect-timeout-ms"), QStringLiteral("200"),
                       QStringLiteral("quadrivo://")});
    EXPECT_EQ(link.finish(), 4);
    EXPECT_TRUE(link.output.startsWith("unreachable ")) << link.output.constData();
}

TEST(SingleInstanceTest, GivenACopyRuns_WhenLaunchesCarryALinkTextOrAFile_ThenTheRunningCopyReceivesThem)
{
    TempHome home;
    Helper first(home, {QStringLiteral("guard")});
    ASSERT_TRUE(first.waitForLine(QStringLiteral("primary")));

    Helper link(home, {QStringLiteral("guard"), QStringLiteral("quadrivo://sync/")});
    EXPECT_EQ(link.finish(), 0);
    EXPECT_TRUE(link.output.contains("forwarded"));
    EXPECT_TRUE(first.waitForLine(QRegularExpression::escape(R"(message {"urls":["quadrivo://sync/"]})")))
        << first.output.constData();

    Helper text(home, {QStringLiteral("guard"), QStringLiteral("--add-text")},
                QByteArray("Milk \xe2\x9c\x93\nand eggs"));
    EXPECT_EQ(text.finish(), 0);
    EXPECT_TRUE(first.waitForLine(QRegularExpression::escape(QString::fromUtf8(R"(message {"text":"Milk )"
                                                                               "\xe2\x9c\x93"
                                                                               R"(\nand eggs"})"))))
        << first.output.constData();

    ASSERT_TRUE(writeFile(home.root() + QStringLiteral("/plan.txt")));
    Helper file(home, {QStringLiteral("guard"), QStringLiteral("--add-file"), QStringLiteral("plan.txt")});
    EXPECT_EQ(file.finish(), 0);
    EXPECT_TRUE(first.waitForLine(
        QRegularExpression::escape(QStringLiteral(R"(message {"files":["%1/plan.txt"]})").arg(home.root()))))
        << first.output.constData();
}

TEST(SingleInstanceTest, GivenTheRunningCopyWasKilled_WhenTheNextCopyStarts_ThenItRunsInItsPlace)
{
    TempHome home;
    {
        Helper first(home, {QStringLiteral("guard")});
        ASSERT_TRUE(first.waitForLine(QStringLiteral("primary")));
        first.process.kill();
        first.process.waitForFinished(5000);
    }
    Helper next(home, {QStringLiteral("guard")});
    EXPECT_TRUE(next.waitForLine(QStringLiteral("primary"))) << next.output.constData();

    Helper link(home, {QStringLiteral("guard"), QStringLiteral("quadrivo://")});
    EXPECT_EQ(link.finish(), 0);
    EXPECT_TRUE(next.waitForLine(QRegularExpression::escape(R"(message {"urls":["quadrivo://"]})")));
}

TEST(SingleInstanceTest, GivenACopyKilledAsItTookTheLock_WhenTheNextCopyStarts_ThenItRunsInItsPlace)
{
    TempHome home;
    // What a copy killed between creating the lock file and naming itself in it leaves.
    ASSERT_TRUE(writeFile(home.runtimeDir() + QStringLiteral("/quadrivo.lock")));
    Helper next(home,
                {QStringLiteral("guard"), QStringLiteral("--connect-timeout-ms"), QStringLiteral("200")});
    EXPECT_TRUE(next.waitForLine(QStringLiteral("primary"))) << next.output.constData();
}

// --- The real delegate in a process of its own

TEST(ShellProcessTest,
     GivenTheApplicationRuns_WhenLaunchedAgain_ThenTheRunningDelegateRaisesItsWindowOrTakesTheLink)
{
    TempHome home;
    Helper app(home, {QStringLiteral("app"), QStringLiteral("--quit-delay-ms"), QStringLiteral("100")});
    ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();
    app.output.clear();

    Helper again(home, {QStringLiteral("guard")});
    EXPECT_EQ(again.finish(), 0);
    EXPECT_TRUE(app.waitForLine(QStringLiteral("window.show"))) << app.output.constData();

    Helper link(home,
                {QStringLiteral("guard"), QStringLiteral("quadrivo://sync.test:8443/api/v1/project/42")});
    EXPECT_EQ(link.finish(), 0);
    EXPECT_TRUE(app.waitForLine(QStringLiteral("selectProject 42 missing"))) << app.output.constData();

    Helper bare(home, {QStringLiteral("guard"), QStringLiteral("quadrivo://")});
    EXPECT_EQ(bare.finish(), 0);
    EXPECT_TRUE(app.waitForLine(QStringLiteral("status Welcome to Quadrivo!"))) << app.output.constData();
}

TEST(ShellProcessTest, GivenTheApplicationIsQuitting_WhenLaunchedAgain_ThenTheNewCopySaysItWaitsAndThenRuns)
{
    TempHome home;
    // "endapp" unanswered keeps the quit going for its second.
    SilentHost host;
    Helper app(home, {QStringLiteral("app")});
    ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();
    ::kill(pid_t(app.process.processId()), SIGTERM);
    // The window goes first; the sequence goes on behind the scenes.
    ASSERT_TRUE(app.waitForLine(QStringLiteral("window.hide"))) << app.output.constData();
    ASSERT_TRUE(app.waitForLine(QStringLiteral("quitting")));

    Helper next(home, {QStringLiteral("guard")});
    EXPECT_TRUE(next.waitForLine(QStringLiteral("waiting for the running copy to end")))
        << next.output.constData();
    EXPECT_TRUE(next.waitForLine(QStringLiteral("primary"))) << next.output.constData();
    EXPECT_EQ(app.finish(), 0);
    EXPECT_FALSE(app.output.contains("message"));
}

TEST(ShellProcessTest,
     GivenNothingInFlight_WhenTheProcessGetsSigtermOrSighup_ThenItEndsBeforeTheFiveSecondBound)
{
    for (const int signalNumber : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        TempHome home;
        // The bound as shipped, not a shortened one.
        Helper app(home, {QStringLiteral("app")});
        ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();
        app.process.write("edit Kept\n");
        ASSERT_TRUE(app.waitForLine(QStringLiteral("edited Kept")));
        ::kill(pid_t(app.process.processId()), signalNumber);

        EXPECT_EQ(app.finish(), 0) << app.output.constData();
        // Nothing is waited for; half the bound leaves a slow machine room, and the bound's
        // timer (which may fire a little early) none.
        EXPECT_LT(quitTimeMs(app.output), AppDelegate::kQuitDelayMs / 2) << app.output.constData();
        EXPECT_TRUE(savedProjectNames(home).contains(QStringLiteral("Kept")));
    }
}

TEST(ShellProcessTest,
     GivenAHostThatNeverAnswersEndapp_WhenQuitting_ThenTheAnnouncementIsSentAndTheProcessStillEnds)
{
    TempHome home;
    SilentHost host;
    Helper app(home, {QStringLiteral("app")});
    ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();
    ::kill(pid_t(app.process.processId()), SIGTERM);

    EXPECT_EQ(app.finish(), 0) << app.output.constData();
    EXPECT_LT(quitTimeMs(app.output), AppDelegate::kQuitDelayMs) << app.output.constData();
    const QByteArray received = host.received();
    EXPECT_TRUE(received.contains("event=endapp")) << received.constData();
}

TEST(ShellProcessTest,
     GivenAnUnsavedEdit_WhenTheProcessGetsSigtermSigintOrSighup_ThenItExitsCleanlyWithTheEditSaved)
{
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        TempHome home;
        Helper app(home, {QStringLiteral("app"), QStringLiteral("--quit-delay-ms"), QStringLiteral("200")});
        ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();

        app.process.write("edit First\nedit Last edit\n");
        ASSERT_TRUE(app.waitForLine(QStringLiteral("edited Last edit")));
        ::kill(pid_t(app.process.processId()), signalNumber);

        EXPECT_EQ(app.finish(), 0) << app.output.constData();
        const QStringList names = savedProjectNames(home);
        EXPECT_TRUE(names.contains(QStringLiteral("Last edit"))) << names.join(u',').toStdString();
        EXPECT_TRUE(names.contains(QStringLiteral("First")));
    }
}

TEST(ShellProcessTest, GivenEditsMadeThreeSecondsAgo_WhenTheProcessIsKilled_ThenTheStoreHoldsThem)
{
    TempHome home;
    Helper app(home, {QStringLiteral("app")});
    ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();
    app.process.write("edit Groceries\nitem Milk\n");
    ASSERT_TRUE(app.waitForLine(QStringLiteral("added Milk"))) << app.output.constData();

    // A crash three seconds on, with the timed save still two minutes away.
    QThread::sleep(3);
    app.process.kill();
    app.process.waitForFinished(5000);

    EXPECT_TRUE(savedProjectNames(home).contains(QStringLiteral("Groceries")));
    EXPECT_EQ(savedProjectNames(home, TODOItem::staticEntityName()), QStringList{QStringLiteral("Milk")});
}

TEST(ShellProcessTest, GivenAStarredItem_WhenTheApplicationQuitsAndStartsAgain_ThenItIsStillStarred)
{
    TempHome home;
    const QStringList arguments{QStringLiteral("app"), QStringLiteral("--quit-delay-ms"),
                                QStringLiteral("100")};
    {
        Helper app(home, arguments);
        ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();
        app.process.write("item Milk\nstar Milk\n");
        ASSERT_TRUE(app.waitForLine(QStringLiteral("starred Milk"))) << app.output.constData();
        ::kill(pid_t(app.process.processId()), SIGTERM);
        ASSERT_EQ(app.finish(), 0) << app.output.constData();
    }

    Helper again(home, arguments);
    ASSERT_TRUE(again.waitForLine(QStringLiteral("ready"))) << again.output.constData();
    again.process.write("show Milk\n");
    EXPECT_TRUE(again.waitForLine(QStringLiteral("item Milk starred"))) << again.output.constData();
}

TEST(ShellProcessTest,
     GivenTextHandedOver_WhenTheRunningCopyIsKilledRightAfterItsAnswer_ThenTheItemIsInTheStore)
{
    TempHome home;
    Helper app(home, {QStringLiteral("app")});
    ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();

    Helper add(QStringLiteral(QV_PROGRAM), home, {QStringLiteral("--add-text")},
               QByteArray("Buy stamps\nat the post office"));
    ASSERT_EQ(add.finish(), 0) << add.errors.constData();
    ::kill(pid_t(app.process.processId()), SIGKILL);
    app.process.waitForFinished(5000);

    EXPECT_EQ(savedProjectNames(home, TODOItem::staticEntityName()),
              QStringList{QStringLiteral("Buy stamps")});
}

TEST(ShellProcessTest, GivenAStoreThatCannotBeWritten_WhenTextIsHandedOver_ThenTheLaunchFailsAndSaysSo)
{
    TempHome home;
    Helper app(home, {QStringLiteral("app"), QStringLiteral("--hand-over-wait-ms"), QStringLiteral("3000"),
                      QStringLiteral("--busy-timeout-ms"), QStringLiteral("300")});
    ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();
    const QString store = home.dataHome() + QStringLiteral("/Velmora/Quadrivo/") + StoreFiles::kStoreFileName;
    auto lock = std::make_unique<StoreWriteLock>(store);
    ASSERT_TRUE(lock->locked());

    Helper add(QStringLiteral(QV_PROGRAM), home, {QStringLiteral("--add-text")}, QByteArray("Buy stamps"));
    EXPECT_EQ(add.finish(30'000), 1);
    EXPECT_TRUE(add.errors.contains("could not save")) << add.errors.constData();
    lock.reset();

    // Failed means failed: the item does not turn up once the store can be written again.
    app.process.write("save\n");
    ASSERT_TRUE(app.waitForLine(QStringLiteral("saved"))) << app.output.constData();
    EXPECT_EQ(savedProjectNames(home, TODOItem::staticEntityName()), QStringList());
}

TEST(
    ShellProcessTest,
    GivenAStoreLockedFromOutside_WhenTextIsHandedOver_ThenTheExitStatusTellsWhetherTheItemIsThereAndARetryAddsOne)
{
    TempHome home;
    // The store's retry comes 5 s after a failed save; the hand-over waits 7 s for it.
    Helper app(home, {QStringLiteral("app"), QStringLiteral("--hand-over-wait-ms"), QStringLiteral("7000"),
                      QStringLiteral("--busy-timeout-ms"), QStringLiteral("300")});
    ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();
    const QString store = home.dataHome() + QStringLiteral("/Velmora/Quadrivo/") + StoreFiles::kStoreFileName;
    const auto items = [&home] {
        return savedProjectNames(home, TODOItem::staticEntityName());
    };

    // Locked for a while: the launch waits for the save after the lock and ends with 0.
    auto lock = std::make_unique<StoreWriteLock>(store);
    ASSERT_TRUE(lock->locked());
    Helper waited(QStringLiteral(QV_PROGRAM), home, {QStringLiteral("--add-text")}, QByteArray("Waited"));
    ASSERT_TRUE(app.waitForErrorLine(QStringLiteral(".*Error saving file.*"))) << app.errors.constData();
    lock.reset();
    EXPECT_EQ(waited.finish(20'000), 0) << waited.errors.constData();
    EXPECT_EQ(items(), QStringList{QStringLiteral("Waited")});

    // Locked for longer than the hand-over waits: 1, and no item appears afterwards.
    lock = std::make_unique<StoreWriteLock>(store);
    ASSERT_TRUE(lock->locked());
    Helper refused(QStringLiteral(QV_PROGRAM), home, {QStringLiteral("--add-text")}, QByteArray("Retried"));
    EXPECT_EQ(refused.finish(20'000), 1) << refused.errors.constData();
    EXPECT_TRUE(refused.errors.contains("could not save")) << refused.errors.constData();
    lock.reset();
    app.process.write("save\n");
    ASSERT_TRUE(app.waitForLine(QStringLiteral("saved"))) << app.output.constData();
    EXPECT_EQ(items(), QStringList{QStringLiteral("Waited")});

    // The user tries again: one item, not two.
    Helper retry(QStringLiteral(QV_PROGRAM), home, {QStringLiteral("--add-text")}, QByteArray("Retried"));
    EXPECT_EQ(retry.finish(), 0) << retry.errors.constData();
    EXPECT_EQ(items(), (QStringList{QStringLiteral("Retried"), QStringLiteral("Waited")}));
}

// --- The program itself as the running copy, its alerts and questions modal

namespace {

// The program on the offscreen platform, where a modal alert stays open until the program ends.
class RunningProgram {
public:
    RunningProgram(const TempHome& home, const QStringList& unset = {})
        : m_environment(QProcessEnvironment::systemEnvironment())
    {
        qputenv("QT_LOGGING_RULES", "qv.milestones.info=true");
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<Helper>(QStringLiteral(QV_PROGRAM), home, QStringList(), QByteArray(), unset);
        ready =
            app->waitForErrorLine(QStringLiteral("qv.milestones: First frame of the window painted"), 60'000);
    }
    ~RunningProgram()
    {
        app.reset();
        for (const char* name : {"QT_LOGGING_RULES", "QT_QPA_PLATFORM"}) {
            if (m_environment.contains(QLatin1String(name)))
                qputenv(name, m_environment.value(QLatin1String(name)).toLocal8Bit());
            else
                qunsetenv(name);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Ends it as the desktop would; its exit status.
    int quit()
    {
        ::kill(pid_t(app->process.processId()), SIGTERM);
        return app->finish(30'000);
    }

    std::unique_ptr<Helper> app;
    bool ready = false;

private:
    QProcessEnvironment m_environment;
};

} // namespace

TEST(ShellProcessTest,
     GivenTheUploadQuestionOpenInTheRunningCopy_WhenFilesAreHandedOver_ThenEachLaunchIsAnsweredAtOnce)
{
    TempHome home;
    // A sync server is named, so the running copy asks whether to upload; nobody answers.
    RunningProgram running(home);
    ASSERT_TRUE(running.ready) << running.app->errors.constData();
    for (const char* name : {"plan.txt", "budget.txt"})
        ASSERT_TRUE(writeFile(home.root() + u'/' + QLatin1String(name), "some words"));

    Helper first(QStringLiteral(QV_PROGRAM), home,
                 {QStringLiteral("--add-file"), QStringLiteral("plan.txt")});
    EXPECT_EQ(first.finish(), 0) << first.errors.constData();
    // A second one while the first question is still open.
    Helper second(QStringLiteral(QV_PROGRAM), home,
                  {QStringLiteral("--add-file"), QStringLiteral("budget.txt")});
    EXPECT_EQ(second.finish(), 0) << second.errors.constData();

    EXPECT_EQ(running.quit(), 0) << running.app->errors.constData();
    EXPECT_EQ(savedProjectNames(home, TODOItem::staticEntityName()),
              (QStringList{QStringLiteral("budget"), QStringLiteral("plan")}));
}

TEST(ShellProcessTest,
     GivenALaunchKilledWhileItWaitsForTheRunningCopy_WhenTheRunningCopyQuits_ThenItEndsWithZero)
{
    TempHome home;
    // Offline, with no sync server at all.
    RunningProgram running(home, {QStringLiteral("QUADRIVO_SYNC_URL")});
    ASSERT_TRUE(running.ready) << running.app->errors.constData();
    const QString store = home.dataHome() + QStringLiteral("/Velmora/Quadrivo/") + StoreFiles::kStoreFileName;

    // The first start's own project is in the store before anything else is tried.
    const QDeadlineTimer settled(20'000);
    while (!savedProjectNames(home).contains(QStringLiteral("My Project")) && !settled.hasExpired())
        QThread::msleep(100);

    auto lock = std::make_unique<StoreWriteLock>(store);
    ASSERT_TRUE(lock->locked());
    running.app->errors.clear();
    {
        Helper abandoned(QStringLiteral(QV_PROGRAM), home, {QStringLiteral("--add-text")},
                         QByteArray("Abandoned"));
        // The save fails and its alert stays open; the launch is killed while it waits.
        ASSERT_TRUE(running.app->waitForErrorLine(QStringLiteral("qv.app: Text handed over.*"), 10'000))
            << running.app->errors.constData();
        ASSERT_TRUE(running.app->waitForErrorLine(QStringLiteral(".*Error saving file.*"), 30'000))
            << running.app->errors.constData();
        EXPECT_EQ(abandoned.process.state(), QProcess::Running);
    }
    // Its moment to notice the launch is gone (the item's fate is checked at the end).
    running.app->waitForErrorLine(QStringLiteral(".*Hand-over 1 refused"), 10'000);
    lock.reset();

    Helper next(QStringLiteral(QV_PROGRAM), home, {QStringLiteral("--add-text")}, QByteArray("Next"));
    EXPECT_EQ(next.finish(30'000), 0) << next.errors.constData();

    EXPECT_EQ(running.quit(), 0) << running.app->errors.constData();
    // The launch that was killed never learnt of an item, and none appears.
    EXPECT_EQ(savedProjectNames(home, TODOItem::staticEntityName()), QStringList{QStringLiteral("Next")});
}

} // namespace qv::test
