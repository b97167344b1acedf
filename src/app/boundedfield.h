// A bounded numeric entry field: a digits-only box with up-down arrows that shows its
// value itself, its limits and the accepted value a dialog stores. Leaving the box for
// another control of the same window checks the typed text against the limits; a
// refused text is reset, its message shown and the focus kept in the box.
#pragma once

#include "app/stepperfield.h"

#include <QString>
#include <functional>

namespace korvel {

// Runs check when the focus leaves widget for another control of its window, as a
// field's validation does. check shows its own message and returns false to keep the
// focus in widget. The focus changes its message box causes check nothing.
void InstallLeaveCheck(QWidget* widget, std::function<bool()> check);
// For a command: runs the leave check of the control of window that has the focus, if
// it has one (a plain up-down takes its typed text as its value); true when there is
// none or it passed. Every window runs it by itself before a button's access key or
// Enter presses a button; a handler calls it only for a press that comes from code.
bool CheckFocusedField(QWidget* window);
// Moving the focus to widget, or pressing it by its access key or Enter, never checks
// the field left (a Cancel or Exit button).
void LeaveUnchecked(QWidget* widget);
// After a box about field (a refusal): field's window is active again, the focus is in
// field and its text selected, so that what the user types next replaces it.
void ReturnToField(QWidget* field);

class BoundedField : public StepperField {
    Q_OBJECT
public:
    // What an empty box is reset to before the focus returns to it.
    enum class EmptyReset { ToMinimum, ToZero };

    struct Limits {
        long min = 0;
        long max = 0;
        long step = 1;
        int maxLength = 0;  // characters the box takes at most; 0: no limit
        EmptyReset empty = EmptyReset::ToMinimum;
        // The stored form of a value: value / divisor (a time typed in ms kept in
        // tenths of a second has divisor 100). Fractions are kept.
        double divisor = 1;
        // A typed number beyond the limits is taken as the nearer limit without a
        // message, and the focus moves on.
        bool clampQuietly = false;
        // A number beyond the limits, reset to the nearer limit with its message, is
        // the value at once, so that the arrows step from what the box shows (the
        // channel editors' rule). Otherwise the reset text becomes the value only when
        // the box is left again and passes.
        bool resetIsValue = false;
    };

    // upDownName names the field (the arrows), textName its box.
    BoundedField(const char* upDownName, const char* textName, const Limits& limits, QWidget* parent);

    // Value is the accepted value; it changes only through the arrows, through code and
    // through a check that passes (or resets, with resetIsValue). SetValue writes it into
    // the box as the arrows do; a value beyond the limits (one loaded from a module or a
    // file) is shown and kept as it is, and the arrows and the check bring it back
    // within them.

    // The stored form and back, through the divisor; setting rounds halves to even.
    double StoredValue() const { return double(Value()) / divisor_; }
    void SetStoredValue(double stored);

    // A new lower limit (a mode that needs a least value); Value is left as it is.
    void SetMinimum(long min) { SetLimits(min, Maximum(), Increment()); }

    // The check that leaving the box runs: true when the text lies within the limits
    // (Value takes it). Otherwise its message has been shown, the box reset and the
    // focus put back into it.
    bool Check();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void showValue(long value) override;
    QValidator::State validate(QString& input, int& pos) const override;

private:
    bool checkText();

    int maxLength_ = 0;
    EmptyReset empty_ = EmptyReset::ToMinimum;
    double divisor_ = 1;
    bool clampQuietly_ = false;
    bool resetIsValue_ = false;
};

// The limits of a channel editor's field: an empty box is reset to 0, and a number beyond
// the limits is reset to the nearer one and taken as the value at once.
inline BoundedField::Limits ChannelFieldLimits(long min, long max, long step, int maxLength) {
    return {.min = min, .max = max, .step = step, .maxLength = maxLength,
            .empty = BoundedField::EmptyReset::ToZero, .resetIsValue = true};
}

} // namespace korvel
