#include "ui/board/WebAddresses.h"

#include "core/util/Utils.h"

namespace qv::WebAddresses {

namespace {

QString trimmed(QString origin)
{
    while (origin.endsWith(QLatin1Char('/')))
        origin.chop(1);
    return origin;
}

QString reportPath(const QString& base, const std::optional<AccountUser>& user)
{
    if (!user || user->userhash.isEmpty() || !user->identifier)
        return base;
    return QStringLiteral("%1%2/%3").arg(base, QString::number(*user->identifier), user->userhash);
}

QUrl web(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))
               ? url
               : QUrl();
}

} // namespace

QString dailyReportPath(const std::optional<AccountUser>& user)
{
    return reportPath(QStringLiteral("/accounts/report/"), user);
}

QString weeklyReportPath(const std::optional<AccountUser>& user)
{
    return reportPath(QStringLiteral("/accounts/weekly_report/"), user);
}

QUrl address(WebPage page, const WebAddressContext& context)
{
    const QString sync = trimmed(context.syncOrigin);
    const QString edition = QString::fromLatin1(kEdition);
    const auto embedded = [&](const QString& path) {
        return QStringLiteral("%1%2?embedded&app_type=%3&type=%4&version=%5")
            .arg(sync, path, edition, context.deviceUID, context.version);
    };
    const auto plain = [&](const QString& path) {
        return QStringLiteral("%1%2?app_type=%3&type=%4&version=%5")
            .arg(sync, path, edition, context.deviceUID, context.version);
    };

    if (page == WebPage::TeamPage) {
        const QString webOrigin = trimmed(context.webOrigin);
        if (webOrigin.isEmpty())
            return {};
        QString text = QStringLiteral("%1/collaboration_mac?qv_platform=%2&qv_version=%3&uid=%4")
                           .arg(webOrigin, edition, context.version, context.deviceUID);
        // The page tells the device and the person apart by the order of the two "uid" keys.
        if (context.user && context.user->identifier)
            text += QStringLiteral("&uid=%1").arg(*context.user->identifier);
        return web(text);
    }
    if (sync.isEmpty())
        return {};
    switch (page) {
    case WebPage::CalendarFeeds:
        return web(embedded(QStringLiteral("/qvweb/feeds/")));
    case WebPage::DailyReport:
        return web(embedded(dailyReportPath(context.user)));
    case WebPage::WeeklyReport:
        return web(embedded(weeklyReportPath(context.user)));
    case WebPage::AccountManagement:
        return web(plain(QStringLiteral("/manage/account")));
    case WebPage::CollaboratorsManagement:
        return web(plain(QStringLiteral("/manage/collaborators/")));
    case WebPage::NotesAccount:
        return web(plain(QStringLiteral("/evernote/import/")));
    case WebPage::ManageCollaborators:
        return web(sync + QStringLiteral("/manage/collaborators/"));
    case WebPage::HotList:
        return web(sync + QStringLiteral("/hot/?embedded"));
    case WebPage::ChangeAvatar:
        return web(sync + QStringLiteral("/avatar/change/"));
    case WebPage::DeleteAvatar:
    case WebPage::DeleteAvatars:
        return web(sync + QStringLiteral("/avatar/delete/"));
    case WebPage::TeamPage:
        break;
    }
    return {};
}

bool opensInExternalBrowser(WebPage page)
{
    return page == WebPage::DeleteAvatars;
}

QUrl projectPage(qint64 projectID, const QString& syncOrigin)
{
    const QString sync = trimmed(syncOrigin);
    if (projectID < 1 || sync.isEmpty())
        return {};
    return web(Utils::QVWebUrlPrefixForProjects(sync) + QStringLiteral("%1/").arg(projectID));
}

} // namespace qv::WebAddresses
