// Puts every group of program-wide state back to program start at once, for tests
// and the fuzz harnesses that must not see one run's leftovers in the next.
#pragma once

namespace korvel {

// The link with its timers' tick state and the trace file, the connection choice, local
// settings, session, progress window, target, configuration, event monitor, owed
// acknowledgements and the dispatch observer, logger, flash image and tasks, with the
// listeners each holds. What a caller installs (prompts, link host, progress view,
// serial port factory, connection windows) stays installed.
void ResetProgramState();

} // namespace korvel
