#pragma once

#include "tests/support/TestEnvironment.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

namespace qv::test {

// A process of the shell's (the helper program by default) with its own home: every XDG
// folder, the runtime folder included.
class Helper {
public:
    Helper(const TempHome& home, QStringList arguments, const QByteArray& input = {})
        : Helper(QStringLiteral(QV_SHELL_HELPER), home, std::move(arguments), input)
    {
    }
    // As root, permissions do not hold: RunAs::Nobody runs the program as an ordinary user (the
    // home is handed over to it) so that a folder made read-only is read-only to it.
    enum class RunAs { Self, Nobody };
    static constexpr uid_t kNobody = 65534;

    Helper(const QString& program, const TempHome& home, QStringList arguments, const QByteArray& input = {},
           const QStringList& unset = {}, RunAs runAs = RunAs::Self)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.root() + QStringLiteral("/home"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.configHome());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.dataHome());
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.cacheHome());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.runtimeDir());
        environment.insert(QStringLiteral("QUADRIVO_SYNC_URL"), QStringLiteral("https://sync.test:8443"));
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        for (const QString& name : unset)
            environment.remove(name);
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(home.root());
        if (runAs == RunAs::Nobody && ::geteuid() == 0) {
            giveAway(home.root());
            process.setChildProcessModifier([] {
                if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                    ::_exit(127);
            });
        }
        process.setProgram(program);
        process.setArguments(arguments);
        process.start();
        process.waitForStarted();
        if (!input.isNull()) {
            process.write(input);
            // Written now, not whenever this process next waits on the child.
            process.waitForBytesWritten(5000);
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

    // Whether the helper program can be run that way: as root, the ordinary user must reach it.
    static bool canRunAs(RunAs runAs)
    {
        if (runAs == RunAs::Self || ::geteuid() != 0)
            return true;
        for (QString path = QStringLiteral(QV_SHELL_HELPER); path != QLatin1String("/");
             path = QFileInfo(path).path()) {
            struct stat info {};
            if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !(info.st_mode & S_IXOTH))
                return false;
        }
        return true;
    }

    // Waits until a whole line matching the pattern has been printed.
    bool waitForLine(const QString& pattern, int timeoutMs = 15'000)
    {
        return waitFor(QProcess::StandardOutput, output, pattern, timeoutMs);
    }
    // The same for what it prints on standard error (the logs).
    bool waitForErrorLine(const QString& pattern, int timeoutMs = 15'000)
    {
        return waitFor(QProcess::StandardError, errors, pattern, timeoutMs);
    }

    // The exit status; -1 after a crash or while it still runs.
    int finish(int timeoutMs = 15'000)
    {
        process.waitForFinished(timeoutMs);
        output += process.readAllStandardOutput();
        errors += process.readAllStandardError();
        if (process.state() != QProcess::NotRunning)
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QProcess process;
    QByteArray output;
    QByteArray errors;

private:
    bool waitFor(QProcess::ProcessChannel channel, QByteArray& printed, const QString& pattern, int timeoutMs)
    {
        const QRegularExpression expression(QStringLiteral("^") + pattern + QStringLiteral("$"));
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            process.setReadChannel(channel);
            printed += process.readAll();
            for (const QByteArray& line : printed.split('\n')) {
                if (expression.match(QString::fromUtf8(line)).hasMatch())
                    return true;
            }
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(100);
        }
    }

    static void giveAway(const QString& root)
    {
        if (::chown(QFile::encodeName(root).constData(), kNobody, kNobody) != 0)
            return;
        QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            (void)::lchown(QFile::encodeName(it.next()).constData(), kNobody, kNobody);
    }
};

} // namespace qv::test
