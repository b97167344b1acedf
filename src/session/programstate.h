// Puts every group of program-wide state back to program start at once, for tests
// and the fuzz harnesses that must not see one run's leftovers in the next.
#pragma once

namespace korvel {

// The link, connection choice, local settings, session, progress window, target,
// configuration, event monitor, owed acknowledgements, logger, flash image and tasks.
void ResetProgramState();

} // namespace korvel
