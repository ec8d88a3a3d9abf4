#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkCookie;
class QWebEngineProfile;

namespace qv {

namespace rest {
class PersistentCookieJar;
}

// The one persistent web profile of the account's sheets. Its cookies and the sync engine's
// cookie jar are kept in step both ways, deletions included, so that the engine's requests carry
// the session the user signed in with, and a session the jar holds reaches the pages.
class WebProfile final : public QObject {
    Q_OBJECT
public:
    // storageFolder and cacheFolder are made private (0700) when missing. jar may be nullptr.
    WebProfile(const QString& storageFolder, const QString& cacheFolder, rest::PersistentCookieJar* jar,
               QObject* parent = nullptr);
    ~WebProfile() override;

    QWebEngineProfile* profile() const { return m_profile; }
    void deleteAllCookies();

    // Before the application object: the web engine's sandbox cannot start as root, so it is
    // turned off then. True when it was turned off here.
    static bool prepareProcess();
    // Says once in the log that the sandbox is off, when prepareProcess() turned it off.
    static void reportSandbox();

private:
    void webCookieAdded(const QNetworkCookie& cookie);
    void webCookieRemoved(const QNetworkCookie& cookie);

    QWebEngineProfile* m_profile = nullptr;
    rest::PersistentCookieJar* m_jar = nullptr;
};

} // namespace qv
