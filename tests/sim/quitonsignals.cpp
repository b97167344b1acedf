#include "quitonsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace korvel::sim {

namespace {

int quitPipe[2] = {-1, -1};

void OnQuitSignal(int)
{
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(quitPipe[1], &byte, 1);
}

}  // namespace

void QuitOnSignals(QCoreApplication& app)
{
    if (::pipe2(quitPipe, O_CLOEXEC) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

}  // namespace korvel::sim
