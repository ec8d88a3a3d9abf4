#include "ui/board/BoardLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcBoard, "qv.ui.board", QtInfoMsg)

} // namespace qv
