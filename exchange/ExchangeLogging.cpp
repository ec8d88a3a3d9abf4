#include "exchange/ExchangeLogging.h"

namespace qv {

Q_LOGGING_CATEGORY(lcExchange, "qv.exchange", QtInfoMsg)

} // namespace qv
