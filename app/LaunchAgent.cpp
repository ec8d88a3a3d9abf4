#include "app/LaunchAgent.h"

#include "core/util/BuildInfo.h"
#include "platform/Log.h"
#include "platform/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace qv {

LaunchAgent::LaunchAgent(Preferences& preferences, QString autostartFolder, QString executable)
    : m_preferences(preferences), m_folder(std::move(autostartFolder)), m_executable(std::move(executable))
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                   QStringLiteral("/autostart");
    if (m_executable.isEmpty())
        m_executable = QCoreApplication::applicationFilePath();
}

QString LaunchAgent::agentPath() const
{
    return QDir(m_folder).filePath(BuildInfo::desktopEntryName());
}

bool LaunchAgent::launchOnStart() const
{
    return m_preferences.boolValue(key());
}

void LaunchAgent::configureLaunchAgentScript()
{
    if (!m_preferences.value(key()).isValid()) {
        m_preferences.setValue(key(), true);
        m_preferences.flush();
    }
    if (launchOnStart())
        installLaunchAgentScript();
    else
        uninstallLaunchAgentScript();
}

void LaunchAgent::toggleLaunchOnStart()
{
    const bool wasOn = launchOnStart();
    m_preferences.setValue(key(), !wasOn);
    m_preferences.flush();
    if (wasOn)
        uninstallLaunchAgentScript();
    else
        installLaunchAgentScript();
}

QString LaunchAgent::quotedExecArgument(const QString& path)
{
    // Inside double quotes the Exec key escapes " ` $ and \ with a backslash; a literal % is
    // written %%. The key's value is then a string value, whose own escape doubles backslashes.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    return quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
}

QByteArray LaunchAgent::entryContents(const QString& executable)
{
    // A line break or other control character cannot be carried by the Exec key.
    if (executable.isEmpty() || std::any_of(executable.begin(), executable.end(),
                                            [](QChar c) { return c.category() == QChar::Other_Control; }))
        return {};
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=%1\n").arg(BuildInfo::displayName());
    text += QStringLiteral("Exec=%1\n").arg(quotedExecArgument(executable));
    text += QStringLiteral("Icon=quadrivo\n");
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

bool LaunchAgent::installLaunchAgentScript()
{
    const QString path = agentPath();
    const QByteArray contents = entryContents(m_executable);
    bool ok = !contents.isEmpty();
    QString reason = ok ? QString() : QStringLiteral("unusable program path %1").arg(m_executable);
    if (ok) {
        QDir().mkpath(m_folder);
        QSaveFile file(path);
        ok = file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.commit();
        if (!ok)
            reason = file.errorString();
    }
    Log::line(QStringLiteral("Installing script %1\n Result: %2").arg(path).arg(ok ? 0 : 1));
    if (!ok)
        Log::line(QStringLiteral("ERROR: %1").arg(reason));
    return ok;
}

bool LaunchAgent::uninstallLaunchAgentScript()
{
    const QString path = agentPath();
    // Nothing to remove counts as removed; a dangling link is removed too.
    const QFileInfo info(path);
    const bool ok = (!info.exists() && !info.isSymLink()) || QFile::remove(path);
    Log::line(QStringLiteral("Uninstalling script %1\n Result: %2").arg(path).arg(ok ? 0 : 1));
    return ok;
}

} // namespace qv
