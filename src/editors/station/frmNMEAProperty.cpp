#include "editors/station/frmNMEAProperty.h"
#include "app/boundedfield.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace korvel {

namespace {

QPointer<frmNMEAProperty> instance;

// Ccb1: the module reports its own events over the GPS link; the other bits are unused
// and written as 0.
constexpr uint8_t kReportOnEvents = 0x80;
// Ccb2: one bit per sentence passed on to the central host; bit 6 is unused and written
// as 0.
constexpr uint8_t kSentenceBits[6] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20};
constexpr uint8_t kCustomSentence = 0x80;
// Ccb3: the distance between reports in its low seven bits, the unit in the top one.
constexpr uint8_t kMiles = 0x80;
constexpr uint8_t kDistanceMask = 0x7F;
constexpr int kMilesIndex = 1;

constexpr int kInitLength = 40;
constexpr int kCustomLength = 8;

BoundedField* makeField(const char* name, const char* textName, long max, const QString& toolTip,
                        QWidget* parent) {
    auto* f = new BoundedField(name, textName, BoundedField::Limits{0, max, 1, 0}, parent);
    f->SetToolTips(toolTip);
    return f;
}

} // namespace

frmNMEAProperty::frmNMEAProperty(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmNMEAProperty"));
    setWindowTitle(QStringLiteral("NMEA GPS Properties"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    mode_ = NamedCheckBox(tr("Report on &events"), "chkMode", this);
    mode_->setToolTip(QStringLiteral("Enable/Disable auto Korvel event reporting"));

    headers_ = new QGroupBox(tr("GPS header mapping"), this);
    headers_->setObjectName(QStringLiteral("fraHeaders"));
    headers_->setToolTip(
        QStringLiteral("Filters GPS generated sentences and Selects which sentences are sent to the central host."));
    // Access keys picked so that none repeats in the dialog.
    const std::pair<const char*, const char*> sentences[6] = {
        {"$GPGG&A", "ckbGPGGA"}, {"$GPG&LL", "ckbGPGLL"}, {"$GP&RMC", "ckbGPRMC"},
        {"$GP&VTG", "ckbGPVTG"}, {"$GPG&SA", "ckbGPGSA"}, {"$G&PGSV", "ckbGPGSV"},
    };
    for (int i = 0; i < 6; ++i)
        sentence_[i] = NamedCheckBox(tr(sentences[i].first), sentences[i].second, headers_);
    custom_ = NamedCheckBox(tr("C&ustom"), "ckbCustom", headers_);
    customText_ =
        NamedLineEdit("txtCustom", QStringLiteral("Enter a custom header NMEA header, eg. $PABCD"), kCustomLength,
                      headers_);
    customText_->setAccessibleName(tr("Custom header"));

    distance_ = makeField("updDistance", "txtDistance", kDistanceMask,
                          QStringLiteral("When this control is non zero then distance based reports are generated"),
                          this);
    unit_ = new QComboBox(this);
    unit_->setObjectName(QStringLiteral("cboDistanceUnit"));
    unit_->addItems({QStringLiteral("kilometers"), QStringLiteral("miles")});
    unit_->setToolTip(QStringLiteral("Select kilometers or miles"));
    unit_->setAccessibleName(tr("Distance unit"));
    updateTime_ = makeField("updUpdateTime", "txtUpdateTime", 255,
                            QStringLiteral("The time between auto updates, enter 0 to disable auto update"), this);
    timeMark_ = makeField("updTimeMark", "txtTimeMark", 255,
                          QStringLiteral("The transmission offset time in seconds from GPS absolute 0 minute"), this);
    init_ = NamedLineEdit("txtNMEAInit", QStringLiteral("Init string to send GPS at power up"), kInitLength, this);

    ok_ = NamedButton(tr("&OK"), "cmdOK", this);
    ok_->setDefault(true);
    cancel_ = NamedButton(tr("&Cancel"), "cmdCancel", this);
    // Cancel drops whatever is typed, so leaving a field for it checks nothing.
    LeaveUnchecked(cancel_);

    auto* headerGrid = new QGridLayout(headers_);
    for (int i = 0; i < 6; ++i) headerGrid->addWidget(sentence_[i], i / 3, i % 3);
    headerGrid->addWidget(custom_, 2, 0);
    headerGrid->addWidget(customText_, 2, 1, 1, 2);

    auto* grid = new QGridLayout;
    AddFieldRow(grid, 0, tr("&Distance reporting:"), distance_);
    grid->addWidget(unit_, 0, 2);
    AddFieldRow(grid, 1, tr("Update &time:"), updateTime_);
    grid->addWidget(new QLabel(tr("minutes"), this), 1, 2);
    AddFieldRow(grid, 2, tr("GPS time &mark:"), timeMark_);
    grid->addWidget(new QLabel(tr("seconds"), this), 2, 2);
    AddFieldRow(grid, 3, tr("&Init string 1:"), init_, 1, 3);
    grid->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mode_);
    layout->addWidget(headers_);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);

    QWidget* const chain[] = {mode_,        sentence_[0], sentence_[1], sentence_[2], sentence_[3], sentence_[4],
                              sentence_[5], custom_,      customText_,  distance_,    unit_,        updateTime_,
                              timeMark_,    init_,        ok_,          cancel_};
    for (std::size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);

    connect(ok_, &QPushButton::clicked, this, &frmNMEAProperty::cmdOKClick);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    Load();
    mode_->setFocus();
}

void frmNMEAProperty::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

QLineEdit* frmNMEAProperty::txtDistance() const { return distance_->Box(); }
QLineEdit* frmNMEAProperty::txtUpdateTime() const { return updateTime_->Box(); }
QLineEdit* frmNMEAProperty::txtTimeMark() const { return timeMark_->Box(); }

void frmNMEAProperty::Load() {
    edit_ = config().NmeaConfig;
    updateTime_->SetValue(edit_.ReportTime);
    mode_->setChecked(edit_.Ccb1 >= kReportOnEvents);
    for (int i = 0; i < 6; ++i) sentence_[i]->setChecked(edit_.Ccb2 & kSentenceBits[i]);
    custom_->setChecked(edit_.Ccb2 & kCustomSentence);
    unit_->setCurrentIndex(edit_.Ccb3 & kMiles ? kMilesIndex : 0);
    distance_->SetValue(edit_.Ccb3 & kDistanceMask);
    timeMark_->SetValue(edit_.TimeMark);
    ShowStoredText(init_, edit_.Init1, kInitLength);
    ShowStoredText(customText_, edit_.Custom, kCustomLength);
}

void frmNMEAProperty::cmdOKClick() {
    if (!CheckFocusedField(this)) return;
    // The fields' values lie within their limits, and so within a byte each.
    edit_.ReportTime = static_cast<uint8_t>(updateTime_->Value());
    edit_.TimeMark = static_cast<uint8_t>(timeMark_->Value());
    edit_.Ccb1 = mode_->isChecked() ? kReportOnEvents : 0;
    edit_.Ccb3 = static_cast<uint8_t>((unit_->currentIndex() == kMilesIndex ? kMiles : 0) + distance_->Value());
    uint8_t ccb2 = custom_->isChecked() ? kCustomSentence : 0;
    for (int i = 0; i < 6; ++i)
        if (sentence_[i]->isChecked()) ccb2 |= kSentenceBits[i];
    edit_.Ccb2 = ccb2;
    edit_.Init1 = init_->text().toLatin1();
    edit_.Custom = customText_->text().toLatin1();
    config().NmeaConfig = edit_;
    accept();
}

} // namespace korvel
