#include "model/taskblock.h"

#include "model/textnumber.h"

#include <algorithm>
#include <cstring>

namespace korvel {

namespace {

TaskState g_task;

} // namespace

TaskState& taskState() { return g_task; }
void ResetTaskState() { g_task = TaskState{}; }

bool LoadTaskBlock(const uint8_t* data, int count) {
    if (count < TASK_RECORDS_BYTES) return false;
    std::memcpy(g_task.TaskTable, data, TASK_RECORDS_BYTES);
    return true;
}

bool BuildTaskBlock(uint8_t* data, int size) {
    if (size < TASK_BLOCK_BYTES) return false;
    std::memcpy(data, g_task.TaskTable, TASK_RECORDS_BYTES);
    // Two bytes between the records and the checksum that the module ignores.
    data[TASK_RECORDS_BYTES] = 0;
    data[TASK_RECORDS_BYTES + 1] = 0;
    return true;
}

QString TaskBlockProblem() {
    for (int i = 0; i < TASK_BLOCK_ENTRIES; ++i) {
        const uint8_t* entry = g_task.TaskTable[i];
        if (entry[TASK_STATION] == 0 || entry[TASK_OUTPUT] <= TASK_MAX_OUTPUT) continue;
        return QStringLiteral("The module's task gives station %1 output %2; outputs are 0 to %3. "
                              "The task was not loaded.")
            .arg(ThreeDigits(entry[TASK_STATION]))
            .arg(entry[TASK_OUTPUT])
            .arg(TASK_MAX_OUTPUT);
    }
    return QString();
}

int PackTaskStations(const StationOutputs& outputs, int periodMinutes) {
    auto& table = g_task.TaskTable;
    for (auto& entry : table) {
        entry[TASK_STATION] = 0;
        entry[TASK_OUTPUT] = 0;
    }
    table[0][TASK_PERIOD_MINUTES] = static_cast<uint8_t>(std::clamp(periodMinutes, 0, 255));
    int next = 0;
    int leftOut = 0;
    for (int station = 1; station <= TASK_STATIONS; ++station) {
        const int output = outputs[station - 1];
        if (output == 0) continue;
        // Only the block's 32 entries reach the module; a station put anywhere else
        // would be dropped without a trace.
        if (next >= TASK_BLOCK_ENTRIES || output < 0 || output > 255) {
            ++leftOut;
            continue;
        }
        table[next][TASK_STATION] = static_cast<uint8_t>(station);
        table[next][TASK_OUTPUT] = static_cast<uint8_t>(output);
        ++next;
    }
    return leftOut;
}

int UnpackTaskStations(StationOutputs& outputs) {
    // Station 255 is cleared too: the task shown must be the module's, not one that
    // still carries a station from an earlier read.
    outputs.fill(0);
    for (int i = 0; i < TASK_BLOCK_ENTRIES; ++i) {
        const uint8_t station = g_task.TaskTable[i][TASK_STATION];
        if (station != 0) outputs[station - 1] = g_task.TaskTable[i][TASK_OUTPUT];
    }
    // Counted by station, not by record: a record without an output, or a station named
    // twice, must not make the dialog look for list entries that do not exist.
    return static_cast<int>(std::count_if(outputs.begin(), outputs.begin() + TASK_LAST_CHOOSABLE_STATION,
                                          [](int16_t o) { return o != 0; }));
}

int TaskStationCount(const StationOutputs& outputs) {
    return static_cast<int>(std::count_if(outputs.begin(), outputs.end(), [](int16_t o) { return o != 0; }));
}

QString StationEntryText(int station, int output) {
    return ThreeDigits(station) + QStringLiteral("      ") + TwoDigits(output);
}

} // namespace korvel
