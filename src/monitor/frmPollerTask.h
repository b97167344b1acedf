// The station poller task run on the PC: counts down the poll period the task setup
// chose, notes each poll that falls due in its list and in PollerLog.log, and runs
// until it is closed. It sends nothing to the module. Modeless, one instance.
#pragma once

#include "monitor/pollerrules.h"

#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace korvel {

class frmPollerTask : public QWidget {
    Q_OBJECT
public:
    ~frmPollerTask() override;

    // Opens the poller with the period in taskState().PollerInterval as a window of its
    // own, owned by owner; when it is open already it is only brought to the front, and
    // its count takes up the period at the next poll.
    static void Start(QWidget* owner);
    // The open poller, or nullptr.
    static frmPollerTask* Instance();

    QLineEdit* txtPollerInfo() const { return info_; }
    QLineEdit* txtPollerCount() const { return count_; }
    QListWidget* lstLog() const { return log_; }
    QPushButton* cmdClose() const { return close_; }
    QTimer* tmrPoller() const { return timer_; }

public slots:
    // One second of the countdown.
    void tmrPoller_Timer();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape closes the window.
    void keyPressEvent(QKeyEvent* event) override;

private:
    explicit frmPollerTask(QWidget* owner);

    void ShowCount();
    // Adds a line to the list and the log file.
    void Log(const QString& prefix);
    void WriteLogFile(const QString& line);
    // Ends the run once: the timer stopped and the closing line written.
    void Stop();

    QLineEdit* info_ = nullptr;
    QLineEdit* count_ = nullptr;
    QListWidget* log_ = nullptr;
    QPushButton* close_ = nullptr;
    QTimer* timer_ = nullptr;

    PollerCountdown countdown_;
    // A failed write has been reported; no more reports until a write succeeds.
    bool logFailureShown_ = false;
    bool stopped_ = false;
};

} // namespace korvel
