// The FFSK radio-modem port: protocol and packet concatenation, baud rate, preamble,
// the COR/COS/M-signal gate, transmitter keying, channel-clear delay, retries and the
// transmit output level, with the way into the local module's level test.
#pragma once

#include "editors/station/ffskrules.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace korvel {

class BoundedField;

class frmFFSK : public QDialog {
    Q_OBJECT
public:
    // Loads the controls from the configuration (the load handler).
    explicit frmFFSK(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    QCheckBox* chkConcPacket() const { return concPacket_; }
    QComboBox* cboProtocol() const { return protocol_; }
    QComboBox* cboTransmissionBaudRate() const { return baud_; }
    BoundedField* updPreambleCount() const { return preamble_; }
    QLineEdit* txtPreambleCount() const;
    BoundedField* updCDDelay() const { return cdDelay_; }
    QLineEdit* txtCDDelay() const;
    QGroupBox* fraPtt() const { return ptt_; }
    QComboBox* cboPTTPolarity() const { return pttPolarity_; }
    BoundedField* updPTTStartDelay() const { return pttStart_; }
    QLineEdit* txtPTTStartDelay() const;
    BoundedField* updPTTHangDelay() const { return pttHang_; }
    QLineEdit* txtPTTHangDelay() const;
    QGroupBox* fraGate() const { return gate_; }
    QComboBox* cboGateType() const { return gateType_; }
    QComboBox* cboGatePolarity() const { return gatePolarity_; }
    QGroupBox* fraRetry() const { return retry_; }
    BoundedField* updRetryTimeout() const { return retryTimeout_; }
    QLineEdit* txtTransmissionRetryTimeout() const;
    BoundedField* updTransmissionRetrys() const { return retryCount_; }
    QLineEdit* txtTransmissionRetrys() const;
    QLineEdit* txtLevel() const { return level_; }
    QPushButton* cmdSetLevel() const { return setLevel_; }
    BoundedField* updDumpTime() const { return dumpTime_; }
    QLineEdit* txtDumpTime() const;
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

    // The handlers, as the controls run them.
    void cboGateType_Click();
    // Opens the level test; afterwards shows the level it left, or closes this dialog
    // when the test was cancelled.
    void cmdSetLevel_Click();
    void cmdOK_Click();
    // The output level box's check; true when the level lies within its range, else the
    // refusal has been shown, the box emptied and the focus put back into it.
    bool txtLevel_Validate();

private:
    void build();
    void load();
    void showLevel(const QString& text);
    FfskForm form() const;

    QCheckBox* concPacket_ = nullptr;
    QComboBox* protocol_ = nullptr;
    QComboBox* baud_ = nullptr;
    BoundedField* preamble_ = nullptr;
    BoundedField* cdDelay_ = nullptr;
    QGroupBox* ptt_ = nullptr;
    QComboBox* pttPolarity_ = nullptr;
    BoundedField* pttStart_ = nullptr;
    BoundedField* pttHang_ = nullptr;
    QGroupBox* gate_ = nullptr;
    QComboBox* gateType_ = nullptr;
    QComboBox* gatePolarity_ = nullptr;
    QGroupBox* retry_ = nullptr;
    BoundedField* retryTimeout_ = nullptr;
    BoundedField* retryCount_ = nullptr;
    QLineEdit* level_ = nullptr;
    QPushButton* setLevel_ = nullptr;
    BoundedField* dumpTime_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;

    // The values as loaded; OK composes the controls into it and stores it whole.
    FfskSettings edit_;
};

} // namespace korvel
