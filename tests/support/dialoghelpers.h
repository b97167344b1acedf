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
#include <QTest>
#include <QStringList>
#include <QWidget>

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

// Moves into the field as Tab would, and replaces its text by typing.
inline void Enter(QWidget* field, const QString& text) {
    field->setFocus(Qt::TabFocusReason);
    if (auto* f = qobject_cast<QAbstractSpinBox*>(field)) f->selectAll();
    if (auto* e = qobject_cast<QLineEdit*>(field)) e->selectAll();
    TypeText(field, text);
}

// A button's access key pressed as the user presses it: Alt and the key, through Qt's
// shortcut map, to the window's focused control, which keeps the focus.
inline void PressAccessKey(QAbstractButton* button) {
    const QKeySequence key = QKeySequence::mnemonic(button->text());
    ASSERT_FALSE(key.isEmpty()) << button->objectName().toStdString() << " has no access key";
    QWidget* window = button->window();
    QApplication::setActiveWindow(window);
    QWidget* focus = window->focusWidget() ? window->focusWidget() : window;
    const QPointer<QAbstractButton> pressed(button);
    QTest::keyClick(focus, key[0].key(), key[0].keyboardModifiers());
    // Qt clicks a button shown pressed once its press animation ends.
    QDeadlineTimer deadline(5000);
    while (pressed && pressed->isDown() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The control a focused widget belongs to: a bounded field's box counts as the field.
inline QString ControlName(QWidget* w) {
    for (QWidget* p = w; p; p = p->parentWidget())
        if (qobject_cast<BoundedField*>(p)) return p->objectName();
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

} // namespace korvel::test
