#include "core/document/DocumentLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcDocument, "qv.core.document", QtInfoMsg)

} // namespace qv
