// A decimal entry box with up-down arrows whose text its dialog writes: the arrows move
// a whole-number value between limits, and the dialog shows that value in its own
// units (a set point in volts, an offset in amperes). What is typed is the dialog's to
// check when the box is left; the value changes only through the arrows and code.
#pragma once

#include <QAbstractSpinBox>
#include <QString>

class QLineEdit;

namespace korvel {

class StepperField : public QAbstractSpinBox {
    Q_OBJECT
public:
    // upDownName names the field (the arrows), textName its box.
    StepperField(const char* upDownName, const char* textName, QWidget* parent);

    long Value() const { return value_; }
    // A value beyond the limits (one loaded from a module) is kept as it is; the arrows
    // bring it back within them. valueChanged follows a change.
    void SetValue(long value);
    // New limits and step; the value stays as it is.
    void SetLimits(long minimum, long maximum, long increment);
    long Minimum() const { return min_; }
    long Maximum() const { return max_; }
    long Increment() const { return step_; }
    bool WithinLimits() const { return value_ >= min_ && value_ <= max_; }

    QString Text() const;
    void SetText(const QString& text);
    QLineEdit* Box() const { return lineEdit(); }
    void SetToolTips(const QString& tip);

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void valueChanged(long value);

protected:
    // Called with each value set, before valueChanged: a field that shows its value
    // itself writes it into the box here.
    virtual void showValue(long) {}
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private:
    long value_ = 0;
    long min_ = 0;
    long max_ = 0;
    long step_ = 1;
};

} // namespace korvel
