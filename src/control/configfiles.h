// Opening and saving the program's data files (configuration and task files) through
// the user's file dialogs, with the messages for a file refused or not written, and the
// offer to save when a connection ends. Reading and writing the files' text are the
// model's (model/datafile.h, model/configfile.h, model/taskfile.h).
#pragma once

#include "model/configfile.h"
#include "model/taskfile.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace korvel {

// The file dialogs' filter, in the dialog layer's "description|pattern" form.
extern const QString CONFIG_FILE_FILTER;
extern const QString TASK_FILE_FILTER;

// "File error: <description>, please select another filename", for a file that could
// not be created, written or read.
void ShowFileError(const QString& description);

// Writes text to fileName, replacing the old file only once the new one is complete; a
// failure is shown. True when written.
bool SaveFileText(const QString& fileName, const QByteArray& text);

// The check run before a configuration leaves the program (to a module or a file).
// 0: nothing found, the caller may go on. 1: the first error found was shown in a
// "Configuration Check" box and the caller must stop.
int16_t CheckConfiguration();

// Checks the configuration, asks for a file name and writes the file. 6 (vbYes) when
// the file was written; 2 (vbCancel) when nothing was written (check failed, dialog
// cancelled or file error, which has been shown).
int16_t SaveConfigurationFile();

// Asks for a file and reads it. 1 when the file was read into the model, 0 when not
// (cancelled, rejected or corrupt); the configuration in memory changes only on 1.
int16_t OpenConfigurationFile();

// "Save any changes to disk file before exiting?": 6 saved, 7 not wanted, 2 cancel
// (also when the save after Yes did not happen).
int16_t ConfirmTerminateConnection();

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
