// The station poller window offscreen: what it shows and logs when it opens, the polls
// its ticks bring, the closing line and a new run after it, a second start while it is
// open, and a log file that cannot be written.
#include "monitor/frmPollerTask.h"
#include "model/taskblock.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"
#include "support/qtprint.h"

#include <QAccessible>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace korvel;
using namespace korvel::test;

namespace {

class PollerTaskTest : public AppFixture {
protected:
    void TearDown() override {
        delete frmPollerTask::Instance();
        AppFixture::TearDown();
    }
    static frmPollerTask& Start(int mins, int secs, QWidget* owner = nullptr, int hours = 0, int days = 0) {
        taskState().PollerInterval[POLL_DAYS] = int16_t(days);
        taskState().PollerInterval[POLL_HOURS] = int16_t(hours);
        taskState().PollerInterval[POLL_MINUTES] = int16_t(mins);
        taskState().PollerInterval[POLL_SECONDS] = int16_t(secs);
        frmPollerTask::Start(owner);
        return *frmPollerTask::Instance();
    }
    static void Tick(frmPollerTask& p, int n) {
        for (int i = 0; i < n; ++i) p.tmrPoller_Timer();
    }
    static void Gone() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(frmPollerTask::Instance(), nullptr);
    }
    // Each log line stamped during the test reduced to its prefix; other lines as they are.
    QStringList Prefixes(const QStringList& lines) const {
        QStringList out;
        for (const QString& l : lines) {
            out << l;
            for (const QString& p : {POLLER_STARTED, POLLER_STOPPED, POLLER_POLL_DUE})
                for (const QDateTime& t : {begun_, QDateTime::currentDateTime()})
                    if (l == PollerLogLine(p, t, QLocale::system())) out.last() = p;
        }
        return out;
    }
    QStringList Items(const frmPollerTask& p) const {
        QStringList out;
        for (int i = 0; i < p.lstLog()->count(); ++i) out << p.lstLog()->item(i)->text();
        return Prefixes(out);
    }
    QStringList FileLines() const {
        QFile f(dir.filePath(QStringLiteral("PollerLog.log")));
        if (!f.open(QIODevice::ReadOnly)) return {QStringLiteral("<missing>")};
        QStringList lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.takeLast(), QString()) << "every line ends in CR LF";
        return Prefixes(lines);
    }

    const QDateTime begun_ = QDateTime::currentDateTime();
};

TEST_F(PollerTaskTest, OpensAsAWindowOfItsOwnAndLogsEachPollAsDue) {
    Open();
    frmPollerTask& p = Start(90, 75, window.get(), 30, 2);
    EXPECT_TRUE(p.isVisible());
    EXPECT_EQ(p.windowType(), Qt::Window) << "not a dialog over the task setup";
    EXPECT_EQ(p.parentWidget(), window.get());
    EXPECT_EQ(p.windowTitle(), "Station Poller Task");
    EXPECT_EQ(p.txtPollerInfo()->text(), "Poller Interval: 2 days, 30 hours, 90 mins, 75 secs");
    EXPECT_EQ(p.txtPollerCount()->text(), "Time to poll: 3 days, 7 hours, 31 mins, 15 secs");
    EXPECT_TRUE(p.tmrPoller()->isActive());
    EXPECT_EQ(Items(p), QStringList{POLLER_STARTED});
    for (QWidget* w : QList<QWidget*>{p.txtPollerInfo(), p.txtPollerCount(), p.lstLog(), p.cmdClose()}) {
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
        EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
    }

    frmPollerTask& q = Start(0, 3);
    ASSERT_EQ(&q, &p);
    p.close();
    Gone();
    frmPollerTask& r = Start(0, 3);
    Tick(r, 2);
    EXPECT_EQ(r.txtPollerCount()->text(), "Time to poll: 0 days, 0 hours, 0 mins, 1 secs");
    Tick(r, 1);
    EXPECT_EQ(r.txtPollerCount()->text(), "Time to poll: 0 days, 0 hours, 0 mins, 3 secs");
    Tick(r, 3);
    const QStringList run{POLLER_STARTED, POLLER_POLL_DUE, POLLER_POLL_DUE};
    EXPECT_EQ(Items(r), run) << "this run only";
    // Escape closes it as well; the file keeps every run.
    TypeKey(r.lstLog(), Qt::Key_Escape);
    Gone();
    EXPECT_EQ(FileLines(), QStringList({POLLER_STARTED, POLLER_STOPPED}) + run + QStringList{POLLER_STOPPED});
}

TEST_F(PollerTaskTest, ASecondStartWhileOpenKeepsTheWindowAndItsCount) {
    frmPollerTask& p = Start(0, 10);
    Tick(p, 4);
    ASSERT_EQ(&Start(1, 0), &p);
    EXPECT_EQ(p.txtPollerInfo()->text(), "Poller Interval: 0 days, 0 hours, 0 mins, 10 secs");
    EXPECT_EQ(p.txtPollerCount()->text(), "Time to poll: 0 days, 0 hours, 0 mins, 6 secs");
    EXPECT_EQ(Items(p), QStringList{POLLER_STARTED}) << "no second started line";
    // The old count runs out, then the new period begins.
    Tick(p, 6);
    EXPECT_EQ(p.txtPollerCount()->text(), "Time to poll: 0 days, 0 hours, 1 mins, 0 secs");
    Tick(p, 59);
    EXPECT_EQ(Items(p).size(), 2);
    Tick(p, 1);
    EXPECT_EQ(Items(p), QStringList({POLLER_STARTED, POLLER_POLL_DUE, POLLER_POLL_DUE}));
}

TEST_F(PollerTaskTest, ALogFileThatCannotBeWrittenIsReportedOnceAndTheCountGoesOn) {
    // A folder in the file's place: not even an administrator can write it.
    const QString logPath = dir.filePath(QStringLiteral("PollerLog.log"));
    ASSERT_TRUE(QDir().mkpath(logPath));
    frmPollerTask& p = Start(0, 2);
    Tick(p, 4);
    EXPECT_EQ(p.txtPollerCount()->text(), "Time to poll: 0 days, 0 hours, 0 mins, 2 secs");
    const QString failed = Items(p).value(1);
    EXPECT_TRUE(failed.startsWith("Log file could not be written: ") && failed.size() > 31) << failed.toStdString();
    EXPECT_EQ(Items(p), QStringList({POLLER_STARTED, failed, POLLER_POLL_DUE, POLLER_POLL_DUE}));

    // Once a write has succeeded, a new failure is told again.
    ASSERT_TRUE(QDir(logPath).removeRecursively());
    Tick(p, 2);
    EXPECT_EQ(FileLines(), QStringList{POLLER_POLL_DUE});
    ASSERT_TRUE(QFile::remove(logPath) && QDir().mkpath(logPath));
    Tick(p, 2);
    EXPECT_EQ(Items(p).mid(4), QStringList({POLLER_POLL_DUE, POLLER_POLL_DUE, failed}));
}

} // namespace
