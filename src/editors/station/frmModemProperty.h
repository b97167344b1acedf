// A serial port's modem settings: the number to dial, the IS-99 baud rate command, the
// AT initialisation string, rings, retries, time-out and heartbeat. The station's
// configuration has no modem record, so the dialog loads and stores nothing: every
// opening shows the same starting values, and OK closes it like Cancel.
#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvel {

class BoundedField;

class frmModemProperty : public QDialog {
    Q_OBJECT
public:
    // Modal, with the starting values.
    explicit frmModemProperty(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    // The key filter of the phone number: digits, blank, comma and Backspace (8) come
    // back unchanged; anything else beeps and gives 0, which drops the key.
    static int16_t ParsePhoneNumberEntry(int16_t keyAscii);

    QGroupBox* fraModem() const { return frame_; }
    QLineEdit* txtPhoneNum() const { return phone_; }
    QCheckBox* ckbIS99() const { return is99_; }
    QLineEdit* txtIS99BaudCmd() const { return baudCmd_; }
    QLineEdit* txtATInitial() const { return atInitial_; }
    BoundedField* updRingsUntilAnswer() const { return rings_; }
    QLineEdit* txtRingsUntilAnswer() const;
    BoundedField* updOKRetries() const { return retries_; }
    QLineEdit* txtOKRetries() const;
    BoundedField* updOkTimeOut() const { return timeout_; }
    QLineEdit* txtOKTimeOut() const;
    BoundedField* updATHeartBeat() const { return heartbeat_; }
    QLineEdit* txtATHeartBeat() const;
    QLabel* lblNotKept() const { return note_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

private:
    QGroupBox* frame_ = nullptr;
    QLineEdit* phone_ = nullptr;
    QCheckBox* is99_ = nullptr;
    QLineEdit* baudCmd_ = nullptr;
    QLineEdit* atInitial_ = nullptr;
    BoundedField* rings_ = nullptr;
    BoundedField* retries_ = nullptr;
    BoundedField* timeout_ = nullptr;
    BoundedField* heartbeat_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace korvel
