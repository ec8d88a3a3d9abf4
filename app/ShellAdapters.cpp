#include "app/ShellAdapters.h"

#include "app/AppLogging.h"
#include "app/AttachmentParts.h"
#include "app/CollaborationShell.h"
#include "app/FeedParts.h"
#include "app/LaunchRequest.h"
#include "app/SharingWiring.h"
#include "app/TeamWiring.h"
#include "core/document/MyDocument.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "diagnostics/core/Lookout.h"
#include "diagnostics/crash/Crashwatch.h"
#include "exchange/iCalController.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "platform/Scheduler.h"
#include "platform/rest/NetworkReachability.h"
#include "platform/rest/RestClient.h"
#include "sync/AvatarManager.h"
#include "sync/CollaborationManager.h"
#include "sync/QVRemindersManager.h"
#include "sync/QVRestManager.h"
#include "ui/board/AccountCommands.h"
#include "ui/board/Board.h"
#include "ui/board/ProjectListController.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WindowCommands.h"
#include "ui/team/TeamViewController.h"
#include "ui/web/WebEngineLoader.h"

#include <QApplication>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <utility>

namespace qv {

QByteArray readStandardInput()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return {};
    return input.read(LaunchRequest::kMaxTextBytes);
}

void runCommand(const QString& program, const QStringList& arguments,
                std::function<void(int, const QByteArray&)> done)
{
    auto* process = new QProcess(qApp);
    process->setStandardErrorFile(QProcess::nullDevice());
    auto finish = [process, done = std::move(done), reported = false](int status) mutable {
        if (reported)
            return;
        reported = true;
        done(status, status == -1 ? QByteArray() : process->readAllStandardOutput());
        process->deleteLater();
    };
    auto shared = std::make_shared<decltype(finish)>(std::move(finish));
    QObject::connect(process, &QProcess::finished, process, [shared](int code, QProcess::ExitStatus status) {
        (*shared)(status == QProcess::NormalExit ? code : -1);
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [shared](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            (*shared)(-1);
    });
    process->start(program, arguments);
}

void CrashReporterEntry::start()
{
    Lookout::with({&Crashwatch::sharedInstance()});
}

void CrashReporterEntry::setUserEmail(const QString& email)
{
    Crashwatch::sharedInstance().setUserEmail(email);
}

EngineShell::EngineShell(QVRestManager& engine, const Services& services)
    : m_engine(engine), m_services(services)
{
}

void EngineShell::setReachability(rest::NetworkReachability* reachability)
{
    QObject::disconnect(m_connection);
    m_connection = {};
    m_reachability = reachability;
    connectReachability();
}

void EngineShell::connectReachability()
{
    if (m_observingReachability && m_reachability && !m_connection)
        m_connection = QObject::connect(m_reachability, &rest::NetworkReachability::reachabilityChanged,
                                        &m_engine, &QVRestManager::reachabilityChanged);
}

void EngineShell::startAllLoops()
{
    m_engine.startAllLoops();
}

void EngineShell::stopAllLoops()
{
    m_engine.stopAllLoops();
}

void EngineShell::startObservingReachability()
{
    m_observingReachability = true;
    connectReachability();
}

void EngineShell::stopObservingNotifications()
{
    m_observingReachability = false;
    QObject::disconnect(m_connection);
    if (m_services.notifications)
        m_services.notifications->removeObserver(&m_engine);
}

QString EngineShell::currentUserEmail() const
{
    return m_engine.getCurrentUserEmail();
}

QDateTime EngineShell::timeLastSync() const
{
    // Written by the sync window when a whole-document sync completes.
    const QVariant stored = m_services.preferences->value(QStringLiteral("kLastSyncTime"));
    if (stored.typeId() == QMetaType::QDateTime)
        return stored.toDateTime();
    bool isNumber = false;
    const qint64 seconds = stored.toLongLong(&isNumber);
    return isNumber && seconds > 0 ? QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC) : QDateTime();
}

int EngineShell::requestsInFlight() const
{
    // Requests still queued stay unsent once the loops stop; only those on the wire are awaited.
    return m_engine.client().loadingCount();
}

WindowActivation::WindowActivation(QObject& window, std::function<void()> activated)
    : m_window(window), m_activated(std::move(activated))
{
    m_window.installEventFilter(this);
}

bool WindowActivation::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::WindowActivate && m_activated)
        m_activated();
    return false;
}

FirstFrameWatch::FirstFrameWatch(QObject& window, Scheduler& scheduler)
    : m_window(window), m_scheduler(scheduler)
{
    m_window.installEventFilter(this);
}

