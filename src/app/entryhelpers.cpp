#include "app/entryhelpers.h"
#include "app/boundedfield.h"
#include "model/analogcodes.h"
#include "platform/prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace korvel {

namespace {

constexpr int kBackspace = 8;
const char* const kFilterName = "numericKeyFilter";

// Passes each typed character through keep, which gives 0 for a character to drop (and
// has beeped for it).
class KeyFilter : public QObject {
public:
    KeyFilter(QObject* parent, int (*keep)(int)) : QObject(parent), keep_(keep) {
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
            if (keep_(code) == 0) return true;
        }
        return false;
    }

private:
    int (*keep_)(int);
};

int FilterDigit(int code) { return FilterNumericKey(code); }

int BeepUnless(int kept) {
    if (kept == 0) QApplication::beep();
    return kept;
}
int FilterVoltage(int code) { return BeepUnless(ParseVoltageEntry(code)); }
int FilterSignedDecimal(int code) { return BeepUnless(ParseSignedDecimalEntry(code)); }

void InstallKeyFilter(QObject* target, int (*keep)(int)) {
    if (!target) return;
    if (target->findChild<QObject*>(QString::fromLatin1(kFilterName), Qt::FindDirectChildrenOnly)) return;
    target->installEventFilter(new KeyFilter(target, keep));
}

class SingleByteTextValidator : public QValidator {
public:
    SingleByteTextValidator(const QString& loaded, QObject* parent) : QValidator(parent) {
        for (const QChar c : loaded)
            if (!Printable(c) && c.unicode() <= 0xFF && !kept_.contains(c)) kept_ += c;
    }

    State validate(QString& input, int&) const override {
        const bool ok = std::all_of(input.cbegin(), input.cend(),
                                    [this](QChar c) { return Printable(c) || kept_.contains(c); });
        return ok ? Acceptable : Invalid;
    }

private:
    static bool Printable(QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x20 && u <= 0x7E) || (u >= 0xA0 && u <= 0xFF);
    }
    QString kept_;
};

} // namespace

int16_t FilterNumericKey(int keyCode) {
    if ((keyCode >= '0' && keyCode <= '9') || keyCode == kBackspace)
        return static_cast<int16_t>(keyCode);
    QApplication::beep();
    return 0;
}

void InstallDigitKeyFilter(QObject* target) { InstallKeyFilter(target, &FilterDigit); }

void InstallDecimalKeyFilter(QObject* edit, bool signedEntry) {
    InstallKeyFilter(edit, signedEntry ? &FilterSignedDecimal : &FilterVoltage);
}

void InstallNumericKeyFilter(QLineEdit* edit) {
    if (!edit) return;
    InstallDigitKeyFilter(edit);
    // Key events never see pasted or dropped text; the validator keeps that out.
    static const QRegularExpression digits(QStringLiteral("[0-9]*"));
    edit->setValidator(new QRegularExpressionValidator(digits, edit));
}

bool IsPlainEnter(const QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) return false;
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

void ShowEmptyFieldMessage() {
    MsgBox(QStringLiteral("Nothing was entered in the field, please enter valid data!"), vbOKOnly);
}

int WindowMsgBox(QWidget* window, const QString& text, int style, const QString& title) {
    const PromptOwner owner(window);
    return MsgBox(text, style, title);
}

QLabel* BuddyLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

void AddFieldRow(QGridLayout* grid, int row, const QString& label, QWidget* field, Qt::Alignment align) {
    grid->addWidget(BuddyLabel(label, field, grid->parentWidget()), row, 0);
    grid->addWidget(field, row, 1, align);
}

void AddFieldRow(QGridLayout* grid, int row, const QString& label, QWidget* field, int rowSpan, int columnSpan) {
    grid->addWidget(BuddyLabel(label, field, grid->parentWidget()), row, 0);
    grid->addWidget(field, row, 1, rowSpan, columnSpan);
}

QPushButton* NamedButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QCheckBox* NamedCheckBox(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QCheckBox(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

void SizeForText(QLineEdit* box, const QString& longest) {
    box->ensurePolished();
    // As QLineEdit sizes itself: the text, its margins inside the frame, then the frame
    // as the style draws it.
    constexpr int kInnerMargin = 2;  // QLineEdit's own margin each side of the text
    const QMargins margins = box->textMargins();
    const QFontMetrics fm = box->fontMetrics();
    const int width = fm.horizontalAdvance(longest) + 2 * kInnerMargin + margins.left() + margins.right() + 1;
    QStyleOptionFrame option;
    option.initFrom(box);
    option.rect = box->contentsRect();
    option.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QSize size =
        box->style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, fm.height()), box);
    box->setMinimumWidth(size.width());
}

QLineEdit* NamedLineEdit(const char* name, const QString& toolTip, int widthInChars, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setToolTip(toolTip);
    // The widest characters a single-byte text takes in the usual fonts, measured as a
    // run: a fraction of a pixel per character adds up.
    const QFontMetrics fm = e->fontMetrics();
    QString widest;
    for (QChar c : {QChar(u'W'), QChar(u'M'), QChar(u'@'), QChar(u'\u00C6')}) {
        const QString run(widthInChars, c);
        if (fm.horizontalAdvance(run) > fm.horizontalAdvance(widest)) widest = run;
    }
    SizeForText(e, widest);
    return e;
}

QString Indexed(const char* name, int index) { return QString::fromLatin1(name) + QString::number(index); }

QLineEdit* NumberBox(const QString& name, int digits, const QString& tip, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setToolTip(tip);
    box->setMaxLength(digits);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QString(digits + 2, u'0')) + 12);
    InstallNumericKeyFilter(box);
    return box;
}

QComboBox* NamedList(const char* name, const QStringList& items, const char* toolTip, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->addItems(items);
    list->setCurrentIndex(-1);
    if (toolTip) list->setToolTip(QString::fromLatin1(toolTip));
    return list;
}

bool SelectListed(QComboBox* list, int index) {
    const bool listed = index >= 0 && index < list->count();
    list->setCurrentIndex(listed ? index : -1);
    return listed;
}

OkCancel OkCancelButtons(QDialog* dialog) {
    OkCancel b;
    b.ok = NamedButton(QStringLiteral("OK"), "cmdOK", dialog);
    b.ok->setDefault(true);
    b.cancel = NamedButton(QStringLiteral("Cancel"), "cmdCancel", dialog);
    // Cancel stores nothing, so leaving a field for it checks nothing.
    LeaveUnchecked(b.cancel);
    b.row = new QDialogButtonBox(dialog);
    b.row->addButton(b.ok, QDialogButtonBox::AcceptRole);
    b.row->addButton(b.cancel, QDialogButtonBox::RejectRole);
    QObject::connect(b.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return b;
}

void InstallSingleByteText(QLineEdit* edit, const QString& loaded) {
    if (!edit) return;
    delete edit->validator();
    edit->setValidator(new SingleByteTextValidator(loaded, edit));
}

void ShowStoredText(QLineEdit* edit, const QByteArray& stored, int limit) {
    const QString text = QString::fromLatin1(stored);
    InstallSingleByteText(edit, text);
    edit->setMaxLength(std::max<int>(limit, int(text.size())));
    edit->setText(text);
}

void LoadResStrings(QWidget* form) {
    // No numbered strings ship with the program: every lookup misses and texts stay as designed.
    static const QHash<int, QString> strings;
    if (!form) return;
    const auto found = strings.constFind(form->property("tag").toInt());
    if (found != strings.cend()) form->setWindowTitle(*found);
}

} // namespace korvel
