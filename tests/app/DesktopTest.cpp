// The installed program's window on a private X display with a small window manager: what
// only the window manager decides (minimised, maximised, the active window) is read back
// from it. Without Xvfb, openbox, xdotool, xprop and wmctrl the tests are skipped.
#include "tests/app/ShellProcess.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>

namespace qv::test {

namespace {

const QString kProgram = QStringLiteral(QV_PROGRAM);
// The program finds its display through DISPLAY alone, and has no sync server to sign in to.
const QStringList kUnset{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("WAYLAND_DISPLAY"),
                         QStringLiteral("QUADRIVO_SYNC_URL")};

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20'000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(100);
    }
    return true;
}

// An X server of its own with openbox on it.
class Desktop {
public:
    static bool toolsPresent()
    {
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop", "wmctrl"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return false;
        }
        return true;
    }

    Desktop()
    {
        // The server prints its display number once it takes connections.
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1280x900x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
        QByteArray number;
        const QDeadlineTimer deadline(15'000);
        while (!number.contains('\n') && !deadline.hasExpired() && m_server.state() != QProcess::NotRunning) {
            m_server.waitForReadyRead(100);
            number += m_server.readAllStandardOutput();
        }
        if (!number.contains('\n'))
            return;
        display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        qputenv("DISPLAY", display.toLocal8Bit());
        // On X the program loads the system's GL and D-Bus libraries, which keep memory until
        // exit with no symbols a suppression could name: its leaks are not looked for here
        // (every other sanitizer check stays on, and the suites without a display look for them).
        if (!m_sanitizerOptions.isEmpty())
            qputenv("ASAN_OPTIONS", m_sanitizerOptions + ":detect_leaks=0");
        m_windowManager.start(QStringLiteral("openbox"), {});
        if (!waitUntil([] {
                return run(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                    .contains("window id");
            }))
            display.clear();
    }
    ~Desktop()
    {
        for (QProcess* process : {&m_windowManager, &m_server}) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
            process->waitForFinished(5000);
        }
        qunsetenv("DISPLAY");
        if (!m_sanitizerOptions.isEmpty())
            qputenv("ASAN_OPTIONS", m_sanitizerOptions);
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Runs a tool against the display and gives what it printed.
    static QByteArray run(const QString& tool, const QStringList& arguments)
    {
        QProcess process;
        process.start(tool, arguments);
        process.waitForFinished(10'000);
        return process.readAllStandardOutput().trimmed();
    }

    // The program's main window, once the window manager shows it.
    static QByteArray window()
    {
        QByteArray id;
        waitUntil([&id] {
            id = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                 QStringLiteral("--name"), QStringLiteral("Quadrivo$")})
                     .split('\n')
                     .value(0);
            return !id.isEmpty();
        });
        return id;
    }
    static bool isMinimised(const QByteArray& window)
    {
        return run(QStringLiteral("xprop"),
                   {QStringLiteral("-id"), QString::fromLatin1(window), QStringLiteral("WM_STATE")})
            .contains("Iconic");
    }
    static bool isMaximised(const QByteArray& window)
    {
        return run(QStringLiteral("xprop"),
                   {QStringLiteral("-id"), QString::fromLatin1(window), QStringLiteral("_NET_WM_STATE")})
            .contains("_NET_WM_STATE_MAXIMIZED_HORZ");
    }
    static bool isActive(const QByteArray& window)
    {
        return run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}) == window;
    }

    QString display;

private:
    const QByteArray m_sanitizerOptions = qgetenv("ASAN_OPTIONS");
    QProcess m_server;
    QProcess m_windowManager;
};

class DesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (Desktop::toolsPresent())
            s_desktop = std::make_unique<Desktop>();
    }
    static void TearDownTestSuite() { s_desktop.reset(); }
    void SetUp() override
    {
        if (!s_desktop)
            GTEST_SKIP() << "needs Xvfb, openbox, xdotool, xprop and wmctrl";
        ASSERT_FALSE(s_desktop->display.isEmpty()) << "the private display did not start";
    }

    static void quit(Helper& app)
    {
        ::kill(pid_t(app.process.processId()), SIGTERM);
        EXPECT_EQ(app.finish(), 0) << app.errors.constData();
    }

    TempHome home;
    static std::unique_ptr<Desktop> s_desktop;
};

std::unique_ptr<Desktop> DesktopTest::s_desktop;

} // namespace

TEST_F(DesktopTest, GivenTheWindowMinimised_WhenTheProgramIsLaunchedAgain_ThenItIsRestoredAndActive)
{
    Helper app(kProgram, home, {}, {}, kUnset);
    const QByteArray window = Desktop::window();
    ASSERT_FALSE(window.isEmpty()) << app.errors.constData();
    Desktop::run(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), QString::fromLatin1(window)});
    ASSERT_TRUE(waitUntil([&] { return Desktop::isMinimised(window); }));

    Helper again(kProgram, home, {}, {}, kUnset);
    EXPECT_EQ(again.finish(), 0) << again.errors.constData();

    EXPECT_TRUE(waitUntil([&] { return !Desktop::isMinimised(window) && Desktop::isActive(window); }))
        << "minimised: " << Desktop::isMinimised(window) << ", active: " << Desktop::isActive(window);
    quit(app);
}

TEST_F(DesktopTest, GivenTheWindowLeftMaximised_WhenTheProgramStartsAgain_ThenItIsMaximised)
{
    {
        Helper app(kProgram, home, {}, {}, kUnset);
        const QByteArray window = Desktop::window();
        ASSERT_FALSE(window.isEmpty()) << app.errors.constData();
        EXPECT_FALSE(Desktop::isMaximised(window));
        Desktop::run(QStringLiteral("wmctrl"),
                     {QStringLiteral("-i"), QStringLiteral("-r"), QString::fromLatin1(window),
                      QStringLiteral("-b"), QStringLiteral("add,maximized_vert,maximized_horz")});
        ASSERT_TRUE(waitUntil([&] { return Desktop::isMaximised(window); }));
        // Closed through the window manager, the request reaches the window after the state
        // change it made, as a user's click would.
        Desktop::run(QStringLiteral("wmctrl"),
                     {QStringLiteral("-i"), QStringLiteral("-c"), QString::fromLatin1(window)});
        EXPECT_EQ(app.finish(), 0) << app.errors.constData();
    }

    Helper app(kProgram, home, {}, {}, kUnset);
    const QByteArray window = Desktop::window();
    ASSERT_FALSE(window.isEmpty()) << app.errors.constData();
    EXPECT_TRUE(waitUntil([&] { return Desktop::isMaximised(window); }, 5'000));
    quit(app);
}

} // namespace qv::test
