// The firmware load: a firmware file into FlashImage, then through the local module's
// boot loader into its flash, page by page, with the board information page stamped
// and the module restarted.
#pragma once

namespace korvel {

struct RomFile;

// Shows the refusal of a firmware file (critical icon, OK and Cancel, "Flash Loader") and
// returns the answer: vbOK to choose another file, vbCancel to give up.
int ShowRomFileRefusal(const RomFile& file);

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
    Refused,    // the module or its boot loader is not one this firmware is for (said)
    Stopped,    // a failure or cancel; what it left behind has been said
};

// Runs one firmware load from the file dialog on. The reply time-out and station
// address are put back when it ends. A load that stops before writing a page restarts
// the module into the firmware it holds; one that stops part way never restarts a
// partial image. Pages go whole: a cancel or close takes effect between pages, and once
// every firmware page is written the load is finished. Any stop says what it left the
// module with.
FlashLoadOutcome RunFlashLoader();

} // namespace korvel
