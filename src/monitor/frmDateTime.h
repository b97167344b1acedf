// The module's real-time clock: shows what the module reported and sets it, to the PC's
// clock or to a date and time the user enters. Modeless, owned by the main window.
#pragma once

#include "monitor/clockrules.h"

#include <QDateTime>
#include <QDialog>
#include <functional>

class QDateEdit;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace korvel {

class frmDateTime : public QDialog {
    Q_OBJECT
public:
    // Shows the module clock (the load handler).
    explicit frmDateTime(QWidget* owner);

    // Shows the single instance over owner, creating it first; an instance that is open
    // already shows the clock read since and comes to the front.
    static void Run(QWidget* owner);
    // The instance while one is open, else null.
    static frmDateTime* Instance();
    // Where PC Clock reads the PC's time; empty restores the PC's own clock.
    static void SetPcClock(std::function<QDateTime()> clock);

    QDateEdit* DTPicker1() const { return date_; }
    QSpinBox* updHours() const { return hours_; }
    QSpinBox* updMinutes() const { return minutes_; }
    QSpinBox* updSeconds() const { return seconds_; }
    QLineEdit* txtHours() const;
    QLineEdit* txtMinutes() const;
    QLineEdit* txtSeconds() const;
    QPushButton* cmdPcClock() const { return pcClock_; }
    QPushButton* cmdUpdate() const { return update_; }
    QPushButton* cmdCancel() const { return exit_; }

    // The handlers, as the buttons run them.
    void cmdPcClock_Click();
    void cmdUpdate_Click();

    // Closing (Exit, Escape, the title bar) releases the instance; while a send is on
    // the line the window only hides and goes once the send has returned.
    void done(int result) override;

private:
    void build();
    void load();
    void showClock(const ModuleClockValue& clock);
    void send(const ModuleClockValue& clock);

    QDateEdit* date_ = nullptr;
    QSpinBox* hours_ = nullptr;
    QSpinBox* minutes_ = nullptr;
    QSpinBox* seconds_ = nullptr;
    QPushButton* pcClock_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* exit_ = nullptr;

    bool sending_ = false;
    bool closeAfterSend_ = false;
};

} // namespace korvel
