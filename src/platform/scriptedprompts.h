// A Prompts implementation that answers from a queue prepared in advance and records
// every box shown, for tests and for running without a user. Each box stands for a
// modal loop and is refused inside an I/O handler as a real one is.
#pragma once

#include "platform/prompts.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <deque>
#include <functional>

namespace korvel {

struct ShownBox {
    enum Kind { Message, Input, OpenFile, SaveFile, Print } kind = Message;
    QString text;   // message or prompt
    QString title;  // as shown (application title filled in)
    int buttons = 0;
    int icon = 0;
    // The window it belonged to, when not the main window (PromptOwner).
    QPointer<QObject> owner;
};

class ScriptedPrompts : public Prompts {
public:
    // Answers are taken in order by whatever kind of box comes next.
    void QueueAnswer(int msgResult);
    void QueueInput(std::optional<QString> text);
    void QueueFile(const QString& path);
    // The print dialog's answer; nullopt is its Cancel.
    void QueuePrinter(std::optional<PrintChoice> choice);

    int MsgBox(const QString& text, int style, const QString& title) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    QString GetOpenFileName(const QString& title, const QString& filter,
                            const QString& folder) override;
    QString GetSaveFileName(const QString& title, const QString& filter,
                            const QString& suggested) override;
    std::optional<PrintChoice> ChoosePrinter(const QString& title) override;

    // Runs while each box is up, as a real box would sit in a modal loop: a test moves
    // the focus or acts on windows there. Empty to stop.
    void WhileShowing(std::function<void(const ShownBox&)> act) { whileShowing_ = std::move(act); }
    // Runs as each box comes up (true) and as it goes (false), around WhileShowing's act:
    // a window test makes the box take the activation from the windows, as a real box
    // does. Empty to stop.
    void AroundEach(std::function<void(bool up)> act) { around_ = std::move(act); }

    const QList<ShownBox>& Shown() const { return shown_; }
    // Boxes that found no queued answer and got the stopping one (No, Cancel, Abort, OK).
    int Unanswered() const { return unanswered_; }
    void Clear();

private:
    struct Answer {
        int msg = 0;
        std::optional<QString> text;
        std::optional<PrintChoice> printer;
    };
    bool take(Answer& a);
    // Records a box and runs the hooks of one that is up; the box goes with it.
    class Up;
    std::deque<Answer> answers_;
    QList<ShownBox> shown_;
    std::function<void(const ShownBox&)> whileShowing_;
    std::function<void(bool)> around_;
    int unanswered_ = 0;
};

} // namespace korvel
