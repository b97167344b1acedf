#include "app/frmCancelSend.h"
#include "link/linkhold.h"

#include "control/connectchoice.h"
#include "app/entryhelpers.h"
#include "platform/qtprompts.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

namespace korvel {

namespace {

constexpr int kStationDigits = 3;

QLabel* makeLabel(const QString& text, const char* name, QWidget* buddy, QWidget* parent) {
    QLabel* l = BuddyLabel(text, buddy, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

} // namespace

frmCancelSend::frmCancelSend(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmCancelSend"));
    setWindowTitle(QStringLiteral("OMRU"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    hint_ = new QPlainTextEdit(this);
    hint_->setObjectName(QStringLiteral("txtHint"));
    QStringList lines;
    for (const char* line : kConnectHintLines) lines << QString::fromLatin1(line);
    hint_->setPlainText(lines.join(QLatin1Char('\n')));
    hint_->setReadOnly(true);
    hint_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Reading matter, not a stop on the way between the buttons.
    hint_->setFocusPolicy(Qt::NoFocus);
    hint_->setAccessibleName(tr("How to connect"));
    const QFontMetrics fm = hint_->fontMetrics();
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, fm.horizontalAdvance(line));
    // Sized to its four lines: no scroll bars for a text that never changes.
    const int margins = 2 * (int(hint_->document()->documentMargin()) + hint_->frameWidth()) + 4;
    hint_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hint_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hint_->setMinimumWidth(widest + margins + fm.averageCharWidth());
    hint_->setFixedHeight(fm.lineSpacing() * int(lines.size()) + margins);

    local_ = NamedButton(tr("CONNECT &LOCAL"), "cmdConnectLocal", this);
    netAddress_ = new QLineEdit(this);
    netAddress_->setObjectName(QStringLiteral("txtNWAddress"));
    netAddress_->setMaxLength(kStationDigits);
    InstallNumericKeyFilter(netAddress_);
    netAddress_->setMaximumWidth(fm.horizontalAdvance(QStringLiteral("00000")) + 16);
    netLabel_ = makeLabel(tr("Remote &Address:"), "lblNetAddress", netAddress_, this);
    remote_ = NamedButton(tr("CONNECT &REMOTE"), "cmdConnectNet", this);
    ip_ = new QLineEdit(this);
    ip_->setObjectName(QStringLiteral("txtIP"));
    ip_->setMinimumWidth(fm.horizontalAdvance(QString::fromLatin1(DEFAULT_TCP_ENDPOINT)) + 24);
    ipLabel_ = makeLabel(tr("&TCP/IP Address:"), "Label1", ip_, this);
    ipConnect_ = NamedButton(tr("&IP CONNECT"), "cmdIP", this);

    auto* grid = new QGridLayout;
    grid->addWidget(local_, 0, 2);
    grid->addWidget(netLabel_, 1, 0);
    grid->addWidget(netAddress_, 1, 1, Qt::AlignLeft);
    grid->addWidget(remote_, 1, 2);
    grid->addWidget(ipLabel_, 2, 0);
    grid->addWidget(ip_, 2, 1);
    grid->addWidget(ipConnect_, 2, 2);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint_);
    layout->addLayout(grid);

    setTabOrder(local_, netAddress_);
    setTabOrder(netAddress_, remote_);
    setTabOrder(remote_, ip_);
    setTabOrder(ip_, ipConnect_);

    connect(local_, &QPushButton::clicked, this, &frmCancelSend::ConnectLocalClick);
    connect(remote_, &QPushButton::clicked, this, &frmCancelSend::ConnectNetClick);
    connect(ipConnect_, &QPushButton::clicked, this, &frmCancelSend::IPClick);

    const ConnectBoxes boxes = LoadConnectChoice();
    netAddress_->setText(boxes.RemoteAddress);
    ip_->setText(boxes.TcpAddress);
}

bool frmCancelSend::Run(QWidget* owner) {
    frmCancelSend dialog(owner);
    ExecModal(dialog);
    return dialog.chosen_;
}

void frmCancelSend::showEvent(QShowEvent* event) {
    // Set before the dialog settles its focus, so the chosen button also becomes the
    // one Enter presses.
    switch (ConnectFocusOnActivate()) {
    case ConnectFocus::RemoteButton: remote_->setFocus(); break;
    case ConnectFocus::LocalButton: local_->setFocus(); break;
    case ConnectFocus::Unchanged: break;
    }
    QDialog::showEvent(event);
}

void frmCancelSend::keyPressEvent(QKeyEvent* event) {
    // Enter in a box presses the button beside it rather than whichever button is default.
    if (IsPlainEnter(event)) {
        if (focusWidget() == netAddress_) {
            remote_->click();
            return;
        }
        if (focusWidget() == ip_) {
            ipConnect_->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

void frmCancelSend::reject() {
    if (connecting_) return;
    QDialog::reject();
}

void frmCancelSend::FocusBox(QLineEdit* box) {
    box->setFocus();
    box->selectAll();
}

bool frmCancelSend::WaitsItsTurn(void (frmCancelSend::*choice)()) {
    const bool waits = DeferWhileLinkTaken(
        this,
        [this, choice] {
            connecting_ = false;
            (this->*choice)();
        },
        LinkTurn::WholeJob);
    // One choice at a time: further clicks meanwhile are not queued behind it.
    if (waits) connecting_ = true;
    return waits;
}

void frmCancelSend::ConnectLocalClick() {
    if (connecting_) return;
    // Every choice changes what the link addresses: it waits for the whole of the job
    // that has the link, questions and all, never running inside it.
    if (WaitsItsTurn(&frmCancelSend::ConnectLocalClick)) return;
    ChooseLocalModule();
    chosen_ = true;
    accept();
}

void frmCancelSend::ConnectNetClick() {
    if (connecting_) return;
    if (WaitsItsTurn(&frmCancelSend::ConnectNetClick)) return;
    QString text = netAddress_->text();
    const RemoteChoice choice = ChooseRemoteStation(text);
    if (text != netAddress_->text()) netAddress_->setText(text);
    switch (choice) {
    case RemoteChoice::Completed:
        chosen_ = true;
        accept();
        break;
    case RemoteChoice::OutOfRange: FocusBox(netAddress_); break;
    case RemoteChoice::EmptyAddress:
    case RemoteChoice::StationZero: break;
    }
}

void frmCancelSend::IPClick() {
    if (connecting_) return;
    // Given while another job has the link (an acknowledgement waiting for a clear
    // channel, its question included), the new connection waits for the whole of that
    // job rather than cut under it or run inside its question.
    if (WaitsItsTurn(&frmCancelSend::IPClick)) return;
    // The connect pumps events: keep further clicks out until it has ended.
    connecting_ = true;
    const TcpChoice choice = ChooseTcpEndpoint(ip_->text());
    connecting_ = false;
    if (choice == TcpChoice::BadEndpoint) {
        FocusBox(ip_);
        return;
    }
    chosen_ = choice == TcpChoice::Connected;
    accept();
}

} // namespace korvel
