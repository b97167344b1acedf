// Acting on dialogs as a user does in window tests: keys typed into a control, and the
// texts of the message boxes shown.
#pragma once

#include "app/boundedfield.h"
#include "platform/scriptedprompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPointer>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QStyleOptionSpinBox>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace korvel::test {

// A key pressed and released on w; text is the character it types, if any.
inline void TypeKey(QWidget* w, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

inline void TypeText(QWidget* w, const QString& text) {
    for (const QChar c : text) TypeKey(w, c.toUpper().unicode(), QString(c));
}

// Text typed as the keyboard sends it: to the focused control of the active window, and
// nowhere when no window is active.
inline void TypeAtFocus(const QString& text) {
    QWidget* focus = QApplication::activeWindow() ? QApplication::focusWidget() : nullptr;
    ASSERT_NE(focus, nullptr) << "no window takes the keys";
    TypeText(focus, text);
}

// Moves into the field as Tab would, and replaces its text by typing.
inline void Enter(QWidget* field, const QString& text) {
    field->setFocus(Qt::TabFocusReason);
    if (auto* f = qobject_cast<QAbstractSpinBox*>(field)) f->selectAll();
    if (auto* e = qobject_cast<QLineEdit*>(field)) e->selectAll();
    TypeText(field, text);
}

// Waits for window, shown, to be made active as a window that opens in front of the user
// is: by the window system, not by the test. True once it is.
inline bool ActiveAsShown(QWidget* window) {
    QDeadlineTimer deadline(2000);
    while (!window->isActiveWindow() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return window->isActiveWindow();
}

// The scripted boxes behave towards the windows as real ones: while one is up a window
// of its own is the active one, so the window that raised it is not; once it closes no
// window is active, as in an X session without a window manager, until the program
// activates one.
class BoxesTakeActivation {
public:
    explicit BoxesTakeActivation(ScriptedPrompts& prompts) : prompts_(prompts) {
        box_.setObjectName(QStringLiteral("scriptedBox"));
        // Not one of the program's windows: the program ends with its last window as before.
        box_.setAttribute(Qt::WA_QuitOnClose, false);
        prompts_.AroundEach([this](bool up) {
            if (up) {
                upNow_.append(prompts_.Shown().last().text);
                if (upNow_.size() > mostAtOnce_.size()) mostAtOnce_ = upNow_;
            } else if (!upNow_.isEmpty()) {
                upNow_.removeLast();
            }
            box_.setVisible(up);
            QApplication::setActiveWindow(up ? &box_ : nullptr);
        });
    }
    ~BoxesTakeActivation() { prompts_.AroundEach({}); }
    BoxesTakeActivation(const BoxesTakeActivation&) = delete;
    BoxesTakeActivation& operator=(const BoxesTakeActivation&) = delete;

    // How many boxes are up now; the most that were up at once, with their texts (the
    // first shown first) the first time so many were. A box shown while another is up
    // is a second question on top of the first.
    int Up() const { return int(upNow_.size()); }
    int MostAtOnce() const { return int(mostAtOnce_.size()); }
    const QStringList& MostAtOnceTexts() const { return mostAtOnce_; }
    // Counts afresh from the boxes up now.
    void ForgetMostAtOnce() { mostAtOnce_ = upNow_; }

private:
    ScriptedPrompts& prompts_;
    QWidget box_;
    QStringList upNow_;
    QStringList mostAtOnce_;
};

// A button's access key pressed as the user presses it: Alt and the key, through Qt's
// shortcut map, to the window's focused control, which keeps the focus. Keys reach the
// active window only: the button's must be.
inline void PressAccessKey(QAbstractButton* button) {
    const QKeySequence key = QKeySequence::mnemonic(button->text());
    ASSERT_FALSE(key.isEmpty()) << button->objectName().toStdString() << " has no access key";
    QWidget* window = button->window();
    ASSERT_TRUE(window->isActiveWindow()) << button->objectName().toStdString() << ": its window is not active";
    QWidget* focus = window->focusWidget() ? window->focusWidget() : window;
    const QPointer<QAbstractButton> pressed(button);
    QTest::keyClick(focus, key[0].key(), key[0].keyboardModifiers());
    // Qt clicks a button shown pressed once its press animation ends.
    QDeadlineTimer deadline(5000);
    while (pressed && pressed->isDown() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The middle of an up-down's up or down arrow, where the style draws it.
inline QPoint ArrowPoint(const QAbstractSpinBox* box, bool up) {
    QStyleOptionSpinBox option;
    option.initFrom(box);
    option.frame = box->hasFrame();
    option.buttonSymbols = box->buttonSymbols();
    option.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField | QStyle::SC_SpinBoxUp |
                         QStyle::SC_SpinBoxDown;
    option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
    return box->style()
        ->subControlRect(QStyle::CC_SpinBox, &option, up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, box)
        .center();
}

// Where a slider's handle is drawn.
inline QRect HandleRect(const QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = option.sliderValue = slider->value();
    option.upsideDown = slider->orientation() == Qt::Horizontal ? slider->invertedAppearance()
                                                                 : !slider->invertedAppearance();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
}

// A point of a slider's groove away from its handle, on the side of its minimum when
// toMinimum.
inline QPoint GroovePoint(const QSlider* slider, bool toMinimum) {
    const QRect handle = HandleRect(slider);
    // The minimum is drawn top or left unless the slider is drawn the other way round.
    const bool upsideDown = slider->orientation() == Qt::Horizontal ? slider->invertedAppearance()
                                                                    : !slider->invertedAppearance();
    const bool before = !upsideDown == toMinimum;
    if (slider->orientation() == Qt::Vertical)
        return {handle.center().x(), before ? handle.top() / 2 : (handle.bottom() + slider->height()) / 2};
    return {before ? handle.left() / 2 : (handle.right() + slider->width()) / 2, handle.center().y()};
}

// The mouse button held down at at in w, as the window system delivers it, for ms
// milliseconds (long enough for any auto-repeat to run), then released.
inline void HoldMouse(QWidget* w, QPoint at, int ms = 700) {
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, at);
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, at);
}

// The mouse wheel turned by notches (positive away from the user) over at in w, delivered
// as the window system delivers it: to the control under the pointer, which may take the
// focus first.
inline void TurnWheel(QWidget* w, int notches, QPoint at = QPoint(-1, -1)) {
    if (at == QPoint(-1, -1)) at = w->rect().center();
    QWidget* under = w->childAt(at);
    QWidget* target = under ? under : w;
    const QPoint local = target->mapFrom(w, at);
    QWheelEvent wheel(local, target->mapToGlobal(local), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(target, &wheel);
}

// The control a focused widget belongs to: an up-down field's box counts as the field.
inline QString ControlName(QWidget* w) {
    for (QWidget* p = w; p; p = p->parentWidget())
        if (qobject_cast<StepperField*>(p)) return p->objectName();
    return w ? w->objectName() : QStringLiteral("<none>");
}

// A caption as it reads on screen, without its access-key marker.
inline QString Shown(const QString& text) { return QString(text).remove(QLatin1Char('&')); }

// A list's entries, in order.
inline QStringList ListItems(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
}

// The texts of every box shown so far, in order.
inline QStringList ShownTexts(const ScriptedPrompts& prompts) {
    QStringList texts;
    for (const ShownBox& b : prompts.Shown()) texts << b.text;
    return texts;
}

// The access keys ("&x") that more than one label, button or option of window uses:
// such a key reaches only the first of them.
inline QStringList SharedAccessKeys(const QWidget* window) {
    QStringList seen, shared;
    auto note = [&](const QString& text) {
        const qsizetype amp = text.indexOf(u'&');
        if (amp < 0 || amp + 1 >= text.size()) return;
        const QString key = text.mid(amp + 1, 1).toLower();
        if (seen.contains(key) && !shared.contains(key)) shared << key;
        seen << key;
    };
    for (const QLabel* l : window->findChildren<QLabel*>()) note(l->text());
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) note(b->text());
    return shared;
}

// A way of pressing a control with the mouse, named for the failure message.
using MousePress = std::pair<std::string, std::function<void()>>;

// Every way the mouse steps an up-down: each arrow held, an arrow double-clicked, the
// wheel turned either way.
inline std::vector<MousePress> UpDownPresses(QAbstractSpinBox* box) {
    return {
        {"up arrow held", [box] { HoldMouse(box, ArrowPoint(box, true)); }},
        {"down arrow held", [box] { HoldMouse(box, ArrowPoint(box, false)); }},
        {"arrow double-clicked", [box] { QTest::mouseDClick(box, Qt::LeftButton, {}, ArrowPoint(box, true)); }},
        {"wheel turned up", [box] { TurnWheel(box, 1); }},
        {"wheel turned down", [box] { TurnWheel(box, -1); }},
    };
}

// Every way the mouse moves a slider: its groove held on either side, its handle dragged.
inline std::vector<MousePress> SliderPresses(QSlider* slider) {
    return {
        {"groove held towards the minimum", [slider] { HoldMouse(slider, GroovePoint(slider, true)); }},
        {"groove held towards the maximum", [slider] { HoldMouse(slider, GroovePoint(slider, false)); }},
        {"handle dragged",
         [slider] {
             const QPoint from = HandleRect(slider).center();
             const QPoint to = GroovePoint(slider, false);
             QTest::mousePress(slider, Qt::LeftButton, {}, from);
             QTest::mouseMove(slider, (from + to) / 2);
             QTest::mouseMove(slider, to);
             QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
         }},
    };
}

// The text of a field, an up-down's or a plain box's, and the part of it selected.
inline QLineEdit* FieldBox(QWidget* field) {
    if (auto* f = qobject_cast<StepperField*>(field)) return f->Box();
    return qobject_cast<QLineEdit*>(field);
}

// Types typed into field, then makes each press: each must be met by the field's check
// alone, with message once, the focus kept in the field and its reset text selected;
// unchanged then checks that the press moved nothing.
inline void ExpectEachPressRefused(const ScriptedPrompts& prompts, QWidget* field, const QString& typed,
                                   const QString& message, const QString& reset, const std::vector<MousePress>& presses,
                                   const std::function<void()>& unchanged) {
    for (const MousePress& p : presses) {
        SCOPED_TRACE(p.first);
        const int before = int(prompts.Shown().size());
        Enter(field, typed);
        p.second();
        EXPECT_EQ(ShownTexts(prompts).mid(before), QStringList{message});
        EXPECT_EQ(ControlName(QApplication::focusWidget()), ControlName(FieldBox(field)));
        EXPECT_EQ(FieldBox(field)->text(), reset);
        EXPECT_EQ(FieldBox(field)->selectedText(), reset);
        unchanged();
    }
}

} // namespace korvel::test
