#include "app/entryhelpers.h"
#include "platform/prompts.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace korvel {

namespace {

constexpr int kBackspace = 8;
const char* const kFilterName = "numericKeyFilter";

class NumericKeyFilter : public QObject {
public:
    explicit NumericKeyFilter(QObject* parent) : QObject(parent) {
        setObjectName(QString::fromLatin1(kFilterName));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        // Shortcuts (copy, paste, select all, mnemonics) are commands, not characters.
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        for (const QChar c : key->text()) {
            const int code = c.unicode();
            // Tab, Enter, Escape, Delete and friends keep their usual meaning; Backspace
            // is the one control character the filter itself admits.
            if (code != kBackspace && (code < 0x20 || code == 0x7F)) continue;
            if (FilterNumericKey(code) == 0) return true;
        }
        return false;
    }
};

} // namespace

int16_t FilterNumericKey(int keyCode) {
    if ((keyCode >= '0' && keyCode <= '9') || keyCode == kBackspace)
        return static_cast<int16_t>(keyCode);
    QApplication::beep();
    return 0;
}

void InstallDigitKeyFilter(QObject* target) {
    if (!target) return;
    if (target->findChild<QObject*>(QString::fromLatin1(kFilterName), Qt::FindDirectChildrenOnly)) return;
    target->installEventFilter(new NumericKeyFilter(target));
}

void InstallNumericKeyFilter(QLineEdit* edit) {
    if (!edit) return;
    InstallDigitKeyFilter(edit);
    // Key events never see pasted or dropped text; the validator keeps that out.
    static const QRegularExpression digits(QStringLiteral("[0-9]*"));
    edit->setValidator(new QRegularExpressionValidator(digits, edit));
}

void ShowEmptyFieldMessage() {
    MsgBox(QStringLiteral("Nothing was entered in the field, please enter valid data!"), vbOKOnly);
}

void LoadResStrings(QWidget* form) {
    // No numbered strings ship with the program: every lookup misses and texts stay as designed.
    static const QHash<int, QString> strings;
    if (!form) return;
    const auto found = strings.constFind(form->property("tag").toInt());
    if (found != strings.cend()) form->setWindowTitle(*found);
}

} // namespace korvel
