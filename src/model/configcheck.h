// The check run before a configuration leaves the program (to a module or a file):
// settings that would leave the module uncontrollable, or local outputs that point
// at another module's outputs.
#pragma once

#include <QString>
#include <cstdint>

namespace korvel {

// Empty: nothing found, the caller may go on. Else the first error found, for the
// user, and the caller must stop.
QString ConfigurationProblem();

// 1 when output (1 .. 64, 0 = none) is not 0, group is 0 to 7 and the output lies
// outside that group's own outputs 8 x group + 1 .. 8 x group + 8; else 0. For group 0
// only the upper bound counts, so 0 and negative outputs are its own.
int16_t IsOffModuleOutput(int16_t group, int16_t output);

} // namespace korvel
