#include "editors/station/leveltest.h"

#include "link/builders.h"
#include "control/channelclear.h"
#include "link/frame.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "control/connection.h"

#include <algorithm>
#include <cmath>

namespace korvel {

namespace {

// What the module is told with the PTT-on and test-tone commands.
constexpr uint8_t kTestData1 = 120;
constexpr uint8_t kTestData2 = 255;

bool sent(int16_t result) { return result == SEND_OK; }

bool command(int16_t code) { return sent(SendCommand(code, 0, 0, 0)); }

void report(const LevelTestProgress& progress, LevelTestStage stage) {
    if (progress) progress(stage);
}

// A command failed while the test held the module (the link has said why). A module
// that refused it still hears us: its transmitter is switched off and its processes
// restarted, as the test's own end does, before the failure ends the test.
LevelTestResult PutModuleBack(const LevelTestProgress& progress) {
    if (!LinkStillUp()) return LevelTestResult::Failed;
    return ReleaseTransmitter(progress) == LevelTestResult::Done ? LevelTestResult::Restored
                                                                 : LevelTestResult::Failed;
}

} // namespace

int16_t ShownTxLevel(double configured) {
    // A value from a file or another program may be anything, NaN included.
    if (std::isnan(configured)) return TX_LEVEL_MIN;
    return static_cast<int16_t>(std::clamp(std::nearbyint(configured), double(TX_LEVEL_MIN), double(TX_LEVEL_MAX)));
}

LevelTestResult KeyTransmitter(int16_t level, const LevelTestProgress& progress) {
    report(progress, LevelTestStage::StoppingProcesses);
    if (!command(CMD_PTT_OFF)) return LevelTestResult::Failed;
    if (!command(CMD_STOP_PROCESSES)) return LevelTestResult::Failed;

    switch (PollChannelClear()) {
    case ChannelWait::Clear:
        break;
    case ChannelWait::Failed:
        // A link that gave up leaves the main window's wait message blinking.
        linkHost().SetTimerEnabled(LinkTimer::MsgTimer, false);
        linkState().ProgressActive = 0;
        return PutModuleBack(progress);
    case ChannelWait::Abandoned:
        // Nothing was keyed, but the processes were stopped: the module must not be left
        // that way because the channel stayed busy.
        report(progress, LevelTestStage::RestartingProcesses);
        return command(CMD_RESTART_PROCESSES) ? LevelTestResult::Abandoned : LevelTestResult::Failed;
    }

    report(progress, LevelTestStage::ProcessesStopped);
    if (!sent(SendCommandBytes(CMD_PTT_ON, 0, 0, 0, kTestData1, kTestData2)) || !sent(SendLevelCommand(0, 0, 0, level)) ||
        !sent(SendCommandBytes(CMD_TEST_TONE, 0, 0, 0, kTestData1, kTestData2)))
        return PutModuleBack(progress);
    return LevelTestResult::Done;
}

LevelTestResult ReleaseTransmitter(const LevelTestProgress& progress) {
    if (!command(CMD_PTT_OFF)) return LevelTestResult::Failed;
    report(progress, LevelTestStage::RestartingProcesses);
    return command(CMD_RESTART_PROCESSES) ? LevelTestResult::Done : LevelTestResult::Failed;
}

LevelTestResult SetTransmitLevel(int16_t level, const LevelTestProgress& progress) {
    return sent(SendLevelCommand(0, 0, 0, level)) ? LevelTestResult::Done : PutModuleBack(progress);
}

} // namespace korvel
