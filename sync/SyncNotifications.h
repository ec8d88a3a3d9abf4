#pragma once

#include <QString>

namespace qv {

// Notifications the sync engine posts through the NotificationCenter.
// User info "updatedItems": the server identifiers of the items a pass changed.
inline const QString kNotificationItemUpdaterLooped = QStringLiteral("kNotificationItemUpdaterLooped");
// User info "updatedProjects": the identifiers of the projects a pass changed.
inline const QString kNotificationProjectUpdaterLooped = QStringLiteral("kNotificationProjectUpdaterLooped");
inline const QString kNotificationInboxUpdaterStarted = QStringLiteral("kNotificationInboxUpdaterStarted");
// User info "updatedItemIDs": the server identifiers of the inbox items applied.
inline const QString kNotificationInboxUpdaterLooped = QStringLiteral("kNotificationInboxUpdaterLooped");
inline const QString kNotificationInboxUpdaterLoopedFailed =
    QStringLiteral("kNotificationInboxUpdaterLoopedFailed");
// User info "serverID", and "ownerUsername" / "editedByUsername" when set.
inline const QString kNotificationItemDelegated = QStringLiteral("kNotificationItemDelegated");

} // namespace qv
