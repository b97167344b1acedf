#include "editors/station/frmModemProperty.h"
#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>

namespace korvel {

namespace {

QPointer<frmModemProperty> instance;

constexpr int16_t kBackspace = 8;

// Runs each typed character of the phone number through ParsePhoneNumberEntry.
class PhoneKeyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        // Shortcuts (copy, paste, select all, access keys) are commands, not characters.
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        for (const QChar c : key->text()) {
            const char16_t code = c.unicode();
            // Tab, Enter, Escape and Delete keep their usual meaning.
            if (code != kBackspace && (code < 0x20 || code == 0x7F)) continue;
            if (frmModemProperty::ParsePhoneNumberEntry(static_cast<int16_t>(code)) == 0) return true;
        }
        return false;
    }
};

constexpr int kPhoneLength = 16;

QLineEdit* makeText(const char* name, const QString& text, int maxLength, int widthInChars, const QString& toolTip,
                    QWidget* parent) {
    auto* e = NamedLineEdit(name, toolTip, widthInChars, parent);
    if (maxLength > 0) e->setMaxLength(maxLength);
    e->setText(text);
    return e;
}

// The box and its arrows start from values of their own: the box shows text until it is
// left or stepped, and the arrows step from arrows.
BoundedField* makeField(const char* name, const char* textName, const BoundedField::Limits& limits, long arrows,
                        const QString& text, const QString& toolTip, QWidget* parent) {
    auto* f = new BoundedField(name, textName, limits, parent);
    f->SetValue(arrows);
    f->SetText(text);
    f->SetToolTips(toolTip);
    return f;
}

} // namespace

frmModemProperty::frmModemProperty(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmModemProperty"));
    setWindowTitle(QStringLiteral("Modem Properties"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    frame_ = new QGroupBox(this);
    frame_->setObjectName(QStringLiteral("fraModem"));

    phone_ = makeText("txtPhoneNum", QString(), kPhoneLength, kPhoneLength,
                      QStringLiteral("This is the number that the module must dial to report status."), frame_);
    // Digits, blanks and commas only: sized for digits, the widest of them.
    SizeForText(phone_, QString(kPhoneLength, u'0'));
    phone_->installEventFilter(new PhoneKeyFilter(phone_));
    // Key events never see pasted or dropped text; the validator keeps that out.
    phone_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9 ,]*")), phone_));

    is99_ = new QCheckBox(tr("IS-&99 Modem"), frame_);
    is99_->setObjectName(QStringLiteral("ckbIS99"));
    is99_->setToolTip(QStringLiteral("Specifies if modem is IS-95/99 compatible"));
    baudCmd_ = makeText("txtIS99BaudCmd", QStringLiteral("AT+IPR="), 0, 10,
                        QStringLiteral("AT/IS-99 baud rate change command"), frame_);
    InstallSingleByteText(baudCmd_);
    // The command only serves an IS-99 modem, and the box starts cleared.
    baudCmd_->setEnabled(false);
    atInitial_ = makeText(
        "txtATInitial", QStringLiteral("ATE0&D1&C1S0=1"), 35, 35,
        QStringLiteral("The 'AT' string that will be sent to the modem during initialization & the heartbeat function"),
        frame_);
    InstallSingleByteText(atInitial_);

    rings_ = makeField("updRingsUntilAnswer", "txtRingsUntilAnswer", {1, 10, 1, 0}, 1, QStringLiteral("2"),
                       QStringLiteral("the number of rings before answering incoming call"), frame_);
    retries_ = makeField("updOKRetries", "txtOKRetries", {0, 10, 1, 4}, 1, QStringLiteral("5"),
                         QStringLiteral("The number of times a command will be sent to the modem before aborting"),
                         frame_);
    timeout_ = makeField("updOkTimeOut", "txtOKTimeOut", {100, 8000, 100, 4}, 100, QStringLiteral("400"),
                         QStringLiteral("The time between command attempts to the modem"), frame_);
    heartbeat_ = makeField("updATHeartBeat", "txtATHeartBeat", {0, 255, 1, 4}, 3, QStringLiteral("1"),
                           QStringLiteral("Modem heartbeat period"), frame_);

    note_ = new QLabel(tr("These modem settings are not kept in the station's configuration and are not sent to "
                          "the module."),
                       this);
    note_->setObjectName(QStringLiteral("lblNotKept"));
    note_->setWordWrap(true);

    ok_ = NamedButton(tr("&OK"), "cmdOK", this);
    ok_->setDefault(true);
    cancel_ = NamedButton(tr("&Cancel"), "cmdCancel", this);
    // Nothing typed here is used, so neither button checks the field left for it.
    LeaveUnchecked(ok_);
    LeaveUnchecked(cancel_);

    auto* grid = new QGridLayout(frame_);
    AddFieldRow(grid, 0, tr("&Phone number:"), phone_, 1, 3);
    grid->addWidget(is99_, 1, 0, 1, 2);
    grid->addWidget(BuddyLabel(tr("&Baud Rate cmd:"), baudCmd_, frame_), 1, 2);
    grid->addWidget(baudCmd_, 1, 3);
    AddFieldRow(grid, 2, tr("AT &Initial String:"), atInitial_, 1, 3);
    AddFieldRow(grid, 3, tr("&Rings:"), rings_, Qt::AlignLeft);
    grid->addWidget(BuddyLabel(tr("Re&try:"), retries_, frame_), 3, 2);
    grid->addWidget(retries_, 3, 3, Qt::AlignLeft);
    AddFieldRow(grid, 4, tr("Ti&meout (mSec) :"), timeout_, Qt::AlignLeft);
    grid->addWidget(BuddyLabel(tr("&Heartbeat (mins) :"), heartbeat_, frame_), 4, 2);
    grid->addWidget(heartbeat_, 4, 3, Qt::AlignLeft);
    grid->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame_);
    layout->addWidget(note_);
    layout->addStretch(1);
    layout->addLayout(buttons);

    QWidget* const chain[] = {phone_, is99_, baudCmd_, atInitial_, rings_, retries_, timeout_, heartbeat_, ok_, cancel_};
    for (std::size_t i = 1; i < std::size(chain); ++i) setTabOrder(chain[i - 1], chain[i]);

    connect(is99_, &QCheckBox::clicked, baudCmd_, &QWidget::setEnabled);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    phone_->setFocus();
}

void frmModemProperty::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

int16_t frmModemProperty::ParsePhoneNumberEntry(int16_t keyAscii) {
    if (keyAscii >= '0' && keyAscii <= '9') return keyAscii;
    if (keyAscii == ' ' || keyAscii == ',' || keyAscii == kBackspace) return keyAscii;
    QApplication::beep();
    return 0;
}

QLineEdit* frmModemProperty::txtRingsUntilAnswer() const { return rings_->Box(); }
QLineEdit* frmModemProperty::txtOKRetries() const { return retries_->Box(); }
QLineEdit* frmModemProperty::txtOKTimeOut() const { return timeout_->Box(); }
QLineEdit* frmModemProperty::txtATHeartBeat() const { return heartbeat_->Box(); }

} // namespace korvel
