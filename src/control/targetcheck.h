// Whether the module at the end of the link may be read or written by this program:
// its product line, firmware family and version, and whether it can reach a remote
// station.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace korvel {

class LinkHold;

// The product a module's identity names when it is not this program's: from its product
// line, or from the whole identity byte as the firmware loader has it ("Unknown
// Product" for any other code).
QString ProductName(int code);

// 0 to go on with the read or write; 1 to stop (the user has been told why, or the link
// failed). runFlashLoad is the firmware-load command, run when the user accepts the
// offer of new firmware for a boot loader or old firmware.
int16_t ModuleModeCheck(const LinkHold& hold, const std::function<void()>& runFlashLoad = {});

} // namespace korvel
