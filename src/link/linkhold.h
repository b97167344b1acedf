// One user of the link at a time. Three ideas:
// - A hold: a job takes the link for its wire work (never across a question to a person:
//   ask before taking it, report after letting it go) and passes the hold to every send;
//   a send without the hold is refused. A hold is lendable, or never lent.
// - A lend: a job that must ask a person something in the middle of its sequence lends
//   the link while its box is up. Whatever runs inside the box (the acknowledging tick, a
//   poll, a window opened from the box) may take a hold of its own: a borrower's, which
//   gives up its own work quietly when the module does not answer and never ends the link.
// - A queue: a command given while the link is taken waits its turn, and is run once the
//   link is free (woken when a hold ends or a lend begins, never polled).
// The holder is the hold object itself, never guessed from how deeply waits are nested.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

namespace korvel {

// A job's cancel: asked by its progress window's Cancel or by Exit, seen by that job's
// own sends and waits only. A borrower's request and the next job start uncancelled, so
// nothing ever clears it.
struct JobCancel {
    bool asked = false;
    // Steps under way that must run whole (the two halves of a flash page): a cancel
    // asked meanwhile is seen once the last of them has ended.
    int wholeSteps = 0;
    // Asked by the program's end of a job whose module must hear nothing else until the
    // job ends (a module in its boot loader): the job finishes, then sees it was asked.
    bool finishFirst = false;
    bool Seen() const { return asked && wholeSteps == 0 && !finishFirst; }
};

// A job that takes the link more than once (a check under one hold, the work under
// another) and must see one cancel across all of them. A hold made for it shares its
// cancel; while none is alive, a cancel given to the job on the wire goes to the
// outermost LinkJob.
class LinkJob {
public:
    LinkJob();
    ~LinkJob();
    LinkJob(const LinkJob&) = delete;
    LinkJob& operator=(const LinkJob&) = delete;
    bool CancelAsked() const { return cancel_.asked; }
    // The reply time-out (100 ms ticks) of every request the job sends, under any of its
    // holds; 0 keeps the connection's own.
    void SetReplyTimeout(int ticks) { replyTicks_ = ticks; }

private:
    friend class LinkHold;
    friend bool CancelJobOnTheWire();
    JobCancel cancel_;
    int replyTicks_ = 0;
    int generation_ = 0;
};

class LinkHold {
public:
    // NeverLent: the job's module must hear no other frame until the job ends (a module
    // in its boot loader), so nothing is lent while it asks.
    enum Lending { MayLend, NeverLent };
    // Background: a duty of the program's own (the acknowledging tick, a poll), not a
    // person's command. It asks a person nothing while another question is up, and it
    // ends at once with the program.
    enum Role { Command, Background };
    // Granted when nobody holds the link, or when its holder has lent it (a borrower's
    // hold). Otherwise (code running inside another job's wait) not granted, and the
    // hold cannot send. Its cancel is its own.
    explicit LinkHold(Lending lending = MayLend, Role role = Command);
    // The same for job, whose cancel it shares.
    explicit LinkHold(LinkJob& job, Lending lending = MayLend);
    ~LinkHold();
    LinkHold(const LinkHold&) = delete;
    LinkHold& operator=(const LinkHold&) = delete;

    bool Granted() const { return granted_; }
    // Taken on a lent link: the work is the borrower's own, the link the lender's. A
    // borrower asks nobody, lends nothing and ends nothing it borrowed.
    bool Borrowed() const { return borrowed_; }
    bool IsBackground() const { return role_ == Background; }
    bool NeverLends() const { return !lendable_; }
    // True while this hold may put a frame on the link: granted, not lent, and no
    // borrower's hold taken above it.
    bool MaySend() const;
    // Lent while its job asks a person something.
    bool Lent() const { return lends_ > 0; }
    // May its job put a question to a person now: not a borrower, and not a background
    // duty while another question is up (at most one question is on screen).
    bool MayAsk() const;

    // The job's cancel, as its sends and waits see it.
    bool CancelSeen() const { return cancel_->Seen(); }
    bool CancelAsked() const { return cancel_->asked; }
    void Cancel() const { cancel_->asked = true; }

