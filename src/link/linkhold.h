// One user of the link at a time: a job holds the link for its wire work, and sending
// requires the hold; a job that starts inside another's wait waits its turn instead of
// failing, and a job that must ask a person something lends the link meanwhile.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace korvel {

// Held for the length of a job's wire work (a read, a write, a poll, the acknowledging
// tick...), never across a question to a person: ask before taking it, report after
// letting it go. Holds nest within one job. Taken while another job has the link (code
// running inside that job's wait), the hold is not granted and the job cannot send.
class LinkHold {
public:
    // NeverLent: the job's module must hear no other frame until the job ends (a module
    // in its boot loader), so nothing is lent while it asks.
    enum Lending { MayLend, NeverLent };
    explicit LinkHold(Lending lending = MayLend);
    ~LinkHold();
    LinkHold(const LinkHold&) = delete;
    LinkHold& operator=(const LinkHold&) = delete;
    bool Granted() const { return granted_; }

private:
    bool granted_ = false;
    int generation_ = 0;
};

// Lends the link that the code running now holds, for as long as it asks a person
// something in the middle of its sequence with none of its transactions open: the
// acknowledging tick, a poll, or a window opened from the box may take it meanwhile. A
// main-window command still waits for the lender to finish. Lends nothing when the code
// running now does not hold the link or has a transaction open.
class LinkLend {
public:
    LinkLend();
    ~LinkLend();
    LinkLend(const LinkLend&) = delete;
    LinkLend& operator=(const LinkLend&) = delete;

private:
    bool lent_ = false;
    int generation_ = 0;
};

// A message box shown in the middle of a job's wire work, with the link lent while it is
// up (see LinkLend); otherwise MsgBox.
int MsgBoxLent(const QString& text, int style, const QString& title);

// True when the code running now holds the link and has not lent it: it may send.
bool HoldsLink();

// True while the link belongs to a job that the code running now interrupts: a job
// further down the stack holds it (and has not lent it), or has a transaction open or a
// connection under way. Such a job cannot go on until the code running now returns, so
// that code must not wait for the link: it queues its work (WhenLinkFree) or, on a
// timer, tries next time.
bool LinkTakenByAnother();
// True while any job holds the link, lent or not: a main-window command waits for it.
bool LinkInUse();

// Who may run while the link is lent: a window's command, a poll (Borrow), or only once
// the lender has finished too (WholeJob, a main-window command).
enum class LinkTurn { Borrow, WholeJob };

// Runs job now when the link is free for it; otherwise once the job that holds the link
// has let it go, in the order asked. A job whose context has gone meanwhile is dropped.
void WhenLinkFree(std::function<void()> job, QObject* context = nullptr, LinkTurn turn = LinkTurn::Borrow);

// For a command a window gives: true when another job has the link, and the command
// has been queued to be given again (through again) once the link is free; the caller
// returns at once. False when the command may go on now.
bool DeferWhileLinkTaken(QObject* context, std::function<void()> again, LinkTurn turn = LinkTurn::Borrow);

// Told true when a job starts waiting for its turn, false when none waits any more (the
// program shows the busy cursor meanwhile).
void SetLinkQueueObserver(std::function<void(bool)> observer);

// Jobs waiting for their turn (tests), and dropping them (the program's end, a reset).
int LinkQueueLength();
void ForgetLinkQueue();
// Forgets every hold as well (a test's reset between cases); a hold or lend still alive
// then ends without effect.
void ResetLinkHolds();

} // namespace korvel
