#pragma once

#include <QLoggingCategory>

namespace qv {

// "qv.app"; debug lines are off unless QT_LOGGING_RULES turns them on.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

} // namespace qv
