#pragma once

#include <QString>

namespace qv {

// What the build fixes about the program, and the server origins it talks to.
class BuildInfo {
public:
    BuildInfo() = delete;

    // The name the user sees ("Quadrivo").
    static QString displayName();
    // The build's version ("2.17.0").
    static QString version();
    // The name of the installed desktop entry, also the autostart entry's name.
    static QString desktopEntryName();

    // Our web host: QUADRIVO_WEB_URL, else the build's default; empty when neither is set.
    static QString webOrigin();
    // The sync server: QUADRIVO_SYNC_URL, else the build's default; empty when neither is set.
    static QString syncOrigin();
    // The sync server's host as links of the URL scheme carry it ("host" or "host:port").
    static QString syncHost() { return syncHost(syncOrigin()); }
    static QString syncHost(const QString& origin);
};

} // namespace qv
