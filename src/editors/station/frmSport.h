// placeholder
#pragma once

#include <QDialog>

namespace korvel {

class frmSport : public QDialog {
    Q_OBJECT
public:
    explicit frmSport(QWidget* owner);
    static void Run(QWidget* owner);
};

} // namespace korvel
