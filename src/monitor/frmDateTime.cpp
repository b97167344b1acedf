#include "monitor/frmDateTime.h"
#include "link/linkhold.h"
#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "platform/prompts.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <iterator>

namespace korvel {

namespace {

QPointer<frmDateTime> instance;

std::function<QDateTime()>& pcClock() {
    static std::function<QDateTime()> clock;
    return clock;
}

QDateTime PcNow() { return pcClock() ? pcClock()() : QDateTime::currentDateTime(); }

// A time box: the up-down carries the control's name, its text box the text box's.
QSpinBox* TimeBox(const char* upDownName, const char* textName, int maximum, const QString& accessibleName,
                  QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(upDownName));
    box->findChild<QLineEdit*>()->setObjectName(QString::fromLatin1(textName));
    box->setRange(0, maximum);
    box->setSingleStep(1);
    box->setAccessibleName(accessibleName);
    return box;
}

// The user's own short date form, with the year written out: the year is part of what
// is set, and two digits would hide which century the picker holds.
QString DateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy"))) format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

} // namespace

frmDateTime::frmDateTime(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmDateTime"));
    setWindowTitle(QStringLiteral("Date and Time"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    build();
    load();
}

void frmDateTime::Run(QWidget* owner) {
    if (instance) {
        instance->load();
        instance->raise();
        instance->activateWindow();
        return;
    }
    instance = new frmDateTime(owner);
    instance->QDialog::show();
}

frmDateTime* frmDateTime::Instance() { return instance.data(); }

void frmDateTime::SetPcClock(std::function<QDateTime()> clock) { pcClock() = std::move(clock); }

QLineEdit* frmDateTime::txtHours() const { return hours_->findChild<QLineEdit*>(); }
QLineEdit* frmDateTime::txtMinutes() const { return minutes_->findChild<QLineEdit*>(); }
QLineEdit* frmDateTime::txtSeconds() const { return seconds_->findChild<QLineEdit*>(); }

void frmDateTime::build() {
    date_ = new QDateEdit(this);
    date_->setObjectName(QStringLiteral("DTPicker1"));
    date_->setCalendarPopup(true);
    date_->setDisplayFormat(DateFormat());
    date_->setDateRange(QDate(CLOCK_FIRST_YEAR, 1, 1), QDate(CLOCK_LAST_YEAR, 12, 31));

    hours_ = TimeBox("updHours", "txtHours", 23, QStringLiteral("Hours"), this);
    minutes_ = TimeBox("updMinutes", "txtMinutes", 59, QStringLiteral("Minutes"), this);
    seconds_ = TimeBox("updSeconds", "txtSeconds", 59, QStringLiteral("Seconds"), this);

    pcClock_ = NamedButton(QStringLiteral("&PC Clock"), "cmdPcClock", this);
    pcClock_->setToolTip(QStringLiteral("Write PC Clock time to module"));
    update_ = NamedButton(QStringLiteral("&Update"), "cmdUpdate", this);
    update_->setToolTip(QStringLiteral("Manual time update"));
    exit_ = NamedButton(QStringLiteral("E&xit"), "cmdCancel", this);
    exit_->setToolTip(QStringLiteral("Exit"));
    LeaveUnchecked(exit_);
    // Enter in a box sends nothing: each setting goes to the module at once, so only a
    // deliberate press of its button may start one.
    for (QPushButton* b : {pcClock_, update_, exit_}) b->setAutoDefault(false);

    auto* time = new QHBoxLayout;
    time->addWidget(hours_);
    time->addWidget(minutes_);
    time->addWidget(seconds_);
    time->addStretch(1);
    auto* grid = new QGridLayout;
    AddFieldRow(grid, 0, QStringLiteral("&Date:"), date_);
    grid->addWidget(BuddyLabel(QStringLiteral("&Time (HH MM SS):"), hours_, this), 1, 0);
    grid->addLayout(time, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pcClock_);
    buttons->addWidget(update_);
    buttons->addStretch(1);
    buttons->addWidget(exit_);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* const order[] = {date_, hours_, minutes_, seconds_, pcClock_, update_, exit_};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    connect(pcClock_, &QPushButton::clicked, this, &frmDateTime::cmdPcClock_Click);
    connect(update_, &QPushButton::clicked, this, &frmDateTime::cmdUpdate_Click);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
}

void frmDateTime::load() { showClock(target().ModuleClock); }

void frmDateTime::showClock(const ModuleClockValue& clock) {
    const ShownClock shown = ShowableClock(clock);
    date_->setDate(shown.date);
    hours_->setValue(shown.hour);
    minutes_->setValue(shown.minute);
    seconds_->setValue(shown.second);
}

void frmDateTime::cmdPcClock_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdPcClock_Click(); })) return;
    const ModuleClockValue clock = ClockValue(PcNow());
    if (!ClockYearFits(clock.year)) {
        WindowMsgBox(this, ClockYearRefusal(clock.year), vbOKOnly + vbExclamation);
        return;
    }
    showClock(clock);
    send(clock);
}

void frmDateTime::cmdUpdate_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdUpdate_Click(); })) return;
    // A number typed into a box counts even while the box still has the focus.
    date_->interpretText();
    for (QSpinBox* box : {hours_, minutes_, seconds_}) box->interpretText();
    send(ClockValue(date_->date(), hours_->value(), minutes_->value(), seconds_->value()));
}

void frmDateTime::send(const ModuleClockValue& clock) {
    pcClock_->setEnabled(false);
    update_->setEnabled(false);
    sending_ = true;
    const ClockSetResult result = SetModuleClock(clock);
    sending_ = false;
    pcClock_->setEnabled(true);
    update_->setEnabled(true);
    if (closeAfterSend_) {
        // Closed while the send ran: nothing more to show.
        deleteLater();
        return;
    }
    switch (result) {
    case ClockSetResult::Set: break;
    case ClockSetResult::YearRefused: WindowMsgBox(this, ClockYearRefusal(clock.year), vbOKOnly + vbExclamation); break;
    // The link layer has told the user why.
    case ClockSetResult::SendFailed: done(Rejected); break;
    }
}

void frmDateTime::done(int result) {
    QDialog::done(result);
    if (instance == this) instance.clear();
    if (sending_) {
        // The send still runs on this window's stack: the window goes once it returns.
        closeAfterSend_ = true;
        return;
    }
    deleteLater();
}

} // namespace korvel
