// Where the station-wide values sit in SystemConfig, and the few bit fields that more
// than one unit reads.
#pragma once

#include "model/model.h"

#include <cstdint>

namespace korvel {

enum SystemElement : int {
    MY_ADDRESS = 0,
    MODULE_MODE = 1,
    START_UP_DELAY = 2,
    START_UP_OPTIONS = 3,
    SPORT1_CCB1 = 4,
    SPORT1_CCB2 = 5,
    SPORT1_CCB3 = 6,
    SPORT1_DUMP_TIME = 7,
    SPORT1_RETRY_TIME = 8,
    SPORT1_RETRY_COUNT = 9,
    SPORT2_CCB1 = 10,
    SPORT2_CCB2 = 11,
    SPORT2_CCB3 = 12,
    SPORT2_DUMP_TIME = 13,
    SPORT2_RETRY_TIME = 14,
    SPORT2_RETRY_COUNT = 15,
    FFSK_CCB1 = 16,
    FFSK_CCB2 = 17,
    FFSK_CCB3 = 18,
    FFSK_RETRY_TIME = 19,
    FFSK_RETRY_COUNT = 20,
    FFSK_SYNC_WORD_HIGH = 21,
    FFSK_SYNC_WORD_LOW = 22,
    FFSK_PTT_START_DELAY = 23,
    FFSK_CD_DELAY_TIME = 24,
    FFSK_OUTPUT_LEVEL = 25,
    SLEEP_TIME = 33,
    SLEEP_RETURN = 34,
    LOG_SYSTEM = 35,
    LOG_INPUTS = 36,
    LOG_ANALOGS = 37,
    LOG_TEMPERATURES = 38,
    SAMPLE_TIME = 39,
    ACCUMULATING_TIME = 40,
    LOG_RATIO = 41,
    FFSK_PTT_HANG_DELAY = 42,
};

// StartUpOptions bits: the system dialog's, and the logger's power-up run.
constexpr int START_POWER_UP_STATUS = 0x01;
constexpr int START_LOGGER_AUTORUN = 0x02;
constexpr int START_COS_WAKEUP = 0x40;
constexpr int START_POWER_SAVE = 0x80;

// The module mode in bits 0-3 of ModuleMode; the primary transmission path in bits 4-7.
enum ModuleModeValue : int {
    MODE_SLAVE_NOMAPPING = 0,
    MODE_SLAVE_INPUTMAPPING = 1,
    MODE_MASTER = 2,
    MODE_GATEWAY = 3,
};

// A serial port's protocol in bits 4-6 of its second control byte.
constexpr int PORT_PROTOCOL_MASK = 0x70;
constexpr int PORT_PROTOCOL_SHIFT = 4;
enum SerialPortProtocol : int {
    PORT_BINMP = 0,
    PORT_FLEETSYNC = 1,
    PORT_PPP = 2,
    PORT_NMEA = 3,
};

// An element as the whole number a block would send.
int32_t SystemValue(const StationConfig& c, int element);
// The protocol number (bits 4-6) of the port whose second control byte is element.
int PortProtocol(const StationConfig& c, int ccb2Element);
bool Port2RunsFleetSync(const StationConfig& c);

} // namespace korvel
