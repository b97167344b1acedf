#include "link/linkhold.h"

#include "link/linkclient.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "platform/eventpump.h"
#include "platform/prompts.h"

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <deque>
#include <vector>

namespace korvel {

namespace {

// Every hold granted and still alive, innermost last: a borrower's hold sits above the
// lender's, and ends first, because it runs inside the lender's box.
std::vector<const LinkHold*> g_holders;
// Counts the resets, so that a hold taken before one ends without effect.
int g_generation = 0;
// The jobs that span holds, outermost first.
std::vector<LinkJob*> g_jobs;

struct Waiting {
    std::function<void()> run;
    QPointer<QObject> context;
    bool hasContext = false;
    LinkTurn turn = LinkTurn::Borrow;
};

std::deque<Waiting> g_queue;
bool g_drainPosted = false;
std::function<void(bool)> g_observer;

QObject& poster() {
    static QObject* o = new QObject();
    return *o;
}

void tellObserver(bool waiting) {
    if (g_observer) g_observer(waiting);
}

bool mayRunNow(LinkTurn turn) {
    if (LinkBusy()) return false;
    return turn == LinkTurn::Borrow || !LinkInUse();
}

void drain();

void postDrain() {
    if (g_drainPosted || g_queue.empty()) return;
    g_drainPosted = true;
    QMetaObject::invokeMethod(&poster(), [] { drain(); }, Qt::QueuedConnection);
}

void drain() {
    g_drainPosted = false;
    while (!g_queue.empty()) {
        if (ProgramEnding()) {
            ForgetLinkQueue();
            return;
        }
        // Still taken, or taken again meanwhile (a tick got in first): the rest waits
        // until that hold ends or lends.
        if (!mayRunNow(g_queue.front().turn)) return;
        Waiting next = std::move(g_queue.front());
        g_queue.pop_front();
        if (g_queue.empty()) tellObserver(false);
        if (next.hasContext && !next.context) continue;
        next.run();
    }
}

} // namespace

LinkJob::LinkJob() : generation_(g_generation) { g_jobs.push_back(this); }

LinkJob::~LinkJob() {
    if (generation_ != g_generation) return;
    const auto it = std::find(g_jobs.begin(), g_jobs.end(), this);
    if (it != g_jobs.end()) g_jobs.erase(it);
}

LinkHold::LinkHold(Lending lending, Role role) : lendable_(lending == MayLend), role_(role), generation_(g_generation) {
    Take();
}

LinkHold::LinkHold(LinkJob& job, Lending lending) : lendable_(lending == MayLend), generation_(g_generation) {
    cancel_ = &job.cancel_;
    job_ = &job;
    Take();
}

int16_t LinkHold::ReplyTimeout() const {
    int ticks = replyTicks_;
    if (ticks <= 0 && job_) ticks = job_->replyTicks_;
    return static_cast<int16_t>(std::clamp(ticks, 0, 32767));
}

void LinkHold::Take() {
    if (!g_holders.empty()) {
        // Only a lent link is taken while another job holds it.
        if (!g_holders.back()->Lent()) return;
        borrowed_ = true;
        // A borrower's work is quiet: it lends nothing on.
        lendable_ = false;
    } else if (TransactionOpen() || linkState().TcpConnecting) {
        return;
    }
    g_holders.push_back(this);
    granted_ = true;
}

bool LinkHold::MayAsk() const {
    if (borrowed_ || ProgramEnding()) return false;
    return role_ != Background || MessageBoxesUp() == 0;
}

WholeStep::WholeStep(const LinkHold& hold) : cancel_(hold.cancel_) { ++cancel_->wholeSteps; }

WholeStep::~WholeStep() { --cancel_->wholeSteps; }

bool CancelJobOnTheWire() {
    if (!g_holders.empty()) {
        g_holders.front()->Cancel();
        return true;
    }
    if (!g_jobs.empty()) {
        g_jobs.front()->cancel_.asked = true;
        return true;
    }
    return false;
}

bool EndJobOnTheWire() {
    if (!g_holders.empty() && !g_holders.front()->IsBackground() && g_holders.front()->NeverLends())
        g_holders.front()->cancel_->finishFirst = true;
    return CancelJobOnTheWire();
}

WireJob JobOnTheWire() {
    if (g_holders.empty()) return WireJob::None;
    const LinkHold* job = g_holders.front();
    if (job->IsBackground()) return WireJob::Background;
    if (job->Lent()) return WireJob::WaitingForPerson;
    return job->NeverLends() ? WireJob::NeverLent : WireJob::Working;
}

LinkHold::~LinkHold() {
    if (!granted_ || generation_ != g_generation) return;
    const auto it = std::find(g_holders.begin(), g_holders.end(), this);
    if (it == g_holders.end()) return;
    g_holders.erase(it);
    // A job that gave up on the module has put it back as far as it could over the link
    // it had: now the program takes that link off line.
    if (gaveUp_ && !borrowed_) linkClient().NoAnswerGivenUp();
    postDrain();
}

bool LinkHold::MaySend() const {
    return granted_ && generation_ == g_generation && lends_ == 0 && !g_holders.empty() && g_holders.back() == this;
}

LinkLend::LinkLend(const LinkHold& hold) : generation_(g_generation) {
    if (!hold.MaySend() || !hold.lendable_ || hold.borrowed_ || TransactionOpen()) return;
    ++hold.lends_;
    lent_ = &hold;
    // Whatever waits for a borrowed turn (a window's command) may run inside the box.
    postDrain();
}

LinkLend::~LinkLend() {
    if (lent_ && generation_ == g_generation) --lent_->lends_;
}

bool LinkBusy() {
    // A transaction can only be open while its sender waits below the code running now.
    if (TransactionOpen() || linkState().TcpConnecting) return true;
    return !g_holders.empty() && !g_holders.back()->Lent();
}

bool LinkLent() {
    return std::any_of(g_holders.begin(), g_holders.end(), [](const LinkHold* h) { return h->Lent(); });
}

bool LinkInUse() { return !g_holders.empty() || TransactionOpen() || linkState().TcpConnecting; }

void WhenLinkFree(std::function<void()> job, QObject* context, LinkTurn turn) {
    // Anyone keeps the order of the queue.
    if (g_queue.empty() && mayRunNow(turn)) {
        job();
        return;
    }
    if (ProgramEnding()) return;
    if (g_queue.empty()) tellObserver(true);
    g_queue.push_back(Waiting{std::move(job), QPointer<QObject>(context), context != nullptr, turn});
    postDrain();
}

bool DeferWhileLinkTaken(QObject* context, std::function<void()> again, LinkTurn turn) {
    if (mayRunNow(turn)) return false;
    WhenLinkFree(std::move(again), context, turn);
    return true;
}

void SetLinkQueueObserver(std::function<void(bool)> observer) { g_observer = std::move(observer); }

int LinkQueueLength() { return int(g_queue.size()); }

void ForgetLinkQueue() {
    const bool had = !g_queue.empty();
    g_queue.clear();
    if (had) tellObserver(false);
}

void WakeLinkQueue() { postDrain(); }

void ResetLinkHolds() {
    ForgetLinkQueue();
    g_holders.clear();
    g_jobs.clear();
    ++g_generation;
}

} // namespace korvel
