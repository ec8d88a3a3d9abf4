#include "app/LaunchAgent.h"

#include "app/AppLogging.h"
#include "core/util/BuildInfo.h"
#include "platform/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace qv {

namespace {

// Folders we create are the user's alone.
bool makePrivatePath(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists() || info.isSymLink())
        return false;
    const QString parent = info.absolutePath();
    if (parent == info.absoluteFilePath() || !makePrivatePath(parent))
        return false;
    return QDir().mkdir(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) ||
           QFileInfo(path).isDir();
}

QByteArray fileContents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

LaunchAgent::LaunchAgent(Preferences& preferences, QString autostartFolder, QString executable)
    : m_preferences(preferences), m_folder(std::move(autostartFolder)), m_executable(std::move(executable))
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                   QStringLiteral("/autostart");
    if (m_executable.isEmpty())
        m_executable = QCoreApplication::applicationFilePath();
    m_installed = isInstalledProgram(m_executable);
}

bool LaunchAgent::isInstalledProgram(const QString& executable)
{
    if (executable.isEmpty())
        return false;
    for (QDir folder = QFileInfo(executable).absoluteDir();;) {
        if (folder.exists(QStringLiteral("CMakeCache.txt")))
            return false;
        if (!folder.cdUp())
            return true;
    }
}

QString LaunchAgent::agentPath() const
{
    return QDir(m_folder).filePath(BuildInfo::desktopEntryName());
}

bool LaunchAgent::launchOnStart() const
{
    return m_preferences.boolValue(key());
}

bool LaunchAgent::isTurnedOffByDesktop() const
{
    bool inMainGroup = false;
    for (const QByteArray& rawLine : fileContents(agentPath()).split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inMainGroup || equals < 0)
            continue;
        const QByteArray name = line.left(equals).trimmed();
        const QByteArray value = line.mid(equals + 1).trimmed();
        if ((name == "Hidden" && value == "true") ||
            (name == "X-GNOME-Autostart-enabled" && value == "false"))
            return true;
    }
    return false;
}

bool LaunchAgent::configureLaunchAgentScript()
{
    if (!m_preferences.value(key()).isValid()) {
        m_preferences.setValue(key(), true);
        m_preferences.flush();
    }
    if (!m_installed) {
        qCInfo(lcApp, "Not an installed program: the autostart entry is left alone");
        return true;
    }
    // The user switched it off in the desktop's settings: that is the answer, kept as it is.
    if (isTurnedOffByDesktop()) {
        m_preferences.setValue(key(), false);
        return true;
    }
    const bool on = launchOnStart();
    const bool ok = on ? installLaunchAgentScript() : uninstallLaunchAgentScript();
    if (!ok)
        m_preferences.setValue(key(), !on);
    return ok;
}

bool LaunchAgent::toggleLaunchOnStart()
{
    if (!m_installed) {
        qCInfo(lcApp, "Not an installed program: the autostart entry is left alone");
        return true;
    }
    const bool wanted = !launchOnStart();
    m_preferences.setValue(key(), wanted);
    m_preferences.flush();
    const bool ok = wanted ? installLaunchAgentScript() : uninstallLaunchAgentScript();
    if (!ok)
        m_preferences.setValue(key(), !wanted);
    return ok;
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
    // An entry that already says the same is not written again.
    if (ok && fileContents(path) != contents) {
        ok = makePrivatePath(m_folder);
        reason = ok ? QString() : QStringLiteral("cannot create %1").arg(m_folder);
        if (ok) {
            QSaveFile file(path);
            ok = file.open(QIODevice::WriteOnly) &&
                 file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                 file.write(contents) == contents.size() && file.commit();
            if (!ok)
                reason = file.errorString();
        }
    }
    qCInfo(lcApp, "Installing script %s\n Result: %d", qUtf8Printable(path), ok ? 0 : 1);
    if (!ok)
        qCWarning(lcApp, "Autostart entry not written: %s", qUtf8Printable(reason));
    return ok;
}

bool LaunchAgent::uninstallLaunchAgentScript()
{
    const QString path = agentPath();
    // Nothing to remove counts as removed; a dangling link is removed too.
    const QFileInfo info(path);
    const bool ok = (!info.exists() && !info.isSymLink()) || QFile::remove(path);
    qCInfo(lcApp, "Uninstalling script %s\n Result: %d", qUtf8Printable(path), ok ? 0 : 1);
    return ok;
}

} // namespace qv
