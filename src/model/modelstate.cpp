#include "model/modelstate.h"

#include "model/eventlist.h"
#include "model/flashimage.h"
#include "model/loggerdata.h"
#include "model/model.h"
#include "model/target.h"
#include "model/taskblock.h"

namespace korvel {

void ResetModelState() {
    ResetTargetState();
    ResetStationConfig();
    ResetEventMonitorState();
    ResetLoggerData();
    ResetFlashImage();
    ResetTaskState();
}

} // namespace korvel
