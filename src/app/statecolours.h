// The colours the monitoring and test windows paint their states in, and the painting.
#pragma once

#include <QColor>

class QWidget;

namespace korvel {

// The selected view, an active mode or switch, a keyed transmitter.
inline const QColor kActiveColour{0, 255, 0};
// A button busy with a request.
inline const QColor kBusyColour{192, 0, 0};
// A contact input or output that is on, or off.
inline const QColor kOnColour{0, 192, 0};
inline const QColor kOffColour{255, 0, 0};
// A meter that holds a reading.
inline const QColor kHoldsValueColour{255, 255, 0};

// The plain button colour of the program's palette.
QColor ButtonFace();
// A button's face or another widget's background; an unchanged colour costs nothing,
// not even a repaint.
void SetBackColour(QWidget* w, const QColor& colour);
// A button in the active colour, or back to the plain face.
void ShowActive(QWidget* button, bool active);

} // namespace korvel
