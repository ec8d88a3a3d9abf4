#pragma once

#include "platform/NotificationCenter.h"

#include <QString>
#include <QStringList>

namespace qv {

// The owner filter shared by the project team panel and the item filter panel. Object: the
// chosen people as a QStringList of their usernames (a person is known by username), sorted,
// without repeats; empty for none. No user info.
inline const QString kNotificationSelectedOwnersChanged =
    QStringLiteral("kNotificationSelectedOwnersChanged");

// Announces a new owner choice from sender; nothing without a notification centre.
inline void postSelectedOwners(NotificationCenter* notifications, const void* sender,
                               const QStringList& owners)
{
    if (notifications)
        notifications->post(Notification{kNotificationSelectedOwnersChanged, sender, owners, {}});
}

// A feed showed a newer page. User info: one key, "item", "project" or "none", whose value is
// the shown object's store address (none for "none"). Sender: the feed's model.
inline const QString kNotificationCommentsRefreshed = QStringLiteral("kNotificationCommentsRefreshed");

} // namespace qv
