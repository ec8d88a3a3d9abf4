#pragma once

#include <QString>

namespace qv {

// QLockFile names its owner in the file just after creating it. A process killed in between
// leaves an empty file, which QLockFile takes for a live owner's: QSettings waits until it is
// 30 s old, and a lock without age staleness never frees. An empty lock file that stays empty
// for the moment an owner needs to write itself has none; this removes it. True when removed.
bool removeOwnerlessLockFile(const QString& path);

} // namespace qv
