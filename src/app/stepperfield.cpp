#include "app/stepperfield.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>

namespace korvel {

StepperField::StepperField(const char* upDownName, const char* textName, QWidget* parent)
    : QAbstractSpinBox(parent) {
    setObjectName(QString::fromLatin1(upDownName));
    lineEdit()->setObjectName(QString::fromLatin1(textName));
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(true);
}

void StepperField::SetValue(long value) {
    const bool changed = value != value_;
    value_ = value;
    showValue(value);
    update();  // the arrows' enabled state follows the value
    if (changed) emit valueChanged(value);
}

void StepperField::SetLimits(long minimum, long maximum, long increment) {
    min_ = minimum;
    max_ = maximum;
    step_ = increment;
    update();
}

QString StepperField::Text() const { return lineEdit()->text(); }

void StepperField::SetText(const QString& text) { lineEdit()->setText(text); }

void StepperField::SetToolTips(const QString& tip) {
    setToolTip(tip);
    lineEdit()->setToolTip(tip);
}

void StepperField::stepBy(int steps) {
    SetValue(std::clamp(value_ + long(steps) * step_, min_, max_));
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled StepperField::stepEnabled() const {
    StepEnabled e = StepNone;
    if (isReadOnly()) return e;
    if (value_ < max_) e |= StepUpEnabled;
    if (value_ > min_) e |= StepDownEnabled;
    return e;
}

// Whatever the key filter let through may stand in the box until it is checked.
QValidator::State StepperField::validate(QString&, int&) const { return QValidator::Acceptable; }

void StepperField::fixup(QString&) const {}

QSize StepperField::sizeHint() const {
    ensurePolished();
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QFontMetrics fm(font());
    const QSize content(fm.horizontalAdvance(QStringLiteral("-0000.00")) + 4, lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

QSize StepperField::minimumSizeHint() const { return sizeHint(); }

} // namespace korvel
