// The program's version, as shown in the trace header, the splash, the About box and
// the configuration file's version line. It comes from the build's project version.
#pragma once

namespace korvel {

constexpr int ProgramVersionMajor = KORVEL_VERSION_MAJOR;
constexpr int ProgramVersionMinor = KORVEL_VERSION_MINOR;
constexpr int ProgramVersionRevision = KORVEL_VERSION_PATCH;

} // namespace korvel
