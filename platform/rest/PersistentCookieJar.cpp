#include "platform/rest/PersistentCookieJar.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace qv::rest {

class PersistentCookieJar::Change {
public:
    explicit Change(PersistentCookieJar* jar) : m_jar(jar) { ++m_jar->m_changeDepth; }
    ~Change()
    {
        if (--m_jar->m_changeDepth == 0 && !m_jar->m_loading)
            m_jar->save();
    }
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

private:
    PersistentCookieJar* m_jar;
};

PersistentCookieJar::PersistentCookieJar(const QString& cachesFolder, QObject* parent)
    : QNetworkCookieJar(parent), m_filePath(QDir(cachesFolder).filePath(QStringLiteral("cookies.txt")))
{
    QDir().mkpath(cachesFolder);
    load();
}

bool PersistentCookieJar::setCookiesFromUrl(const QList<QNetworkCookie>& cookieList, const QUrl& url)
{
    Change change(this);
    return QNetworkCookieJar::setCookiesFromUrl(cookieList, url);
}

bool PersistentCookieJar::insertCookie(const QNetworkCookie& cookie)
{
    Change change(this);
    return QNetworkCookieJar::insertCookie(cookie);
}

bool PersistentCookieJar::updateCookie(const QNetworkCookie& cookie)
{
    Change change(this);
    return QNetworkCookieJar::updateCookie(cookie);
}

bool PersistentCookieJar::deleteCookie(const QNetworkCookie& cookie)
{
    Change change(this);
    return QNetworkCookieJar::deleteCookie(cookie);
}

QList<QNetworkCookie> PersistentCookieJar::deleteCookiesForUrl(const QUrl& url)
{
    Change change(this);
    const QList<QNetworkCookie> matching = cookiesForUrl(url);
    for (const QNetworkCookie& cookie : matching)
        QNetworkCookieJar::deleteCookie(cookie);
    return matching;
}

void PersistentCookieJar::clear()
{
    Change change(this);
    setAllCookies({});
}

bool PersistentCookieJar::save()
{
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Before any byte is written, so the cookies are never readable by others.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (const QNetworkCookie& cookie : allCookies())
        file.write(cookie.toRawForm(QNetworkCookie::Full) + '\n');
    return file.commit();
}

bool PersistentCookieJar::load()
{
    QFile file(m_filePath);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QList<QNetworkCookie> loaded;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        for (const QNetworkCookie& cookie : QNetworkCookie::parseCookies(line))
            if (cookie.isSessionCookie() || cookie.expirationDate() > now)
                loaded.append(cookie);
    }
    m_loading = true;
    setAllCookies(loaded);
    m_loading = false;
    return true;
}

} // namespace qv::rest
