#pragma once

#include "app/ShellInterfaces.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

namespace qv {

// The badge through the desktop's launcher-entry signal (count and count-visible), which
// docks and task bars show. Does nothing without a bus.
class LauncherBadge final : public Badge {
public:
    static QString interfaceName() { return QStringLiteral("com.canonical.Unity.LauncherEntry"); }
    static QString objectPath() { return QStringLiteral("/com/velmora/Quadrivo/LauncherEntry"); }
    // "application://quadrivo.desktop".
    static QString applicationUri();

    // The session bus by default.
    explicit LauncherBadge(QDBusConnection connection = QDBusConnection::sessionBus());

    void setBadgeCount(int count) override;
    static QDBusMessage updateMessage(int count);

private:
    QDBusConnection m_connection;
};

} // namespace qv
