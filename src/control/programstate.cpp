#include "control/programstate.h"

#include "control/channelclear.h"
#include "control/connectchoice.h"
#include "control/linkservices.h"
#include "link/linkhold.h"
#include "link/transaction.h"
#include "control/localsettings.h"
#include "control/progress.h"
#include "control/session.h"
#include "model/modelstate.h"
#include "control/flashloader.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/switchthrough.h"
#include "control/rxdispatch.h"
#include "link/trace.h"
#include "platform/eventpump.h"
#include "platform/iohandler.h"

namespace korvel {

void ResetProgramState() {
    SetProgramEnding(false);
    // Nothing queued survives: neither the jobs waiting for their turn on the link nor
    // what the I/O handlers left to run after them (a frame to dispatch, a box to show).
    ResetLinkHolds();
    SetUnheldSendStops(true);
    ForgetQueuedJobs();
    ResetSwitchThrough();
    ResetLinkState();
    InstallProgramLinkClient();
    channelClearWait() = 0;
    TraceCloseFile();
    ResetConnectState();
    ResetLocalSettings();
    ResetSessionState();
    progressView().Unload();
    ResetModelState();
    ResetEventAckState();
    flashLoaderPauses() = FlashLoaderPauses{};
}

} // namespace korvel
