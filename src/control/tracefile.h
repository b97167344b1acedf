// The communications trace file: its name, its header and footer, and the status-bar
// prompt that switches it on and off while the debug flag is set. The frame lines in
// between are written by the link layer while TraceOn is set.
#pragma once

#include <QDateTime>
#include <QString>

namespace korvel {

// DataFolder followed by the trace file's name.
QString TraceFilePath();
// "Tuesday, December 08, 2026, 09:05:03 PM": English names whatever the locale.
QString TraceDateTimeText(const QDateTime& when);
// Creates or truncates the file and writes the version and date lines. TraceOn is left
// to the caller. False when the file cannot be created.
bool OpenTrace(const QDateTime& now = QDateTime::currentDateTime());
// Writes the "Trace stopped at" line and closes the file; nothing when none is open.
// TraceOn is left to the caller.
void CloseTrace(const QDateTime& now = QDateTime::currentDateTime());
// A click on the status bar: offers to open or close the trace while DebugMode is set.
void TraceStatusBarClick();

} // namespace korvel
