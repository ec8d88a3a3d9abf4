// A small program for the shell's two-process tests. "guard" runs only the single-instance
// guard, as the entry point does; "app" runs the real delegate over the real services on the
// store of the home the environment names, with a window that prints what it is asked.
#include "app/AppDelegate.h"
#include "app/LaunchRequest.h"
#include "app/QuitSignals.h"
#include "app/ShellAdapters.h"
#include "app/SingleInstance.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/util/BuildInfo.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/store/Context.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QString& line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

QByteArray readStandardInput()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return {};
    return input.read(qv::LaunchRequest::kMaxTextBytes);
}

struct Options {
    qint64 quitDelayMs = qv::AppDelegate::kQuitDelayMs;
    int connectTimeoutMs = 5000;
    qint64 handOverSaveWaitMs = qv::AppDelegate::kHandOverSaveWaitMs;
    // How long a save waits for another process's lock on the store; 0: the store's own.
    int busyTimeoutMs = 0;
};

// Starts the guard as the entry point does; -1 when this process is the running copy.
int startGuard(qv::SingleInstance& guard, const qv::LaunchRequest& request, const Options& options)
{
    QString error;
    switch (guard.start(request.toMessage(), &error, options.connectTimeoutMs)) {
    case qv::SingleInstance::Outcome::Primary:
        return -1;
    case qv::SingleInstance::Outcome::Forwarded:
        say(QStringLiteral("forwarded"));
        return 0;
    case qv::SingleInstance::Outcome::Refused:
        say(QStringLiteral("refused ") + error);
        return 5;
    case qv::SingleInstance::Outcome::Unreachable:
        if (!request.isEmpty()) {
            say(QStringLiteral("unreachable ") + error);
            return 4;
        }
        say(qv::SingleInstance::alreadyRunningAlert().message);
        say(qv::SingleInstance::alreadyRunningAlert().informative);
        return 3;
    case qv::SingleInstance::Outcome::Failed:
        say(QStringLiteral("failed ") + error);
        return 4;
    }
    return 4;
}

class PrintingWindow : public qv::ShellWindow {
public:
    explicit PrintingWindow(qv::MyDocument& document) : m_document(document) {}
    void showWindow() override { say(QStringLiteral("window.show")); }
    void hideWindow() override { say(QStringLiteral("window.hide")); }
    void requestAttention() override {}
    void reselectLastProject() override {}
    bool selectProjectWithID(qint64 id) override
    {
        const bool found = m_document.getProjectWithID(id) != nullptr;
        say(QStringLiteral("selectProject %1 %2").arg(id).arg(found ? "found" : "missing"));
        return found;
    }
    bool selectItemWithServerID(qint64 id) override
    {
        say(QStringLiteral("selectItem %1").arg(id));
        return false;
    }
    int numberOfProjectRows() const override { return m_document.totalNumberOfLists(); }
    void selectProjectRow(int) override {}
    void setStatusBarMessage(const QString& message) override { say(QStringLiteral("status ") + message); }
    bool syncAndRunAfter(std::function<void()>) override { return false; }
    void reloadCollaboratorsOfSelectedProject() override {}

private:
    qv::MyDocument& m_document;
};

struct Parts : qv::AppDelegate::DocumentParts {
    std::unique_ptr<PrintingWindow> printingWindow;
};

int runGuard(const qv::LaunchRequest& request, const Options& options)
{
    qv::SingleInstance guard;
    guard.setWaitingNotice([] { say(QStringLiteral("waiting for the running copy to end")); });
    if (const int code = startGuard(guard, request, options); code >= 0)
        return code;
    guard.setMessageHandler([](const QByteArray& message, const qv::SingleInstance::Answer& answer,
                               const qv::SingleInstance::Waiting&) {
        say(QStringLiteral("message ") + QString::fromUtf8(message));
        answer(true);
    });
    qv::QuitSignals signalHandlers;
    QObject::connect(&signalHandlers, &qv::QuitSignals::received, [] { QCoreApplication::exit(0); });
    say(QStringLiteral("primary"));
    return QCoreApplication::exec();
}

