#pragma once

#include "ui/board/AccountCommands.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace qv {

// The pages of the service the window opens.
enum class WebPage {
    CalendarFeeds,
    DailyReport,
    WeeklyReport,
    AccountManagement,
    CollaboratorsManagement,
    NotesAccount,
    ManageCollaborators,
    HotList,
    ChangeAvatar,
    DeleteAvatar,
    DeleteAvatars,
    TeamPage,
};

// What the addresses are made of.
struct WebAddressContext {
    QString syncOrigin; // the sync server, as the REST service's base
    QString webOrigin;  // our web host (the team page)
    QString deviceUID;
    QString version;
    std::optional<AccountUser> user; // nullopt: nobody signed in
};

namespace WebAddresses {

inline constexpr auto kEdition = "Halvern";

// An invalid URL when the origin the page needs is not configured.
QUrl address(WebPage page, const WebAddressContext& context);
// Only the avatars' bulk deletion leaves the application for the desktop's browser.
bool opensInExternalBrowser(WebPage page);
// The report paths of the signed-in user (the bare base without a user or without a hash).
QString dailyReportPath(const std::optional<AccountUser>& user);
QString weeklyReportPath(const std::optional<AccountUser>& user);
// A synced project's page on the sync server; invalid for a project never synced.
QUrl projectPage(qint64 projectID, const QString& syncOrigin);

} // namespace WebAddresses

} // namespace qv
