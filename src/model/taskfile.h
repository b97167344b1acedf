// The station poller task file (*.JTF): its text, a file's text read back, and saving
// and opening one through the user's file dialogs.
#pragma once

#include "model/configfile.h"
#include "model/taskblock.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace korvel {

// The file dialogs' filter, in the dialog layer's "description|pattern" form.
extern const QString TASK_FILE_FILTER;

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

// Asks for a file name and writes the task, replacing the old file only once the new
// one is complete. 6 (vbYes) when written; 2 (vbCancel) when the dialog was cancelled
// or the file could not be written (the error has been shown).
int16_t SaveTaskFileAs(int periodMinutes, const StationOutputs& outputs);

// Opening a task file through the open dialog, with the messages shown.
struct TaskFileOpened {
    enum class Outcome {
        Cancelled,  // the user cancelled the file dialog
        Refused,    // the file was refused with a message; the task on screen stays
        Read,       // the task was read: outputs replace the dialog's, minutes when set
    };
    Outcome outcome = Outcome::Cancelled;
    std::optional<int16_t> minutes;
    StationOutputs outputs{};
};
TaskFileOpened OpenTaskFile();

} // namespace korvel
