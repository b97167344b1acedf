// The program's own settings (the values kept in the local settings file).
#pragma once

#include <QString>
#include <cstdint>

namespace korvel {

enum PortProtocolValue : int16_t {
    LOCALPORT_MODULE = 0,
    LOCALPORT_FLEETSYNC = 1,
    LOCALPORT_MODULE_8N1 = 2,
};

struct LocalSettings {
    int16_t CommPortNumber = 1;
    // A device path typed in place of a port number (for example a pseudo-terminal);
    // empty means the device of CommPortNumber.
    QString CommPortDevice;
    int16_t RetryCount = 5;
    int16_t PacketTimeout = 15;     // ticks of 100 ms
    int16_t LinkDebugDisplay = 0;
    int16_t InterByteTimeout = 8;   // ticks of 100 ms
    int16_t SpareSetting = 3;
    bool DegreesF = false;
    int16_t PortProtocol = LOCALPORT_MODULE;
};

LocalSettings& settings();
void ResetLocalSettings();

} // namespace korvel
