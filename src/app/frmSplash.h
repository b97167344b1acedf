// The start-up splash window: the program's picture and name, gone after two seconds.
#pragma once

#include <QPixmap>
#include <QWidget>

class QLabel;
class QTimer;

namespace korvel {

inline constexpr const char* kProductNameLine = "Korvel/Pellar Configuration Programming Utility.";

// The program's picture for the splash and the About box: the application's icon when
// it has one, otherwise a small drawn mast with radio waves.
QPixmap ProgramPicture();

class frmSplash : public QWidget {
    Q_OBJECT
public:
    // Frameless, modeless, deletes itself when it closes, two seconds after it loads.
    explicit frmSplash(QWidget* owner);

    // Shows the single splash window, creating it if none is up.
    static frmSplash* ShowSplash(QWidget* owner);

    QTimer* Timer1() const { return timer_; }
    QLabel* lblName() const { return name_; }

private:
    void Timer1Timer();

    QTimer* timer_ = nullptr;
    QLabel* name_ = nullptr;
};

} // namespace korvel
