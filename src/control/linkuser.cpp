#include "control/linkuser.h"

#include "link/linkstate.h"
#include "platform/eventpump.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <deque>

namespace korvel {

namespace {

struct Waiting {
    std::function<void()> run;
    QPointer<QObject> context;
    bool hasContext = false;
};

int g_holds = 0;
// The wait depth of the outermost hold: code deeper than this runs inside its waits.
int g_holderDepth = 0;
// How soon a queued job looks again at a link that a transaction without a hold keeps.
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
        if (LinkTakenByAnother()) {
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

LinkHold::LinkHold() {
    if (g_holds++ == 0) g_holderDepth = WaitDepth();
}

LinkHold::~LinkHold() {
    if (--g_holds == 0) postDrain();
}

bool LinkTakenByAnother() {
    const auto& s = linkState();
    if (g_holds > 0 && WaitDepth() > g_holderDepth) return true;
    // A transaction can only be open while its sender waits below the code running now.
    return s.TxState != TX_IDLE || s.TcpConnecting;
}

void WhenLinkFree(std::function<void()> job, QObject* context) {
    // The holder's own job goes on at once; anyone else keeps the order of the queue.
    if (!LinkTakenByAnother() && (g_queue.empty() || g_holds > 0)) {
        job();
        return;
    }
    if (ProgramEnding()) return;
    if (g_queue.empty()) tellObserver(true);
    g_queue.push_back(Waiting{std::move(job), QPointer<QObject>(context), context != nullptr});
    postDrain();
}

bool DeferWhileLinkTaken(QObject* context, std::function<void()> again) {
    if (!LinkTakenByAnother()) return false;
    WhenLinkFree(std::move(again), context);
    return true;
}

void SetLinkQueueObserver(std::function<void(bool)> observer) { g_observer = std::move(observer); }

int LinkQueueLength() { return int(g_queue.size()); }

void ForgetLinkQueue() {
    const bool had = !g_queue.empty();
    g_queue.clear();
    if (had) tellObserver(false);
}

} // namespace korvel
