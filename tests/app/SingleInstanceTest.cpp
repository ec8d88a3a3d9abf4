#include "app/SingleInstance.h"
#include "core/document/StoreFiles.h"
#include "core/model/TODOList.h"
#include "core/model/TodoModel.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace qv::test {

namespace {

// A helper process with its own home (every XDG folder, the runtime folder included).
class Helper {
public:
    Helper(const TempHome& home, QStringList arguments, const QByteArray& input = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.root() + QStringLiteral("/home"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.dataHome());
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.cacheHome());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.runtimeDir());
        environment.insert(QStringLiteral("QUADRIVO_SYNC_URL"), QStringLiteral("https://sync.test:8443"));
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(home.root());
        process.setProgram(QStringLiteral(QV_SHELL_HELPER));
        process.setArguments(arguments);
        process.start();
        process.waitForStarted();
        if (!input.isNull()) {
            process.write(input);
            process.closeWriteChannel();
        }
    }
    ~Helper()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // Waits until a whole line matching the pattern has been printed.
    bool waitForLine(const QString& pattern, int timeoutMs = 15'000)
    {
        const QRegularExpression expression(QStringLiteral("^") + pattern + QStringLiteral("$"));
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            output += process.readAllStandardOutput();
            for (const QByteArray& line : output.split('\n')) {
                if (expression.match(QString::fromUtf8(line)).hasMatch())
                    return true;
            }
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(100);
        }
    }

    int finish(int timeoutMs = 15'000)
    {
        process.waitForFinished(timeoutMs);
        output += process.readAllStandardOutput();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QProcess process;
    QByteArray output;
};

QStringList savedProjectNames(const TempHome& home)
{
    const QString path = home.dataHome() + QStringLiteral("/Velmora/Quadrivo/") + StoreFiles::kStoreFileName;
    ManualScheduler scheduler;
    store::StoreError error;
    auto context = store::Context::open(path, TodoModel::shared(), scheduler, &error);
    if (!context)
        return {QStringLiteral("<unreadable: %1>").arg(error.message)};
    QStringList names;
    for (store::ManagedObject* object : context->objects(TODOList::staticEntityName()))
        names << object->value(QStringLiteral("name")).toString();
    return names;
}

} // namespace

// --- One copy per user

TEST(SingleInstanceTest, GivenACopyRuns_WhenAPlainSecondCopyStarts_ThenItShowsTheAlertAndQuits)
{
    TempHome home;
    Helper first(home, {QStringLiteral("guard")});
    ASSERT_TRUE(first.waitForLine(QStringLiteral("primary"))) << first.output.constData();

    Helper second(home, {QStringLiteral("guard")});
    EXPECT_EQ(second.finish(), 3);
    const SingleInstance::Alert alert = SingleInstance::alreadyRunningAlert();
    EXPECT_EQ(alert.message, QStringLiteral("Another copy of Quadrivo is already running."));
    EXPECT_EQ(alert.informative, QStringLiteral("This copy will now quit."));
    EXPECT_TRUE(second.output.contains((alert.message + u'\n' + alert.informative + u'\n').toUtf8()));
    // The running copy is not told.
    first.output += first.process.readAllStandardOutput();
    EXPECT_FALSE(first.output.contains("message"));

    // Only the user can reach the socket.
    const QFileInfo socket(home.runtimeDir() + QStringLiteral("/quadrivo.socket"));
    ASSERT_TRUE(socket.exists());
    EXPECT_EQ(socket.permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                      QFileDevice::ReadOther | QFileDevice::WriteOther),
              QFileDevice::Permissions());
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

// --- The real delegate in a process of its own

TEST(ShellProcessTest, GivenTheApplicationRuns_WhenALinkIsForwarded_ThenTheRunningDelegateSelectsTheProject)
{
    TempHome home;
    Helper app(home, {QStringLiteral("app"), QStringLiteral("--quit-delay-ms"), QStringLiteral("100")});
    ASSERT_TRUE(app.waitForLine(QStringLiteral("ready"))) << app.output.constData();

    Helper link(home,
                {QStringLiteral("guard"), QStringLiteral("quadrivo://sync.test:8443/api/v1/project/42")});
    EXPECT_EQ(link.finish(), 0);
    EXPECT_TRUE(app.waitForLine(QStringLiteral("selectProject 42 missing"))) << app.output.constData();

    Helper bare(home, {QStringLiteral("guard"), QStringLiteral("quadrivo://")});
    EXPECT_EQ(bare.finish(), 0);
    EXPECT_TRUE(app.waitForLine(QStringLiteral("status Welcome to Quadrivo!"))) << app.output.constData();
}

TEST(ShellProcessTest,
     GivenAnUnsavedEdit_WhenTheProcessGetsSigtermOrSigint_ThenItExitsCleanlyWithTheEditSaved)
{
    for (const int signalNumber : {SIGTERM, SIGINT}) {
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

} // namespace qv::test
