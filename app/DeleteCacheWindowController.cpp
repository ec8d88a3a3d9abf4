#include "app/DeleteCacheWindowController.h"

#include "app/AppLogging.h"
#include "app/ShellInterfaces.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace qv {

QString DeleteCacheWindowController::requestCacheFolder(const QString& cachesFolder,
                                                        const QString& syncOrigin)
{
    const QUrl origin(syncOrigin);
    if (cachesFolder.isEmpty() || !origin.isValid() || origin.host().isEmpty())
        return {};
    return QDir(cachesFolder).filePath(QStringLiteral("RequestCache-") + origin.host());
}

DeleteCacheWindowController::DeleteCacheWindowController(Preferences& preferences,
                                                         CacheWipeProgress* progress,
                                                         std::function<bool()> terminating)
    : m_preferences(preferences), m_progress(progress), m_terminating(std::move(terminating))
{
}

void DeleteCacheWindowController::cleanCacheAt(const QString& cacheFolder,
                                               const std::function<void()>& completion)
{
    const bool showProgress = m_progress && !(m_terminating && m_terminating());
    if (showProgress)
        m_progress->begin();

    const QString target =
        cacheFolder.isEmpty() ? QString() : QDir(cacheFolder).filePath(permanentFolderName());
    const QFileInfo info(target);
    if (target.isEmpty() || !info.isDir()) {
        // Nothing left to erase is as good as erased: otherwise the check, and the overlay with
        // it, would come back at every launch.
        m_preferences.setValue(erasedKey(), true);
    } else {
        // A link is removed as a link: what it points at is not the cache's to delete.
        const bool ok = info.isSymLink() ? QFile::remove(target) : QDir(target).removeRecursively();
        if (ok) {
            m_preferences.setValue(erasedKey(), true);
            qCInfo(lcApp, "Task succeeded.");
        } else {
            qCWarning(lcApp, "Task failed.");
        }
    }

    if (showProgress)
        m_progress->end();
    if (completion)
        completion();
}

} // namespace qv