int runApp(const qv::LaunchRequest& request, const Options& options)
{
    qv::SingleInstance guard;
    if (const int code = startGuard(guard, request, options); code >= 0)
        return code;

    qv::SystemClock clock;
    qv::QtScheduler scheduler;
    qv::Preferences preferences;
    qv::NotificationCenter notifications;
    qv::ScriptedAlerts alerts;

    qv::AppDelegate::Dependencies deps;
    deps.services = {&clock, &scheduler, &preferences, &notifications, &alerts};
    deps.syncHost = qv::BuildInfo::syncHost();
    deps.quitDelayMs = options.quitDelayMs;
    deps.handOverSaveWaitMs = options.handOverSaveWaitMs;
    deps.documentOpened = [&options](qv::MyDocument& document) {
        if (options.busyTimeoutMs > 0)
            document.context().setBusyTimeout(options.busyTimeoutMs);
        auto parts = std::make_unique<Parts>();
        parts->printingWindow = std::make_unique<PrintingWindow>(document);
        parts->window = parts->printingWindow.get();
        document.awakeFromNib();
        return parts;
    };
    deps.terminateApplication = [](int status) {
        QCoreApplication::exit(status);
    };
    // Announcements go only to a host the test names.
    if (const QString host = qEnvironmentVariable("QUADRIVO_WEB_URL"); !host.isEmpty()) {
        deps.makeAnnouncer = [host] {
            return std::make_unique<qv::UsageAnnouncements>(qv::PingController::Options{host, {}, {}});
        };
    }
    QElapsedTimer quitClock;
    deps.quitStarted = [&guard, &quitClock] {
        guard.setQuitting();
        quitClock.start();
        say(QStringLiteral("quitting"));
    };
    qv::AppDelegate delegate(deps);

    // As the entry point wires it.
    guard.setMessageHandler([&](const QByteArray& message, const qv::SingleInstance::Answer& answer,
                                const qv::SingleInstance::Waiting& waiting) {
        if (const auto forwarded = qv::LaunchRequest::fromMessage(message))
            delegate.handleLaunchRequest(*forwarded, answer, waiting);
        else
            answer(false);
    });
    qv::QuitSignals signalHandlers;
    QObject::connect(&signalHandlers, &qv::QuitSignals::received,
                     [&](int number) { delegate.terminationSignal(number); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&] {
        delegate.applicationAboutToQuit();
        if (quitClock.isValid())
            say(QStringLiteral("ended %1 ms after the quit began").arg(quitClock.elapsed()));
    });

    // Commands on standard input: "edit NAME" adds a project, "item NAME" adds an item to the
    // first project, "star NAME" stars that item, "show NAME" prints whether it is starred, and
    // "save" saves the document and writes the preferences (so that a kill after "saved" never
    // meets a half-made lock file of the preferences).
    const auto findItem = [&](const QString& name) -> qv::TODOItem* {
        for (qv::store::ManagedObject* object :
             delegate.document()->context().objects(qv::TODOItem::staticEntityName())) {
            if (object->value(QStringLiteral("name")).toString() == name)
                return static_cast<qv::TODOItem*>(object);
        }
        return nullptr;
    };
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, count);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            qv::MyDocument* document = delegate.document();
            const QString command = line.section(u' ', 0, 0);
            const QString name = line.section(u' ', 1);
            if (!document)
                continue;
            if (command == QLatin1String("edit")) {
                auto* project = document->context().insert<qv::TODOList>(qv::TODOList::staticEntityName());
                project->setName(name);
                say(QStringLiteral("edited ") + name);
            } else if (command == QLatin1String("item")) {
                const std::vector<qv::TODOList*> projects = document->getAllProjects();
                qv::TODOItem* item =
                    document->newItemForProject(projects.empty() ? nullptr : projects.front());
                item->setName(name);
                say(QStringLiteral("added ") + name);
            } else if (qv::TODOItem* item = findItem(name); command == QLatin1String("star") && item) {
                item->setStarred(true);
                say(QStringLiteral("starred ") + name);
            } else if (command == QLatin1String("show")) {
                say(QStringLiteral("item %1 %2")
                        .arg(name, !item                ? "missing"
                                   : item->getStarred() ? "starred"
                                                        : "not starred"));
            } else if (command == QLatin1String("save")) {
                document->saveFile();
                preferences.flush();
                say(QStringLiteral("saved"));
            }
        }
    });

    delegate.applicationWillFinishLaunching();
    delegate.handleLaunchRequest(request);
    delegate.applicationDidFinishLaunching();
    // The scripted alerts are dismissed as soon as they are shown.
    for (const qv::ScriptedAlerts::Shown& shown : alerts.shown())
        say(QStringLiteral("alert ") + shown.message + u'\n' + shown.informative);
    say(delegate.initialized() ? QStringLiteral("ready") : QStringLiteral("not initialized"));
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Quadrivo"));
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        say(QStringLiteral(
            "usage: shell_process_helper guard|app [--quit-delay-ms N] [--connect-timeout-ms N] "
            "[--hand-over-wait-ms N] [--busy-timeout-ms N] [quadrivo arguments]"));
        return 2;
    }
    const QString mode = arguments.takeAt(1);
    Options options;
    while (arguments.size() >= 3 && arguments[1].endsWith(QLatin1String("-ms"))) {
        if (arguments[1] == QLatin1String("--quit-delay-ms"))
            options.quitDelayMs = arguments[2].toLongLong();
        else if (arguments[1] == QLatin1String("--connect-timeout-ms"))
            options.connectTimeoutMs = arguments[2].toInt();
        else if (arguments[1] == QLatin1String("--hand-over-wait-ms"))
            options.handOverSaveWaitMs = arguments[2].toLongLong();
        else if (arguments[1] == QLatin1String("--busy-timeout-ms"))
            options.busyTimeoutMs = arguments[2].toInt();
        else
            break;
        arguments.remove(1, 2);
    }
    const qv::ParsedLaunch parsed =
        qv::LaunchRequest::fromArguments(arguments, readStandardInput, QDir::currentPath());
    if (!parsed.request) {
        say(parsed.output);
        return parsed.exitCode;
    }
    if (mode == QLatin1String("guard"))
        return runGuard(*parsed.request, options);
    if (mode == QLatin1String("app"))
        return runApp(*parsed.request, options);
    return 2;
}