void FirstFrameWatch::afterFirstFrame(std::function<void()> run)
{
    if (m_painted) {
        m_scheduler.post(this, std::move(run));
        return;
    }
    m_waiting.push_back(std::move(run));
    if (!m_bound)
        m_bound = m_scheduler.after(kBoundMs, this, [this] {
            m_bound = 0;
            painted();
        });
}

bool FirstFrameWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::Paint && !m_painted)
        painted();
    return false;
}

void FirstFrameWatch::painted()
{
    m_painted = true;
    m_window.removeEventFilter(this);
    m_scheduler.cancel(std::exchange(m_bound, 0));
    for (std::function<void()>& run : std::exchange(m_waiting, {}))
        m_scheduler.post(this, std::move(run));
}

WindowShell::WindowShell(MainWindow& window, MyDocument& document, QVRestManager& engine,
                         Scheduler& scheduler, std::function<void()> activated)
    : m_window(window), m_document(document), m_fetcher(engine), m_scheduler(scheduler),
      m_activation(window, std::move(activated)), m_firstFrame(window, scheduler)
{
    m_window.projectListView()->setFetcher(&m_fetcher);
}

WindowShell::~WindowShell()
{
    m_window.projectListView()->setFetcher(nullptr);
}

bool EngineProjectFetcher::getProjectAndItemsForProjectWithID(qint64 projectID, std::function<void()> success,
                                                              std::function<void()> failure)
{
    if (!m_engine.hasOrigin())
        return false;
    m_engine.getProjectAndItemsForProjectWithID(
        projectID,
        [success = std::move(success)](TODOList*) {
            if (success)
                success();
        },
        [failure = std::move(failure)](const QString& error) {
            qCWarning(lcApp, "lazily loaded project not fetched: %s", qUtf8Printable(error));
            if (failure)
                failure();
        });
    return true;
}

void WindowShell::afterFirstFrame(std::function<void()> run)
{
    m_firstFrame.afterFirstFrame(std::move(run));
}

void WindowShell::reloadCollaboratorsOfSelectedProject()
{
    if (m_team)
        m_team->reloadCollaborators();
}

void WindowShell::showWindow()
{
    // A minimised window comes back as it was, not only a covered one.
    if (m_window.windowState() & Qt::WindowMinimized)
        m_window.setWindowState((m_window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

void WindowShell::hideWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            widget->hide();
    }
}

void WindowShell::requestAttention()
{
    QApplication::alert(&m_window, 0);
}

void WindowShell::reselectLastProject()
{
    m_window.selectLastSelectedProjectAfterDelay();
}

bool WindowShell::selectProjectWithID(qint64 id)
{
    TODOList* project = TODOList::findWithID(id, m_document.context());
    return project && m_window.projectListView()->selectProject(project) != -1;
}

bool WindowShell::selectItemWithServerID(qint64 serverID)
{
    TODOItem* item = TODOItem::findWithID(serverID, m_document.context());
    if (!item || !item->isValidUniID())
        return false;
    TODOList* project = item->list();
    if (!project || project->id_() < 1 || !selectProjectWithID(project->id_()))
        return false;
    m_scheduler.post(&m_lifetime, [this, item] { m_window.board().selectItem(item); });
    return true;
}

int WindowShell::numberOfProjectRows() const
{
    return m_window.projectListView()->controller().rowCount();
}

void WindowShell::selectProjectRow(int row)
{
    if (m_window.projectListView()->controller().selectRow(row))
        m_window.projectListView()->scrollToSelectedProject();
}

void WindowShell::setStatusBarMessage(const QString& message)
{
    m_window.setStatusBarMessage(message);
}

bool WindowShell::syncAndRunAfter(std::function<void()> completion)
{
    return m_window.commands().syncAndRunAfter(std::move(completion));
}

void OverlayWipeProgress::begin()
{
    m_window.commands().showGrayOverlayNoSyncing();
}

void OverlayWipeProgress::end()
{
    m_window.commands().hideGrayOverlay();
    m_window.raise();
    m_window.activateWindow();
}

ApplicationParts::ApplicationParts() = default;
ApplicationParts::~ApplicationParts() = default;

void ApplicationParts::watchNetwork()
{
    if (reachability || !engine || !engineShell)
        return;
    reachability = std::make_unique<rest::NetworkReachability>();
    // Offline, the collaboration calls answer from their caches without asking.
    engine->client().setReachability(reachability.get());
    engineShell->setReachability(reachability.get());
}

bool QuitRequests::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::Quit) {
        m_delegate.sessionQuitRequested();
        return true;
    }
    return false;
}

} // namespace qv
