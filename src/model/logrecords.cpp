#include "model/logrecords.h"

#include "model/loggerdata.h"

#include <algorithm>

namespace korvel {

namespace {

constexpr int BLOCK_START_LOW = 0;
constexpr int BLOCK_START_HIGH = 1;
constexpr int BLOCK_RECORDS = 2;  // first record byte; a block without records has 2 bytes
constexpr int SAMPLE_RECORD_SIZE = 4;
constexpr int MINMAX_RECORD_SIZE = 11;

// Hands store(index, recordBytes) each record of the block, after checking that every
// record lies inside the block and inside the table.
template <typename Store>
bool saveBlock(const uint8_t* data, int count, LoggerLog log, int recordSize, int tableSize, Store store) {
    if (count < BLOCK_RECORDS) return false;
    // Records fill the bytes up to the end of the block exactly; a part record would
    // need bytes from past it.
    const int recordBytes = count - BLOCK_RECORDS;
    if (recordBytes % recordSize != 0) return false;
    const int records = recordBytes / recordSize;
    const int start = data[BLOCK_START_LOW] + 256 * data[BLOCK_START_HIGH];
    // A log read asks for one block at a time: a block from elsewhere in the log, or
    // with more records than the log has left, would put records where they do not
    // belong.
    LoggerBlockRequest& request = loggerData().BlockRequest;
    const bool asked = request.Log == log;
    if (asked && (start != request.Start || records > request.MaxRecords)) return false;
    if (records > 0 && start + records > tableSize) return false;
    for (int i = 0; i < records; ++i) store(start + i, data + BLOCK_RECORDS + recordSize * i);
    if (asked) request.Received = records;
    return true;
}

} // namespace

bool SaveSampleLog(const uint8_t* data, int count) {
    auto& log = loggerData().SampleLog;
    return saveBlock(data, count, LoggerLog::Sample, SAMPLE_RECORD_SIZE, SAMPLE_LOG_SIZE,
                     [&log](int index, const uint8_t* r) { std::copy(r, r + SAMPLE_RECORD_SIZE, log[index].Bytes); });
}

bool SaveMinMaxLog(const uint8_t* data, int count) {
    auto& log = loggerData().MinMaxLog;
    const auto store = [&log](int index, const uint8_t* r) {
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
    };
    return saveBlock(data, count, LoggerLog::MinMax, MINMAX_RECORD_SIZE, MINMAX_LOG_SIZE, store);
}

} // namespace korvel
