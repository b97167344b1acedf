#include "control/localsettings.h"

namespace korvel {

static LocalSettings g_settings;

LocalSettings& settings() { return g_settings; }
void ResetLocalSettings() { g_settings = LocalSettings{}; }

} // namespace korvel
