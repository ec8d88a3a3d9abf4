#pragma once

// The real program in a child process against the test server in another, each run in a home of
// its own, and what the benchmarks read of them: the moments the program tells of, and its memory
// and CPU time (with every process it started) from /proc.
//
// The program tells when its window's first frame is shown and when a whole sync ends through
// its "qv.milestones" log lines. A build without them is timed by what Qt itself logs: the first
// frame by the first flush of the main window ("qt.widgets.painting"), and the end of the whole
// sync at start by the regular polls that follow it kLoopStartDelayMs later, as the server sees
// them.

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <unistd.h>

namespace bench {

// The program measured: QV_BENCH_APP names another build's (to compare two builds side by side).
inline QString appProgram()
{
    const QString chosen = qEnvironmentVariable("QV_BENCH_APP");
    return chosen.isEmpty() ? QStringLiteral(QV_APP_PROGRAM) : chosen;
}

// Blocks in an event loop until done() holds, re-checking whenever output arrives and every
// 20 ms; false at the time limit.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || timer.elapsed() > timeoutMs)
            loop.quit();
    });
    tick.start(20);
    if (!done())
        loop.exec();
    return done();
}

// Lines of a child's output as they arrive, each with the moment it was read.
class LineReader : public QObject {
public:
    using Handler = std::function<void(const QByteArray& line)>;
    LineReader(QProcess& process, QProcess::ProcessChannel channel, Handler handler)
        : m_process(process), m_channel(channel), m_handler(std::move(handler))
    {
        connect(&process,
                channel == QProcess::StandardError ? &QProcess::readyReadStandardError
                                                   : &QProcess::readyReadStandardOutput,
                this, [this] { read(); });
    }
    void read()
    {
        m_buffer += m_channel == QProcess::StandardError ? m_process.readAllStandardError()
                                                         : m_process.readAllStandardOutput();
        for (qsizetype end = m_buffer.indexOf('\n'); end >= 0; end = m_buffer.indexOf('\n')) {
            m_handler(m_buffer.left(end));
            m_buffer.remove(0, end + 1);
        }
    }

private:
    QProcess& m_process;
    QProcess::ProcessChannel m_channel;
    Handler m_handler;
    QByteArray m_buffer;
};

// --- /proc

inline std::map<pid_t, pid_t> parentsOfAll()
{
    std::map<pid_t, pid_t> parents;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            parents[pid] = pid_t(fields[1].toInt());
    }
    return parents;
}

// The process and every process below it.
inline std::vector<pid_t> processTree(pid_t root)
{
    const std::map<pid_t, pid_t> parents = parentsOfAll();
    std::vector<pid_t> tree{root};
    for (std::size_t i = 0; i < tree.size(); ++i)
        for (const auto& [pid, parent] : parents)
            if (parent == tree[i])
                tree.push_back(pid);
    return tree;
}

// A "Key:   N kB" field of a /proc file, in MiB; 0 when absent.
inline double procFieldMiB(const QString& path, const QByteArray& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

inline double statusMiB(pid_t pid, const char* key)
{
    return procFieldMiB(QStringLiteral("/proc/%1/status").arg(pid), key);
}

inline double pssMiB(pid_t pid)
{
    return procFieldMiB(QStringLiteral("/proc/%1/smaps_rollup").arg(pid), "Pss:");
}

// User and system CPU time of the processes, in seconds.
inline double cpuSeconds(const std::vector<pid_t>& pids)
{
    static const double ticks = double(::sysconf(_SC_CLK_TCK));
    double total = 0;
    for (pid_t pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        // utime and stime are the 14th and 15th fields; "state" is the 3rd.
        if (fields.size() > 12)
            total += (fields[11].toDouble() + fields[12].toDouble()) / ticks;
    }
    return total;
}

// --- The test server

class Server {
public:
    // Holding that many items, made on another device, over 100 projects.
    explicit Server(int items)
    {
        m_process.setProgram(QStringLiteral(QV_FAKE_SYNC_SERVER));
        m_process.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--items"),
                                QString::number(items)});
        m_reader = std::make_unique<LineReader>(m_process, QProcess::StandardOutput,
                                                [this](const QByteArray& line) { take(line); });
        m_process.start();
        waitUntil([&] { return !m_origin.isEmpty() || m_process.state() == QProcess::NotRunning; }, 120'000);
    }
    ~Server()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // "http://127.0.0.1:<port>", empty when it did not start.
    QString origin() const { return m_origin; }
    int requests() const { return m_requests; }
    // Called with each request line the server prints ("GET /api/v1/...").
    void onRequest(std::function<void(const QByteArray&)> handler) { m_onRequest = std::move(handler); }

private:
    void take(const QByteArray& line)
    {
        if (line.startsWith("Listening on ")) {
            const QByteArray url = line.mid(13).trimmed();
            m_origin = QString::fromLatin1(url.left(url.indexOf("/api/")));
        } else if (line.startsWith("GET ") || line.startsWith("POST ") || line.startsWith("PUT ") ||
                   line.startsWith("DELETE ")) {
            ++m_requests;
            if (m_onRequest)
                m_onRequest(line);
        }
    }

    QProcess m_process;
    std::unique_ptr<LineReader> m_reader;
    QString m_origin;
    int m_requests = 0;
    std::function<void(const QByteArray&)> m_onRequest;
};

