#include "diagnostics/core/DiagnosticsLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcDiagnostics, "qv.diagnostics.core", QtInfoMsg)

} // namespace qv
