#include "config/target.h"

namespace korvel {

static TargetState g_target;

TargetState& target() { return g_target; }
void ResetTargetState() { g_target = TargetState{}; }

} // namespace korvel
