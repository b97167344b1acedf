// The data logger's set-up as last reported by the module and edited by the user.
#pragma once

#include <cstdint>

namespace korvel {

struct LoggerData {
    int32_t LoggerTimers[9] = {};       // 24-bit values
    uint8_t LoggerSettingBytes[25] = {};  // sent back as the module reported them
};

LoggerData& loggerData();
void ResetLoggerData();

} // namespace korvel
