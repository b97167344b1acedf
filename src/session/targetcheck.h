// Whether the module at the end of the link may be read or written by this program:
// its product line, firmware family and version, and whether it can reach a remote
// station.
#pragma once

#include <cstdint>
#include <functional>

namespace korvel {

// 0 to go on with the read or write; 1 to stop (the user has been told why, or the link
// failed). runFlashLoad is the firmware-load command, run when the user accepts the
// offer of new firmware for a boot loader or old firmware.
int16_t ModuleModeCheck(const std::function<void()>& runFlashLoad = {});

} // namespace korvel
