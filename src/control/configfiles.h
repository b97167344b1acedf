// Opening and saving configuration files through the user's file dialogs, and the
// offer to save when a connection ends. Writing a file and its messages are the
// model's (config/datafile.h).
#pragma once

#include "model/configfile.h"

#include <QString>
#include <cstdint>

namespace korvel {

// The file dialogs' filter, in the dialog layer's "description|pattern" form.
extern const QString CONFIG_FILE_FILTER;

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

} // namespace korvel
