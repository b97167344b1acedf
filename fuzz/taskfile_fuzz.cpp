// Fuzzes the station poller task file reader: any bytes, read as a whole file the way
// opening a task file does, with the reader's promises checked on what it hands back.
#include "model/taskfile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace korvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TaskFileContent c = ParseTaskFile(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    // The task dialog holds 32 stations; a 33rd is flagged, never taken.
    if (c.taken < 0 || c.taken > 32 || (c.tooManyStations && c.taken != 32)) std::abort();
    // Whatever may be loaded fits the task: outputs 0 to 64, a period of 0 to 255 minutes.
    if (c.header == ConfigFileStatus::Ok && c.outOfRange.isEmpty()) {
        for (const int16_t out : c.outputs)
            if (out < 0 || out > 64) std::abort();
        if (c.minutes && (*c.minutes < 0 || *c.minutes > 255)) std::abort();
    }
    // A refused header leaves nothing taken.
    if (c.header != ConfigFileStatus::Ok && (c.taken != 0 || c.minutes)) std::abort();
    return 0;
}
