// One user of the link at a time: a job that sends holds the link for its whole run,
// and a job that starts inside another's wait waits its turn instead of failing.
#pragma once

#include <QObject>
#include <functional>

namespace korvel {

// Held for the length of a job that uses the link (a read, a write, a poll, the
// acknowledging tick...). Holds nest within one job; a job running inside another's
// wait must not take it (see LinkTakenByAnother).
class LinkHold {
public:
    LinkHold();
    ~LinkHold();
    LinkHold(const LinkHold&) = delete;
    LinkHold& operator=(const LinkHold&) = delete;
};

// True while the link belongs to a job that the code running now interrupts: a job
// further down the stack holds it, or has a transaction open and waits for its answer.
// Such a job cannot go on until the code running now returns, so that code must not
// wait for the link: it queues its work (WhenLinkFree) or, on a timer, tries next time.
bool LinkTakenByAnother();

// Runs job now when the link is free for it; otherwise once the job that holds the link
// has let it go, in the order asked. A job whose context has gone meanwhile is dropped.
void WhenLinkFree(std::function<void()> job, QObject* context = nullptr);

// For a command a window gives: true when another job has the link, and the command
// has been queued to be given again (through again) once the link is free; the caller
// returns at once. False when the command may go on now.
bool DeferWhileLinkTaken(QObject* context, std::function<void()> again);

// Told true when a job starts waiting for its turn, false when none waits any more (the
// program shows the busy cursor meanwhile).
void SetLinkQueueObserver(std::function<void(bool)> observer);

// Jobs waiting for their turn (tests), and dropping them (the program's end, a reset).
int LinkQueueLength();
void ForgetLinkQueue();

} // namespace korvel