// --- A home for the program

// The folders a user's session gives the program, all private; HOME among them, so nothing
// reaches the real home.
class Home {
public:
    Home() { make(); }
    explicit Home(const QString& copyOf)
    {
        copy(copyOf, m_dir.path());
        make();
    }
    QString root() const { return m_dir.path(); }
    QString path(const char* folder) const { return m_dir.path() + QLatin1Char('/') + QLatin1String(folder); }

    // The preferences of a signed-in account, as the sign-in leaves them.
    void signIn(const QString& email) const
    {
        QFile file(path("config") + QStringLiteral("/Velmora/Quadrivo.conf"));
        file.open(QIODevice::WriteOnly);
        file.write("[General]\n_currentUser=" + email.toUtf8() + "\n");
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }

    QProcessEnvironment environment(const QString& syncOrigin, const QString& loggingRules) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), path("home"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), path("data"));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), path("cache"));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), path("state"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("run"));
        environment.insert(QStringLiteral("TMPDIR"), path("tmp"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // As the tests run the web engine: no GPU process on a machine without a display.
        environment.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
        environment.insert(QStringLiteral("QUADRIVO_SYNC_URL"), syncOrigin);
        environment.remove(QStringLiteral("QUADRIVO_WEB_URL"));
        // No session bus: no Secret Service, so the real keyring is never asked.
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), loggingRules);
        environment.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
        return environment;
    }

