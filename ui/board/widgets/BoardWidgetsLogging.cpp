#include "ui/board/widgets/BoardWidgetsLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcBoardWidgets, "qv.ui.board.widgets", QtInfoMsg)

} // namespace qv
