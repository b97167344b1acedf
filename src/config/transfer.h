// Moving a station's whole configuration between the module and the model, one block at
// a time, with the progress window showing how far it got.
#pragma once

#include <cstdint>

namespace korvel {

// 0 when every request was answered and the processes restarted, 1 when a step failed
// or was cancelled.
int16_t ReadConfiguration();
int16_t WriteConfiguration();
// The progress increment per phase for a station with childCount child modules.
int16_t ProgressStep(int childCount);

} // namespace korvel
