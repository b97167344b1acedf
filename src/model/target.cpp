#include "model/target.h"

namespace korvel {

static TargetState g_target;

int LastBoard(int mask, int firstBit) {
    for (int b = 4; b >= 1; --b)
        if (mask & (1 << (b - 1 + firstBit))) return b;
    return 0;
}

TargetState& target() { return g_target; }
void ResetTargetState() { g_target = TargetState{}; }

} // namespace korvel
