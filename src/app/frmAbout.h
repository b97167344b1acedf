// The About box: the program's picture, name, title and version.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace korvel {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);

    QLabel* lblTitle() const { return title_; }
    QLabel* lblName() const { return name_; }
    QLabel* lblVersion() const { return version_; }
    QPushButton* cmdOK() const { return ok_; }

private:
    QLabel* title_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* version_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace korvel
