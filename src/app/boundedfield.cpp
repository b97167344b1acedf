#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "model/tempcodes.h"
#include "platform/prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTimer>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>

namespace korvel {

namespace {

const char* const kUncheckedProperty = "leavesFieldUnchecked";
const char* const kLeaveCheckName = "leaveCheck";

// True while a check runs: the focus changes it causes (to its message box, back from
// it, away from the control the user had clicked) are not the user leaving a field, so
// no field checks itself meanwhile.
bool checking = false;

bool IsDigits(const QString& text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The focus moves between controls of the same window, as the user moves it.
bool LeavesForSibling(const QFocusEvent* event, const QWidget* field) {
    switch (event->reason()) {
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
    case Qt::NoFocusReason: return false;
    default: break;
    }
    const QWidget* next = QApplication::focusWidget();
    if (!next || next->window() != field->window()) return false;
    for (const QWidget* w = next; w; w = w->parentWidget()) {
        if (w == field) return false;  // a part of the field itself
        if (w->property(kUncheckedProperty).toBool()) return false;
    }
    return true;
}

// A button pressed with the mouse takes the focus before it sees the press. When the
// field it took the focus from refused to let it go, that press must not become a click
// (OK would store what the user has not seen yet): the press on its way is dropped.
class PressSwallower : public QObject {
public:
    explicit PressSwallower(QObject* button) : QObject(button) {
        button->installEventFilter(this);
        // The press follows at once, in the same event; nothing later is dropped.
        QTimer::singleShot(0, this, [this] { deleteLater(); });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick) return false;
        deleteLater();
        return true;
    }
};

void SwallowPress(QAbstractButton* button) { new PressSwallower(button); }

class LeaveCheck : public QObject {
public:
    LeaveCheck(QWidget* field, std::function<bool()> check) : QObject(field), field_(field), check_(std::move(check)) {
        setObjectName(QString::fromLatin1(kLeaveCheckName));
    }

    bool Run() {
        if (checking) return false;
        checking = true;
        const bool passed = check_();
        if (!passed) field_->setFocus(Qt::OtherFocusReason);
        checking = false;
        return passed;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == field_ && event->type() == QEvent::FocusOut && !checking && field_->isEnabled() &&
            LeavesForSibling(static_cast<QFocusEvent*>(event), field_)) {
            auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
            const bool byMouse = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
            if (!Run() && button && byMouse) SwallowPress(button);
        }
        return false;
    }

private:
    QWidget* field_;
    std::function<bool()> check_;
};

LeaveCheck* LeaveCheckOf(const QWidget* widget) {
    return widget ? widget->findChild<LeaveCheck*>(QString::fromLatin1(kLeaveCheckName), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

} // namespace

void InstallLeaveCheck(QWidget* widget, std::function<bool()> check) {
    if (!widget || LeaveCheckOf(widget)) return;
    widget->installEventFilter(new LeaveCheck(widget, std::move(check)));
}

bool CheckFocusedField(QWidget* window) {
    if (!window) return true;
    if (checking) return false;
    for (QWidget* w = window->focusWidget(); w && w != window; w = w->parentWidget()) {
        if (LeaveCheck* c = LeaveCheckOf(w)) return c->Run();
    }
    return true;
}

void LeaveUnchecked(QWidget* widget) {
    if (widget) widget->setProperty(kUncheckedProperty, true);
}

BoundedField::BoundedField(const char* upDownName, const char* textName, const Limits& limits, QWidget* parent)
    : StepperField(upDownName, textName, parent), maxLength_(limits.maxLength), empty_(limits.empty),
      divisor_(limits.divisor == 0 ? 1 : limits.divisor), clampQuietly_(limits.clampQuietly) {
    if (maxLength_ > 0) lineEdit()->setMaxLength(maxLength_);
    InstallDigitKeyFilter(this);
    InstallDigitKeyFilter(lineEdit());
    SetLimits(limits.min, limits.max, limits.step);
    SetValue(limits.min);
    InstallLeaveCheck(this, [this] { return checkText(); });
}

void BoundedField::SetStoredValue(double stored) { SetValue(RoundToLong(stored * divisor_)); }

void BoundedField::showValue(long value) {
    const QString text = QString::number(value);
    // A loaded value longer than the box takes is shown whole, not cut.
    if (maxLength_ > 0) lineEdit()->setMaxLength(std::max<int>(maxLength_, int(text.size())));
    lineEdit()->setText(text);
}

bool BoundedField::Check() { return LeaveCheckOf(this)->Run(); }

bool BoundedField::checkText() {
    const QString text = Text();
    if (text.isEmpty() || !IsDigits(text)) {
        // Only pasting could bring anything but digits, and the box refuses that; text a
        // caller put there counts as no entry at all.
        ShowEmptyFieldMessage();
        SetText(empty_ == EmptyReset::ToZero ? QStringLiteral("0") : QString::number(Minimum()));
        return false;
    }
    const double number = text.toDouble();
    const bool above = number > double(Maximum());
    if (clampQuietly_ && (above || number < double(Minimum()))) {
        SetValue(above ? Maximum() : Minimum());
        return true;
    }
    if (above || number < double(Minimum())) {
        QApplication::beep();
        SetText(QString::number(above ? Maximum() : Minimum()));
        MsgBox(above ? QStringLiteral("Value greater than maximum, value is reset to maximum")
                     : QStringLiteral("Value less than minimum, value is reset to minimum"),
               vbOKOnly);
        return false;
    }
    SetValue(static_cast<long>(number));
    return true;
}

QValidator::State BoundedField::validate(QString& input, int&) const {
    // Any run of digits may stand in the box while it is edited; the limits are the
    // check's business when the box is left.
    return IsDigits(input) ? QValidator::Acceptable : QValidator::Invalid;
}

QSize BoundedField::sizeHint() const {
    ensurePolished();
    const int digits = std::max<int>({int(QString::number(Maximum()).size()),
                                      int(QString::number(Minimum()).size()), maxLength_, 2});
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QFontMetrics fm(font());
    const QSize content(fm.horizontalAdvance(QString(digits + 1, u'0')) + 4, lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, content, this);
}

QSize BoundedField::minimumSizeHint() const { return sizeHint(); }

} // namespace korvel
