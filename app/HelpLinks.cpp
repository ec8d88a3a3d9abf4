#include "app/HelpLinks.h"

#include <QDesktopServices>

namespace qv {

namespace {

// The two social-network pages have no address, so their commands stay disabled.
QString pathFor(HelpLinks::Link link)
{
    switch (link) {
    case HelpLinks::Link::Facebook:
    case HelpLinks::Link::Twitter:
        return {};
    case HelpLinks::Link::WWW:
        return QStringLiteral("/?qv-mac");
    case HelpLinks::Link::GetStarted:
        return QStringLiteral("/help/how-to-get-started-with-quadrivo-for-mac/?qv-mac-menu");
    case HelpLinks::Link::UseTags:
        return QStringLiteral(
            "/productivity/using-tags-in-quadrivo-to-manage-multiple-projects/?qv-mac-menu");
    case HelpLinks::Link::ShareFiles:
        return QStringLiteral(
            "/productivity/instantly-share-files-across-devices-and-team-members-in-quadrivo/?qv-mac-menu");
    case HelpLinks::Link::Collaborate:
        return QStringLiteral(
            "/productivity/how-to-manage-your-team-and-collaborators-in-quadrivo/?qv-mac-menu");
    case HelpLinks::Link::ShareCalendars:
        return QStringLiteral("/productivity/calendar-feeds-outlook-google-more/?qv-mac-menu");
    case HelpLinks::Link::ItemInbox:
        return QStringLiteral("/productivity/item-inbox/?qv-mac-menu");
    case HelpLinks::Link::ManagerTips:
        return QStringLiteral("/productivity/"
                              "management-essentials-series-for-must-have-skills-for-managers-and-executives/"
                              "?qv-mac-menu");
    case HelpLinks::Link::OtherProductivityTips:
        return QStringLiteral("/productivity/?qv-mac-menu");
    case HelpLinks::Link::Knowledgebase:
        return QStringLiteral("/help/?qv-mac-menu");
    }
    return {};
}

} // namespace

HelpLinks::HelpLinks(QString webOrigin, Opener opener)
    : m_origin(std::move(webOrigin)), m_opener(std::move(opener))
{
    while (m_origin.endsWith(QLatin1Char('/')))
        m_origin.chop(1);
    if (!m_opener)
        m_opener = [](const QUrl& url) {
            return QDesktopServices::openUrl(url);
        };
}

QUrl HelpLinks::url(Link link) const
{
    const QString path = pathFor(link);
    if (m_origin.isEmpty() || path.isEmpty())
        return {};
    const QUrl url(m_origin + path, QUrl::StrictMode);
    // Only web pages go to the browser, whatever the variable holds.
    if (!url.isValid() || (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return {};
    return url;
}

bool HelpLinks::open(Link link) const
{
    const QUrl address = url(link);
    return address.isValid() && m_opener(address);
}

} // namespace qv
