// Small helpers every dialog uses for its entry fields.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <QStringList>
#include <Qt>
#include <cstdint>

class QByteArray;
class QCheckBox;
class QComboBox;
class QDialog;
class QDialogButtonBox;
class QGridLayout;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QObject;
class QPushButton;
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

// A decimal entry box: typed characters other than digits, "." and Backspace (and, for
// a signed entry, "-" and "+") are dropped with a beep. What the keys build, and pasted
// text, is the box's check's business. Idempotent.
void InstallDecimalKeyFilter(QObject* edit, bool signedEntry);

// Return, or the keypad's Enter, pressed alone: the one Enter a window gives a meaning.
// The keypad's key comes with the keypad modifier, which is not a modifier the user held.
bool IsPlainEnter(const QKeyEvent* event);

// "Nothing was entered in the field, please enter valid data!" with OK, in the program's title.
void ShowEmptyFieldMessage();

// A message box that window raises: it belongs to window, not to the main window, so that
// it shows over it and window has the activation back once it closes. Its answer.
int WindowMsgBox(QWidget* window, const QString& text, int style, const QString& title = QString());

// The parts every dialog builds its form from. A label with buddy moves the focus there
// by its access key and names it for assistive technology.
QLabel* BuddyLabel(const QString& text, QWidget* buddy, QWidget* parent);
// A form row: field's label (its buddy) in column 0 and field in column 1 of row.
void AddFieldRow(QGridLayout* grid, int row, const QString& label, QWidget* field, Qt::Alignment align = {});
// The same with field spanning rows and columns from column 1.
void AddFieldRow(QGridLayout* grid, int row, const QString& label, QWidget* field, int rowSpan, int columnSpan);
QPushButton* NamedButton(const QString& text, const char* name, QWidget* parent);
QCheckBox* NamedCheckBox(const QString& text, const char* name, QWidget* parent);
// A text box wide enough for widthInChars characters, each as wide as the widest a
// text may hold: a box that takes 20 characters shows 20 capital Ws whole.
QLineEdit* NamedLineEdit(const char* name, const QString& toolTip, int widthInChars, QWidget* parent);
// Makes box at least as wide as it must be to show longest whole, unscrolled, in its
// own font and style: for a box whose texts are known (digits, a fixed format).
void SizeForText(QLineEdit* box, const QString& longest);

// The name of one element of a control array: "txtADestStation" and 2 give
// "txtADestStation2".
QString Indexed(const char* name, int index);
// A digits-only box for at most digits digits, as wide as they need.
QLineEdit* NumberBox(const QString& name, int digits, const QString& tip, QWidget* parent);

// A drop-down list of items, with no selection until a dialog loads one.
QComboBox* NamedList(const char* name, const QStringList& items, const char* toolTip, QWidget* parent);
// Selects index when the list has it. Otherwise the list is left without a selection
// and the result is false, so that a dialog can report a stored value it cannot show.
bool SelectListed(QComboBox* list, int index);

// A dialog's OK and Cancel in a button row: OK is the default button; Cancel rejects the
// dialog without checking the field it leaves. The dialog connects OK itself.
struct OkCancel {
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QDialogButtonBox* row = nullptr;
};
OkCancel OkCancelButtons(QDialog* dialog);

// The module keeps single-byte texts: the box takes printable Latin-1 only, so every
// character typed is stored as the byte it shows. Characters that loaded already holds
// (a control character read from a module or a file) stay allowed, or the box could not
// be edited without first finding and deleting them.
void InstallSingleByteText(QLineEdit* edit, const QString& loaded = QString());
// Shows a stored text whole in a single-byte box that takes limit characters: a longer
// one (from a module or a file) is neither cut on loading nor on storing.
void ShowStoredText(QLineEdit* edit, const QByteArray& stored, int limit);

// Relabels form from the program's numbered string table.
void LoadResStrings(QWidget* form);

// Runs a command to the module with the whole window disabled and busy set, so that
// nothing in it can be pressed (and a window that honours busy cannot close) while the
// command waits on the line; the focus goes back where it was.
template <typename Command>
auto WhileBusy(QWidget* window, bool& busy, Command command) {
    const QPointer<QWidget> focus = window->focusWidget();
    busy = true;
    window->setEnabled(false);
    const auto result = command();
    window->setEnabled(true);
    busy = false;
    if (focus) focus->setFocus(Qt::OtherFocusReason);
    return result;
}

} // namespace korvel
