// The FFSK level test of the local module: keying its transmitter with a test tone,
// changing the transmit level while the tone is on, and releasing the transmitter. Every
// command goes to the local module (station 0, 0, 0), whatever station is configured:
// the transmitter being measured is the one at the technician's bench.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace korvel {

// The transmit levels the module accepts; it refuses any other.
constexpr int16_t TX_LEVEL_MIN = 1;
constexpr int16_t TX_LEVEL_MAX = 31;
// 100 ms ticks the transmitter may stay keyed: two minutes.
constexpr int TX_TEST_TICKS = 1200;

// The level a configured FFSK_OutputLevel is shown and sent as: one the module accepts.
int16_t ShownTxLevel(double configured);

enum class LevelTestResult {
    Done,       // every command was acknowledged
    // The user gave up waiting for a clear channel, or asked the window to close while
    // the transmitter was being keyed: the module was put back.
    Abandoned,
    // A command failed before the module was held (the link, or the refusal's own box,
    // has told the user), or the link gave up: nothing more was sent.
    Failed,
    // A command was refused while the module was held, or the put-back itself was: the
    // put-back was tried in full.
    Restored,
};

// How far a sequence has got, for the window's progress text.
enum class LevelTestStage {
    StoppingProcesses,    // before the transmitter is switched off and the processes stopped
    ProcessesStopped,     // the channel is clear: the transmitter is keyed next
    RestartingProcesses,  // the transmitter is off: the processes are restarted next
};
using LevelTestProgress = std::function<void(LevelTestStage)>;
// Asked between the steps of keying: true stops it there and puts the module back.
using LevelTestStop = std::function<bool()>;

// What a sequence of the test came to. A refusal is not said while the module is held:
// it is said with what the module was left with, in LevelTestMessage.
struct LevelTestEnd {
    LevelTestResult result = LevelTestResult::Done;
    // The refusal's box text, when the module refused a command while held.
    QString refusal;
    // What the put-back could not undo: PTT off was not acknowledged (twice, when
    // refused), or the restart was not.
    bool keyed = false;
    bool stopped = false;
};

// The one message that ends a test the module refused something in: the refusal, then
// what the module is left with and what to do. Empty when nothing was refused.
QString LevelTestMessage(const LevelTestEnd& end);

// Switches the transmitter off, stops the module's processes, waits for a clear radio
// channel, then keys the transmitter, sets level and starts the test tone. A failure or
// a stop asked once the processes are stopped puts the module back unless the link has
// given up.
LevelTestEnd KeyTransmitter(int16_t level, const LevelTestProgress& progress = {}, const LevelTestStop& stopAsked = {});
// Puts the module back: PTT off, once more if it was refused, then the restart of the
// module's processes, tried whatever became of PTT off.
LevelTestEnd ReleaseTransmitter(const LevelTestProgress& progress = {});
// A new transmit level while the tone is on; a failure puts the module back.
LevelTestEnd SetTransmitLevel(int16_t level, const LevelTestProgress& progress = {});

} // namespace korvel
