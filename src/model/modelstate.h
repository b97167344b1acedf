// The model's program-start state, in one call: the target, the configuration, and the
// event, logger, firmware and task data.
#pragma once

namespace korvel {

void ResetModelState();

} // namespace korvel
