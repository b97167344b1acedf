// A bounded numeric entry field: a digits-only box with up-down arrows, its limits and
// the accepted value a dialog stores. Leaving the box for another control of the same
// window checks the typed text against the limits; a refused text is reset, its message
// shown and the focus kept in the box.
#pragma once

#include <QAbstractSpinBox>
#include <QString>
#include <functional>

class QLineEdit;

namespace korvel {

// Runs check when the focus leaves widget for another control of its window, as a
// field's validation does. check shows its own message and returns false to keep the
// focus in widget. The focus changes its message box causes check nothing.
void InstallLeaveCheck(QWidget* widget, std::function<bool()> check);
// For a dialog's OK: runs the leave check of the control of window that has the focus,
// if it has one; true when there is none or it passed.
bool CheckFocusedField(QWidget* window);
// Moving the focus to widget never checks the field left (a Cancel button).
void LeaveUnchecked(QWidget* widget);

class BoundedField : public QAbstractSpinBox {
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
    };

    // upDownName names the field (the arrows), textName its box.
    BoundedField(const char* upDownName, const char* textName, const Limits& limits, QWidget* parent);

    const Limits& limits() const { return limits_; }

    // The accepted value; it changes only through the arrows, through code and through a
    // check that passes.
    long Value() const { return value_; }
    // Sets the value and writes it into the box as the arrows do. A value beyond the
    // limits (one loaded from a module or a file) is shown and kept as it is; the arrows
    // and the check bring it back within them.
    void SetValue(long value);
    // The stored form and back, through the divisor; setting rounds halves to even.
    double StoredValue() const { return double(value_) / limits_.divisor; }
    void SetStoredValue(double stored);

    // A new lower limit (a mode that needs a least value); Value is left as it is.
    void SetMinimum(long min);

    // Whether Value lies within the limits; a loaded value may not.
    bool WithinLimits() const { return value_ >= limits_.min && value_ <= limits_.max; }

    // The box alone, as code that writes a text box without its up-down; Value stays.
    void SetText(const QString& text);
    QString Text() const;
    QLineEdit* Box() const { return lineEdit(); }
    // The same tip on the arrows and the box.
    void SetToolTips(const QString& tip);

    // The check that leaving the box runs: true when the text lies within the limits
    // (Value takes it). Otherwise its message has been shown, the box reset and the
    // focus put back into it.
    bool Check();

    // An arrow click (or key) of steps; stops at the limits.
    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void valueChanged(long value);

protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private:
    void setValueAndText(long value);
    bool checkText();

    Limits limits_;
    long value_ = 0;
};

} // namespace korvel
