// korvel-host: the host end of the switch-through link, to try the utility's
// window by hand against korvel-sim. Starts the utility itself, so the two
// words it is started with always name the port that is really listened on.
#include "quitonsignals.h"
#include "switchhost.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QProcess>

#include <csignal>
#include <optional>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using korvel::sim::QuitOnSignals;
using korvel::sim::SwitchHost;

namespace {

// Scripts and tests read these lines while the program runs, so each goes out at once.
void Say(const QByteArray& line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

int Bad(const char* what, const QString& value)
{
    std::fprintf(stderr, "korvel-host: bad %s '%s'\n", what, qPrintable(value));
    return 2;
}

struct Panel {
    int number = 0;
    QByteArray text;
};

struct Prompt {
    int style = 0;
    QByteArray title;
    QByteArray prompt;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QuitOnSignals(app);
    QCoreApplication::setApplicationName("korvel-host");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Host end of the utility's switch-through link: starts PROGRAM with ARGS and the two words\n"
        "\"<listen port> <route>\", takes its connections and relays its frames to a module.");
    parser.addHelpOption();
    // Whatever follows PROGRAM is the utility's, even when it looks like an option.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption moduleOption("module", "The module to relay to, e.g. 127.0.0.1:14100 (korvel-sim).",
                                          "HOST:PORT");
    const QCommandLineOption listenOption("listen", "Port to listen on for the utility, 0 for any free port (default 0).",
                                          "N", "0");
    const QCommandLineOption routeOption("route", "Route number given to the utility, 0 to 255 (default 0).", "R", "0");
    const QCommandLineOption panelOption(
        "panel", "Once linked, show text in status bar panel N (1 to 4); repeat for more.", "N:text");
    const QCommandLineOption promptOption(
        "prompt", "Once linked, ask this message box (style number, e.g. 36 = Yes/No question).",
        "STYLE:title:prompt");
    const QCommandLineOption verboseOption("verbose", "Print each relayed frame in hex.");
    parser.addOptions({moduleOption, listenOption, routeOption, panelOption, promptOption, verboseOption});
    parser.addPositionalArgument("PROGRAM", "The utility, after --.", "-- PROGRAM [ARGS...]");
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        std::fprintf(stderr, "korvel-host: no PROGRAM to start (see --help)\n");
        return 2;
    }
    if (!parser.isSet(moduleOption)) {
        std::fprintf(stderr, "korvel-host: --module HOST:PORT is needed\n");
        return 2;
    }
    const QString module = parser.value(moduleOption);
    const qsizetype colon = module.lastIndexOf(':');
    bool ok = false;
    const uint modulePort = colon > 0 ? module.mid(colon + 1).toUInt(&ok) : 0;
    if (!ok || modulePort == 0 || modulePort > 65535)
        return Bad("module address", module);
    const uint listen = parser.value(listenOption).toUInt(&ok);
    if (!ok || listen > 65535)
        return Bad("listen port", parser.value(listenOption));
    const uint route = parser.value(routeOption).toUInt(&ok);
    if (!ok || route > 255)
        return Bad("route", parser.value(routeOption));
    QList<Panel> panels;
    for (const QString& value : parser.values(panelOption)) {
        const qsizetype at = value.indexOf(':');
        const int number = at > 0 ? value.left(at).toInt(&ok) : 0;
        if (at <= 0 || !ok || number < 1 || number > 4)
            return Bad("panel message", value);
        panels.append({number, value.mid(at + 1).toLatin1()});
    }
    std::optional<Prompt> prompt;
    if (parser.isSet(promptOption)) {
        const QString value = parser.value(promptOption);
        const qsizetype first = value.indexOf(':');
        const qsizetype second = first > 0 ? value.indexOf(':', first + 1) : -1;
        const int style = first > 0 ? value.left(first).toInt(&ok) : 0;
        if (second < 0 || !ok || style < 0)
            return Bad("prompt", value);
        // The prompt is the rest, colons and all; only the title cannot hold one.
        prompt = Prompt{style, value.mid(first + 1, second - first - 1).toLatin1(), value.mid(second + 1).toLatin1()};
    }
    const bool verbose = parser.isSet(verboseOption);

    SwitchHost host;
    const quint16 port = host.Listen(quint16(listen));
    if (port == 0)
        return 1;
    if (!host.ConnectModule(module.left(colon), quint16(modulePort)))
        return 1;
    Say("listening on 127.0.0.1:" + QByteArray::number(port));

    QObject::connect(&host, &SwitchHost::linked, [&] {
        Say("linked, utility port " + QByteArray::number(host.UtilityPort()));
        for (const Panel& panel : panels)
            host.SendPanelMessage(panel.number, panel.text);
        if (prompt)
            host.SendUserPrompt(prompt->style, prompt->title, prompt->prompt);
    });
    QObject::connect(&host, &SwitchHost::dialogResult, [](int result) {
        Say("DIALOGRESULT " + QByteArray::number(result) + " (" + korvel::sim::DialogResultName(result) + ")");
    });
    QObject::connect(&host, &SwitchHost::malformedFromUtility,
                     [](const QByteArray& bytes) { Say("malformed from utility: " + bytes.toHex(' ')); });
    if (verbose) {
        QObject::connect(&host, &SwitchHost::frameFromUtility,
                         [](const QByteArray& frame) { Say("utility> " + frame.toHex(' ')); });
        QObject::connect(&host, &SwitchHost::frameFromModule,
                         [](const QByteArray& frame) { Say("module> " + frame.toHex(' ')); });
    }
    QObject::connect(&host, &SwitchHost::moduleClosed, [] { Say("the module closed its connection"); });
    QObject::connect(&host, &SwitchHost::connectBackFailed, [&](const QString& reason) {
        std::fprintf(stderr, "korvel-host: %s\n", qPrintable(reason));
        app.exit(1);
    });
    QObject::connect(&host, &SwitchHost::utilityClosed, [&] {
        Say("the utility closed the link");
        app.exit(0);
    });

    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(&program, &QProcess::errorOccurred, [&](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        std::fprintf(stderr, "korvel-host: cannot start %s: %s\n", qPrintable(program.program()),
                     qPrintable(program.errorString()));
        app.exit(1);
    });
    QObject::connect(&program, &QProcess::finished, [&](int code, QProcess::ExitStatus status) {
        Say(program.program().toLocal8Bit() + " exited");
        app.exit(status == QProcess::NormalExit ? code : 1);
    });
    // Two separate words, after the utility's own arguments.
    program.start(positional.first(),
                  positional.mid(1) + QStringList{QString::number(port), QString::number(route)});

    const int result = app.exec();
    if (program.state() != QProcess::NotRunning) {
        program.disconnect();
        program.terminate();
        if (!program.waitForFinished(3000))
            program.kill();
        program.waitForFinished(1000);
    }
    host.CloseUtilityLinks();
    return result;
}
