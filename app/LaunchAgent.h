#pragma once

#include <QString>

namespace qv {

class Preferences;

// Starts the application at login through an XDG autostart entry, following the preference
// "kLaunchOnStart". The entry is written and removed as a plain file; no shell is involved.
class LaunchAgent {
public:
    static QString key() { return QStringLiteral("kLaunchOnStart"); }

    // autostartFolder empty: $XDG_CONFIG_HOME/autostart. executable empty: this program.
    LaunchAgent(Preferences& preferences, QString autostartFolder = {}, QString executable = {});

    // At start: on by default; the entry is (re)written while on and removed while off.
    void configureLaunchAgentScript();
    // Flips the preference and installs or removes the entry.
    void toggleLaunchOnStart();
    bool launchOnStart() const;

    // False (and logged) when the entry could not be written / removed.
    bool installLaunchAgentScript();
    bool uninstallLaunchAgentScript();

    QString agentPath() const;
    // The entry's contents for this executable; empty for a path a desktop entry cannot hold.
    static QByteArray entryContents(const QString& executable);
    // The path as one argument of a desktop entry's Exec key (quoted and escaped).
    static QString quotedExecArgument(const QString& path);

private:
    Preferences& m_preferences;
    QString m_folder;
    QString m_executable;
};

} // namespace qv
