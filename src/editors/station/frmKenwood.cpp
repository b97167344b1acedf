#include "editors/station/frmKenwood.h"
#include "link/linkhold.h"
#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "link/builders.h"
#include "link/linkstate.h"
#include "platform/prompts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <vector>

namespace korvel {

namespace {

QPointer<frmKenwood> instance;

constexpr int kTagLength = TAG_LENGTH;
constexpr int kFleetDigits = 3;
constexpr int kIdDigits = 4;

// A stored number is shown whole, even one with more digits than can be typed, so that
// OK does not cut it.
void ShowNumber(QLineEdit* box, const QString& text, int digits) {
    box->setMaxLength(std::max<int>(digits, int(text.size())));
    box->setText(text);
}

QLineEdit* TagBox(const QString& name, const QString& tip, QWidget* parent) {
    QLineEdit* box = NamedLineEdit(name.toLatin1().constData(), tip, kTagLength, parent);
    box->setMaxLength(kTagLength);
    InstallSingleByteText(box);
    return box;
}

QLabel* Hint(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    return l;
}

long WholeNumber(const QString& text) { return text.trimmed().toLong(); }

} // namespace

frmKenwood::frmKenwood(QWidget* owner, const FleetSyncView& view) : QDialog(owner), view_(view) {
    setObjectName(QStringLiteral("frmKenwood"));
    setWindowTitle(QStringLiteral("Kenwood FleetSync Properties"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    build();
    load();
}

void frmKenwood::Run(QWidget* owner, const FleetSyncView& view) {
    RunSingleInstance(instance, [owner, &view] { return new frmKenwood(owner, view); });
}

void frmKenwood::Run(QWidget* owner) { Run(owner, FleetSyncViewOf(config())); }

void frmKenwood::build() {
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("TabStrip1"));
    pages_[0] = buildRadioPage();
    pages_[1] = buildInputPage();
    pages_[2] = buildChannelPage(
        QStringLiteral("Equipment Caption"), analog_, "txtAChan",
        QStringLiteral("Enter the message to be sent for this channel"),
        QStringLiteral("Each analog channel message is followed with ABOVE, NORMAL or BELOW. The message may "
                       "contain up to 20 alphanumeric characters."));
    pages_[3] = buildChannelPage(
        QStringLiteral("Equipment Caption"), temp_, "txtTChan",
        QStringLiteral("Enter the message to be sent for this channel"),
        QStringLiteral("Each temperature channel message is followed with ABOVE, NORMAL or BELOW. The message "
                       "may contain up to 20 alphanumeric characters."));
    pages_[4] = buildAdvancedPage();
    const struct {
        const char* caption;
        const char* tip;
    } tabs[5] = {{"R&adio", "Sets system wide operation parameters"},
                 {"In&put Channels", "Sets the input channel captions for SDM use"},
                 {"Analo&g Channels", nullptr},
                 {"Temperat&ure Channels", nullptr},
                 {"Ad&vanced ", "Sets FleetSync advanced features"}};
    for (int k = 0; k < 5; ++k) {
        pages_[k]->setObjectName(Indexed("fraKenwood", k));
        tabs_->addTab(pages_[k], QString::fromLatin1(tabs[k].caption));
        if (tabs[k].tip) tabs_->setTabToolTip(k, QString::fromLatin1(tabs[k].tip));
    }
    // A box that refuses its value keeps the focus, so the page it is on stays up.
    tabs_->tabBar()->installEventFilter(this);
    tabs_->installEventFilter(this);

    ok_ = NamedButton(QStringLiteral("&OK"), "cmdOKButton", this);
    ok_->setDefault(true);
    cancel_ = NamedButton(QStringLiteral("&Cancel"), "cmdCancelButton", this);
    LeaveUnchecked(cancel_);
    sendMsg_ = NamedButton(QStringLiteral("&Send Raw Message"), "cmdSendMsg", this);
    sendMsg_->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sendMsg_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);

    std::vector<QWidget*> order{tabs_->tabBar()};
    for (int r = 0; r < FS_RADIOS; ++r) {
        order.push_back(fleet_[r]);
        order.push_back(id_[r]);
        if (enable_[r]) order.push_back(enable_[r]);
    }
    order.push_back(monitoring_);
    order.push_back(hint_);
    for (int i = 0; i < FS_CHANNELS; ++i) {
        order.push_back(inputOn_[i]);
        order.push_back(inputOff_[i]);
    }
    for (QLineEdit* const* boxes : {analog_, temp_})
        for (int i = 0; i < FS_CHANNELS; ++i) order.push_back(boxes[i]);
    for (QWidget* w : {static_cast<QWidget*>(enableAll_), static_cast<QWidget*>(list_),
                       static_cast<QWidget*>(add_), static_cast<QWidget*>(delete_),
                       static_cast<QWidget*>(manualAck_), static_cast<QWidget*>(period_),
                       static_cast<QWidget*>(ok_), static_cast<QWidget*>(cancel_), static_cast<QWidget*>(sendMsg_)})
        order.push_back(w);
    for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    connect(monitoring_, &QCheckBox::toggled, this, &frmKenwood::ckbEnableSVMonitoring_Click);
    connect(enableAll_, &QCheckBox::toggled, this, &frmKenwood::chkEnableAll_Click);
    connect(manualAck_, &QCheckBox::toggled, this, &frmKenwood::chkEnableAutoReport_Click);
    connect(add_, &QPushButton::clicked, this, &frmKenwood::cmdAdd_Click);
    connect(delete_, &QPushButton::clicked, this, &frmKenwood::cmdDelete_Click);
    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { List1_Click(list_->row(item)); });
    connect(sendMsg_, &QPushButton::clicked, this, &frmKenwood::cmdSendMsg_Click);
    connect(ok_, &QPushButton::clicked, this, &frmKenwood::cmdOKButton_Click);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* frmKenwood::buildRadioPage() {
    auto* page = new QWidget;
    const QString fleetTips[2] = {
        QStringLiteral("Enter the fleet number between 100 and 349 or enter 000 to broadcast to all fleets"),
        QStringLiteral("Enter the fleet number between 100 and 349")};
    const QString idTips[2] = {
        QStringLiteral("Enter the ID number between 1000 and 4999 or enter 0000 to broadcast to all radios in this "
                       "fleet"),
        QStringLiteral("Enter the ID number between 1000 and 4999")};
    // Access keys: unique on the page; the third ID box is reached with Tab.
    const char* fleetLabels[FS_RADIOS] = {"&Fleet:", "F&leet:", "Flee&t:"};
    const char* idLabels[FS_RADIOS] = {"&ID:", "I&D:", "ID:"};
    const char* enableLabels[FS_RADIOS] = {nullptr, "E&nable:", "Ena&ble:"};
    const char* captions[FS_RADIOS] = {"Radio One Fleet/ID Number", "Radio Two Fleet/ID Number",
                                       "Radio Three Fleet/ID Number"};

    auto* radios = new QVBoxLayout;
    for (int r = 0; r < FS_RADIOS; ++r) {
        auto* frame = new QGroupBox(QString::fromLatin1(captions[r]), page);
        frame->setObjectName(QStringLiteral("fraRadio1_%1").arg(r));
        frame->setToolTip(r == 0 ? QStringLiteral("This is the primary radio that will receive notification of events.")
                                 : QStringLiteral("Secondary radio that will receive notification of events."));
        radioFrames_[r] = frame;
        fleet_[r] = NumberBox(Indexed("txtFleetNumber", r), kFleetDigits, fleetTips[r == 0 ? 0 : 1], frame);
        id_[r] = NumberBox(Indexed("txtIDNumber", r), kIdDigits, idTips[r == 0 ? 0 : 1], frame);
        InstallLeaveCheck(fleet_[r], [this, r] { return checkFleet(r); });
        InstallLeaveCheck(id_[r], [this, r] { return checkId(r); });
        auto* row = new QHBoxLayout(frame);
        row->addWidget(BuddyLabel(QString::fromLatin1(fleetLabels[r]), fleet_[r], frame));
        row->addWidget(fleet_[r]);
        row->addSpacing(12);
        row->addWidget(BuddyLabel(QString::fromLatin1(idLabels[r]), id_[r], frame));
        row->addWidget(id_[r]);
        row->addStretch(1);
        if (enableLabels[r]) {
            enable_[r] = NamedCheckBox(QString::fromLatin1(enableLabels[r]), "", frame);
            enable_[r]->setObjectName(Indexed("ckbEnable", r));
            enable_[r]->setToolTip(QStringLiteral("Click to enable this radio"));
            enable_[r]->setLayoutDirection(Qt::RightToLeft);
            row->addWidget(enable_[r]);
        }
        radios->addWidget(frame);
    }
    monitoring_ = NamedCheckBox(QStringLiteral("Enable Vistrel &Monitoring"), "ckbEnableSVMonitoring", page);
    monitoring_->setToolTip(QStringLiteral("Check if this site is a slave and is to be monitored by Vistrel"));
    radios->addWidget(monitoring_);
    radios->addStretch(1);

    hint_ = new QPlainTextEdit(page);
    hint_->setObjectName(QStringLiteral("txtSiteHint"));
    hint_->setReadOnly(true);
    hint_->setTabChangesFocus(true);
    hint_->setAccessibleName(QStringLiteral("Hint"));
    hint_->setMinimumWidth(fontMetrics().averageCharWidth() * 56);
    hint_->setMinimumHeight(fontMetrics().lineSpacing() * 19);

    auto* columns = new QHBoxLayout(page);
    columns->addLayout(radios);
    columns->addWidget(hint_, 1);
    return page;
}

QWidget* frmKenwood::buildInputPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("On State Message"), page), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Off State Message"), page), 0, 2);
    for (int i = 0; i < FS_CHANNELS; ++i) {
        inputOn_[i] = TagBox(Indexed("txtIChanOn", i), QStringLiteral("Enter the message sent when this channel turns on"),
                             page);
        inputOff_[i] = TagBox(Indexed("txtIChanOff", i),
                              QStringLiteral("Enter the message sent when this channel turns off"), page);
        const QString channel = QStringLiteral("Ch %1").arg(i + 1);
        inputOn_[i]->setAccessibleName(channel + QStringLiteral(" On State Message"));
        inputOff_[i]->setAccessibleName(channel + QStringLiteral(" Off State Message"));
        grid->addWidget(BuddyLabel(QStringLiteral("Ch &%1:").arg(i + 1), inputOn_[i], page), i + 1, 0);
        grid->addWidget(inputOn_[i], i + 1, 1);
        grid->addWidget(inputOff_[i], i + 1, 2);
    }
    grid->setColumnStretch(3, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addWidget(Hint(QStringLiteral("Each input channel may have a caption or message for both the ON event "
                                          "and the OFF event, of up to 20 alphanumeric characters each."),
                           page));
    layout->addStretch(1);
    return page;
}

