#include "platform/eventpump.h"
#include "platform/iohandler.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace korvel {

namespace {

int g_pumpDepth = 0;
bool g_ending = false;

// Counts a pump for the length of a scope.
struct PumpScope {
    PumpScope() { ++g_pumpDepth; }
    ~PumpScope() { --g_pumpDepth; }
};

} // namespace

void DoEvents() {
    RequireNoIoHandler("pumping events");
    const PumpScope pump;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForEvents(int maxMs) {
    RequireNoIoHandler("waiting for events");
    // An ending program has nothing left to wait for; the caller's loop sees its end
    // through ProgramEnding or the cancel it was given.
    if (g_ending) return;
    const PumpScope pump;
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

PumpingScope::PumpingScope() { ++g_pumpDepth; }
PumpingScope::~PumpingScope() { --g_pumpDepth; }

int WaitDepth() {
    // Modal boxes and dialogs run event loops of their own, which Qt counts per thread.
    const QThread* t = QThread::currentThread();
    return g_pumpDepth + (t ? t->loopLevel() : 0);
}

void SetProgramEnding(bool ending) { g_ending = ending; }
bool ProgramEnding() { return g_ending; }

} // namespace korvel
