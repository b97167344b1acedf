#include "app/frmSplash.h"
#include "model/version.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace korvel {

namespace {

constexpr int kSplashMs = 2000;

QPointer<frmSplash> splashInstance;

} // namespace

QPixmap ProgramPicture() {
    constexpr int side = 64;
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) return icon.pixmap(side, side);
    QPixmap pix(side, side);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1f, 0x4e, 0x8c));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, side, side), 10, 10);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 26), QPointF(32, 54));
    p.drawLine(QPointF(32, 26), QPointF(22, 54));
    p.drawLine(QPointF(32, 26), QPointF(42, 54));
    p.setBrush(Qt::NoBrush);
    for (int r : {8, 14, 20}) {
        const QRectF arc(32 - r, 26 - r, 2 * r, 2 * r);
        p.drawArc(arc, 30 * 16, 120 * 16);  // angles in 1/16 degree
    }
    return pix;
}

frmSplash::frmSplash(QWidget* owner) : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(ProgramPicture());
    image->setAlignment(Qt::AlignCenter);
    layout->addWidget(image);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    name_ = new QLabel(QString::fromLatin1(kProductNameLine) + QLatin1Char('\n')
                           + QStringLiteral("Version %1.%2.%3")
                                 .arg(ProgramVersionMajor)
                                 .arg(ProgramVersionMinor)
                                 .arg(ProgramVersionRevision),
                       this);
    name_->setObjectName(QStringLiteral("lblName"));
    name_->setAlignment(Qt::AlignCenter);
    layout->addWidget(name_);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(kSplashMs);
    connect(timer_, &QTimer::timeout, this, &frmSplash::Timer1Timer);
    // Counted from the load, whatever the window system makes of the showing: the
    // splash goes after two seconds even where it is never exposed.
    timer_->start();
}

frmSplash* frmSplash::ShowSplash(QWidget* owner) {
    if (!splashInstance) splashInstance = new frmSplash(owner);
    // Centred over the window it introduces, or on the screen without one.
    splashInstance->adjustSize();
    const QRect area = owner && owner->isVisible() ? owner->frameGeometry()
                                                   : splashInstance->screen()->availableGeometry();
    QRect r = splashInstance->frameGeometry();
    r.moveCenter(area.center());
    splashInstance->move(r.topLeft());
    splashInstance->show();
    splashInstance->raise();
    return splashInstance;
}

void frmSplash::Timer1Timer() {
    timer_->stop();
    close();  // WA_DeleteOnClose releases the window, which empties splashInstance
}

} // namespace korvel
