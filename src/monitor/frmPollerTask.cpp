#include "monitor/frmPollerTask.h"

#include "model/taskblock.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace korvel {

namespace {

QPointer<frmPollerTask> instance;

constexpr int kTickMs = 1000;

QLineEdit* makeReadOnly(const char* name, const QString& accessibleName, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setAccessibleName(accessibleName);
    e->setReadOnly(true);
    return e;
}

int64_t CurrentPeriod() { return PollerPeriodSeconds(taskState().PollerInterval); }

} // namespace

frmPollerTask::frmPollerTask(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmPollerTask"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Station Poller Task"));

    info_ = makeReadOnly("txtPollerInfo", QStringLiteral("Poller interval"), this);
    count_ = makeReadOnly("txtPollerCount", QStringLiteral("Time to poll"), this);
    log_ = new QListWidget(this);
    log_->setObjectName(QStringLiteral("lstLog"));
    log_->setAccessibleName(QStringLiteral("Poller log"));
    log_->setUniformItemSizes(true);
    log_->setMinimumSize(420, 200);
    auto* logLabel = new QLabel(QStringLiteral("&Log:"), this);
    logLabel->setBuddy(log_);
    close_ = new QPushButton(QStringLiteral("&Close"), this);
    close_->setObjectName(QStringLiteral("cmdClose"));
    close_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info_);
    layout->addWidget(count_);
    layout->addWidget(logLabel);
    layout->addWidget(log_, 1);
    layout->addLayout(buttons);
    setTabOrder(info_, count_);
    setTabOrder(count_, log_);
    setTabOrder(log_, close_);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("tmrPoller"));
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &frmPollerTask::tmrPoller_Timer);

    // The period shown is the one this run started with.
    info_->setText(PollerInfoText(taskState().PollerInterval));
    countdown_.Reload(CurrentPeriod());
    ShowCount();
    Log(POLLER_STARTED);
    timer_->start();
}

frmPollerTask::~frmPollerTask() {
    // Going with its owner without being closed: the run still gets its closing line.
    Stop();
}

void frmPollerTask::Start(QWidget* owner) {
    if (instance) {
        instance->show();
        instance->raise();
        instance->activateWindow();
        return;
    }
    instance = new frmPollerTask(owner);
    instance->show();
}

frmPollerTask* frmPollerTask::Instance() { return instance.data(); }

void frmPollerTask::tmrPoller_Timer() {
    if (stopped_) return;
    if (countdown_.Tick(CurrentPeriod())) Log(POLLER_POLL_DUE);
    ShowCount();
}

void frmPollerTask::ShowCount() { count_->setText(PollerCountText(countdown_.Remaining())); }

void frmPollerTask::Log(const QString& prefix) {
    const QString line = PollerLogLine(prefix, QDateTime::currentDateTime(), QLocale());
    log_->addItem(line);
    log_->scrollToBottom();
    WriteLogFile(line);
}

void frmPollerTask::WriteLogFile(const QString& line) {
    const QString error = AppendPollerLog(line);
    if (error.isEmpty()) {
        logFailureShown_ = false;
        return;
    }
    // The countdown goes on; the failure is told once, and again only after the file
    // has been written in between.
    if (logFailureShown_) return;
    logFailureShown_ = true;
    log_->addItem(QStringLiteral("Log file could not be written: ") + error);
    log_->scrollToBottom();
}

void frmPollerTask::Stop() {
    if (stopped_) return;
    stopped_ = true;
    timer_->stop();
    // Nobody is left to read a failure here.
    AppendPollerLog(PollerLogLine(POLLER_STOPPED, QDateTime::currentDateTime(), QLocale()));
}

void frmPollerTask::closeEvent(QCloseEvent* event) {
    Stop();
    event->accept();
}

void frmPollerTask::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace korvel
