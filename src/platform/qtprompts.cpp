#include "platform/qtprompts.h"

#include "platform/eventpump.h"
#include "platform/iohandler.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

namespace korvel {

namespace {

// How long a window is waited for to be active again, and how often it is looked at:
// the window system answers at once, or not at all.
constexpr int kActivationWaitMs = 500;
constexpr int kActivationPollMs = 2;

// The window a box takes the activation from: the one it belongs to, else the one the
// user was in.
QObject* TakenWindow() {
    if (QObject* owner = PromptOwner::Current()) return owner;
    return QApplication::activeWindow();
}

void GiveBack(QObject* window) { ActivateAgain(qobject_cast<QWidget*>(window)); }

void InstallBoxTurn() { BoxTurn::Install(&TakenWindow, &GiveBack); }

} // namespace

// Every box and modal window of the program gives the activation back, with nothing to call.
Q_COREAPP_STARTUP_FUNCTION(InstallBoxTurn)

void ActivateAgain(QWidget* window) {
    if (!window || !window->isVisible() || window->isActiveWindow()) return;
    window->activateWindow();
    // The wait is for the window system's answer alone: the user's keys and clicks stay
    // queued until the window can take them.
    QEventLoop wait;
    QTimer poll;
    const QDeadlineTimer deadline(kActivationWaitMs);
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (window->isActiveWindow() || deadline.hasExpired()) wait.quit();
    });
    poll.start(kActivationPollMs);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

int ExecModal(QDialog& dialog) {
    RequireNoIoHandler("a modal window");
    // A job still unwinding once the program has begun to end (its box closed under it)
    // opens no further window: there is no one left to answer it.
    if (ProgramEnding()) return QDialog::Rejected;
    const BoxTurn turn;
    const PromptOwner owner(&dialog);
    return dialog.exec();
}

QWidget* QtPrompts::owner() const {
    auto* window = qobject_cast<QWidget*>(PromptOwner::Current());
    return window ? window : owner_;
}

int QtPrompts::MsgBox(const QString& text, int style, const QString& title) {
    QMessageBox box(owner());
    box.setWindowTitle(title.isEmpty() ? AppTitle() : title);
    box.setText(DisplayLineBreaks(text));
    switch (IconOf(style)) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    struct B { QMessageBox::StandardButton button; int result; };
    QList<B> buttons;
    switch (ButtonsOf(style)) {
    case vbOKCancel: buttons = {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}}; break;
    case vbAbortRetryIgnore:
        buttons = {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
        break;
    case vbYesNoCancel:
        buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
        break;
    case vbYesNo: buttons = {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}}; break;
    case vbRetryCancel: buttons = {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}}; break;
    default: buttons = {{QMessageBox::Ok, vbOK}}; break;
    }
    QMessageBox::StandardButtons set;
    for (const B& b : buttons) set |= b.button;
    box.setStandardButtons(set);
    box.setDefaultButton(buttons.first().button);
    const int clicked = ExecModal(box);
    for (const B& b : buttons)
        if (clicked == b.button) return b.result;
    // Closed with Escape: the cancelling answer of the set.
    switch (ButtonsOf(style)) {
    case vbYesNo: return vbNo;
    case vbOKOnly: return vbOK;
    default: return vbCancel;
    }
}

std::optional<QString> QtPrompts::InputBox(const QString& prompt, const QString& title,
                                           const QString& defaultText) {
    QInputDialog dialog(owner());
    dialog.setWindowTitle(title.isEmpty() ? AppTitle() : title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(defaultText);
    if (ExecModal(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

namespace {

// The file chosen in a file dialog, empty when it was cancelled.
QString ChosenFile(QFileDialog& dialog) {
    if (ExecModal(dialog) != QDialog::Accepted) return QString();
    return dialog.selectedFiles().value(0);
}

} // namespace

QString QtPrompts::GetOpenFileName(const QString& title, const QString& filter, const QString& folder) {
    QFileDialog dialog(owner(), title, folder, QtNameFilters(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return ChosenFile(dialog);
}

QString QtPrompts::GetSaveFileName(const QString& title, const QString& filter, const QString& suggested) {
    QFileDialog dialog(owner(), title, suggested, QtNameFilters(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    return ChosenFile(dialog);
}

std::optional<PrintChoice> QtPrompts::ChoosePrinter(const QString& title) {
    QPrinter printer;
    QPrintDialog dialog(&printer, owner());
    dialog.setWindowTitle(title.isEmpty() ? AppTitle() : title);
    // Printed once and whole: no selection, current page or range to offer.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    if (ExecModal(dialog) != QDialog::Accepted) return std::nullopt;
    const QPageLayout layout = printer.pageLayout();
    return PrintChoice{printer.printerName(), printer.outputFileName(),
                       layout.pageSize().size(QPageSize::Millimeter),
                       layout.orientation() == QPageLayout::Landscape};
}

} // namespace korvel
