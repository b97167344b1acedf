#include "platform/eventpump.h"
#include "platform/iohandler.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace korvel {

void DoEvents() {
    RequireNoIoHandler("pumping events");
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForEvents(int maxMs) {
    RequireNoIoHandler("waiting for events");
    // A wake-up timer bounds the wait, so a condition changed outside the event
    // system (a flag set by a nested procedure) is seen within maxMs.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(maxMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void SleepMs(int ms) {
    RequireNoIoHandler("a pause");
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace korvel
