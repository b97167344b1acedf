// korvel-sim: a simulated module to point the utility at by hand.
#include "simmodule.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("korvel-sim");

    QCommandLineParser parser;
    parser.setApplicationDescription("Simulated Korvel module for the configuration utility.");
    parser.addHelpOption();
    const QCommandLineOption portOption("port", "TCP port to listen on, 0 for any free port (default 14100).",
                                        "N", "14100");
    const QCommandLineOption ptyOption("pty", "Also open a pseudo-terminal for a serial connection.");
    const QCommandLineOption verboseOption("verbose", "Print each received frame in hex.");
    parser.addOptions({portOption, ptyOption, verboseOption});
    parser.process(app);

    bool ok = false;
    const uint requested = parser.value(portOption).toUInt(&ok);
    if (!ok || requested > 65535) {
        std::fprintf(stderr, "korvel-sim: bad port '%s'\n", qPrintable(parser.value(portOption)));
        return 2;
    }

    korvel::sim::SimModule sim;
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
    // Scripts wait for these lines before starting the utility.
    std::fflush(stdout);

    if (parser.isSet(verboseOption)) {
        QObject::connect(&sim, &korvel::sim::SimModule::frameReceived, [](const QByteArray& frame) {
            std::printf("rx %s%s\n", frame.toHex(' ').constData(),
                        korvel::sim::ChecksumGood(frame) ? "" : "  (bad checksum)");
            std::fflush(stdout);
        });
    }
    return app.exec();
}
