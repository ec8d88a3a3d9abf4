#pragma once

#include <QLoggingCategory>

namespace qv {

// "qv.ui.details"
Q_DECLARE_LOGGING_CATEGORY(lcDetails)

} // namespace qv
