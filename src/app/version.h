// The program's version, as shown in the trace header and the About box.
#pragma once

namespace korvel {

constexpr int ProgramVersionMajor = 1;
constexpr int ProgramVersionMinor = 0;
constexpr int ProgramVersionRevision = 0;

} // namespace korvel
