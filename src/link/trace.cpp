#include "link/trace.h"
#include "link/linkstate.h"

#include <QFile>

namespace korvel {

static QFile& traceFile() {
    static QFile f;
    return f;
}

bool TraceOpenFile(const QString& path) {
    QFile& f = traceFile();
    if (f.isOpen()) f.close();
    f.setFileName(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void TraceCloseFile() {
    if (traceFile().isOpen()) traceFile().close();
}

bool TraceFileOpen() { return traceFile().isOpen(); }

void TraceWriteLine(const QByteArray& line) {
    if (!linkState().TraceOn || !traceFile().isOpen()) return;
    traceFile().write(line + "\r\n");
    traceFile().flush();
}

void TraceWriteRaw(const QByteArray& bytes) {
    if (!traceFile().isOpen()) return;
    traceFile().write(bytes);
    traceFile().flush();
}

void TraceTxFrame(const QByteArray& prefix) {
    const auto& s = linkState();
    int n = s.TxLength;
    if (n < 0) n = 0;
    if (n > LINK_BUFFER_SIZE) n = LINK_BUFFER_SIZE;
    TraceWriteLine(prefix + HexOf(s.TxBuffer, n));
}

} // namespace korvel