private:
    void make() const
    {
        for (const char* folder : {"config/Velmora", "data", "cache", "state", "run", "tmp", "home"})
            QDir().mkpath(path(folder));
        for (const char* folder :
             {"config", "config/Velmora", "data", "cache", "state", "run", "tmp", "home"})
            QFile::setPermissions(path(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // Files keep their modes; the running copy's lock and socket are not copied.
    static void copy(const QString& from, const QString& to)
    {
        QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString source = it.next();
            const QFileInfo info = it.fileInfo();
            const QString target = to + source.mid(from.size());
            if (info.isDir() && !info.isSymLink()) {
                QDir().mkpath(target);
                QFile::setPermissions(target, info.permissions());
            } else if (info.isFile() && !source.mid(from.size()).startsWith(QLatin1String("/run/"))) {
                QFile::copy(source, target);
            }
        }
    }

    QTemporaryDir m_dir;
};

// --- The program

class App {
public:
    // Started at once; the clock starts just before the program does. Qt's painting log costs
    // the program time: it is asked for only of a build without the milestone lines.
    App(const Home& home, const QString& syncOrigin, bool qtPaintLog) : m_qtPaintLog(qtPaintLog)
    {
        m_process.setProgram(appProgram());
        m_process.setWorkingDirectory(home.root());
        m_process.setProcessEnvironment(home.environment(
            syncOrigin, qtPaintLog ? QStringLiteral("qv.milestones.info=true;qt.widgets.painting=true")
                                   : QStringLiteral("qv.milestones.info=true")));
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_reader = std::make_unique<LineReader>(m_process, QProcess::StandardError,
                                                [this](const QByteArray& line) { take(line); });
        m_clock.start();
        m_process.start();
        m_process.waitForStarted();
    }
    ~App() { kill(); }

    pid_t pid() const { return pid_t(m_process.processId()); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // Milliseconds since the start; nullopt until it happened. Told by Qt's painting log when
    // that was asked for.
    std::optional<double> firstFrameMs() const { return m_qtPaintLog ? m_qtFrame : m_milestoneFrame; }
    // Whether the build tells of its first frame itself.
    bool hasMilestones() const { return m_milestoneFrame.has_value(); }
    std::optional<double> wholeSyncEndMs() const { return m_syncEnd; }
    bool wholeSyncCompleted() const { return m_syncCompleted; }
    double nowMs() const { return double(m_clock.nsecsElapsed()) / 1e6; }
    QByteArray errors() const { return m_errors; }

    // The end of the whole sync at start seen from the server: the first regular poll comes
    // kLoopStartDelayMs after it (a build without the milestone line).
    void serverRequest(const QByteArray& line)
    {
        if (m_regularPoll || !line.startsWith("GET "))
            return;
        const bool poll = line.startsWith("GET /api/v1/item/?") || line.startsWith("GET /api/v1/project/?");
        if (!poll)
            return;
        if (line.contains("timestamp__gte=1970-01-01"))
            m_sawWholePoll = true;
        else if (m_sawWholePoll && !m_regularPoll)
            m_regularPoll = nowMs();
    }
    std::optional<double> regularPollMs() const { return m_regularPoll; }

    // Process tree memory and CPU.
    double treePssMiB() const
    {
        double total = 0;
        for (pid_t each : processTree(pid()))
            total += pssMiB(each);
        return total;
    }
    int treeSize() const { return int(processTree(pid()).size()); }
    double treeCpuSeconds() const { return cpuSeconds(processTree(pid())); }

    // Waits until the program and every process it started have been quiet: at least minMs
    // after now, then until they used under 10 ms of CPU in the last 500 ms (2% of one core);
    // at most maxMs. Returns the milliseconds waited.
    double settle(double minMs, double maxMs)
    {
        const double from = nowMs();
        waitUntil([&] { return nowMs() - from >= minMs || !running(); }, int(maxMs));
        double cpu = treeCpuSeconds();
        while (running() && nowMs() - from < maxMs) {
            waitUntil([] { return false; }, 500);
            const double now = treeCpuSeconds();
            if (now - cpu < 0.010)
                break;
            cpu = now;
        }
        return nowMs() - from;
    }

    // SIGTERM and the program's own quit sequence (which saves everything); true when it ended.
    bool quit(int timeoutMs = 60'000)
    {
        if (!running())
            return false;
        ::kill(pid(), SIGTERM);
        const bool ended = waitUntil([&] { return !running(); }, timeoutMs);
        killTree(m_lastTree);
        return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

    // The whole tree at once, processes the program started first.
    void kill()
    {
        if (running()) {
            m_lastTree = processTree(pid());
            killTree(m_lastTree);
            m_process.waitForFinished(10'000);
        }
    }

    bool waitFor(const std::function<bool()>& done, int timeoutMs)
    {
        const bool result = waitUntil([&] { return done() || !running(); }, timeoutMs) && done();
        if (running())
            m_lastTree = processTree(pid());
        return result;
    }

private:
    static void killTree(const std::vector<pid_t>& tree)
    {
        for (auto it = tree.rbegin(); it != tree.rend(); ++it)
            ::kill(*it, SIGKILL);
    }

    void take(const QByteArray& line)
    {
        const double now = nowMs();
        if (line.startsWith("qv.milestones: First frame of the window painted")) {
            if (!m_milestoneFrame)
                m_milestoneFrame = now;
        } else if (line.startsWith("qv.milestones: Whole sync ")) {
            if (!m_syncEnd) {
                m_syncEnd = now;
                m_syncCompleted = line.endsWith("completed");
            }
        } else if (line.startsWith("qt.widgets.painting: Flushing ") && line.contains("qv::MainWindow")) {
            if (!m_qtFrame)
                m_qtFrame = now;
        } else if (!line.startsWith("qt.widgets.painting") && m_errors.size() < 64 * 1024) {
            m_errors += line + '\n';
        }
    }

    const bool m_qtPaintLog;
    QProcess m_process;
    std::unique_ptr<LineReader> m_reader;
    QElapsedTimer m_clock;
    std::optional<double> m_milestoneFrame;
    std::optional<double> m_qtFrame;
    std::optional<double> m_syncEnd;
    std::optional<double> m_regularPoll;
    bool m_sawWholePoll = false;
    bool m_syncCompleted = false;
    std::vector<pid_t> m_lastTree;
    QByteArray m_errors;
};

// Whether the build tells of its first frame itself: a short start without a sync server.
// QV_BENCH_QT_SIGNALS=1 times a build that has the lines as one without (to compare the two ways).
inline bool buildHasMilestones()
{
    static const bool has = [] {
        if (qEnvironmentVariableIntValue("QV_BENCH_QT_SIGNALS") == 1)
            return false;
        Home home;
        App app(home, QString(), true);
        app.waitFor([&] { return app.firstFrameMs().has_value(); }, 60'000);
        app.waitFor([&] { return app.hasMilestones(); }, 2'000);
        const bool milestones = app.hasMilestones();
        if (!app.firstFrameMs())
            std::fprintf(stderr, "%s showed no window:\n%s\n", qPrintable(appProgram()),
                         app.errors().constData());
        return milestones;
    }();
    return has;
}

} // namespace bench
