#include "platform/eventpump.h"
#include "platform/iohandler.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace korvel {

namespace {

bool g_ending = false;

} // namespace

void DoEvents() {
    RequireNoIoHandler("pumping events");
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForEvents(int maxMs) {
    RequireNoIoHandler("waiting for events");
    // An ending program has nothing left to wait for; the caller's loop sees its end
    // through ProgramEnding or the cancel it was given.
    if (g_ending) return;
    // A wake-up timer bounds the wait, so a condition changed outside the event
    // system (a flag set by a nested procedure) is seen within maxMs.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(maxMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

bool PauseMs(int ms, const std::function<bool()>& stop) {
    RequireNoIoHandler("a pause");
    const QDeadlineTimer deadline(std::max(ms, 0));
    for (;;) {
        if (g_ending || (stop && stop())) return false;
        if (deadline.hasExpired()) return true;
        WaitForEvents(int(std::max<qint64>(1, deadline.remainingTime())));
    }
}

void SetProgramEnding(bool ending) { g_ending = ending; }
bool ProgramEnding() { return g_ending; }

} // namespace korvel
