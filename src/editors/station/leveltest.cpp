#include "editors/station/leveltest.h"

#include "link/linkhold.h"
#include "link/builders.h"
#include "control/channelclear.h"
#include "link/frame.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "control/connection.h"
#include "control/refusals.h"
#include "platform/prompts.h"

#include <algorithm>
#include <cmath>

namespace korvel {

namespace {

// What the module is told with the PTT-on and test-tone commands.
constexpr uint8_t kTestData1 = 120;
constexpr uint8_t kTestData2 = 255;

bool sent(int16_t result) { return result == SEND_OK; }

bool command(const LinkHold& hold, int16_t code) { return sent(SendCommand(hold, code, 0, 0, 0)); }

void report(const LevelTestProgress& progress, LevelTestStage stage) {
    if (progress) progress(stage);
}

// One sequence of the test. Its refusals are recorded, not shown, so the module is put
// back before anything is said.
class Sequence {
public:
    Sequence(const LinkHold& hold, const LevelTestProgress& progress) : hold_(hold), progress_(progress) {}

    // Ends with nothing to put back. A refusal then is said by its own box, as the
    // dispatcher would have said it.
    LevelTestEnd End(LevelTestResult result) { return {result, QString(), false, false}; }

    // Switches the transmitter off and restarts the processes. PTT off is tried once more
    // when refused, and the restart is tried even when the transmitter stayed keyed: a
    // module left running is better off than one left stopped. A link that has given up
    // carries nothing.
    LevelTestEnd PutBack(LevelTestResult result) {
        if (!LinkStillUp()) return End(LevelTestResult::Failed);
        const int before = refusals_.Count();
        bool off = command(hold_, CMD_PTT_OFF);
        if (!off && refusals_.Count() > before && LinkStillUp()) off = command(hold_, CMD_PTT_OFF);
        report(progress_, LevelTestStage::RestartingProcesses);
        const bool restarted = LinkStillUp() && command(hold_, CMD_RESTART_PROCESSES);
        if (refusals_.Refused()) result = LevelTestResult::Restored;
        else if (!off || !restarted) result = LevelTestResult::Failed;
        return {result, refusals_.Take(), !off, !restarted};
    }

private:
    const LinkHold& hold_;
    const LevelTestProgress& progress_;
    RefusalScope refusals_;
};

const QString kEnded = QStringLiteral("The module did not accept a command of the level test, so the test was ended.");

} // namespace

QString LevelTestMessage(const LevelTestEnd& end) {
    if (end.refusal.isEmpty()) return QString();
    QString left;
    if (end.keyed && end.stopped)
        left = QStringLiteral("Its transmitter could not be switched off nor its system processes restarted: the "
                              "transmitter may still be keyed and the processes are stopped. Switch the module off "
                              "and on again.");
    else if (end.keyed)
        left = QStringLiteral("Its transmitter could not be switched off and may still be keyed; the system processes "
                              "run again. Switch the module off and on again to release the transmitter.");
    else if (end.stopped)
        left = QStringLiteral("The transmitter is switched off, but the system processes could not be restarted. "
                              "Restart them with System > ReStart System, or switch the module off and on again.");
    else
        left = QStringLiteral("The transmitter is switched off and the system processes run again.");
    return end.refusal + kLineBreak + kEnded + QLatin1Char(' ') + left;
}

int16_t ShownTxLevel(double configured) {
    // A value from a file or another program may be anything, NaN included.
    if (std::isnan(configured)) return TX_LEVEL_MIN;
    return static_cast<int16_t>(std::clamp(std::nearbyint(configured), double(TX_LEVEL_MIN), double(TX_LEVEL_MAX)));
}

LevelTestEnd KeyTransmitter(int16_t level, const LevelTestProgress& progress, const LevelTestStop& stopAsked) {
    const LinkHold hold;
    const auto asked = [&stopAsked] { return stopAsked && stopAsked(); };
    Sequence seq(hold, progress);
    report(progress, LevelTestStage::StoppingProcesses);
    if (!command(hold, CMD_PTT_OFF)) return seq.End(LevelTestResult::Failed);
    if (asked()) return seq.End(LevelTestResult::Abandoned);
    if (!command(hold, CMD_STOP_PROCESSES)) return seq.End(LevelTestResult::Failed);
    if (asked()) return seq.PutBack(LevelTestResult::Abandoned);

    switch (PollChannelClear(hold, asked)) {
    case ChannelWait::Clear:
        break;
    case ChannelWait::Failed:
        // A link that gave up leaves the main window's wait message blinking.
        linkHost().SetTimerEnabled(LinkTimer::MsgTimer, false);
        linkState().ProgressActive = 0;
        return seq.PutBack(LevelTestResult::Restored);
    case ChannelWait::Abandoned:
        // Nothing was keyed, but the processes were stopped: the module must not be left
        // that way because the channel stayed busy or the window is closing.
        return seq.PutBack(LevelTestResult::Abandoned);
    }

    report(progress, LevelTestStage::ProcessesStopped);
    const std::function<int16_t()> steps[] = {
        [&hold] { return SendCommandBytes(hold, CMD_PTT_ON, 0, 0, 0, kTestData1, kTestData2); },
        [&hold, level] { return SendLevelCommand(hold, 0, 0, 0, level); },
        [&hold] { return SendCommandBytes(hold, CMD_TEST_TONE, 0, 0, 0, kTestData1, kTestData2); },
    };
    for (const auto& step : steps) {
        if (asked()) return seq.PutBack(LevelTestResult::Abandoned);
        if (!sent(step())) return seq.PutBack(LevelTestResult::Restored);
    }
    return seq.End(LevelTestResult::Done);
}

LevelTestEnd ReleaseTransmitter(const LevelTestProgress& progress) {
    const LinkHold hold;
    return Sequence(hold, progress).PutBack(LevelTestResult::Done);
}

LevelTestEnd SetTransmitLevel(int16_t level, const LevelTestProgress& progress) {
    const LinkHold hold;
    Sequence seq(hold, progress);
    return sent(SendLevelCommand(hold, 0, 0, 0, level)) ? seq.End(LevelTestResult::Done)
                                                  : seq.PutBack(LevelTestResult::Restored);
}

} // namespace korvel