    // The job gave up on the module (its No, or no answer after it): its later requests
    // (the restarts after a failure) go out over the same link and give up quietly, and
    // the program takes the link off line once the hold ends.
    void GiveUp() const { gaveUp_ = true; }
    bool GaveUp() const { return gaveUp_; }

    // The reply time-out (100 ms ticks) of the requests sent under this hold from now:
    // a request that takes the module longer to answer (a page of flash, a block being
    // stored) says so itself, and the connection's time-out, which every other job and
    // every borrower uses, stays as it was. 0 goes back to the job's, else the
    // connection's.
    void SetReplyTimeout(int ticks) const { replyTicks_ = ticks; }
    // This hold's or its job's time-out; 0 when the connection's holds.
    int16_t ReplyTimeout() const;

private:
    friend class LinkLend;
    friend class WholeStep;
    friend bool EndJobOnTheWire();
    void Take();
    bool granted_ = false;
    bool borrowed_ = false;
    bool lendable_ = true;
    Role role_ = Command;
    mutable int lends_ = 0;
    mutable bool gaveUp_ = false;
    mutable int replyTicks_ = 0;
    const LinkJob* job_ = nullptr;
    int generation_ = 0;
    mutable JobCancel ownCancel_;
    JobCancel* cancel_ = &ownCancel_;
};

// While one lives, a cancel given to hold's job is noted but not seen: the step runs
// whole, and the job acts on the cancel right after it.
class WholeStep {
public:
    explicit WholeStep(const LinkHold& hold);
    ~WholeStep();
    WholeStep(const WholeStep&) = delete;
    WholeStep& operator=(const WholeStep&) = delete;

private:
    JobCancel* cancel_;
};

// Cancels the job on the wire: the job of the first hold alive (the lender, or the one
// holder), else the outermost LinkJob; never a borrower's. False when there is none.
bool CancelJobOnTheWire();
// The program's end for the job on the wire: a job never lent (WireJob::NeverLent)
// finishes its work, its cancel noted for what it says at its end; any other is
// cancelled as CancelJobOnTheWire does. False when there is none.
bool EndJobOnTheWire();

// What the job on the wire is doing, for Exit: nothing; a background duty; waiting for a
// person with its link lent; wire work that a cancel stops at its next step; or wire
// work that is never lent, which finishes or stops at its own safe point.
enum class WireJob { None, Background, WaitingForPerson, Working, NeverLent };
WireJob JobOnTheWire();

// Lends the link that hold holds, for as long as its job asks a person something with
// none of its transactions open. Lends nothing when hold may not send now, is never
// lent, or has a transaction open.
class LinkLend {
public:
    explicit LinkLend(const LinkHold& hold);
    ~LinkLend();
    LinkLend(const LinkLend&) = delete;
    LinkLend& operator=(const LinkLend&) = delete;

private:
    const LinkHold* lent_ = nullptr;
    int generation_ = 0;
};

// True while the link is taken: a hold that is not lent, a transaction open or a
// connection under way. Code without a hold cannot wait for it (the holder cannot go on
// until that code returns): it queues its work (WhenLinkFree) or, on a timer, tries next
// time.
bool LinkBusy();
// True while any job holds the link, lent or not: a main-window command waits for it.
bool LinkInUse();
// True while a job that holds the link has lent it: it waits for a person, with nothing
// of its own on the wire.
bool LinkLent();

// Who may run while the link is lent: a window's command, a poll (Borrow), or only once
// the lender has finished too (WholeJob, a main-window command).
enum class LinkTurn { Borrow, WholeJob };

// Runs job now when the link is free for it; otherwise once it is, in the order asked.
// A job whose context has gone meanwhile is dropped.
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
// Looks at the queue again: something that kept the link taken without a hold (a
// transaction or a connection) has ended.
void WakeLinkQueue();
// Forgets every hold as well (a test's reset between cases); a hold or lend still alive
// then ends without effect.
void ResetLinkHolds();

} // namespace korvel
