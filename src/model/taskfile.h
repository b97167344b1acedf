// The station poller task file (*.JTF): its text, and a file's text read back. Choosing
// the file and telling the user what was wrong with it are the control layer's.
#pragma once

#include "model/configfile.h"
#include "model/taskblock.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace korvel {

// The whole file for a poll period in minutes and the station outputs.
QByteArray TaskFileText(int periodMinutes, const StationOutputs& outputs);

// What a file's text held.
struct TaskFileContent {
    // Anything but Ok: the header lines were refused or the text ended inside them, and
    // nothing below is valid.
    ConfigFileStatus header = ConfigFileStatus::Ok;
    // The text ended before both header lines were read.
    bool pastEnd = false;
    // The value of the last "0=" line of the section, when there was one.
    std::optional<int16_t> minutes;
    // The stations taken: every station not named in the section is 0.
    StationOutputs outputs{};
    // Station lines taken (a station named twice counts twice).
    int taken = 0;
    // A station line beyond the 32nd was met and not taken; reading stopped there.
    bool tooManyStations = false;
    // Not empty: a value the task cannot hold (an output outside 0 to 64, a period
    // outside 0 to 255 minutes), described for the user. Such a file is not loaded.
    QString outOfRange;
};
TaskFileContent ParseTaskFile(const QByteArray& text);

// A task file read from disk. fileError: the system's description when the file could
// not be read; content is then empty.
struct TaskFileRead {
    QString fileError;
    TaskFileContent content;
};
TaskFileRead ReadTaskFile(const QString& fileName);

} // namespace korvel
