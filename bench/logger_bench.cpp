// A whole data log read against the simulated module pacing its answers as a 9600-baud
// line would (11 bits a byte), with the memory split as a new configuration has it
// (3072 sample and 1117 min/max records), over TCP and over a pseudo-terminal: the time
// of the read, files written included, against the wire time of every byte exchanged.
#include "benchsupport.h"
#include "model/model.h"
#include "model/loggerdata.h"
#include "control/loggerread.h"
#include "control/localsettings.h"
#include "link/transaction.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>

using namespace korvel;
using namespace korvel::bench;

namespace {

// Starts the logger with the configuration's split, fills its memory and reads it back
// paced; prints the read against its wire time. False when the read did not go whole.
bool PacedRead(const char* path, sim::SimModule& module, const QString& folder) {
    if (StartLogger([](const QString&) {}) != LoggerStep::Done) return false;
    module.FillLogger(1536, 2, 1117);
    const int baud = PacedBaud(230400);
    module.SetWireBaud(baud);
    module.ClearReceived();
    QElapsedTimer t;
    t.start();
    const LogReadOutcome o = ReadLoggerLogs(folder, 1, [] { return QDateTime::currentDateTime(); });
    const double took = Ms(t);
    module.SetWireBaud(0);
    const qsizetype bytes = module.ReceivedRaw().size() + module.SentRaw().size();
    const double wire = WireMs(bytes, baud);
    std::printf("paced log read over %-3s at %d baud: %d + %d records, %lld bytes, wire time %.1f ms, took %.1f ms "
                "(x%.4f)\n",
                path, baud, o.sampleReceived, o.minMaxReceived, static_cast<long long>(bytes), wire, took,
                took / wire);
    return o.result == LogReadOutcome::Done && o.sampleReceived == 3072 && o.minMaxReceived == 1117;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    BenchEnvironment environment(argc, argv);
    settings().PacketTimeout = 15;
    SetConnectionReplyTimeout(15);
    SetDefaultConfiguration();
    QTemporaryDir folder;

    sim::SimModule module;
    module.SetKorvel(0);
    bool ok = ConnectTcp(module) && PacedRead("TCP", module, folder.path());
    ok = ok && ConnectTty(module) && PacedRead("tty", module, folder.path());
    if (!ok) std::fprintf(stderr, "a log read failed\n");
    return environment.Exit(ok);
}
