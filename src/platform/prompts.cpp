#include "platform/prompts.h"
#include "platform/scriptedprompts.h"
#include "platform/iohandler.h"

#include <QCoreApplication>

namespace korvel {

namespace {
ScriptedPrompts& fallback() {
    static ScriptedPrompts p;
    return p;
}
Prompts* installed = nullptr;
QObject* owner = nullptr;
} // namespace

PromptOwner::PromptOwner(QObject* window) : previous_(owner) { owner = window; }
PromptOwner::~PromptOwner() { owner = previous_; }
QObject* PromptOwner::Current() { return owner; }

Prompts& prompts() { return installed ? *installed : fallback(); }

void SetPrompts(Prompts* p) { installed = p; }

QString AppTitle() {
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Korvel Configuration Utility") : name;
}

// An unscripted box gets the answer that stops whatever asked: a test that forgot to
// script a question ends instead of retrying for ever.
static int defaultAnswer(int buttons) {
    switch (buttons) {
    case vbOKOnly: return vbOK;
    case vbAbortRetryIgnore: return vbAbort;
    case vbYesNo: return vbNo;
    default: return vbCancel;
    }
}

void ScriptedPrompts::QueueAnswer(int msgResult) { answers_.push_back({msgResult, {}, {}}); }
void ScriptedPrompts::QueueInput(std::optional<QString> text) { answers_.push_back({0, std::move(text), {}}); }
void ScriptedPrompts::QueueFile(const QString& path) { answers_.push_back({0, path, {}}); }
void ScriptedPrompts::QueuePrinter(std::optional<PrintChoice> choice) {
    answers_.push_back({0, {}, std::move(choice)});
}

void ScriptedPrompts::Clear() {
    answers_.clear();
    shown_.clear();
    unanswered_ = 0;
}

bool ScriptedPrompts::take(Answer& a) {
    if (answers_.empty()) {
        ++unanswered_;
        return false;
    }
    a = answers_.front();
    answers_.pop_front();
    return true;
}

int ScriptedPrompts::MsgBox(const QString& text, int style, const QString& title) {
    RequireNoIoHandler("a message box");
    shown_.append({ShownBox::Message, text, title.isEmpty() ? AppTitle() : title, ButtonsOf(style),
                   IconOf(style), PromptOwner::Current()});
    if (whileShowing_) {
        const ShownBox box = shown_.last();  // the hook may show further boxes
        whileShowing_(box);
    }
    Answer a;
    if (take(a) && a.msg != 0) return a.msg;
    return defaultAnswer(ButtonsOf(style));
}

std::optional<QString> ScriptedPrompts::InputBox(const QString& prompt, const QString& title,
                                                 const QString& defaultText) {
    RequireNoIoHandler("an input box");
    shown_.append({ShownBox::Input, prompt, title.isEmpty() ? AppTitle() : title, 0, 0, PromptOwner::Current()});
    if (whileShowing_) {
        const ShownBox box = shown_.last();  // the hook may show further boxes
        whileShowing_(box);
    }
    Answer a;
    if (take(a)) return a.text;
    return defaultText;
}

QString ScriptedPrompts::GetOpenFileName(const QString& title, const QString&, const QString&) {
    RequireNoIoHandler("a file box");
    shown_.append({ShownBox::OpenFile, QString(), title, 0, 0, PromptOwner::Current()});
    Answer a;
    return take(a) ? a.text.value_or(QString()) : QString();
}

QString ScriptedPrompts::GetSaveFileName(const QString& title, const QString&, const QString&) {
    RequireNoIoHandler("a file box");
    shown_.append({ShownBox::SaveFile, QString(), title, 0, 0, PromptOwner::Current()});
    Answer a;
    return take(a) ? a.text.value_or(QString()) : QString();
}

// Unscripted, the print dialog is cancelled: nothing prints.
std::optional<PrintChoice> ScriptedPrompts::ChoosePrinter(const QString& title) {
    RequireNoIoHandler("the print dialog");
    shown_.append({ShownBox::Print, QString(), title.isEmpty() ? AppTitle() : title, 0, 0, PromptOwner::Current()});
    Answer a;
    return take(a) ? a.printer : std::nullopt;
}

QString DisplayLineBreaks(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

QString QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // The dialog filters by the patterns in the entry's last parentheses, so those
        // are the filter's own patterns, whatever the description showed there.
        QString description = parts[i];
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            description.truncate(description.lastIndexOf(QLatin1Char('(')));
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries.append(description.trimmed() + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')'));
    }
    if (parts.size() % 2 == 1 && !parts.back().isEmpty()) entries.append(parts.back());
    return entries.join(QStringLiteral(";;"));
}

} // namespace korvel
