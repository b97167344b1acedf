// korvel-sim: a simulated module to point the utility at by hand.
#include "quitonsignals.h"
#include "simmodule.h"
#include "simradio.h"

#include <QCommandLineParser>
#include <QTimer>
#include <QCoreApplication>
#include <QRegularExpression>

#include <cstdio>
#include <memory>

using korvel::sim::QuitOnSignals;

namespace {

// A logger with something to read and show: a running one on the local module, half
// the memory for samples, a few hundred samples of three analog inputs and some
// min/max records, the airtime and contact input timers counted up. Taken after the
// target is set, as that replaces the configuration.
void SetUpLogger(korvel::sim::SimModule& sim)
{
    using namespace korvel::sim;
    QByteArray system = sim.BlockData(kBlockSystem, 0);
    if (system.size() > kLogRatioData) {
        system[kLogRatioData] = char(50);
        sim.SetBlockData(kBlockSystem, 0, system);
    }
    sim.FillLogger(200, 3, 40);
    // Airtime 5:45:37, then contact inputs from seconds to more than 16 bits' worth.
    const int timers[kLoggerTimers] = {20737, 5, 3600, 86399, 0, 1234, 90061, 59, 7};
    for (int k = 0; k < kLoggerTimers; ++k)
        sim.SetLoggerTimer(k, timers[k]);
    sim.SetLoggerRunning(true);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QuitOnSignals(app);
    QCoreApplication::setApplicationName("korvel-sim");

    QCommandLineParser parser;
    parser.setApplicationDescription("Simulated Korvel module for the configuration utility.");
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "TCP port to listen on, 0 for any free port (default 14100).",
                                        "N", "14100");
    const QCommandLineOption ptyOption("pty", "Also open a pseudo-terminal for a serial connection.");
    const QCommandLineOption verboseOption("verbose", "Print each received frame in hex.");
    const QCommandLineOption korvelOption("korvel", "Be a Korvel with N child modules, 0 to 15 (default 2).", "N");
    const QCommandLineOption pellarOption("pellar",
                                          "Be a Pellar with this expansion board mask (0 to 255, 0x.. for hex).",
                                          "MASK");
    const QCommandLineOption stationOption(
        "station", "Add remote station N (1 to 254), a Korvel with 2 child modules; repeat for more.", "N");
    const QCommandLineOption baudOption("baud", "Pace answers as a serial line at N baud, 8N2 (default: no pacing).",
                                        "N");
    const QCommandLineOption silentOption(
        "silent-after", "Answer the first N frames, then none: a module that goes silent.", "N");
    const QCommandLineOption silentForOption(
        "silent-for", "With --silent-after: answer again S seconds after going silent.", "S");
    const QCommandLineOption radioOption(
        "radio", "Also open a pseudo-terminal with a FleetSync radio on it, the module behind its remote radio.");
    const QCommandLineOption radioFleetOption(
        "radio-fleet", "The remote radio's fleet and ID for --radio (default 100:1000).", "FFF:IIII");
    const QCommandLineOption noLiveOption(
        "no-live", "Keep inputs, analog and temperature readings still (they move once a second by default).");
    const QCommandLineOption eventsOption(
        "events", "Send an event every N seconds, in turn from each station (default: none).", "N");
    const QCommandLineOption busyOption(
        "busy", "A busy module: events every 1 to 3 s, every Nth answer replaced by an event, the next one followed by one.",
        "N");
    const QCommandLineOption bootLoaderOption(
        "boot-loader", "Start in the boot loader with an incomplete application, as after a firmware load that lost power.");
    parser.addOptions({portOption, ptyOption, verboseOption, korvelOption, pellarOption, stationOption, baudOption,
                       silentOption, silentForOption, radioOption, radioFleetOption, noLiveOption, eventsOption, busyOption,
                       bootLoaderOption});
    parser.process(app);

    bool ok = false;
    const uint requested = parser.value(portOption).toUInt(&ok);
    if (!ok || requested > 65535) {
        std::fprintf(stderr, "korvel-sim: bad port '%s'\n", qPrintable(parser.value(portOption)));
        return 2;
    }
    if (parser.isSet(korvelOption) && parser.isSet(pellarOption)) {
        std::fprintf(stderr, "korvel-sim: --korvel and --pellar exclude each other\n");
        return 2;
    }

