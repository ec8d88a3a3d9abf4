#include "sync/SyncWindowController.h"

#include "core/document/MyDocument.h"
#include "core/model/TODOList.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/Preferences.h"
#include "platform/rest/PersistentCookieJar.h"
#include "platform/store/Context.h"
#include "sync/QVRestManager.h"
#include "sync/SyncLogging.h"

#include <QNetworkCookie>
#include <QPointer>

#include <utility>

namespace qv {

namespace {

const QString kConnecting = QStringLiteral("Connecting to server...");

} // namespace

SyncWindowController::SyncWindowController(const Parts& parts)
    : m_parts(parts), m_lifetime(std::make_unique<QObject>())
{
    Q_ASSERT(m_parts.document && m_parts.engine && m_parts.host && m_parts.pages);
    m_syncController = std::make_unique<SyncController>(*m_parts.document, *m_parts.engine, this);
    // A sync asked for before anyone signed in learns the account from the server first.
    m_syncController->setPreparation([this](std::function<void(bool, const QString&)> ready) {
        if (!m_parts.engine->getCurrentUserEmail().isEmpty() || !m_parts.collaboration) {
            ready(true, {});
            return;
        }
        auto shared = std::make_shared<std::function<void(bool, const QString&)>>(std::move(ready));
        m_parts.collaboration->reloadMe(
            [this, shared](const QString& email) {
                m_parts.engine->setCurrentUser(email, false);
                (*shared)(true, {});
            },
            [shared](bool) { (*shared)(false, QStringLiteral("the signed-in user could not be loaded")); });
    });
    fillOutLogin();
}

SyncWindowController::~SyncWindowController()
{
    m_lifetime.reset();
}

QString SyncWindowController::baseAddress() const
{
    return m_parts.engine->origin();
}

QString SyncWindowController::pageAddress(const QString& path, bool withUser) const
{
    QString address = baseAddress() + path;
    const QString user = m_parts.engine->getCurrentUserEmail();
    // Encoded: a "+" in an address would otherwise reach the server as a blank.
    if (withUser && !user.isEmpty())
        address += QStringLiteral("?username=") + QString::fromLatin1(QUrl::toPercentEncoding(user));
    return address;
}

bool SyncWindowController::terminating() const
{
    return m_parts.document->terminating();
}

void SyncWindowController::setStatus(const QString& message)
{
    m_parts.host->setStatusBarMessage(message);
}

void SyncWindowController::runSoon(std::function<void()> block)
{
    if (block)
        m_parts.services.scheduler->post(m_lifetime.get(), std::move(block));
}

bool SyncWindowController::refuseWhileInstantSyncRuns(const QString& text)
{
    if (m_parts.engine->syncingObjectsCount() <= 0)
        return false;
    if (m_parts.services.alerts)
        m_parts.services.alerts->alert(QStringLiteral("Instant Sync"), text, QStringLiteral("Ok"));
    return true;
}

// --- Commands

void SyncWindowController::login()
{
    if (isSyncing())
        return;
    if (refuseWhileInstantSyncRuns(QStringLiteral("Instant sync is running now. Try logging in afterwards.")))
        return;
    // A password typed in an earlier sign-in that never succeeded is not this one's.
    m_typedPassword = QString();
    setStatus(kConnecting);
    // The sheet opens only if the page asks the user to sign in.
    m_parts.pages->load(QUrl::fromEncoded(pageAddress(QStringLiteral("/desktoplogin/"), true).toLatin1()));
}

void SyncWindowController::sync()
{
    if (isSyncing())
        return;
    if (refuseWhileInstantSyncRuns(QStringLiteral("Instant sync is running now. Try syncing afterwards.")))
        return;
    TODOList* selected = m_parts.document->getSelectedProject();
    m_origSelectedList = selected ? std::optional<qint64>(selected->objectID()) : std::nullopt;
    if (!m_syncWaitingForUpload) {
        m_parts.document->disableDidChangeContextNotifications();
        m_syncWaitingForUpload = true;
    }
    m_parts.engine->stopAllLoops();
    m_typedPassword = QString();
    setStatus(kConnecting);
    m_parts.pages->load(
        QUrl::fromEncoded(pageAddress(QStringLiteral("/isloggedindesktop/"), true).toLatin1()));
}

void SyncWindowController::logout()
{
    const QUrl base(baseAddress() + QLatin1Char('/'));
    if (rest::PersistentCookieJar* jar = m_parts.engine->cookieJar()) {
        for (const QNetworkCookie& cookie : jar->deleteCookiesForUrl(base))
            qCInfo(lcSync, "Deleted cookie %s", cookie.name().constData());
    }
    m_parts.pages->deleteAllCookies();
    const QString user = m_parts.engine->getCurrentUserEmail();
    if (!user.isEmpty() && m_parts.passwords)
        m_parts.passwords->setPasswordForUsername(QString(QLatin1String("")), user);
    if (m_parts.collaboration)
        m_parts.collaboration->deleteCollaboration();
    // The next sign-in form starts empty: Return must not sign straight back in.
    m_password = QString();
    m_typedPassword = QString();
    m_parts.engine->stopAllLoops();
    if (m_parts.services.preferences)
        m_parts.services.preferences->remove(kCurrentUser);
    m_parts.engine->updateStatusMessage();
    setStatus(QStringLiteral("Logged Out"));
    m_parts.host->clearFilters();
}

// --- The sheet

void SyncWindowController::openSheet()
{
    m_parts.host->showGrayOverlay();
    if (!terminating()) {
        m_sheetOpen = true;
        m_parts.pages->openSheet();
    }
}

void SyncWindowController::closeSheet()
{
    m_sheetOpen = false;
    m_parts.pages->closeSheet();
    m_parts.host->hideGrayOverlay();
    if (!m_syncWaitingForUpload)
        return;
    // The manual sync was given up before its upload began: without this every later edit would
    // stay unmarked and nothing would be sent for the rest of the run.
    m_syncWaitingForUpload = false;
    qCInfo(lcSync, "Sync abandoned before its upload: tracking and sync resume");
    m_parts.document->enableDidChangeContextNotifications();
    const bool offlineOnly =
        m_parts.services.preferences && m_parts.services.preferences->boolValue(kWorkOfflineOnly);
    if (!offlineOnly)
        m_parts.engine->startAllLoops();
}

void SyncWindowController::pageStarted()
{
    m_parts.pages->setSpinning(true);
}

void SyncWindowController::pageFinished(const QUrl& url, const QByteArray& method)
{
    // A submitted form: the page that follows it decides.
    if (method.compare("POST", Qt::CaseInsensitive) == 0)
        return;
    const QString address = url.toString(QUrl::FullyEncoded);
    // The path only: the query may carry the user's address.
    qCInfo(lcSync, "Page loaded: %s", qUtf8Printable(url.path()));
    const QString base = baseAddress();
    const QString syncPage = base + QStringLiteral("/isloggedindesktop/");
    const QString linkedInPage = base + QStringLiteral("/accounts/login/linkedin/?next=") + syncPage;
    if (address.startsWith(linkedInPage) || address.startsWith(base + QStringLiteral("/desktoplogin/"))) {
        if (!m_parts.engine->isOnline())
            openSheet();
        m_parts.pages->fillSignInForm(m_email, m_password);
        m_parts.pages->setSpinning(false);
    } else if (address.startsWith(syncPage)) {
        m_syncWaitingForUpload = false;
        closeSheet();
        if (uploadToServer()) {
            m_parts.host->showGrayOverlay();
            m_parts.engine->setIsManualSyncing(true);
        }
        saveUserEmailPassword();
        m_parts.pages->setSpinning(false);
    } else if (address == base || address == base + QLatin1Char('/')) {
        closeSheet();
        loginSucceeded();
        saveUserEmailPassword();
        m_parts.pages->setSpinning(false);
    } else if (address.endsWith(QStringLiteral("/linkedin_failed")) ||
               address.endsWith(QStringLiteral("/accounts/dismiss/"))) {
        closeSheet();
        m_parts.pages->setSpinning(false);
    } else {
        m_parts.pages->setSpinning(false);
    }
}

void SyncWindowController::pageFailed(const QUrl& url)
{
    qCWarning(lcSync, "Page failed to load: %s", qUtf8Printable(url.path()));
    m_parts.pages->setSpinning(false);
    if (!m_sheetOpen)
        closeSheet();
}

void SyncWindowController::signInFormSubmitted(const QString& email, const QString& password)
{
    m_email = email.trimmed();
    // Offered again only once the server took it: a mistyped password is not filled back in.
    m_typedPassword = password;
}

bool SyncWindowController::uploadToServer()
{
    setStatus(QStringLiteral("Please wait. Syncing may take some time..."));
    return m_syncController->uploadToServer();
}

// --- Ends of sign-in and sync

void SyncWindowController::kickstartAutoSync(bool resetPollingDates)
{
    if (!m_parts.collaboration)
        return;
    m_parts.collaboration->reloadMe(
        [this, resetPollingDates](const QString& email) { restartForAccount(email, resetPollingDates); },
        [](bool) {});
}

void SyncWindowController::restartForAccount(const QString& email, bool resetPollingDates)
{
    m_parts.engine->setCurrentUser(email, resetPollingDates);
    // The team panel's self-invitation check compares against it.
    m_parts.collaboration->setLoginEmail(email);
    // Loops already running (a sign-in sheet given up earlier restarts them) heard "not signed in"
    // from their last keep-alive: ask again now rather than at the next 120 s tick.
    if (m_parts.engine->isStarted())
        m_parts.engine->fire();
    else
        m_parts.engine->startAllLoops();
    m_parts.host->checkForSharingRequests();
    m_parts.collaboration->initCollaboration();
}

void SyncWindowController::loginSucceeded()
{
    m_parts.host->hideGrayOverlay();
    m_parts.pages->setSpinning(false);
    if (!terminating())
        setStatus(QStringLiteral("Done logging in"));
    kickstartAutoSync(false);
    runSoon(m_onDidLogin);
}

void SyncWindowController::syncSucceeded()
{
    m_parts.engine->setIsManualSyncing(false);
    m_parts.host->hideGrayOverlay();
    registerTimeLastSync();
    m_parts.pages->setSpinning(false);
    qCInfo(lcSync, "Saving document (end of sync)");
    m_parts.document->saveFile();
    if (!terminating()) {
        m_parts.host->updateFilters();
        m_parts.host->refreshController();
        TODOList* project = nullptr;
        if (m_origSelectedList) {
            project = store::as<TODOList>(
                m_parts.document->context().objectWithID(TODOList::staticEntityName(), *m_origSelectedList));
        }
        if (project && !project->isDeleted())
            m_parts.host->selectProject(project);
    }
    m_parts.services.scheduler->after(kRestoreTrackingDelayMs, m_lifetime.get(),
                                      [this] { m_parts.document->enableDidChangeContextNotifications(); });
    if (!terminating())
        setStatus(QStringLiteral("Done syncing your data!"));
    kickstartAutoSync(true);
    runSoon(m_onDidSync);
}

void SyncWindowController::syncFailedWithMessage(const QString& message)
{
    m_parts.engine->setIsManualSyncing(false);
    qCWarning(lcSync, "ERROR syncing: %s", qUtf8Printable(message));
    m_parts.host->hideGrayOverlay();
    m_parts.pages->setSpinning(false);
    m_parts.services.scheduler->after(kRestoreTrackingDelayMs, m_lifetime.get(),
                                      [this] { m_parts.document->enableDidChangeContextNotifications(); });
    // Only the server can say the session is over. A step that failed here, a change the server
    // refused or a lost connection leave it valid, and signing out would only make the user sign
    // in again to meet the same failure.
    if (!m_parts.collaboration) {
        keepSessionAfterFailure(message, std::nullopt);
        return;
    }
    const QPointer<QObject> alive(m_lifetime.get());
    m_parts.collaboration->reloadMe(
        [this, alive, message](const QString& email) {
            if (alive)
                keepSessionAfterFailure(message, email);
        },
        [this, alive, message](bool sessionEnded) {
            if (!alive)
                return;
            if (!sessionEnded) {
                keepSessionAfterFailure(message, std::nullopt);
                return;
            }
            qCInfo(lcSync, "The server ended the session: signing out");
            m_parts.collaboration->forgetMe();
            logout();
            if (!terminating())
                setStatus(QStringLiteral("Sync failed: %1. The server ended your session: sign in again to "
                                         "sync.")
                              .arg(message));
        });
}

void SyncWindowController::keepSessionAfterFailure(const QString& failure,
                                                   const std::optional<QString>& email)
{
    if (terminating())
        return;
    setStatus(QStringLiteral("Sync failed: %1. You are still signed in: press Sync to try again. If that "
                             "does not help, write to %2 for help.")
                  .arg(failure, m_parts.supportAddress));
    if (email && m_parts.engine->getCurrentUserEmail().isEmpty())
        m_parts.engine->setCurrentUser(*email, false);
    // The manual sync stopped the loops; instant sync goes on as it did before it.
    const bool offlineOnly =
        m_parts.services.preferences && m_parts.services.preferences->boolValue(kWorkOfflineOnly);
    if (!offlineOnly)
        m_parts.engine->startAllLoops();
}

// --- Account and time of the last sync

void SyncWindowController::saveUserEmailPassword()
{
    // The server took the typed password: it is the account's from now on.
    if (!m_typedPassword.isNull())
        m_password = std::exchange(m_typedPassword, QString());
    if (!m_parts.passwords || m_email.isEmpty() || m_password.isNull())
        return;
    if (!m_parts.passwords->setPasswordForUsername(m_password, m_email))
        qCWarning(lcSync, "ERROR: Failed to save password for user");
}

void SyncWindowController::fillOutLogin()
{
    m_email = m_parts.engine->getCurrentUserEmail();
    if (!m_email.isEmpty() && m_parts.passwords) {
        m_parts.services.scheduler->after(kFillPasswordDelayMs, m_lifetime.get(), [this] {
            if (!m_email.isEmpty() && m_password.isNull())
                m_password = m_parts.passwords->passwordForUsername(m_email);
        });
    }
    qCInfo(lcSync, "Loaded email (%d characters)", int(m_email.size()));
}

void SyncWindowController::registerTimeLastSync()
{
    Preferences* preferences = m_parts.services.preferences;
    if (!preferences)
        return;
    const QDateTime now = m_parts.services.clock->now();
    preferences->setValue(kLastSyncTime, now);
    preferences->flush();
    qCInfo(lcSync, "Registered last sync at %s", qUtf8Printable(now.toString(Qt::ISODate)));
}

QDateTime SyncWindowController::timeLastSync(const Preferences& preferences)
{
    const QVariant stored = preferences.value(kLastSyncTime);
    return stored.typeId() == QMetaType::QDateTime ? stored.toDateTime() : QDateTime();
}

} // namespace qv
