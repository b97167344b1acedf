// Moving a station's whole configuration between the module and the model, one block at
// a time, with the progress window showing how far it got.
#pragma once

#include <cstdint>

namespace korvel {

class LinkHold;

enum TransferResult : int16_t {
    TRANSFER_OK = 0,         // every block moved and the processes restarted
    TRANSFER_FAILED = 1,     // a step failed
    TRANSFER_CANCELLED = 2,  // the user cancelled
};
TransferResult ReadConfiguration(const LinkHold& hold);
TransferResult WriteConfiguration(const LinkHold& hold);
// The progress increment per phase for a station with childCount child modules.
int16_t ProgressStep(int childCount);

} // namespace korvel
