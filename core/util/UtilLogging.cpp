#include "core/util/UtilLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcUtil, "qv.core.util", QtInfoMsg)

} // namespace qv
