#include "ui/team/widgets/TeamWidgetsLogging.h"

Q_LOGGING_CATEGORY(lcTeamWidgets, "qv.ui.team.widgets", QtInfoMsg)
