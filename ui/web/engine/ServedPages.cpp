#include "ui/web/engine/ServedPages.h"

#include <QBuffer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace qv::web {

void ServedPages::registerScheme()
{
    if (QWebEngineUrlScheme::schemeByName(kScheme).name() == kScheme)
        return;
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

ServedPages* ServedPages::forProfile(QWebEngineProfile* profile)
{
    if (auto* installed = profile->findChild<ServedPages*>(QString(), Qt::FindDirectChildrenOnly))
        return installed;
    auto* handler = new ServedPages(profile);
    profile->installUrlSchemeHandler(kScheme, handler);
    return handler;
}

QUrl ServedPages::put(const QByteArray& html)
{
    const QString name = QStringLiteral("page-%1").arg(++m_lastPage);
    m_pages[name] = html;
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    url.setPath(name);
    return url;
}

void ServedPages::drop(const QUrl& url)
{
    m_pages.erase(url.path());
}

void ServedPages::requestStarted(QWebEngineUrlRequestJob* job)
{
    const auto page = m_pages.find(job->requestUrl().path());
    if (page == m_pages.end()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* body = new QBuffer(job);
    body->setData(page->second);
    body->open(QIODevice::ReadOnly);
    job->reply("text/html;charset=utf-8", body);
}

} // namespace qv::web
