#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "model/tempcodes.h"
#include "platform/prompts.h"
#include "platform/qtprompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcutEvent>
#include <QTabBar>
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

// widget, or the part of a window it belongs to, takes the focus without checking the
// field it leaves (a Cancel button).
bool LeavesUnchecked(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget())
        if (w->property(kUncheckedProperty).toBool()) return true;
    return false;
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
    for (const QWidget* w = next; w; w = w->parentWidget())
        if (w == field) return false;  // a part of the field itself
    return !LeavesUnchecked(next);
}

// A press of the mouse or a turn of its wheel gives the control under it the focus
// before the control sees the press. When the field the focus came from refuses to let
// it go, that press must do nothing: a button's would become a click (OK would store what
// the user has not seen yet), an up-down arrow's or a slider groove's would start an
// auto-repeat whose release went to the message box, so that it would never stop. The
// press on its way to any control of the field's window is dropped.
class PressSwallower : public QObject {
public:
    explicit PressSwallower(QWidget* window) : window_(window) {
        qApp->installEventFilter(this);
        // The press follows at once, in the same event; nothing later is dropped.
        QTimer::singleShot(0, this, [this] { drop(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel: break;
        default: return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != window_) return false;
        drop();
        return true;
    }

private:
    void drop() {
        qApp->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> window_;
};

void SwallowPress(QWidget* window) { new PressSwallower(window); }

class LeaveCheck : public QObject {
public:
    LeaveCheck(QWidget* field, std::function<bool()> check) : QObject(field), field_(field), check_(std::move(check)) {
        setObjectName(QString::fromLatin1(kLeaveCheckName));
    }

    bool Run() {
        if (checking) return false;
        checking = true;
        bool passed = false;
        {
            // The message belongs to the field's window: closing it gives that window,
            // not the main one, the focus back (a modeless window would otherwise lose it).
            const PromptOwner owner(field_->window());
            passed = check_();
        }
        if (!passed) ReturnToField(field_);
        checking = false;
        return passed;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == field_ && event->type() == QEvent::FocusOut && !checking && field_->isEnabled() &&
            LeavesForSibling(static_cast<QFocusEvent*>(event), field_)) {
            const bool byMouse = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
            if (!Run()) {
                if (byMouse) SwallowPress(field_->window());
                // The field has the focus back, or gets it as its window is activated
                // again: from its own point of view it never lost it, so it must not act
                // on losing it (a text box would drop the selection of its reset text).
                return true;
            }
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

// A command given from the keyboard while a field keeps the focus: an access key clicks
// its button (or turns a page) without moving the focus, and Enter in a field presses
// the dialog's default button. The field is never left, so its check would never run and
// the command would use the value accepted before, not the one on screen. This filter,
// on the application, gives every window the same rule: the focused field is checked
// first, and a refused check drops the command.
class CommandKeyGuard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Shortcut: return guardAccessKey(watched, static_cast<QShortcutEvent*>(event));
        case QEvent::KeyPress: return guardEnter(watched, static_cast<QKeyEvent*>(event));
        default: return false;
        }
    }

private:
    static bool guardAccessKey(QObject* watched, const QShortcutEvent* event) {
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (!widget || (!button && !qobject_cast<QTabBar*>(watched))) return false;
        // A key that several controls share only moves the focus; leaving the field
        // checks it then.
        if (event->isAmbiguous()) return false;
        if (!LeavesUnchecked(widget) && !CheckFocusedField(widget->window())) return true;
        if (!button) return false;
        // Clicked now, not after Qt's press animation: a key typed into the field in
        // that moment would be shown but not used.
        button->click();
        return true;
    }

    static bool guardEnter(QObject* watched, const QKeyEvent* event) {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (!dialog || !IsPlainEnter(event)) return false;
        // The button Enter presses, found as the dialog finds it.
        for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
            if (!b->isDefault() || !b->isVisible()) continue;
            if (!b->isEnabled() || LeavesUnchecked(b)) return false;
            return !CheckFocusedField(dialog);
        }
        return false;
    }
};

void InstallCommandKeyGuard() { qApp->installEventFilter(new CommandKeyGuard(qApp)); }

} // namespace

// Every window of the program gets the guard, with nothing to call.
Q_COREAPP_STARTUP_FUNCTION(InstallCommandKeyGuard)

void InstallLeaveCheck(QWidget* widget, std::function<bool()> check) {
    if (!widget || LeaveCheckOf(widget)) return;
    widget->installEventFilter(new LeaveCheck(widget, std::move(check)));
}

bool CheckFocusedField(QWidget* window) {
    if (!window) return true;
    if (checking) return false;
    QWidget* focus = window->focusWidget();
    for (QWidget* w = focus; w && w != window; w = w->parentWidget()) {
        if (LeaveCheck* c = LeaveCheckOf(w)) return c->Run();
    }
    // A plain up-down (a clock's hours, a monitor's group) has no check of its own: its
    // text becomes its value, corrected into its range and shown, as leaving it would.
    for (QWidget* w = focus; w && w != window; w = w->parentWidget()) {
        auto* upDown = qobject_cast<QAbstractSpinBox*>(w);
        if (!upDown) continue;
        if (!qobject_cast<StepperField*>(upDown)) upDown->interpretText();
        break;
    }
    return true;
}

void LeaveUnchecked(QWidget* widget) {
    if (widget) widget->setProperty(kUncheckedProperty, true);
}

void ReturnToField(QWidget* field) {
    if (!field) return;
    // Set first: should the window still wait to be active again, it gives the focus
    // there as it is activated.
    field->setFocus(Qt::OtherFocusReason);
    // Clicks and keys in a window that is not active reach its controls without the
    // field being left, so that its check would not run again.
    ActivateAgain(field->window());
    // The reset text selected: what the user types next replaces it.
    if (auto* upDown = qobject_cast<QAbstractSpinBox*>(field)) upDown->selectAll();
    if (auto* box = qobject_cast<QLineEdit*>(field)) box->selectAll();
}

BoundedField::BoundedField(const char* upDownName, const char* textName, const Limits& limits, QWidget* parent)
    : StepperField(upDownName, textName, parent), maxLength_(limits.maxLength), empty_(limits.empty),
      divisor_(limits.divisor == 0 ? 1 : limits.divisor), clampQuietly_(limits.clampQuietly),
      resetIsValue_(limits.resetIsValue) {
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
        const long reset = above ? Maximum() : Minimum();
        QApplication::beep();
        SetText(QString::number(reset));
        MsgBox(above ? QStringLiteral("Value greater than maximum, value is reset to maximum")
                     : QStringLiteral("Value less than minimum, value is reset to minimum"),
               vbOKOnly);
        if (resetIsValue_) SetValue(reset);
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
