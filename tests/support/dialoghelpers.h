// Acting on dialogs as a user does in window tests: keys typed into a control, and the
// texts of the message boxes shown.
#pragma once

#include "app/boundedfield.h"
#include "platform/scriptedprompts.h"

#include <QApplication>
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
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
