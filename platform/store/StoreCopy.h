#pragma once

#include "platform/store/Context.h"

#include <QString>

namespace qv::store {

// Copies what has been committed to the store file at sourcePath to destinationPath, through
// a read-only connection of its own and SQLite's online backup API: safe on any thread while
// the store's own connection goes on committing. The copy is written beside the destination
// (user-only) and moved over it only once complete, so on failure an older file there stays
// as it was; error then says why.
bool copyStoreFile(const QString& sourcePath, const QString& destinationPath, StoreError* error = nullptr);

} // namespace qv::store
