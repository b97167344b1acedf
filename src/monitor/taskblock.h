// The station poller task as the module keeps it: the task table carried by the task
// block, reading it from a reply, packing the stations into it and writing it back.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace korvel {

constexpr int TASK_TABLE_ENTRIES = 33;  // entry 32 exists only in memory
constexpr int TASK_BLOCK_ENTRIES = 32;  // entries 0 .. 31 travel in the task block
constexpr int TASK_RECORD_SIZE = 6;
constexpr int TASK_STATIONS = 255;      // station numbers 1 .. 255

// Bytes of a task record that the program interprets; the others are kept as read.
enum TaskRecordByte : int {
    TASK_STATION = 1,         // 0 = free record
    TASK_PERIOD_MINUTES = 3,  // in entry 0 only
    TASK_OUTPUT = 5,          // output driven for the station, 0 = none
};

enum PollerIntervalIndex : int { POLL_SECONDS = 0, POLL_MINUTES = 1, POLL_HOURS = 2, POLL_DAYS = 3 };

struct TaskState {
    uint8_t TaskTable[TASK_TABLE_ENTRIES][TASK_RECORD_SIZE] = {};
    // The station poller's period, set when the poller is started.
    int16_t PollerInterval[4] = {};
};

TaskState& taskState();
// Back to program start, the block listener dropped.
void ResetTaskState();

// Output assigned to each station, index = station - 1; 0 = not in the task.
using StationOutputs = std::array<int16_t, TASK_STATIONS>;

// Copies the task records of the task-block reply in RxBuffer into task table entries
// 0 .. 31; false (nothing stored) when the reply is not a task block or is too short
// to hold all 32 records before its checksum.
bool LoadTaskBlock();
// Called after each task block taken in, so the open task dialog can show the period.
void SetTaskBlockListener(std::function<void()> listener);

// Writes task table entries 0 .. 31 to the module at StationAddress as a PKT_SET task
// block and waits for the acknowledgement; returns the send result.
int16_t UpLoadTaskBlock();

// Puts the stations that have an output into the table, in ascending station order
// from entry 0, with the poll period in entry 0; every other entry's station and
// output are cleared, the remaining bytes kept as last read. The block carries 32
// stations: returns how many further stations (or ones with an output that does not
// fit a byte) were left out.
int PackTaskStations(const StationOutputs& outputs, int periodMinutes);
// Rebuilds the station outputs from entries 0 .. 31 of the table as read from the
// module (stations absent from it are cleared); returns the number of stations 1 .. 254
// that have an output.
int UnpackTaskStations(StationOutputs& outputs);

} // namespace korvel
