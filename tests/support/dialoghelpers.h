// Acting on dialogs as a user does in window tests: keys typed into a control, and the
// texts of the message boxes shown.
#pragma once

#include "platform/scriptedprompts.h"

#include <QApplication>
#include <QKeyEvent>
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

// A caption as it reads on screen, without its access-key marker.
inline QString Shown(const QString& text) { return QString(text).remove(QLatin1Char('&')); }

// The texts of every box shown so far, in order.
inline QStringList ShownTexts(const ScriptedPrompts& prompts) {
    QStringList texts;
    for (const ShownBox& b : prompts.Shown()) texts << b.text;
    return texts;
}

} // namespace korvel::test
