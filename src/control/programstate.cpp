#include "control/programstate.h"

#include "control/connectchoice.h"
#include "control/linkservices.h"
#include "control/linkuser.h"
#include "control/localsettings.h"
#include "control/progress.h"
#include "control/session.h"
#include "model/model.h"
#include "model/target.h"
#include "model/flashimage.h"
#include "control/flashloader.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/switchthrough.h"
#include "control/rxdispatch.h"
#include "link/trace.h"
#include "model/eventlist.h"
#include "model/loggerdata.h"
#include "model/taskblock.h"
#include "platform/eventpump.h"

namespace korvel {

void ResetProgramState() {
    SetProgramEnding(false);
    ForgetLinkQueue();
    ResetSwitchThrough();
    ResetLinkState();
    InstallProgramLinkClient();
    TraceCloseFile();
    ResetConnectState();
    ResetLocalSettings();
    ResetSessionState();
    progressView().Unload();
    ResetTargetState();
    ResetStationConfig();
    ResetEventMonitorState();
    ResetEventAckState();
    ResetLoggerData();
    ResetFlashImage();
    flashLoaderPauses() = FlashLoaderPauses{};
    ResetTaskState();
}

} // namespace korvel
