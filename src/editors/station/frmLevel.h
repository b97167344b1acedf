// The FFSK level test: keys the local module's transmitter with a test tone so that the
// technician can set the FFSK transmit level while measuring it. The chosen level is
// stored in the configuration by OK.
#pragma once

#include "editors/station/leveltest.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace korvel {

class frmLevel : public QDialog {
    Q_OBJECT
public:
    // Shows the configured level (the load handler); the transmitter is not keyed.
    explicit frmLevel(QWidget* owner);

    // Shows the single instance modal over owner until it is closed. A failed command
    // closes it with EndedByFailure() set, which tells the caller that the link failed
    // or the module refused; the window clears it as it opens.
    static void Run(QWidget* owner);
    static bool& EndedByFailure();

    QSlider* Slider1() const { return slider_; }
    QPushButton* cmdKeyTx() const { return keyTx_; }
    QLabel* lblWarn() const { return warn_; }
    QPushButton* cmdOK() const { return ok_; }
    QTimer* tmrTest() const { return timer_; }
    // The transmitter is keyed by this window.
    bool PttOn() const { return pttOn_; }

    // The handlers, as the controls and the timer run them.
    void cmdKeyTx_Click();
    void Slider1_Change();
    void tmrTest_Timer();
    void cmdOK_Click();
    // The close box and Esc: the level is not stored, but a transmitter the test keyed
    // is switched off and processes it stopped are restarted, as OK does. While a
    // command is on the line the close waits for that step to end; keying then goes no
    // further.
    void reject() override;

private:
    void build();
    LevelTestEnd whileBusy(const std::function<LevelTestEnd()>& sequence);
    void keyTransmitter();
    void releaseTransmitter();
    void showKeyed(bool keyed, const QString& caption);
    void showStage(LevelTestStage stage);
    // A command failed: the test ends here, after saying how a module the test had
    // to put back was left; the caller learns of it by a cancel request.
    void endAfterFailure(const LevelTestEnd& end);
    // OK and the close: the module is put back, and a put-back that did not go whole is
    // said and told to the caller by a cancel request.
    void putBackAndLeave();
    void sayHowLeft(const LevelTestEnd& end);
    void closeIfAsked();

    QSlider* slider_ = nullptr;
    QPushButton* keyTx_ = nullptr;
    QLabel* warn_ = nullptr;
    QPushButton* ok_ = nullptr;
    QTimer* timer_ = nullptr;

    bool pttOn_ = false;
    // From the stop of the processes until their restart the module is held by this
    // test (its transmitter may still be keyed after the time limit): closing restarts it.
    bool moduleHeld_ = false;
    bool busy_ = false;
    // The close box or Esc was pressed while a command was on the line.
    bool closeAsked_ = false;
    int txTimerTicks_ = 0;
};

} // namespace korvel
