#include "ui/account/widgets/AccountSession.h"

#include "core/document/MyDocument.h"
#include "platform/Keychain.h"
#include "platform/Paths.h"
#include "platform/Preferences.h"
#include "platform/rest/PersistentCookieJar.h"
#include "platform/rest/RestClient.h"
#include "sync/CollaborationManager.h"
#include "sync/QVRestManager.h"
#include "ui/account/widgets/AccountLogging.h"
#include "ui/account/widgets/SyncWindowSheet.h"
#include "ui/account/widgets/WebBrowserWindowController.h"
#include "ui/board/StatusBarController.h"
#include "ui/board/widgets/MainWindow.h"
#include "ui/board/widgets/ProjectListView.h"
#include "ui/board/widgets/WindowCommands.h"
#include "ui/web/WebEngineLoader.h"

#include <QJsonObject>
#include <QPointer>

namespace qv {

AccountSession::AccountSession(MainWindow& window, MyDocument& document, QVRestManager& engine,
                               const Services& services, Keychain* keychain, WebEngineLoader& web,
                               const Options& options)
    : m_window(window), m_document(document), m_engine(engine), m_services(services), m_keychain(keychain),
      m_collaborationManager(options.collaborationManager)
{
    const QString storage = options.webStorageFolder.isEmpty()
                                ? Paths::applicationSupport() + QStringLiteral("web")
                                : options.webStorageFolder;
    const QString cache =
        options.webCacheFolder.isEmpty() ? Paths::caches() + QStringLiteral("/web") : options.webCacheFolder;
    web.setSetup([storage, cache, jar = engine.cookieJar()] { return webSetup(storage, cache, jar); });
    m_sheet = new SyncWindowSheet(web, &window, options.opener);
    m_browser = new WebBrowserWindowController(web, services.alerts, &window, options.opener);

    SyncWindowController::Parts parts;
    parts.services = services;
    parts.document = &document;
    parts.engine = &engine;
    parts.host = this;
    parts.pages = m_sheet;
    parts.collaboration = this;
    parts.passwords = this;
    parts.supportAddress = options.supportAddress;
    m_controller = std::make_unique<SyncWindowController>(parts);
    m_sheet->setController(m_controller.get());
    // Given up, the sign-in connects to nothing: the status says again what the engine says.
    connect(m_sheet, &SyncWindowSheet::cancelled, this,
            [this] { m_window.commands().statusBar().clearStatusBarMessage(); });
}

web::EngineSetup AccountSession::webSetup(const QString& storage, const QString& cache,
                                          rest::PersistentCookieJar* jar)
{
    Paths::makePrivateFolder(storage);
    Paths::makePrivateFolder(cache);
    web::EngineSetup setup;
    setup.storageFolder = storage;
    setup.cacheFolder = cache;
    if (!jar)
        return setup;
    // The pages' cookies and the sync engine's are kept in step both ways, deletions included,
    // so that the engine's requests carry the session the user signed in with.
    setup.cookies = jar->cookies();
    // The profile can outlive the engine and its jar, and its changes arrive later.
    setup.cookieAdded = [jar = QPointer(jar)](const QNetworkCookie& cookie) {
        if (jar)
            jar->setCookiesFromUrl({cookie}, web::cookieAddress(cookie));
    };
    setup.cookieRemoved = [jar = QPointer(jar)](const QNetworkCookie& cookie) {
        if (!jar)
            return;
        const auto bare = [](const QString& domain) {
            return domain.startsWith(QLatin1Char('.')) ? domain.mid(1) : domain;
        };
        for (const QNetworkCookie& held : jar->cookies()) {
            if (held.name() == cookie.name() && held.path() == cookie.path() &&
                bare(held.domain()) == bare(cookie.domain()))
                jar->deleteCookie(held);
        }
    };
    return setup;
}

AccountSession::~AccountSession()
{
    if (m_sheet)
        m_sheet->setController(nullptr);
    m_controller.reset();
    // Their pages go before the engine they were made in.
    delete m_sheet.data();
    delete m_browser.data();
}

SyncWindowSheet& AccountSession::sheet() const
{
    return *m_sheet;
}

WebBrowserWindowController& AccountSession::browser() const
{
    return *m_browser;
}

InternalBrowser& AccountSession::internalBrowser() const
{
    return *m_browser;
}

bool AccountSession::isGrayOverlayShown() const
{
    return m_window.commands().isShowingGrayOverlay();
}

// --- Commands

bool AccountSession::isAvailable() const
{
    return m_engine.hasOrigin();
}

QString AccountSession::unavailableReason() const
{
    return QStringLiteral("No sync server is set up: Quadrivo works offline");
}

std::optional<AccountUser> AccountSession::currentUser() const
{
    const QString email = m_engine.getCurrentUserEmail();
    if (email.isEmpty())
        return std::nullopt;
    if (m_me && m_me->email.compare(email, Qt::CaseInsensitive) == 0)
        return m_me;
    return AccountUser{email, std::nullopt, {}};
}

void AccountSession::sync(std::function<void()> onDidSync)
{
    if (m_document.terminating())
        return;
    qCInfo(lcAccountWidgets, "Opening sync window");
    m_controller->setOnDidSync(std::move(onDidSync));
    m_controller->sync();
}

void AccountSession::login(std::function<void()> onDidLogin)
{
    if (m_document.terminating())
        return;
    qCInfo(lcAccountWidgets, "Opening sync window");
    m_controller->setOnDidLogin(std::move(onDidLogin));
    m_controller->login();
}

void AccountSession::logout()
{
    if (!m_document.terminating())
        m_controller->logout();
}

// --- The window around the sheet

void AccountSession::showGrayOverlay()
{
    m_window.commands().showGrayOverlay();
}

void AccountSession::hideGrayOverlay()
{
    m_window.commands().hideGrayOverlay();
}

void AccountSession::setStatusBarMessage(const QString& message)
{
    m_window.commands().statusBar().setStatusBarMessage(message);
}

void AccountSession::updateFilters()
{
    m_window.updateFilters();
}

void AccountSession::refreshController()
{
    m_window.refreshController();
}

void AccountSession::selectProject(TODOList* project)
{
    m_window.projectListView()->selectProject(project);
}

void AccountSession::clearFilters()
{
    m_window.commands().clearFilters();
    m_window.commands().refreshAccountActions();
}

// --- The signed-in user

void AccountSession::reloadMe(std::function<void(const QString&)> success,
                              std::function<void(bool sessionEnded)> failure)
{
    m_engine.client().get(
        QStringLiteral("/me/?format=json") + m_engine.platformVersionPair(),
        [this, success = std::move(success), failure](const rest::Response& response) {
            const QJsonObject me = response.json.object();
            QString email = me.value(QStringLiteral("email")).toString();
            if (email.isEmpty())
                email = me.value(QStringLiteral("username")).toString();
            if (email.isEmpty()) {
                forgetMe();
                if (failure)
                    failure(false);
                return;
            }
            const qint64 id = me.value(QStringLiteral("id")).toInteger();
            m_me = AccountUser{email, id > 0 ? std::optional<qint64>(id) : std::nullopt,
                               me.value(QStringLiteral("user_profile"))
                                   .toObject()
                                   .value(QStringLiteral("userhash"))
                                   .toString()};
            if (m_collaborationManager)
                m_collaborationManager->setMe(User::fromJson(me));
            if (success)
                success(email);
            m_window.commands().refreshAccountActions();
        },
        [this, failure](const rest::Error& error) {
            forgetMe();
            // The server's word that this session is not (or no longer) signed in.
            const bool sessionEnded = error.kind == rest::Error::Kind::Http &&
                                      (error.statusCode() == 401 || error.statusCode() == 403);
            if (failure)
                failure(sessionEnded);
        });
}

void AccountSession::initCollaboration()
{
    if (m_collaborationManager)
        m_collaborationManager->initCollaboration();
}

void AccountSession::deleteCollaboration()
{
    m_me.reset();
    if (m_collaborationManager)
        m_collaborationManager->deleteCollaboration();
}

void AccountSession::forgetMe()
{
    m_me.reset();
    if (m_collaborationManager)
        m_collaborationManager->setMe(std::nullopt);
}

void AccountSession::setLoginEmail(const QString& email)
{
    if (m_collaborationManager)
        m_collaborationManager->setLoginEmail(email);
    else if (m_services.preferences)
        m_services.preferences->setValue(SyncWindowController::kLoginEmail, email);
}

// --- Passwords

QString AccountSession::passwordForUsername(const QString& email)
{
    return m_keychain ? m_keychain->passwordForUsername(email) : QString();
}

bool AccountSession::setPasswordForUsername(const QString& password, const QString& email)
{
    return m_keychain && m_keychain->setPasswordForUsername(password, email);
}

} // namespace qv
