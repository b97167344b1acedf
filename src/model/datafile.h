// Saving the program's data files (configuration and task files), and the message for a
// file whose header lines were refused. Showing a failure is the caller's.
#pragma once

#include "model/configfile.h"

#include <QByteArray>
#include <QString>

namespace korvel {

// The message for a data file whose header lines were refused; empty for Ok and
// Corrupt, which have no header message of their own.
QString FileHeaderMessage(ConfigFileStatus status);

// Writes text to fileName through a temporary file renamed over the old one, so a
// failed write leaves the old file whole. Empty when written, else the system's
// description of the failure.
QString WriteFileText(const QString& fileName, const QByteArray& text);

} // namespace korvel
