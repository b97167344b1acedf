#include "control/settingwrites.h"
#include "link/linkhold.h"

#include "model/target.h"
#include "link/builders.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "model/loggerdata.h"

namespace korvel {

int16_t SendSetDateTime(const LinkHold& hold) {
    const int16_t* a = linkState().StationAddress;
    const ModuleClockValue& c = target().ModuleClock;
    QByteArray frame = TxFrame(13, a[0], a[1], a[2], PKT_SET, CMD_DATE_TIME);
    uint8_t* t = FrameBytes(frame);
    t[7] = static_cast<uint8_t>(c.day);
    t[8] = static_cast<uint8_t>(c.month);
    t[9] = static_cast<uint8_t>(c.year - 2000);
    t[10] = static_cast<uint8_t>(c.hour);
    t[11] = static_cast<uint8_t>(c.minute);
    t[12] = static_cast<uint8_t>(c.second);
    return SendTxFrame(hold, frame, TX_WAIT_ACK, false);
}

int16_t SendLoggerTimers(const LinkHold& hold, int16_t destination, int16_t source, int16_t route) {
    QByteArray frame = TxFrame(59, destination, source, route, PKT_SET, CMD_LOGGER_TIMERS);
    uint8_t* t = FrameBytes(frame);
    const LoggerData& d = loggerData();
    for (int k = 0; k < 9; ++k) {
        const uint32_t v = static_cast<uint32_t>(d.LoggerTimers[k]);
        t[7 + 3 * k] = static_cast<uint8_t>(v & 255u);
        t[8 + 3 * k] = static_cast<uint8_t>((v / 256u) & 255u);
        t[9 + 3 * k] = static_cast<uint8_t>((v / 65536u) & 255u);
    }
    for (int i = 0; i < 25; ++i) t[34 + i] = d.LoggerSettingBytes[i];
    return SendTxFrame(hold, frame, TX_WAIT_ACK, false);
}

} // namespace korvel
