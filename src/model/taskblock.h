// The station poller task as the module keeps it: the task table carried by the task
// block, its bytes read from a reply and written for the module, and packing the
// stations into it.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace korvel {

constexpr int TASK_TABLE_ENTRIES = 33;  // entry 32 exists only in memory
constexpr int TASK_BLOCK_ENTRIES = 32;  // entries 0 .. 31 travel in the task block
constexpr int TASK_RECORD_SIZE = 6;
constexpr int TASK_STATIONS = 255;      // station numbers 1 .. 255
constexpr int TASK_MAX_OUTPUT = 64;     // outputs 1 .. 64 of the module; 0 = none
constexpr int TASK_MAX_MINUTES = 255;   // the poll period's byte
// Highest station the task dialog lets the user choose; 255 comes only from a module
// or a file.
constexpr int TASK_LAST_CHOOSABLE_STATION = 254;

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
// Back to program start.
void ResetTaskState();

// Output assigned to each station, index = station - 1; 0 = not in the task.
using StationOutputs = std::array<int16_t, TASK_STATIONS>;

// The task block's data: the 32 records of entries 0 .. 31, then two bytes the module
// ignores (sent as 0).
constexpr int TASK_RECORDS_BYTES = TASK_BLOCK_ENTRIES * TASK_RECORD_SIZE;
constexpr int TASK_BLOCK_BYTES = TASK_RECORDS_BYTES + 2;

// Copies the task records at the start of a received task block's count data bytes into
// task table entries 0 .. 31; false (nothing stored) when count is too short to hold
// all 32 records.
bool LoadTaskBlock(const uint8_t* data, int count);
// Writes the task block (TASK_BLOCK_BYTES) from entries 0 .. 31 of the table into data;
// false, nothing written, when size is smaller.
bool BuildTaskBlock(uint8_t* data, int size);

// Empty when every station of entries 0 .. 31 has an output the task can hold;
// otherwise the message that refuses the block, naming the first station that has not.
QString TaskBlockProblem();

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
// Stations 1 .. 255 with an output: at most TASK_BLOCK_ENTRIES fit the block.
int TaskStationCount(const StationOutputs& outputs);

// A station's line in the task dialog's list: station "000", six blanks, output "00".
QString StationEntryText(int station, int output);

} // namespace korvel
