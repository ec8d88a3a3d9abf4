#pragma once

#include <QLoggingCategory>

namespace qv {

// "qv.exchange"; debug lines are off unless QT_LOGGING_RULES turns them on.
Q_DECLARE_LOGGING_CATEGORY(lcExchange)

} // namespace qv
