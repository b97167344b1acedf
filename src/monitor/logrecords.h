// The sample and min/max records retrieved from the module's data logger.
#pragma once

namespace korvel {

// Store the records of a sample-block or min/max-block reply in RxBuffer into
// SampleLog / MinMaxLog at the reply's start index. False when the reply is malformed:
// not of its command, shorter than its header, ending in a part record, or naming
// records beyond the table; nothing is stored then. While a log read waits for a block
// of that command (LoggerData::BlockRequest), a reply that starts elsewhere or brings
// more records than asked is refused as well; an accepted one records how many it brought.
bool SaveSampleLog();
bool SaveMinMaxLog();

} // namespace korvel
