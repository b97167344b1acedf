// placeholder
#pragma once

#include <QDialog>

namespace korvel {

class frmFFSK : public QDialog {
    Q_OBJECT
public:
    explicit frmFFSK(QWidget* owner);
    static void Run(QWidget* owner);
};

} // namespace korvel
