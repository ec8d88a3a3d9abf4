#pragma once

#include <QLoggingCategory>

namespace qv {

// "qv.platform.store"; debug lines are off unless QT_LOGGING_RULES turns them on.
Q_DECLARE_LOGGING_CATEGORY(lcStore)

} // namespace qv
