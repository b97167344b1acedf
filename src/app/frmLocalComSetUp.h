// The local port set-up: which serial device talks to the module or radio, the retry
// count, the two time-outs and the port's protocol.
#pragma once

#include "control/localport.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace korvel {

class frmLocalComSetUp : public QDialog {
    Q_OBJECT
public:
    // Modal; the boxes show the current settings and the serial ports present now.
    explicit frmLocalComSetUp(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    QComboBox* cboLocalPort() const { return port_; }
    QSpinBox* updRetryCount() const { return retries_; }
    QSpinBox* updCommInTimer() const { return packetTimeout_; }
    QSpinBox* updInterByteTime() const { return interByte_; }
    // The text parts of the up-downs.
    QLineEdit* txtRetryCount() const;
    QLineEdit* txtCommInTimer() const;
    QLineEdit* txtInterByteTime() const;
    QComboBox* cboPortProtocol() const { return protocol_; }
    QPlainTextEdit* txtHint() const { return hint_; }
    QPushButton* OKButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    void OKButtonClick();

    QComboBox* port_ = nullptr;
    QSpinBox* retries_ = nullptr;
    QSpinBox* packetTimeout_ = nullptr;
    QSpinBox* interByte_ = nullptr;
    QComboBox* protocol_ = nullptr;
    QPlainTextEdit* hint_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    // What the dialog opened on; OK needs the stored protocol the list cannot show.
    LocalPortValues loaded_;
};

} // namespace korvel
