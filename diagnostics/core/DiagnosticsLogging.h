#pragma once

#include <QLoggingCategory>

namespace qv {

// "qv.diagnostics.core"; debug lines are off unless QT_LOGGING_RULES turns them on.
Q_DECLARE_LOGGING_CATEGORY(lcDiagnostics)

} // namespace qv
