// The diagnostic settings of the station: the LED timing values (kept in the
// configuration, so they reach the module with the next configuration write), the
// module's eight debug flags (sent at once) and the address allocation of its child
// modules. Reached only through the system dialog's debug entry.
#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace korvel {

class BoundedField;

class frmSysDiag : public QDialog {
    Q_OBJECT
public:
    // Loads the controls from the configuration and the module's flags (the load handler).
    explicit frmSysDiag(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    BoundedField* updRedOn() const { return led_[0]; }
    BoundedField* updRedOff() const { return led_[1]; }
    BoundedField* updRedFlash() const { return led_[2]; }
    BoundedField* updGreenOn() const { return led_[3]; }
    BoundedField* updGreenOff() const { return led_[4]; }
    BoundedField* updGreenFlash() const { return led_[5]; }
    // ckbL0 .. ckbL7.
    QCheckBox* ckbL(int n) const { return flags_[n]; }
    QPushButton* cmdClearAll() const { return clearAll_; }
    QPushButton* cmdAllocate() const { return allocate_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

    // The handlers, as the buttons run them.
    void cmdOK_Click();
    void cmdClearAll_Click();
    void cmdAllocate_Click();

    // While a command is on the line the dialog stays: closing it then would release it
    // under the handler that waits.
    void done(int result) override;

private:
    void build();
    void load();

    BoundedField* led_[6] = {};
    QCheckBox* flags_[8] = {};
    QPushButton* clearAll_ = nullptr;
    QPushButton* allocate_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool busy_ = false;
};

} // namespace korvel
