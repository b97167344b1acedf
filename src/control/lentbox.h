// A message box in the middle of a job's wire work, with the job's link lent while it is
// up: events are acknowledged and polls go on meanwhile, as borrowers.
#pragma once

#include <QString>

namespace korvel {

class LinkHold;

// MsgBox with hold's link lent for as long as the box is up (see LinkLend).
int MsgBoxLent(const LinkHold& hold, const QString& text, int style, const QString& title);

} // namespace korvel
