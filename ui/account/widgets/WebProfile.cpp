#include "ui/account/widgets/WebProfile.h"

#include "platform/Paths.h"
#include "platform/rest/PersistentCookieJar.h"
#include "ui/account/widgets/AccountLogging.h"

#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <unistd.h>

namespace qv {

namespace {

bool& sandboxTurnedOff()
{
    static bool off = false;
    return off;
}

// The address a cookie belongs to, for a jar that files cookies by address.
QUrl addressOf(const QNetworkCookie& cookie)
{
    QString host = cookie.domain();
    while (host.startsWith(QLatin1Char('.')))
        host.remove(0, 1);
    QUrl url;
    url.setScheme(cookie.isSecure() ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(host);
    url.setPath(cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path());
    return url;
}

} // namespace

bool WebProfile::prepareProcess()
{
    if (::geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return false;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    sandboxTurnedOff() = true;
    return true;
}

void WebProfile::reportSandbox()
{
    if (std::exchange(sandboxTurnedOff(), false))
        qCWarning(lcAccountWidgets, "Running as root: the web pages' sandbox is turned off");
}

WebProfile::WebProfile(const QString& storageFolder, const QString& cacheFolder,
                       rest::PersistentCookieJar* jar, QObject* parent)
    : QObject(parent), m_jar(jar)
{
    Paths::makePrivateFolder(storageFolder);
    Paths::makePrivateFolder(cacheFolder);
    m_profile = new QWebEngineProfile(QStringLiteral("quadrivo"), this);
    m_profile->setPersistentStoragePath(storageFolder);
    m_profile->setCachePath(cacheFolder);
    m_profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);

    QWebEngineCookieStore* store = m_profile->cookieStore();
    if (m_jar) {
        // What the engine holds reaches the pages (a session of an earlier run, say).
        for (const QNetworkCookie& cookie : m_jar->cookies())
            store->setCookie(cookie, addressOf(cookie));
    }
    connect(store, &QWebEngineCookieStore::cookieAdded, this, &WebProfile::webCookieAdded);
    connect(store, &QWebEngineCookieStore::cookieRemoved, this, &WebProfile::webCookieRemoved);
    store->loadAllCookies();
}

WebProfile::~WebProfile() = default;

void WebProfile::deleteAllCookies()
{
    m_profile->cookieStore()->deleteAllCookies();
}

void WebProfile::webCookieAdded(const QNetworkCookie& cookie)
{
    if (m_jar)
        m_jar->setCookiesFromUrl({cookie}, addressOf(cookie));
}

void WebProfile::webCookieRemoved(const QNetworkCookie& cookie)
{
    if (!m_jar)
        return;
    for (const QNetworkCookie& held : m_jar->cookies()) {
        QString domain = held.domain();
        QString removed = cookie.domain();
        if (held.name() == cookie.name() && held.path() == cookie.path() &&
            domain.remove(0, domain.startsWith(QLatin1Char('.')) ? 1 : 0) ==
                removed.remove(0, removed.startsWith(QLatin1Char('.')) ? 1 : 0))
            m_jar->deleteCookie(held);
    }
}

} // namespace qv
