// The one door through which the program asks the user something: message boxes,
// input boxes, file dialogs and the print dialog. The application installs a
// widget-based implementation; tests install ScriptedPrompts so that nothing ever blocks
// on a modal box.
#pragma once

#include <QPointer>
#include <QSizeF>
#include <QString>
#include <optional>

class QObject;

namespace korvel {

// Button sets, icons and answers carry the classic message-box numbers, so a style is
// "buttons + icon" exactly as the texts of this program describe it.
constexpr int vbOKOnly = 0;
constexpr int vbOKCancel = 1;
constexpr int vbAbortRetryIgnore = 2;
constexpr int vbYesNoCancel = 3;
constexpr int vbYesNo = 4;
constexpr int vbRetryCancel = 5;

constexpr int vbNoIcon = 0;
constexpr int vbCritical = 16;
constexpr int vbQuestion = 32;
constexpr int vbExclamation = 48;
constexpr int vbInformation = 64;

constexpr int vbOK = 1;
constexpr int vbCancel = 2;
constexpr int vbAbort = 3;
constexpr int vbRetry = 4;
constexpr int vbIgnore = 5;
constexpr int vbYes = 6;
constexpr int vbNo = 7;

inline int ButtonsOf(int style) { return style & 0x0F; }
inline int IconOf(int style) { return style & 0x70; }

// The printer chosen in the print dialog: a printer by name, or a PDF file when
// outputFile is not empty. The paper is the one chosen there, portrait width by height
// in millimetres (empty: the printer's own); copies and page ranges are not carried, as
// nothing prints more than once or in part.
struct PrintChoice {
    QString printerName;
    QString outputFile;
    QSizeF paperMillimetres;
    bool landscape = false;
};

// Every box is a modal loop, so each implementation refuses to show one inside a port's
// or socket's handler (RequireNoIoHandler), whoever asks for it.
class Prompts {
public:
    virtual ~Prompts() = default;
    // style = buttons + icon; an empty title means the application's title.
    virtual int MsgBox(const QString& text, int style, const QString& title) = 0;
    // nullopt when the user cancelled.
    virtual std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
    // Empty string when the user cancelled.
    virtual QString GetOpenFileName(const QString& title, const QString& filter,
                                    const QString& folder) = 0;
    virtual QString GetSaveFileName(const QString& title, const QString& filter,
                                    const QString& suggested) = 0;
    // nullopt when the user cancelled.
    virtual std::optional<PrintChoice> ChoosePrinter(const QString& title) = 0;
};

// While one lives, the boxes shown belong to window (a widget's window, passed as an
// object so the core needs no widgets), not to the main window: closing one gives that
// window the focus back. Nested ones restore the one before.
class PromptOwner {
public:
    explicit PromptOwner(QObject* window);
    ~PromptOwner();
    PromptOwner(const PromptOwner&) = delete;
    PromptOwner& operator=(const PromptOwner&) = delete;
    // The window of the innermost one living; null when none is.
    static QObject* Current();

private:
    QObject* previous_;
};

// A box, or any modal window, takes the activation from the window the user was in. A
// window manager gives it back as the box goes; a bare X session or a kiosk does not,
// and that window's keys would go nowhere and its clicks past its fields' checks. Every
// Prompts implementation keeps one of these living while its box is up. The windows are
// the program's business, not the core's: without the program's hooks nothing happens.
class BoxTurn {
public:
    BoxTurn();
    ~BoxTurn();
    BoxTurn(const BoxTurn&) = delete;
    BoxTurn& operator=(const BoxTurn&) = delete;
    // taken names the window a box coming up takes the activation from (null: none);
    // giveBack makes it active again once the box is gone.
    static void Install(QObject* (*taken)(), void (*giveBack)(QObject* window));

private:
    QPointer<QObject> window_;
};

// The installed implementation; never null (a scripted one answering defaults is
// installed until the application or a test installs its own).
Prompts& prompts();
// Installs p (not owned); nullptr restores the built-in default.
void SetPrompts(Prompts* p);

// A filter in the program's "description|pattern|description|pattern" form, as Qt's
// file dialogs take it: "description (patterns)" entries joined by ";;". Patterns a
// description shows in parentheses give way to the filter's own, which the dialog
// matches (without regard to case, as the program's file names need).
QString QtNameFilters(const QString& filter);

// The line break of the program's messages: a line feed, then a carriage return.
inline const QString kLineBreak = QStringLiteral("\n\r");

// A message's line ends as a box shows them: the pairs CR LF and LF CR that the
// program's texts use are one line break each, as is a lone CR or LF.
QString DisplayLineBreaks(const QString& text);

// The application's title, used where a box has no title of its own.
QString AppTitle();

// Shorthand used throughout the program; it counts the boxes on screen.
int MsgBox(const QString& text, int style = vbOKOnly, const QString& title = QString());
// Message boxes up now, nested one in another's loop: a duty of the program's own asks
// nothing while one is.
int MessageBoxesUp();

} // namespace korvel
