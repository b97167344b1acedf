#include "platform/iohandler.h"

#include <QCoreApplication>
#include <QPointer>
#include <QtGlobal>
#include <deque>

namespace korvel {

namespace {

int g_depth = 0;

struct Job {
    std::function<void()> run;
    QPointer<QObject> context;
    bool hasContext = false;
};
std::deque<Job> g_jobs;
bool g_scheduled = false;

// The object the queued drain is posted to; lives as long as the program.
QObject& poster() {
    static QObject* o = new QObject();
    return *o;
}

void schedule();

void drain() {
    g_scheduled = false;
    // One job at a time from the front. The rest stay posted while a job runs, so a job
    // that waits lets them run inside its wait, as the event loop would deliver them.
    while (!g_jobs.empty()) {
        Job job = std::move(g_jobs.front());
        g_jobs.pop_front();
        schedule();
        if (job.hasContext && !job.context) continue;
        job.run();
    }
}

void schedule() {
    if (g_scheduled || g_jobs.empty()) return;
    g_scheduled = true;
    QMetaObject::invokeMethod(&poster(), [] { drain(); }, Qt::QueuedConnection);
}

} // namespace

IoHandlerScope::IoHandlerScope() { ++g_depth; }
IoHandlerScope::~IoHandlerScope() { --g_depth; }

bool InIoHandler() { return g_depth > 0; }

void RequireNoIoHandler(const char* what) {
    if (g_depth == 0) return;
#ifdef NDEBUG
    qWarning("korvel: %s inside an I/O handler", what);
#else
    qFatal("korvel: %s inside an I/O handler", what);
#endif
}

void RunAfterHandler(std::function<void()> job, QObject* context) {
    g_jobs.push_back(Job{std::move(job), QPointer<QObject>(context), context != nullptr});
    schedule();
}

void RunQueuedJobs() {
    RequireNoIoHandler("running queued jobs");
    drain();
}

void ForgetQueuedJobs() { g_jobs.clear(); }

int QueuedJobCount() { return int(g_jobs.size()); }

} // namespace korvel
