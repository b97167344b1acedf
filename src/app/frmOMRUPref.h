// The preferences: whether temperatures are shown and entered in Fahrenheit.
#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace korvel {

class frmOMRUPref : public QDialog {
    Q_OBJECT
public:
    // Modal; the box shows the current DegreesF.
    explicit frmOMRUPref(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    QCheckBox* ckbDegreesF() const { return degreesF_; }
    QPushButton* cmdOK() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

private:
    void cmdOKClick();

    QCheckBox* degreesF_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace korvel
