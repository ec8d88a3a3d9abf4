#include "app/AppLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcApp, "qv.app", QtInfoMsg)

} // namespace qv
