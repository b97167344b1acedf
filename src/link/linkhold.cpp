#include "link/linkhold.h"

#include "link/linkstate.h"
#include "link/transaction.h"
#include "platform/eventpump.h"
#include "platform/prompts.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <vector>

namespace korvel {

namespace {

// A job that holds the link: the wait depth its own code runs at, how many holds it has
// taken there, and whether it has lent the link while it asks a person something.
struct Holder {
    int depth = 0;
    int holds = 0;
    int lends = 0;
    bool lendable = true;
};
// Innermost last: a borrower's hold sits above the lender's, and ends first, because
// it runs inside the lender's box.
std::vector<Holder> g_holders;
// Counts the resets, so that a hold taken before one ends without effect.
int g_generation = 0;

struct Waiting {
    std::function<void()> run;
    QPointer<QObject> context;
    bool hasContext = false;
    LinkTurn turn = LinkTurn::Borrow;
};

// How soon a queued job looks again at a link that is still taken.
constexpr int kRetryMs = 20;
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
    if (LinkTakenByAnother()) return false;
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
        // for that one. This runs inside its waits, so it looks again shortly.
        if (!mayRunNow(g_queue.front().turn)) {
            g_drainPosted = true;
            QTimer::singleShot(kRetryMs, &poster(), [] { drain(); });
            return;
        }
        Waiting next = std::move(g_queue.front());
        g_queue.pop_front();
        if (g_queue.empty()) tellObserver(false);
        if (next.hasContext && !next.context) continue;
        next.run();
    }
}

} // namespace

LinkHold::LinkHold(Lending lending) : generation_(g_generation) {
    if (HoldsLink()) {
        Holder& h = g_holders.back();
        // A part of the job that must not be interrupted takes a hold of its own: what it
        // forbids ends with it.
        if (lending == NeverLent && h.lendable) g_holders.push_back(Holder{WaitDepth(), 1, 0, false});
        else ++h.holds;
        granted_ = true;
        return;
    }
    if (LinkTakenByAnother()) return;
    g_holders.push_back(Holder{WaitDepth(), 1, 0, lending == MayLend});
    granted_ = true;
}

LinkHold::~LinkHold() {
    if (!granted_ || generation_ != g_generation || g_holders.empty()) return;
    if (--g_holders.back().holds > 0) return;
    g_holders.pop_back();
    postDrain();
}

LinkLend::LinkLend() : generation_(g_generation) {
    if (!HoldsLink() || TransactionOpen() || !g_holders.back().lendable) return;
    ++g_holders.back().lends;
    lent_ = true;
    // Whatever waits for a borrowed turn (a window's command) may run inside the box.
    postDrain();
}

LinkLend::~LinkLend() {
    if (lent_ && generation_ == g_generation && !g_holders.empty()) --g_holders.back().lends;
}

int MsgBoxLent(const QString& text, int style, const QString& title) {
    const LinkLend lend;
    return MsgBox(text, style, title);
}

bool HoldsLink() {
    if (g_holders.empty()) return false;
    const Holder& h = g_holders.back();
    return h.lends == 0 && h.depth == WaitDepth();
}

bool LinkTakenByAnother() {
    const auto& s = linkState();
    // A transaction can only be open while its sender waits below the code running now.
    if (TransactionOpen() || s.TcpConnecting) return true;
    if (g_holders.empty()) return false;
    const Holder& h = g_holders.back();
    return h.lends == 0 && WaitDepth() > h.depth;
}

bool LinkInUse() { return !g_holders.empty() || TransactionOpen() || linkState().TcpConnecting; }

void WhenLinkFree(std::function<void()> job, QObject* context, LinkTurn turn) {
    // The holder's own job goes on at once; anyone else keeps the order of the queue.
    if (HoldsLink() || (g_queue.empty() && mayRunNow(turn))) {
        job();
        return;
    }
    if (ProgramEnding()) return;
    if (g_queue.empty()) tellObserver(true);
    g_queue.push_back(Waiting{std::move(job), QPointer<QObject>(context), context != nullptr, turn});
    postDrain();
}

bool DeferWhileLinkTaken(QObject* context, std::function<void()> again, LinkTurn turn) {
    if (HoldsLink() || mayRunNow(turn)) return false;
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

void ResetLinkHolds() {
    ForgetLinkQueue();
    g_holders.clear();
    ++g_generation;
}

} // namespace korvel
