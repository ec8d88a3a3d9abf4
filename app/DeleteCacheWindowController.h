#pragma once

#include <QString>

#include <functional>

namespace qv {

class CacheWipeSheet;
class Preferences;

// Erases, once per installation, the permanent part of the REST request cache while a sheet
// covers the document window. Runs on the main thread and blocks it while deleting.
class DeleteCacheWindowController {
public:
    static QString erasedKey() { return QStringLiteral("_permanentCacheErased"); }
    static QString permanentFolderName() { return QStringLiteral("PermanentStore"); }
    // The request cache of the REST client for the sync server; empty without a server.
    static QString requestCacheFolder(const QString& cachesFolder, const QString& syncOrigin);

    // sheet may be null (nothing is shown); terminating tells whether quitting has begun.
    DeleteCacheWindowController(Preferences& preferences, CacheWipeSheet* sheet,
                                std::function<bool()> terminating = {});

    // Shows the sheet (unless quitting), deletes the permanent folder below cacheFolder,
    // closes the sheet and runs completion. A successful deletion sets "_permanentCacheErased";
    // a missing folder deletes nothing and leaves it unset.
    void cleanCacheAt(const QString& cacheFolder, const std::function<void()>& completion);

private:
    Preferences& m_preferences;
    CacheWipeSheet* m_sheet;
    std::function<bool()> m_terminating;
};

} // namespace qv
