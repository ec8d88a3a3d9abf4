#pragma once

#include <QString>

namespace qv {

class Preferences;

// Starts the application at login through an XDG autostart entry, following the preference
// "kLaunchOnStart". The entry is written and removed as a plain file; no shell is involved.
// The preference shows the real state: when the entry cannot be written or removed it follows
// what is on disk, and the desktop's own "off" in the entry counts as the preference's off.
class LaunchAgent {
public:
    static QString key() { return QStringLiteral("kLaunchOnStart"); }

    // autostartFolder empty: $XDG_CONFIG_HOME/autostart. executable empty: this program.
    LaunchAgent(Preferences& preferences, QString autostartFolder = {}, QString executable = {});

    // At start: on by default; the entry is written while on and removed while off. False
    // when the entry could not be brought in line with the preference.
    bool configureLaunchAgentScript();
    // Flips the preference and installs or removes the entry; false when that failed (the
    // preference then keeps the real state).
    bool toggleLaunchOnStart();
    bool launchOnStart() const;

    // Only an installed program writes the entry: a copy run from a build folder would leave
    // an entry pointing into it. Such a copy leaves the entry and the preference alone.
    bool canInstall() const { return m_installed; }
    // An installed program lives outside a CMake build tree (no CMakeCache.txt above it).
    static bool isInstalledProgram(const QString& executable);

    // False (and logged) when the entry could not be written / removed.
    bool installLaunchAgentScript();
    bool uninstallLaunchAgentScript();

    QString agentPath() const;
    // The entry exists and the desktop's start-up settings switched it off (Hidden=true or
    // X-GNOME-Autostart-enabled=false).
    bool isTurnedOffByDesktop() const;
    // The entry's contents for this executable; empty for a path a desktop entry cannot hold.
    static QByteArray entryContents(const QString& executable);
    // The path as one argument of a desktop entry's Exec key (quoted and escaped).
    static QString quotedExecArgument(const QString& path);

private:
    Preferences& m_preferences;
    QString m_folder;
    QString m_executable;
    bool m_installed = false;
};

} // namespace qv
