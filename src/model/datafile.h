// Saving the program's data files (configuration and task files) and the messages for a
// file that could not be written or whose header lines were refused.
#pragma once

#include "model/configfile.h"

#include <QByteArray>
#include <QString>

namespace korvel {

// The message for a data file whose header lines were refused; empty for Ok and
// Corrupt, which have no header message of their own.
QString FileHeaderMessage(ConfigFileStatus status);

// "File error: <description>, please select another filename", for a file that could
// not be created or written.
void ShowFileError(const QString& description);

// Writes text to fileName through a temporary file renamed over the old one, so a
// failed save leaves the old file whole; a failure is shown. True when written.
bool SaveFileText(const QString& fileName, const QByteArray& text);

} // namespace korvel
