#include "app/LauncherBadge.h"

#include "core/util/BuildInfo.h"

#include <QVariantMap>

namespace qv {

QString LauncherBadge::applicationUri()
{
    return QStringLiteral("application://") + BuildInfo::desktopEntryName();
}

LauncherBadge::LauncherBadge(QDBusConnection connection) : m_connection(std::move(connection)) {}

QDBusMessage LauncherBadge::updateMessage(int count)
{
    QDBusMessage message =
        QDBusMessage::createSignal(objectPath(), interfaceName(), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("count"), qint64(count > 0 ? count : 0));
    properties.insert(QStringLiteral("count-visible"), count > 0);
    message << applicationUri() << properties;
    return message;
}

void LauncherBadge::setBadgeCount(int count)
{
    if (!m_connection.isConnected())
        return;
    m_connection.send(updateMessage(count));
}

} // namespace qv
