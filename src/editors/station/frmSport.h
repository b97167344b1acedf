// The serial port dialog: one of the station's two serial ports (baud rate, protocol,
// inter-byte and retry times, connection protocol), with the station-wide rules a
// protocol brings and the way to the FleetSync, NMEA and modem properties.
#pragma once

#include "editors/station/portrules.h"

#include <QDialog>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace korvel {

class BoundedField;

class frmSport : public QDialog {
    Q_OBJECT
public:
    // Fills the controls for the port session().SerialPortSelector names.
    explicit frmSport(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    QGroupBox* Frame1() const { return portFrame_; }
    QComboBox* cboTransmissionBaudRate() const { return baud_; }
    QLabel* lblProtocol() const { return protocolLabel_; }
    QComboBox* cboProtocol() const { return protocol_; }
    BoundedField* updDumpTime() const { return dumpTime_; }
    QGroupBox* Frame2() const { return retryFrame_; }
    BoundedField* updTransmissionRetrys() const { return retryCount_; }
    BoundedField* updRetryTimeout() const { return retryTimeout_; }
    QGroupBox* Frame3() const { return connectionFrame_; }
    QComboBox* cboConnectionProtocol() const { return connection_; }
    QPushButton* cmdSetProperties() const { return properties_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

    // The handlers, as the controls run them.
    void cboProtocol_Click();
    void cmdSetProperties_Click();
    void cmdOK_Click();

private:
    void build();
    void load();
    void applyPellarLayout();

    QFrame* shape_ = nullptr;
    QGroupBox* portFrame_ = nullptr;
    QComboBox* baud_ = nullptr;
    QLabel* protocolLabel_ = nullptr;
    QComboBox* protocol_ = nullptr;
    BoundedField* dumpTime_ = nullptr;
    QGroupBox* retryFrame_ = nullptr;
    BoundedField* retryCount_ = nullptr;
    BoundedField* retryTimeout_ = nullptr;
    QGroupBox* connectionFrame_ = nullptr;
    QComboBox* connection_ = nullptr;
    QPushButton* properties_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;

    // What OK will store; the protocol rules change only this until then.
    PortSettings edit_;
    bool pellarBaudDefault_ = false;
};

} // namespace korvel
