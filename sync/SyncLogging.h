#pragma once

#include <QLoggingCategory>

namespace qv {

// "qv.sync"; debug lines are off unless QT_LOGGING_RULES turns them on.
Q_DECLARE_LOGGING_CATEGORY(lcSync)

} // namespace qv
