// A refusal by the module (a NACK, or a GET or SET it sent us) ends the transaction it
// answers. Outside a sequence the dispatcher says so at once in its box. Inside a
// sequence that box would speak while the module is still keyed or its processes
// stopped, and the put-back would wait behind it: so while a sequence holds a
// RefusalScope the refusal is only recorded, and the sequence says it once it has put
// the module back, together with what the module was left with.
#pragma once

#include <QString>

namespace korvel {

class RefusalScope {
public:
    RefusalScope();
    // A refusal nobody took is shown as the dispatcher would have shown it, now that
    // the sequence has ended; inside another scope it is handed on to that one.
    ~RefusalScope();
    RefusalScope(const RefusalScope&) = delete;
    RefusalScope& operator=(const RefusalScope&) = delete;

    // Refusals recorded since the scope opened: a command whose send failed was refused
    // when this count grew over it.
    int Count() const { return count_; }
    bool Refused() const { return count_ > 0; }
    // The text of the first refusal, for the sequence's own message; once taken the
    // scope shows nothing when it ends. Empty when nothing was refused.
    QString Take();

private:
    friend void ReportRefusal(const QString&, const QString&);
    RefusalScope* outer_;
    int count_ = 0;
    QString text_, title_;
    bool taken_ = false;
};

// Take() of the innermost open scope; empty when none is open or nothing was refused.
QString TakeRefusal();

// text for a sequence's one message: after the taken refusal's text and a line break,
// when there is one.
QString AfterRefusal(const QString& text);

// The dispatcher's word on a refusal: recorded by the innermost open scope, else shown
// at once in an information box with title.
void ReportRefusal(const QString& text, const QString& title);

} // namespace korvel
