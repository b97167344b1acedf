// The firmware load: a firmware file into FlashImage, then through the local module's
// boot loader into its flash, page by page, with the board information page stamped
// and the module restarted.
#pragma once

namespace korvel {

// The pauses of a load, in milliseconds, paced by the wait timer: the boot loader's
// start-up after it was called, and the steps of the settling and restart waits.
// Shortened by tests.
struct FlashLoaderPauses {
    int bootLoaderStartMs = 1500;
    int stepMs = 500;
};
FlashLoaderPauses& flashLoaderPauses();

enum class FlashLoadOutcome {
    Loaded,     // every page written, the board page stamped, the module restarted
    Abandoned,  // no file chosen, or a refused file given up: the module was not touched
    Refused,    // the module is not one this firmware is for (its message was shown)
    Stopped,    // a failure or cancel; what it left behind has been said
};

// Runs one firmware load from the file dialog on. The reply time-out and station
// address are put back when it ends; a load that stops once the boot loader was called
// never restarts the module, and says what state it left the module in.
FlashLoadOutcome RunFlashLoader();

} // namespace korvel
