// The sample and min/max records retrieved from the module's data logger.
#pragma once

#include <cstdint>

namespace korvel {

// Store the records of a received sample block or min/max block into SampleLog /
// MinMaxLog. data holds the block's count data bytes: the start index (low byte first),
// then the records. False when the block is malformed: shorter than its start index,
// ending in a part record, or naming records beyond the table; nothing is stored then.
// While a log read waits for a block of that log (LoggerData::BlockRequest), a block
// that starts elsewhere or brings more records than asked is refused as well; an
// accepted one records how many it brought.
bool SaveSampleLog(const uint8_t* data, int count);
bool SaveMinMaxLog(const uint8_t* data, int count);

} // namespace korvel
