#include "diagnostics/crash/CrashLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcCrash, "qv.diagnostics.crash", QtInfoMsg)

} // namespace qv