QWidget* frmKenwood::buildChannelPage(const QString& heading, QLineEdit* (&boxes)[FS_CHANNELS], const char* name,
                                      const QString& toolTip, const QString& hint) {
    auto* page = new QWidget;
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(heading, page), 0, 1);
    for (int i = 0; i < FS_CHANNELS; ++i) {
        boxes[i] = TagBox(Indexed(name, i), toolTip, page);
        grid->addWidget(BuddyLabel(QStringLiteral("Ch &%1:").arg(i + 1), boxes[i], page), i + 1, 0);
        grid->addWidget(boxes[i], i + 1, 1);
    }
    grid->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(grid);
    layout->addWidget(Hint(hint, page));
    layout->addStretch(1);
    return page;
}

QWidget* frmKenwood::buildAdvancedPage() {
    auto* page = new QWidget;
    auto* mobiles = new QGroupBox(QStringLiteral("Permitted Mobiles"), page);
    mobiles->setObjectName(QStringLiteral("fraPermittedMobiles"));
    enableAll_ = NamedCheckBox(QStringLiteral("&Enable All"), "chkEnableAll", mobiles);
    enableAll_->setToolTip(QStringLiteral("Check to enable all mobile IDs to effect configuration changes"));
    add_ = NamedButton(QStringLiteral("A&dd"), "cmdAdd", mobiles);
    add_->setToolTip(QStringLiteral("Adds a mobile to the list"));
    delete_ = NamedButton(QStringLiteral("De&lete"), "cmdDelete", mobiles);
    delete_->setToolTip(QStringLiteral("Removes a mobile from the list"));
    list_ = new QListWidget(mobiles);
    list_->setObjectName(QStringLiteral("List1"));
    list_->setMinimumHeight(fontMetrics().height() * 8);
    list_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000:00000")) + 40);
    // The keyboard's way to a line's edit box, which a click opens.
    auto* edit = new QAction(list_);
    edit->setShortcut(Qt::Key_F2);
    edit->setShortcutContext(Qt::WidgetShortcut);
    list_->addAction(edit);
    connect(edit, &QAction::triggered, this, [this] {
        if (list_->currentRow() >= 0) List1_Click(list_->currentRow());
    });

    auto* mobileGrid = new QGridLayout(mobiles);
    mobileGrid->addWidget(enableAll_, 0, 0, 1, 2);
    mobileGrid->addWidget(BuddyLabel(QStringLiteral("&Fleet:ID"), list_, mobiles), 1, 0);
    mobileGrid->addWidget(list_, 2, 0, 3, 1);
    mobileGrid->addWidget(add_, 2, 1);
    mobileGrid->addWidget(delete_, 3, 1);
    mobileGrid->setRowStretch(4, 1);

    auto* ack = new QGroupBox(QStringLiteral("Manual Alarm Acknowledge"), page);
    ack->setObjectName(QStringLiteral("fraManualAck"));
    manualAck_ = NamedCheckBox(QStringLiteral("Enable manual AC&K"), "chkEnableAutoReport", ack);
    manualAck_->setToolTip(QStringLiteral("When checked allows automatic alarm reporting"));
    period_ = new QComboBox(ack);
    period_->setObjectName(QStringLiteral("cboReportTime"));
    period_->addItems(ReportPeriods());
    auto* ackGrid = new QGridLayout(ack);
    ackGrid->addWidget(manualAck_, 0, 0, 1, 2);
    AddFieldRow(ackGrid, 1, QStringLiteral("F&requency"), period_);
    ackGrid->setRowStretch(2, 1);

    auto* columns = new QHBoxLayout(page);
    columns->addWidget(mobiles, 1);
    columns->addWidget(ack, 1, Qt::AlignTop);
    return page;
}

