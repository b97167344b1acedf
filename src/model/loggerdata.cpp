#include "model/loggerdata.h"

namespace korvel {

static LoggerData g_logger;

LoggerData& loggerData() { return g_logger; }
void ResetLoggerData() { g_logger = LoggerData{}; }

} // namespace korvel
