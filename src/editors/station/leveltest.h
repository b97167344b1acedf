// The FFSK level test of the local module: keying its transmitter with a test tone,
// changing the transmit level while the tone is on, and releasing the transmitter. Every
// command goes to the local module (station 0, 0, 0), whatever station is configured:
// the transmitter being measured is the one at the technician's bench.
#pragma once

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
    Abandoned,  // the user gave up waiting for a clear channel; the processes run again
    Failed,     // a command failed and the link has told the user; nothing more was sent
    // A command failed (the link has told the user) while the module's processes were
    // stopped; the transmitter was then switched off and the processes restarted.
    Restored,
};

// How far a sequence has got, for the window's progress text.
enum class LevelTestStage {
    StoppingProcesses,    // before the transmitter is switched off and the processes stopped
    ProcessesStopped,     // the channel is clear: the transmitter is keyed next
    RestartingProcesses,  // the transmitter is off: the processes are restarted next
};
using LevelTestProgress = std::function<void(LevelTestStage)>;

// Switches the transmitter off, stops the module's processes, waits for a clear radio
// channel, then keys the transmitter, sets level and starts the test tone. A failure
// once the processes are stopped releases the transmitter again (Restored) unless the
// link has given up.
LevelTestResult KeyTransmitter(int16_t level, const LevelTestProgress& progress = {});
// Switches the transmitter off, then restarts the module's processes.
LevelTestResult ReleaseTransmitter(const LevelTestProgress& progress = {});
// A new transmit level while the tone is on; a failure releases the transmitter as
// KeyTransmitter's do.
LevelTestResult SetTransmitLevel(int16_t level, const LevelTestProgress& progress = {});

} // namespace korvel
