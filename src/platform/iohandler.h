// I/O handlers only move bytes: a handler of a port or socket marks itself on the stack,
// a wait refuses to run under one, and whatever a handler starts runs once it has returned.
#pragma once

#include <QObject>
#include <functional>

namespace korvel {

// Marks a port's or socket's handler as running for the scope's lifetime. Qt does not
// deliver that device's data again while its handler is on the stack, and a device
// released in a nested loop dies under its own handler: so no wait may run inside one.
class IoHandlerScope {
public:
    IoHandlerScope();
    ~IoHandlerScope();
    IoHandlerScope(const IoHandlerScope&) = delete;
    IoHandlerScope& operator=(const IoHandlerScope&) = delete;
};

bool InIoHandler();

// Called by every wait (the event pump, a pause, a modal box, a send that waits for its
// reply). Inside an I/O handler it is a fault of the program: debug builds and tests
// stop with a message naming `what`; a release build logs it and goes on.
void RequireNoIoHandler(const char* what);

// Runs job once every handler on the stack has returned, from the event loop, after the
// jobs queued before it (in order). Jobs may wait; the jobs behind one that waits run
// inside its wait, as the event loop would deliver them. A job whose context has been
// destroyed meanwhile is dropped.
void RunAfterHandler(std::function<void()> job, QObject* context = nullptr);
// Runs every queued job now (for callers outside any handler that must see their effect
// at once, such as tests and fuzzers feeding bytes by hand).
void RunQueuedJobs();
// Drops the queued jobs without running them (program-wide reset).
void ForgetQueuedJobs();
int QueuedJobCount();

} // namespace korvel
