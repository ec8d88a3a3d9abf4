#include "core/model/ModelLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcModel, "qv.core.model", QtInfoMsg)

} // namespace qv
