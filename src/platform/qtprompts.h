// Prompts shown as real dialogs, and the one way any window of this program runs modal.
#pragma once

#include "platform/prompts.h"

class QDialog;
class QWidget;

namespace korvel {

// Runs dialog's modal loop and returns its result. A modal loop is a wait: inside a
// port's or socket's handler it is refused like any other. The boxes dialog raises
// belong to it, and the window it took the activation from has it back once it closes.
int ExecModal(QDialog& dialog);

// Makes window, when shown, the active window again and waits (briefly) for the window
// system to do so; a no-op for the active window.
void ActivateAgain(QWidget* window);

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }
    int MsgBox(const QString& text, int style, const QString& title) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    QString GetOpenFileName(const QString& title, const QString& filter, const QString& folder) override;
    QString GetSaveFileName(const QString& title, const QString& filter, const QString& suggested) override;
    std::optional<PrintChoice> ChoosePrinter(const QString& title) override;

private:
    // The window a box belongs to: the one a PromptOwner names, else the main window.
    QWidget* owner() const;
    QWidget* owner_;
};

} // namespace korvel