void frmKenwood::load() {
    edit_ = ShownFleetSync(config().FleetSyncConfig, view_);
    const FleetSyncSettings& s = edit_;
    for (int r = 0; r < FS_RADIOS; ++r) {
        ShowNumber(fleet_[r], FleetText(s.FleetNumber[r]), kFleetDigits);
        ShowNumber(id_[r], IdText(s.IDNumber[r]), kIdDigits);
    }
    for (int i = 0; i < FS_CHANNELS; ++i) {
        ShowStoredText(inputOff_[i], s.InputTagOff[i], kTagLength);
        ShowStoredText(inputOn_[i], s.InputTagOn[i], kTagLength);
        ShowStoredText(analog_[i], s.AnalogTag[i], kTagLength);
        ShowStoredText(temp_[i], s.TempTag[i], kTagLength);
    }
    // Qt runs no handler for a box already in the state it is set to: each runs here.
    monitoring_->setChecked(s.Ccb1 & FS_MONITORED);
    ckbEnableSVMonitoring_Click();
    enable_[1]->setChecked(s.Ccb1 & FS_RADIO2);
    enable_[2]->setChecked(s.Ccb1 & FS_RADIO3);
    enableAll_->setChecked(!(s.Ccb1 & FS_SECURITY));
    chkEnableAll_Click();

    // A port reporting GPS positions leaves the radio side unused. The pages stay
    // disabled when selected: the tags are kept, not edited, while the port is on NMEA.
    const bool radioSide = !Port1RunsNmea(view_);
    for (QWidget* w : {static_cast<QWidget*>(monitoring_), static_cast<QWidget*>(enable_[1]),
                       static_cast<QWidget*>(enable_[2]), pages_[1], pages_[2], pages_[3]})
        w->setEnabled(radioSide);

    list_->clear();
    list_->addItems(MobileLines(s));

    // A period the list has no item for (from a module or a file) shows no selection and
    // is kept by OK.
    const int period = s.ReportTime & FS_PERIOD_MASK;
    manualAck_->setChecked(s.ReportTime & FS_MANUAL_ACK);
    period_->setCurrentIndex(period < period_->count() ? period : -1);
    chkEnableAutoReport_Click();

    const bool master = IsMasterStation(view_);
    if (master) radioFrames_[0]->setTitle(RadioOneCaption(true, monitoring_->isChecked()));
    hint_->setPlainText(SiteHint(master));
    monitoring_->setVisible(!master);
    tabs_->setCurrentIndex(0);
    fleet_[0]->setFocus();
}

