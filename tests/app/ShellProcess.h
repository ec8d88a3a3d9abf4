#pragma once

#include "tests/support/TestEnvironment.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace qv::test {

// A process of the shell's (the helper program by default) with its own home: every XDG
// folder, the runtime folder included.
class Helper {
public:
    Helper(const TempHome& home, QStringList arguments, const QByteArray& input = {})
        : Helper(QStringLiteral(QV_SHELL_HELPER), home, std::move(arguments), input)
    {
    }
    Helper(const QString& program, const TempHome& home, QStringList arguments, const QByteArray& input = {},
           const QStringList& unset = {})
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
        process.setProgram(program);
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
        errors += process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QProcess process;
    QByteArray output;
    QByteArray errors;
};

} // namespace qv::test
