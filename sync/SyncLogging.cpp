#include "sync/SyncLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcSync, "qv.sync", QtInfoMsg)

} // namespace qv
