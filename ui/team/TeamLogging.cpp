#include "ui/team/TeamLogging.h"

Q_LOGGING_CATEGORY(lcTeam, "qv.ui.team", QtInfoMsg)
