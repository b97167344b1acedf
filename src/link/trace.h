// The communications trace file as the link layer writes to it: one line per frame
// while the trace is on. Opening it with its header and closing it with its footer
// belong to the control layer (control/tracefile).
#pragma once

#include <QByteArray>
#include <QString>

namespace korvel {

// Opens (creating or truncating) the trace file; false when it cannot be written.
bool TraceOpenFile(const QString& path);
void TraceCloseFile();
bool TraceFileOpen();
// Writes one line ended by CR LF, only while TraceOn is set and the file is open.
void TraceWriteLine(const QByteArray& line);
inline void TraceWriteLine(const char* line) { TraceWriteLine(QByteArray(line)); }
// Writes bytes as they are whenever the file is open, whatever TraceOn says: the header
// goes in before the trace is switched on and the footer after it is switched off.
void TraceWriteRaw(const QByteArray& bytes);

// "TX: " / "RTX: " followed by the hex of the bytes that go on the line.
void TraceTxFrame(const QByteArray& prefix, const QByteArray& wire);

} // namespace korvel
