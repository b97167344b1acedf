#include "link/channelclear.h"

namespace korvel {

int16_t WaitChannelClear() { return 0; }

} // namespace korvel
