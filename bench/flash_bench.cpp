// A whole firmware load (all 512 pages) against the simulated module's boot loader
// pacing its answers as a 9600-baud line would (11 bits a byte), over a pseudo-terminal
// and over TCP: the time of the load, file reading included, against the wire time of
// every byte exchanged, and against that plus the pauses the boot loader is given.
#include "benchsupport.h"
#include "model/flashimage.h"
#include "control/flashloader.h"
#include "support/romtext.h"
#include "control/localsettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace korvel;
using namespace korvel::bench;

namespace {

// Loads the file paced; prints the load against its wire time. False when the load did
// not go whole.
bool PacedLoad(const char* path, sim::SimModule& module, const QString& file, ScriptedPrompts& prompts) {
    const int baud = PacedBaud(921600);
    module.SetWireBaud(baud);
    module.ClearReceived();
    prompts.Clear();
    prompts.QueueFile(file);
    prompts.QueueAnswer(vbOK);  // the board page's "Click OK to continue"
    QElapsedTimer t;
    t.start();
    const FlashLoadOutcome outcome = RunFlashLoader();
    const double took = Ms(t);
    module.SetWireBaud(0);
    const qsizetype bytes = module.ReceivedRaw().size() + module.SentRaw().size();
    const double wire = WireMs(bytes, baud);
    const FlashLoaderPauses& p = flashLoaderPauses();
    const double pauses = p.bootLoaderStartMs + 5.0 * p.stepMs;
    std::printf("paced firmware load over %-3s at %d baud: %lld frames, %lld bytes, wire time %.1f ms, pauses %.0f "
                "ms, took %.1f ms (x%.4f of the wire time, x%.4f of wire time and pauses)\n",
                path, baud, static_cast<long long>(module.ReceivedCount()), static_cast<long long>(bytes), wire,
                pauses, took, took / wire, took / (wire + pauses));
    return outcome == FlashLoadOutcome::Loaded && module.BootLoaderRestarts() > 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    BenchEnvironment environment(argc, argv);
    settings().PacketTimeout = 15;
    // A short run gives the boot loader the pauses the tests give it; a full run the
    // program's own.
    if (ShortRun()) flashLoaderPauses() = FlashLoaderPauses{60, 20};

    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("korvel_bench.rom"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(test::RomText(test::PatternImage(0, FLASH_IMAGE_SIZE - 2), 0, FLASH_IMAGE_SIZE - 2)) < 0) {
        std::fprintf(stderr, "cannot write the firmware file\n");
        return 1;
    }
    out.close();

    sim::SimModule module;
    bool ok = ConnectTty(module) && PacedLoad("tty", module, file, environment.prompts);
    ok = ok && ConnectTcp(module) && PacedLoad("TCP", module, file, environment.prompts);
    if (!ok) std::fprintf(stderr, "a firmware load failed\n");
    return environment.Exit(ok);
}
