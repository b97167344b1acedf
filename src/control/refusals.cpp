#include "control/refusals.h"

#include "platform/prompts.h"

namespace korvel {

namespace {
RefusalScope* g_innermost = nullptr;
}

RefusalScope::RefusalScope() : outer_(g_innermost) { g_innermost = this; }

RefusalScope::~RefusalScope() {
    g_innermost = outer_;
    if (!Refused() || taken_) return;
    ReportRefusal(text_, title_);
}

QString RefusalScope::Take() {
    if (!Refused()) return QString();
    taken_ = true;
    return text_;
}

QString TakeRefusal() { return g_innermost ? g_innermost->Take() : QString(); }

QString AfterRefusal(const QString& text) {
    const QString refusal = TakeRefusal();
    return refusal.isEmpty() ? text : refusal + kLineBreak + text;
}

void ReportRefusal(const QString& text, const QString& title) {
    RefusalScope* scope = g_innermost;
    if (!scope) {
        MsgBox(text, vbOKOnly + vbInformation, title);
        return;
    }
    // The first refusal is the one that ended the sequence; later ones (a put-back
    // refused too) only count.
    if (scope->count_++ == 0) {
        scope->text_ = text;
        scope->title_ = title;
    }
}

} // namespace korvel
