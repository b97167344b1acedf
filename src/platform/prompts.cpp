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
QObject* (*takenHook)() = nullptr;
void (*giveBackHook)(QObject*) = nullptr;
} // namespace

PromptOwner::PromptOwner(QObject* window) : previous_(owner) { owner = window; }
PromptOwner::~PromptOwner() { owner = previous_; }
QObject* PromptOwner::Current() { return owner; }

BoxTurn::BoxTurn() : window_(takenHook ? takenHook() : nullptr) {}
BoxTurn::~BoxTurn() {
    if (window_ && giveBackHook) giveBackHook(window_);
}
void BoxTurn::Install(QObject* (*taken)(), void (*giveBack)(QObject*)) {
    takenHook = taken;
    giveBackHook = giveBack;
}

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

class ScriptedPrompts::Up {
public:
    // The turn is taken before the test's act lets the box take the activation, and given
    // back after it has taken it away again, as a real box's turn is.
    Up(ScriptedPrompts& p, ShownBox box) : p_(p) {
        p_.shown_.append(std::move(box));
        if (p_.around_) p_.around_(true);
        // File and print dialogs are answered from the queue alone.
        const ShownBox::Kind kind = p_.shown_.last().kind;
        if (p_.whileShowing_ && (kind == ShownBox::Message || kind == ShownBox::Input)) {
            const ShownBox shown = p_.shown_.last();  // the hook may show further boxes
            p_.whileShowing_(shown);
        }
    }
    ~Up() {
        if (p_.around_) p_.around_(false);
    }
    Up(const Up&) = delete;
    Up& operator=(const Up&) = delete;

private:
    const BoxTurn turn_;
    ScriptedPrompts& p_;
};

int ScriptedPrompts::MsgBox(const QString& text, int style, const QString& title) {
    RequireNoIoHandler("a message box");
    const Up up(*this, {ShownBox::Message, text, title.isEmpty() ? AppTitle() : title, ButtonsOf(style),
                        IconOf(style), PromptOwner::Current()});
    Answer a;
    if (take(a) && a.msg != 0) return a.msg;
    return defaultAnswer(ButtonsOf(style));
}

std::optional<QString> ScriptedPrompts::InputBox(const QString& prompt, const QString& title,
                                                 const QString& defaultText) {
    RequireNoIoHandler("an input box");
    const Up up(*this, {ShownBox::Input, prompt, title.isEmpty() ? AppTitle() : title, 0, 0, PromptOwner::Current()});
    Answer a;
    if (take(a)) return a.text;
    return defaultText;
}

QString ScriptedPrompts::GetOpenFileName(const QString& title, const QString&, const QString&) {
    RequireNoIoHandler("a file box");
    const Up up(*this, {ShownBox::OpenFile, QString(), title, 0, 0, PromptOwner::Current()});
    Answer a;
    return take(a) ? a.text.value_or(QString()) : QString();
}

QString ScriptedPrompts::GetSaveFileName(const QString& title, const QString&, const QString&) {
    RequireNoIoHandler("a file box");
    const Up up(*this, {ShownBox::SaveFile, QString(), title, 0, 0, PromptOwner::Current()});
    Answer a;
    return take(a) ? a.text.value_or(QString()) : QString();
}

// Unscripted, the print dialog is cancelled: nothing prints.
std::optional<PrintChoice> ScriptedPrompts::ChoosePrinter(const QString& title) {
    RequireNoIoHandler("the print dialog");
    const Up up(*this,
                {ShownBox::Print, QString(), title.isEmpty() ? AppTitle() : title, 0, 0, PromptOwner::Current()});
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

namespace {
int g_boxesUp = 0;
} // namespace

int MsgBox(const QString& text, int style, const QString& title) {
    struct Up {
        Up() { ++g_boxesUp; }
        ~Up() { --g_boxesUp; }
    } up;
    return prompts().MsgBox(text, style, title);
}

int MessageBoxesUp() { return g_boxesUp; }

} // namespace korvel
