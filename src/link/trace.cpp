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

void TraceTxFrame(const QByteArray& prefix, const QByteArray& wire) {
    TraceWriteLine(prefix + HexOf(reinterpret_cast<const uint8_t*>(wire.constData()), int(wire.size())));
}

} // namespace korvel
