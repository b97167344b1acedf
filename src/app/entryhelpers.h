// Small helpers every dialog uses for its entry fields.
#pragma once

#include <cstdint>

class QLineEdit;
class QObject;
class QWidget;

namespace korvel {

// The key code for a digit ('0'..'9') or Backspace (8); anything else beeps and gives 0,
// which a key handler uses to drop the key.
int16_t FilterNumericKey(int keyCode);

// Typed characters other than digits and Backspace are dropped (with a beep) before
// target sees them; for fields with a validator of their own, such as an up-down's text.
// Idempotent.
void InstallDigitKeyFilter(QObject* target);
// Makes edit digits-only: typed characters pass through FilterNumericKey, navigation and
// editing keys work as usual, and pasted text with non-digits is refused. Idempotent.
void InstallNumericKeyFilter(QLineEdit* edit);

// "Nothing was entered in the field, please enter valid data!" with OK, in the program's title.
void ShowEmptyFieldMessage();

// Relabels form from the program's numbered string table.
void LoadResStrings(QWidget* form);

} // namespace korvel
