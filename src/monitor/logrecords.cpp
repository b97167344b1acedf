#include "monitor/logrecords.h"

#include "link/linkstate.h"
#include "monitor/loggerdata.h"

#include <algorithm>

namespace korvel {

namespace {

constexpr int BLOCK_START_LOW = 7;
constexpr int BLOCK_START_HIGH = 8;
constexpr int BLOCK_RECORDS = 9;  // first record byte; a reply without records has Length 9
constexpr int SAMPLE_RECORD_SIZE = 4;
constexpr int MINMAX_RECORD_SIZE = 11;

// Hands store(index, recordBytes) each record of the block reply, after checking that
// every record lies inside the frame and inside the table.
template <typename Store>
bool saveBlock(int command, int recordSize, int tableSize, Store store) {
    const uint8_t* f = linkState().RxBuffer;
    const int length = f[FRAME_LENGTH];
    if (f[FRAME_COMMAND] != command || length < BLOCK_RECORDS) return false;
    // Records fill the bytes up to the checksum exactly; a part record would need
    // bytes from past the frame.
    const int recordBytes = length - BLOCK_RECORDS;
    if (recordBytes % recordSize != 0) return false;
    const int count = recordBytes / recordSize;
    const int start = f[BLOCK_START_LOW] + 256 * f[BLOCK_START_HIGH];
    // A log read asks for one block at a time: a reply from elsewhere in the log, or
    // with more records than the log has left, would put records where they do not
    // belong.
    LoggerBlockRequest& request = loggerData().BlockRequest;
    const bool asked = request.Command == command;
    if (asked && (start != request.Start || count > request.MaxRecords)) return false;
    if (count > 0 && start + count > tableSize) return false;
    for (int i = 0; i < count; ++i) store(start + i, f + BLOCK_RECORDS + recordSize * i);
    if (asked) request.Received = count;
    return true;
}

} // namespace

bool SaveSampleLog() {
    auto& log = loggerData().SampleLog;
    return saveBlock(CMD_SAMPLE_BLOCK, SAMPLE_RECORD_SIZE, SAMPLE_LOG_SIZE, [&log](int index, const uint8_t* r) {
        std::copy(r, r + SAMPLE_RECORD_SIZE, log[index].Bytes);
    });
}

bool SaveMinMaxLog() {
    auto& log = loggerData().MinMaxLog;
    return saveBlock(CMD_MINMAX_BLOCK, MINMAX_RECORD_SIZE, MINMAX_LOG_SIZE, [&log](int index, const uint8_t* r) {
        MinMaxRecord& m = log[index];
        m.Channel = r[0];
        m.Value1 = r[1] + 256 * r[2];
        m.Value2 = r[3] + 256 * r[4];
        m.Time1 = r[5];
        m.Time2 = r[6];
        m.Time3 = r[7];
        m.Time4 = r[8];
        m.Time5 = r[9];
        m.Year = r[10];
    });
}

} // namespace korvel
