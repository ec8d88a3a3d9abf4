#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QString>

namespace qv::rest {

// A cookie jar kept in a file of its own under the caches folder (mode 0600). Session cookies
// are kept too, because the sign-in rides on them; the file is rewritten after every change.
// Expired cookies are dropped when the file is read.
class PersistentCookieJar : public QNetworkCookieJar {
    Q_OBJECT
public:
    // Reads "cookies.txt" in cachesFolder, creating the folder when it is missing.
    explicit PersistentCookieJar(const QString& cachesFolder, QObject* parent = nullptr);

    QString filePath() const { return m_filePath; }
    QList<QNetworkCookie> cookies() const { return allCookies(); }

    // Deletes the cookies that would be sent to url; returns them.
    QList<QNetworkCookie> deleteCookiesForUrl(const QUrl& url);
    void clear();

    // false when the file could not be written or read.
    bool save();
    bool load();

    bool setCookiesFromUrl(const QList<QNetworkCookie>& cookieList, const QUrl& url) override;
    bool insertCookie(const QNetworkCookie& cookie) override;
    bool updateCookie(const QNetworkCookie& cookie) override;
    bool deleteCookie(const QNetworkCookie& cookie) override;

private:
    // Saves once when the outermost change ends.
    class Change;
    int m_changeDepth = 0;
    bool m_loading = false;
    QString m_filePath;
};

} // namespace qv::rest
