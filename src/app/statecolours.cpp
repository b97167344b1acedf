#include "app/statecolours.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace korvel {

QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }

void SetBackColour(QWidget* w, const QColor& colour) {
    const QPalette::ColorRole role = qobject_cast<QAbstractButton*>(w) ? QPalette::Button : QPalette::Window;
    if (w->palette().color(role) == colour) return;
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
}

void ShowActive(QWidget* button, bool active) { SetBackColour(button, active ? kActiveColour : ButtonFace()); }

} // namespace korvel
