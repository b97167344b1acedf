#include "monitor/frmEventMonitor.h"

#include "app/statecolours.h"
#include "control/eventdisplay.h"
#include "model/eventlist.h"
#include "control/session.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

namespace {

QPointer<frmEventMonitor> instance;

// The colour of a switch that is on.

QPushButton* makeButton(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    // Enter in the list must not press a button; Space on a focused one does.
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmEventMonitor::frmEventMonitor(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmEventMonitor"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    const EventMonitorState& m = eventMonitor();
    setWindowTitle(m.Caption);

    events_ = new QListWidget(this);
    events_->setObjectName(QStringLiteral("lstEvents"));
    events_->setAccessibleName(tr("Events"));
    events_->setUniformItemSizes(true);
    events_->setMinimumSize(560, 260);

    fileLog_ = makeButton(QStringLiteral("Log OFF"), "cmdFileLog", this);
    showAll_ = makeButton(QStringLiteral("Filtered"), "cmdShowAll", this);
    showAllLabel_ = new QLabel(QStringLiteral("Show All Communication"), this);
    showAllLabel_->setObjectName(QStringLiteral("lblShowAll"));
    cancel_ = makeButton(QStringLiteral("Exit"), "cmdCancel", this);

    connect(fileLog_, &QPushButton::clicked, this, &frmEventMonitor::cmdFileLog_Click);
    connect(showAll_, &QPushButton::clicked, this, &frmEventMonitor::cmdShowAll_Click);
    connect(cancel_, &QPushButton::clicked, this, &frmEventMonitor::cmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(fileLog_);
    buttons->addWidget(showAll_);
    buttons->addWidget(showAllLabel_);
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(events_, 1);
    layout->addLayout(buttons);
    setTabOrder(events_, fileLog_);
    setTabOrder(fileLog_, showAll_);
    setTabOrder(showAll_, cancel_);

    // The show-all switch is only for the local radio's messages.
    showAll_->setVisible(m.ShowAllOffered);
    ShowSwitches();
    // What came while the monitor was closed first, then each line as it comes.
    events_->addItems(m.lstEvents);
    events_->scrollToBottom();
    SetEventLineListener([this](const QString& line) { AddLine(line); });
}

frmEventMonitor::~frmEventMonitor() {
    // Going with the main window: the log still gets its closing line, and no port is
    // opened for a main window that is gone.
    Unload(false);
}

void frmEventMonitor::Run(QWidget* owner) {
    if (instance) {
        instance->show();
        instance->raise();
        instance->activateWindow();
        return;
    }
    // The protocol switch waits for the module; a second request meanwhile is the same
    // opening.
    static bool opening = false;
    if (opening) return;
    opening = true;
    const QPointer<QWidget> keptOwner(owner);
    OpenEventMonitor(eventMonitor().EventPort);
    opening = false;
    if (owner && !keptOwner) {
        // The program ended during the wait.
        CloseEventMonitor(false);
        return;
    }
    instance = new frmEventMonitor(owner);
    instance->show();
}

frmEventMonitor* frmEventMonitor::Instance() { return instance.data(); }

void frmEventMonitor::AddLine(const QString& line) {
    events_->addItem(line);
    events_->scrollToBottom();
    // A log write that failed has switched logging off by the time this line is
    // through; the switch shows it then.
    QMetaObject::invokeMethod(this, &frmEventMonitor::ShowSwitches, Qt::QueuedConnection);
}

void frmEventMonitor::ShowSwitches() {
    const EventMonitorState& m = eventMonitor();
    fileLog_->setText(m.EventLogOn ? QStringLiteral("Log ON") : QStringLiteral("Log OFF"));
    ShowActive(fileLog_, m.EventLogOn);
    showAll_->setText(m.EventShowAll ? QStringLiteral("UnFiltered") : QStringLiteral("Filtered"));
    ShowActive(showAll_, m.EventShowAll);
    showAllLabel_->setVisible(m.EventShowAll);
}

void frmEventMonitor::cmdFileLog_Click() {
    // A file that cannot be created is reported by StartEventLog and logging stays off.
    if (eventMonitor().EventLogOn)
        StopEventLog();
    else
        StartEventLog(session().DataFolder);
    ShowSwitches();
}

void frmEventMonitor::cmdShowAll_Click() {
    eventMonitor().EventShowAll = !eventMonitor().EventShowAll;
    ShowSwitches();
}

void frmEventMonitor::cmdCancel_Click() { close(); }

void frmEventMonitor::reject() { cmdCancel_Click(); }

void frmEventMonitor::closeEvent(QCloseEvent* event) {
    // The close box and Escape are Exit.
    Unload(true);
    event->accept();
}

void frmEventMonitor::Unload(bool reopenPort) {
    if (unloaded_) return;
    unloaded_ = true;
    SetEventLineListener(nullptr);
    CloseEventMonitor(reopenPort);
}

} // namespace korvel
