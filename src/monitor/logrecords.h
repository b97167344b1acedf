// The sample and min/max records retrieved from the module's data logger.
#pragma once

namespace korvel {

// Store the records of a sample-block or min/max-block reply in RxBuffer into
// SampleLog / MinMaxLog at the reply's start index. False when the reply is malformed:
// not of its command, shorter than its header, ending in a part record, or naming
// records beyond the table; nothing is stored then.
bool SaveSampleLog();
bool SaveMinMaxLog();

} // namespace korvel
