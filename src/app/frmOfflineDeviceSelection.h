// The choice of device kind for an off-line edit.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;

namespace korvel {

class frmOfflineDeviceSelection : public QDialog {
    Q_OBJECT
public:
    explicit frmOfflineDeviceSelection(QWidget* owner);

    // Shows the dialog modal over owner and returns the kind chosen (0 when it was closed).
    static int Choose(QWidget* owner);

    // The list index chosen: 0 Korvel, 1 Pellar; 0 while nothing was chosen.
    int GetDeviceType() const { return deviceType_; }

    QLabel* Label1() const { return label_; }
    QComboBox* Combo1() const { return combo_; }

private:
    void Combo1Click(int index);

    QLabel* label_ = nullptr;
    QComboBox* combo_ = nullptr;
    int deviceType_ = 0;
};

} // namespace korvel