void frmKenwood::ckbEnableSVMonitoring_Click() {
    radioFrames_[0]->setTitle(RadioOneCaption(false, monitoring_->isChecked()));
}

void frmKenwood::chkEnableAll_Click() {
    const bool listInForce = !enableAll_->isChecked();
    add_->setEnabled(listInForce);
    delete_->setEnabled(listInForce);
    list_->setEnabled(listInForce);
}

void frmKenwood::chkEnableAutoReport_Click() { period_->setEnabled(manualAck_->isChecked()); }

bool frmKenwood::showVerdict(QLineEdit* box, const BoxVerdict& verdict) {
    if (verdict.beep) QApplication::beep();
    if (!verdict.message.isEmpty()) MsgBox(verdict.message, vbOKOnly);
    if (verdict.resetText) box->setText(verdict.text);
    return verdict.accepted;
}

bool frmKenwood::checkFleet(int radio) {
    return showVerdict(fleet_[radio], CheckFleetBox(fleet_[radio]->text(), radio, IsMasterStation(view_)));
}

bool frmKenwood::checkId(int radio) {
    return showVerdict(id_[radio], CheckIdBox(id_[radio]->text(), radio, IsMasterStation(view_)));
}

std::optional<MobileEntry> frmKenwood::askMobile(const QString& prompt, const QString& title, const QString& first) {
    for (;;) {
        const std::optional<QString> answer = prompts().InputBox(prompt, title, first);
        if (!answer || answer->isEmpty()) return std::nullopt;
        const MobileEntry entry = ParseMobile(*answer);
        if (entry.accepted()) return entry;
        MsgBox(entry.message, vbOKOnly);
    }
}

