#include "ui/details/DetailsLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcDetails, "qv.ui.details", QtInfoMsg)

} // namespace qv
