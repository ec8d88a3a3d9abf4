#include "ui/account/widgets/AccountLogging.h"

Q_LOGGING_CATEGORY(lcAccountWidgets, "qv.ui.account.widgets", QtInfoMsg)
