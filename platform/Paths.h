#pragma once

#include <QString>

namespace qv {

// The folders the application keeps its files in; each is created when missing, readable by
// the user only.
class Paths {
public:
    // $XDG_DATA_HOME/Velmora/Quadrivo/ (with the trailing slash); empty when it cannot be created.
    static QString applicationSupport();
    // $XDG_CACHE_HOME/Quadrivo; empty when it cannot be created.
    static QString caches();
    // A per-user temporary base, mode 0700. Refuses (empty result, reason in error) a
    // pre-existing folder owned by someone else, one others can write to, or a symlink.
    static QString temporaryBase(QString* error = nullptr);
    // Creates the folder and any missing parents, each of them mode 0700; folders that exist
    // keep their mode. True when the folder exists afterwards.
    static bool makePrivateFolder(const QString& path);
};

} // namespace qv