void frmKenwood::cmdAdd_Click() {
    const std::optional<MobileEntry> entry = askMobile(MobilePrompt(), MobileTitle(), QString());
    if (!entry) return;
    if (list_->count() >= FS_MOBILES) {
        MsgBox(MobileListFullMessage(), vbOKOnly);
        return;
    }
    list_->addItem(MobileLine(entry->fleet, entry->id));
}

void frmKenwood::cmdDelete_Click() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) {
        MsgBox(NothingSelectedMessage(), vbOKOnly);
        return;
    }
    for (QListWidgetItem* item : selected) delete item;
}

void frmKenwood::List1_Click(int row) {
    QListWidgetItem* item = list_->item(row);
    if (!item) return;
    const std::optional<MobileEntry> entry = askMobile(EditMobilePrompt(), QString(), item->text());
    if (!entry) return;
    // The changed mobile goes to the end of the list, as a new one would.
    delete item;
    list_->addItem(MobileLine(entry->fleet, entry->id));
}

int16_t frmKenwood::SendRawFleetSync(const QString& message) {
    const QString refusal = RawMessageRefusal(message);
    if (!refusal.isEmpty()) {
        MsgBox(refusal, vbOKOnly);
        return SEND_REFUSED;
    }
    // The send pumps events while it waits: nothing here may close the dialog meanwhile.
    setEnabled(false);
    int16_t result;
    {
        const LinkHold hold;
        result = SendFleetSyncRaw(hold, message.toLatin1());
    }
    setEnabled(true);
    return result;
}

void frmKenwood::cmdSendMsg_Click() {
    // Given while another job has the link, it waits its turn.
    if (DeferWhileLinkTaken(this, [this] { cmdSendMsg_Click(); })) return;
    const std::optional<QString> message =
        prompts().InputBox(QStringLiteral("Enter the raw FleetSync Message"), QString(), QString());
    // The link reports its own failures.
    if (message && !message->isEmpty()) SendRawFleetSync(*message);
}

void frmKenwood::cmdOKButton_Click() {
    if (!CheckFocusedField(this)) return;
    FleetSyncForm f;
    for (int r = 0; r < FS_RADIOS; ++r) {
        f.fleet[r] = WholeNumber(fleet_[r]->text());
        f.id[r] = WholeNumber(id_[r]->text());
    }
    f.radio2 = enable_[1]->isChecked();
    f.radio3 = enable_[2]->isChecked();
    f.monitored = monitoring_->isChecked();
    f.enableAll = enableAll_->isChecked();
    for (int i = 0; i < FS_CHANNELS; ++i) {
        f.inputOn[i] = inputOn_[i]->text();
        f.inputOff[i] = inputOff_[i]->text();
        f.analog[i] = analog_[i]->text();
        f.temp[i] = temp_[i]->text();
    }
    for (int k = 0; k < list_->count(); ++k) f.mobiles << list_->item(k)->text();
    f.manualAck = manualAck_->isChecked();
    f.period = period_->currentIndex();
    ApplyFleetSyncForm(f, edit_);
    config().FleetSyncConfig = edit_;
    accept();
}

void frmKenwood::reject() {
    if (!isEnabled()) return;
    QDialog::reject();
}

void frmKenwood::Form_DblClick() { sendMsg_->setVisible(!sendMsg_->isVisible()); }

void frmKenwood::mouseDoubleClickEvent(QMouseEvent* event) {
    QDialog::mouseDoubleClickEvent(event);
    Form_DblClick();
}

bool frmKenwood::eventFilter(QObject* watched, QEvent* event) {
    // Every way to another page: a click on a tab, its access key, and the keys that
    // step through the pages.
    bool changesPage = false;
    if (watched == tabs_->tabBar())
        changesPage = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::Shortcut;
    else if (watched == tabs_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        changesPage = (key->modifiers() & Qt::ControlModifier) &&
                      (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_PageUp ||
                       key->key() == Qt::Key_PageDown);
    }
    if (changesPage && !CheckFocusedField(this)) return true;
    return QDialog::eventFilter(watched, event);
}

} // namespace korvel
