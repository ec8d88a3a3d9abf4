#include "platform/store/StoreLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcStore, "qv.platform.store", QtInfoMsg)

} // namespace qv
