#include "session/programstate.h"

#include "session/connectchoice.h"
#include "session/linkservices.h"
#include "session/localsettings.h"
#include "session/progress.h"
#include "session/session.h"
#include "config/model.h"
#include "config/target.h"
#include "flash/flashimage.h"
#include "flash/flashloader.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/switchthrough.h"
#include "session/rxdispatch.h"
#include "link/trace.h"
#include "monitor/eventlist.h"
#include "monitor/loggerdata.h"
#include "monitor/taskblock.h"

namespace korvel {

void ResetProgramState() {
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
