// The GPS settings of a station: event reporting, which NMEA sentences reach the central
// host, distance and time based reports, and the strings sent to the GPS receiver.
#pragma once

#include "model/model.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace korvel {

class BoundedField;

class frmNMEAProperty : public QDialog {
    Q_OBJECT
public:
    // Modal; the controls show config().NmeaConfig as it is when the dialog opens.
    explicit frmNMEAProperty(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    QCheckBox* chkMode() const { return mode_; }
    QGroupBox* fraHeaders() const { return headers_; }
    QCheckBox* ckbGPGGA() const { return sentence_[0]; }
    QCheckBox* ckbGPGLL() const { return sentence_[1]; }
    QCheckBox* ckbGPRMC() const { return sentence_[2]; }
    QCheckBox* ckbGPVTG() const { return sentence_[3]; }
    QCheckBox* ckbGPGSA() const { return sentence_[4]; }
    QCheckBox* ckbGPGSV() const { return sentence_[5]; }
    QCheckBox* ckbCustom() const { return custom_; }
    QLineEdit* txtCustom() const { return customText_; }
    BoundedField* updDistance() const { return distance_; }
    QLineEdit* txtDistance() const;
    QComboBox* cboDistanceUnit() const { return unit_; }
    BoundedField* updUpdateTime() const { return updateTime_; }
    QLineEdit* txtUpdateTime() const;
    BoundedField* updTimeMark() const { return timeMark_; }
    QLineEdit* txtTimeMark() const;
    QLineEdit* txtNMEAInit() const { return init_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

private:
    void Load();
    void cmdOKClick();

    QCheckBox* mode_ = nullptr;
    QGroupBox* headers_ = nullptr;
    QCheckBox* sentence_[6] = {};
    QCheckBox* custom_ = nullptr;
    QLineEdit* customText_ = nullptr;
    BoundedField* distance_ = nullptr;
    QComboBox* unit_ = nullptr;
    BoundedField* updateTime_ = nullptr;
    BoundedField* timeMark_ = nullptr;
    QLineEdit* init_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    // The record being edited; OK stores it whole, Cancel drops it.
    NmeaSettings edit_;
};

} // namespace korvel
