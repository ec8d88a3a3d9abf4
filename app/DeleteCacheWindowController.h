#pragma once

#include <QString>

#include <functional>

namespace qv {

class CacheWipeProgress;
class Preferences;

// Erases, once per installation, the permanent part of the REST request cache while a progress
// indicator covers the document window. Runs on the main thread and blocks it while deleting.
// It has no window of its own: the window shows the progress through CacheWipeProgress.
class DeleteCacheWindowController {
public:
    static QString erasedKey() { return QStringLiteral("_permanentCacheErased"); }
    static QString permanentFolderName() { return QStringLiteral("PermanentStore"); }
    // The request cache of the REST client for the sync server; empty without a server.
    static QString requestCacheFolder(const QString& cachesFolder, const QString& syncOrigin);

    // progress may be null (nothing is shown); terminating tells whether quitting has begun.
    DeleteCacheWindowController(Preferences& preferences, CacheWipeProgress* progress,
                                std::function<bool()> terminating = {});

    // Shows the progress indicator (unless quitting), deletes the permanent folder below cacheFolder,
    // hides it again and runs completion. A successful deletion sets "_permanentCacheErased", and
    // so does a missing folder (nothing to erase); a failed deletion leaves it unset for a retry.
    void cleanCacheAt(const QString& cacheFolder, const std::function<void()>& completion);

private:
    Preferences& m_preferences;
    CacheWipeProgress* m_progress;
    std::function<bool()> m_terminating;
};

} // namespace qv