    korvel::sim::SimModule sim;
    if (parser.isSet(korvelOption)) {
        const uint children = parser.value(korvelOption).toUInt(&ok);
        if (!ok || children > 15) {
            std::fprintf(stderr, "korvel-sim: bad child count '%s'\n", qPrintable(parser.value(korvelOption)));
            return 2;
        }
        sim.SetKorvel(int(children));
    }
    if (parser.isSet(pellarOption)) {
        const uint mask = parser.value(pellarOption).toUInt(&ok, 0);
        if (!ok || mask > 255) {
            std::fprintf(stderr, "korvel-sim: bad board mask '%s'\n", qPrintable(parser.value(pellarOption)));
            return 2;
        }
        sim.SetPellar(int(mask));
    }
    for (const QString& value : parser.values(stationOption)) {
        const uint station = value.toUInt(&ok);
        if (!ok || station < uint(korvel::sim::kFirstRemoteStation) || station > uint(korvel::sim::kLastRemoteStation)) {
            std::fprintf(stderr, "korvel-sim: bad station number '%s'\n", qPrintable(value));
            return 2;
        }
        sim.AddRemoteStation(int(station));
    }
    SetUpLogger(sim);
    // A real module takes about this long to start its other program.
    sim.SetModeSwitchMs(1000);
    if (parser.isSet(bootLoaderOption)) {
        sim.SetApplicationComplete(false);
        sim.PowerUp();
    }
    if (parser.isSet(baudOption)) {
        const uint baud = parser.value(baudOption).toUInt(&ok);
        if (!ok || baud == 0 || baud > 10'000'000) {
            std::fprintf(stderr, "korvel-sim: bad baud rate '%s'\n", qPrintable(parser.value(baudOption)));
            return 2;
        }
        sim.SetWireBaud(int(baud));
    }
    if (parser.isSet(silentOption)) {
        const uint frames = parser.value(silentOption).toUInt(&ok);
        if (!ok || frames > 1'000'000'000) {
            std::fprintf(stderr, "korvel-sim: bad frame count '%s'\n", qPrintable(parser.value(silentOption)));
            return 2;
        }
        sim.GoSilentAfter(int(frames));
    }
    // A module that goes quiet for a while, then answers again (a radio path that fades).
    if (parser.isSet(silentForOption)) {
        const uint seconds = parser.value(silentForOption).toUInt(&ok);
        if (!ok || seconds == 0 || seconds > 86'400) {
            std::fprintf(stderr, "korvel-sim: bad silence '%s', want 1 to 86400 seconds\n",
                         qPrintable(parser.value(silentForOption)));
            return 2;
        }
        sim.SetSilenceMs(int(seconds) * 1000);
        QObject::connect(&sim, &korvel::sim::SimModule::answeringAgain, &sim,
                         [] { std::fprintf(stderr, "korvel-sim: answering again\n"); });
    }
    sim.SetLiveChanges(!parser.isSet(noLiveOption));
    if (parser.isSet(eventsOption)) {
        const uint seconds = parser.value(eventsOption).toUInt(&ok);
        if (!ok || seconds == 0 || seconds > 86'400) {
            std::fprintf(stderr, "korvel-sim: bad event interval '%s', want 1 to 86400 seconds\n",
                         qPrintable(parser.value(eventsOption)));
            return 2;
        }
        sim.SetEventInterval(int(seconds));
    }
    if (parser.isSet(busyOption)) {
        const uint nth = parser.value(busyOption).toUInt(&ok);
        if (!ok || nth < 2 || nth > 1000) {
            std::fprintf(stderr, "korvel-sim: bad busy count '%s', want 2 to 1000\n", qPrintable(parser.value(busyOption)));
            return 2;
        }
        sim.SetBusy(int(nth));
    }
    if (parser.isSet(radioFleetOption) && !parser.isSet(radioOption)) {
        std::fprintf(stderr, "korvel-sim: --radio-fleet needs --radio\n");
        return 2;
    }
    std::unique_ptr<korvel::sim::SimRadio> radio;
    if (parser.isSet(radioOption)) {
        radio = std::make_unique<korvel::sim::SimRadio>(&sim);
        if (parser.isSet(radioFleetOption)) {
            const QRegularExpression address("^([0-9]{3}):([0-9]{4})$");
            const QRegularExpressionMatch match = address.match(parser.value(radioFleetOption));
            if (!match.hasMatch()) {
                std::fprintf(stderr, "korvel-sim: bad radio address '%s', want FFF:IIII\n",
                             qPrintable(parser.value(radioFleetOption)));
                return 2;
            }
            radio->SetRemote(match.captured(1).toInt(), match.captured(2).toInt());
        }
    }
    const quint16 port = sim.ListenTcp(static_cast<quint16>(requested));
    if (port == 0)
        return 1;
    std::printf("listening on 127.0.0.1:%u\n", unsigned(port));
    if (parser.isSet(ptyOption)) {
        const QString path = sim.OpenPty();
        if (path.isEmpty())
            return 1;
        std::printf("pty %s\n", qPrintable(path));
    }
    if (radio) {
        const QString path = radio->OpenPty();
        if (path.isEmpty())
            return 1;
        std::printf("radio %s\n", qPrintable(path));
    }
    // Scripts wait for these lines before starting the utility.
    std::fflush(stdout);

    if (parser.isSet(verboseOption)) {
        // Emitted before the frame is counted, so Silent() tells whether it goes unanswered.
        QObject::connect(&sim, &korvel::sim::SimModule::frameReceived, [&sim](const QByteArray& frame) {
            const bool good = korvel::sim::ChecksumGood(frame);
            std::printf("rx %s%s\n", frame.toHex(' ').constData(),
                        !good ? "  (bad checksum)" : sim.Silent() ? "  (silent)" : "");
            std::fflush(stdout);
        });
        if (radio) {
            QObject::connect(radio.get(), &korvel::sim::SimRadio::textReceived, [](const QByteArray& text) {
                // STX and ETX left off: the kind, the address and the content print as they are.
                std::printf("radio rx %s\n", text.mid(1, text.size() - 2).constData());
                std::fflush(stdout);
            });
        }
    }
    return app.exec();
}
