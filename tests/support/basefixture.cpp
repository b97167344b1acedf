#include "support/basefixture.h"

#include "platform/eventpump.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>

namespace korvel::test {

void BaseFixture::SetUp() { SetPrompts(&prompts); }

void BaseFixture::TearDown() {
    SetPrompts(nullptr);
    QCoreApplication::processEvents();
}

bool BaseFixture::WaitUntil(const std::function<bool()>& cond, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired()) return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

void BaseFixture::Later(int ms, std::function<void()> f) { QTimer::singleShot(ms, std::move(f)); }

bool WithFileSizeLimit(long bytes, const std::function<void()>& f) {
    rlimit old{};
    if (getrlimit(RLIMIT_FSIZE, &old) != 0) return false;
    rlimit small = old;
    small.rlim_cur = rlim_t(bytes);
    // A write past the limit fails instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        return false;
    }
    f();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    return true;
}

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values) b.append(char(v));
    return b;
}

QByteArray WithChecksum(std::initializer_list<int> values) {
    QByteArray b = Bytes(values);
    unsigned s = 0;
    for (char c : b) s += static_cast<unsigned char>(c);
    b.append(char(255 - (s & 255)));
    return b;
}

} // namespace korvel::test
