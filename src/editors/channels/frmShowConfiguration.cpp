#include "editors/channels/frmShowConfiguration.h"
#include "app/entryhelpers.h"
#include "app/singleinstance.h"
#include "app/windowregistry.h"
#include "model/model.h"
#include "model/target.h"
#include "model/textnumber.h"
#include "editors/channels/overviewrules.h"
#include "control/session.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace korvel {

namespace {

QPointer<frmShowConfiguration> instance;

// Lines the input lists show without scrolling; the output list is as tall as both.
constexpr int kInputListLines = 8;
// Room beyond the longest column for set points of two and three digits before the point.
constexpr int kSlackChars = 4;
// Least room between two headings, in pixels.
constexpr int kHeadingGap = 4;
constexpr double kHeadingScale = 0.85;

// The dialog's font in Courier New, so that the size the lists are measured in is the
// size they are drawn in.
QFont FixedPitchFont(QFont font) {
    font.setFamily(QStringLiteral("Courier New"));
    // Where Courier New is not installed, any fixed-pitch font keeps the columns aligned.
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

// A heading's lines as a label shows them: each "\r\n" ends a line.
QString HeadingText(const char* heading) {
    QString text = QString::fromLatin1(heading);
    if (text.endsWith(QStringLiteral("\r\n"))) text.chop(2);
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Selects the line of channel number, if the list has one, so that the place in the list
// survives a rebuild.
void SelectChannelLine(QListWidget* list, const QString& number) {
    if (number.isEmpty()) return;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text().startsWith(number)) {
            list->setCurrentRow(row);
            return;
        }
    }
}

// Centres each heading over its column as far as the headings beside it and the edges of
// the strip allow: pushed right past the one before it, then back left where that took
// it past the end.
void PlaceHeadings(QWidget* strip, const QList<QLabel*>& labels, const QList<double>& centres, int width) {
    int height = 0;
    for (QLabel* l : labels) height = std::max(height, l->sizeHint().height());
    QList<int> x;
    int right = -kHeadingGap;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        const int w = labels[i]->sizeHint().width();
        x.append(std::max(int(std::lround(centres[i] - w / 2.0)), right + kHeadingGap));
        right = x[i] + w;
    }
    int left = width + kHeadingGap;
    for (qsizetype i = labels.size() - 1; i >= 0; --i) {
        const int w = labels[i]->sizeHint().width();
        x[i] = std::max(0, std::min(x[i], left - kHeadingGap - w));
        left = x[i];
    }
    // Headings of one line stand on the base line of the second line of the others.
    for (qsizetype i = 0; i < labels.size(); ++i) labels[i]->setGeometry(x[i], 0, labels[i]->sizeHint().width(), height);
    strip->setFixedSize(width, height);
}

void Refill(QListWidget* list, const QStringList& lines) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    const QString number = selected.isEmpty() ? QString() : selected.first()->text().left(2);
    list->clear();
    list->addItems(lines);
    SelectChannelLine(list, number);
}

} // namespace

frmShowConfiguration::frmShowConfiguration(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmShowConfiguration"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(QStringLiteral("Input/Output Configuration Display Summary"));
    build();
}

void frmShowConfiguration::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

frmShowConfiguration* frmShowConfiguration::Instance() { return instance.data(); }

void frmShowConfiguration::build() {
    const QFont fixed = FixedPitchFont(font());
    // Fractional: a whole-pixel advance drifts from the drawn text by a line's end.
    const QFontMetricsF fixedMetrics(fixed);
    const double charWidth = fixedMetrics.horizontalAdvance(QLatin1Char('0'));
    const int lineHeight = int(std::ceil(fixedMetrics.lineSpacing()));
    // The headings are wider than the columns under them in the dialog's own size.
    QFont headingFont = font();
    if (headingFont.pointSizeF() > 0)
        headingFont.setPointSizeF(headingFont.pointSizeF() * kHeadingScale);
    else
        headingFont.setPixelSize(int(std::lround(headingFont.pixelSize() * kHeadingScale)));

    // One list with its title above its headings; every heading stands over the
    // characters its values take in a line.
    auto section = [&](const char* name, const QString& title, const char* toolTip,
                       std::span<const OverviewColumn> columns) {
        auto* list = new QListWidget(this);
        list->setObjectName(QLatin1String(name));
        list->setFont(fixed);
        list->setToolTip(QLatin1String(toolTip));
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setUniformItemSizes(true);
        // A line made longer by wide values (set points of 10 V and more) scrolls; it is
        // never cut short with an ellipsis.
        list->setTextElideMode(Qt::ElideNone);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->installEventFilter(this);

        auto* titleLabel = BuddyLabel(title, list, this);
        titleLabel->setObjectName(Indexed("txtHeader", int(headers_.size())));
        headers_.append(titleLabel);

        const OverviewColumn& last = columns.back();
        const int textLeft = list->frameWidth() + style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
        const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        const double textWidth = charWidth * (last.first + last.width + kSlackChars);
        list->setFixedWidth(textLeft * 2 + int(std::ceil(textWidth)) + scrollBar);

        auto* strip = new QWidget(this);
        strip->setObjectName(QLatin1String(name) + QStringLiteral("Headings"));
        strip->setFont(headingFont);
        QList<QLabel*> labels;
        QList<double> centres;
        for (const OverviewColumn& column : columns) {
            auto* heading = new QLabel(HeadingText(column.heading), strip);
            heading->setObjectName(Indexed("txtHeader", int(headers_.size())));
            heading->setToolTip(QLatin1String(column.toolTip));
            heading->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
            headers_.append(heading);
            labels.append(heading);
            centres.append(textLeft + charWidth * (column.first + column.width / 2.0));
        }
        PlaceHeadings(strip, labels, centres, list->width());
        auto* box = new QVBoxLayout;
        box->setSpacing(2);
        box->addWidget(titleLabel);
        box->addWidget(strip);
        box->addWidget(list, 1);
        return std::pair{list, box};
    };

    auto [inputs, inputsBox] = section("lstInputs", QStringLiteral("&Contact Inputs"),
                                       "Double click to edit input channel entry", ContactInputColumns());
    auto [analogs, analogsBox] = section("lstAnalogs", QStringLiteral("&Analog Inputs"),
                                         "Double click to edit analog channel entry", AnalogInputColumns());
    auto [outputs, outputsBox] = section("lstOutputs", QStringLiteral("&Outputs"),
                                         "Double click to edit output channel entry", OutputColumns());
    inputs_ = inputs;
    analogs_ = analogs;
    outputs_ = outputs;
    const int inputListHeight = lineHeight * kInputListLines + 2 * inputs_->frameWidth() + 4;
    inputs_->setMinimumHeight(inputListHeight);
    analogs_->setMinimumHeight(inputListHeight);

    cancel_ = NamedButton(QStringLiteral("&Exit"), "cmdCancel", this);
    // Enter in a list opens its line's editor; it must not also close the window.
    cancel_->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(cancel_, QDialogButtonBox::RejectRole);

    auto* grid = new QGridLayout(this);
    grid->addLayout(inputsBox, 0, 0);
    grid->addLayout(analogsBox, 1, 0);
    grid->addLayout(outputsBox, 0, 1, 2, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);

    setTabOrder(inputs_, analogs_);
    setTabOrder(analogs_, outputs_);
    setTabOrder(outputs_, cancel_);

    connect(inputs_, &QListWidget::itemDoubleClicked, this, &frmShowConfiguration::lstInputs_DblClick);
    connect(analogs_, &QListWidget::itemDoubleClicked, this, &frmShowConfiguration::lstAnalogs_DblClick);
    connect(outputs_, &QListWidget::itemDoubleClicked, this, &frmShowConfiguration::lstOutputs_DblClick);
    connect(cancel_, &QPushButton::clicked, this, &frmShowConfiguration::cmdCancel_Click);
}

void frmShowConfiguration::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    UpdateConfigDisplay();
}

bool frmShowConfiguration::eventFilter(QObject* watched, QEvent* event) {
    // Enter on a line does what a double-click does, for those who use the keyboard.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == inputs_) lstInputs_DblClick();
            else if (watched == analogs_) lstAnalogs_DblClick();
            else if (watched == outputs_) lstOutputs_DblClick();
            else return QDialog::eventFilter(watched, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmShowConfiguration::UpdateConfigDisplay() {
    Refill(inputs_, ContactInputLines(config()));
    Refill(analogs_, AnalogInputLines(config()));
    Refill(outputs_, OutputLines(config(), target().ChildCount, target().PellarDevice));
}

std::optional<int> frmShowConfiguration::SelectedChannel(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) return std::nullopt;
    return LeadingInteger(QStringView(selected.first()->text()).left(2)).value_or(0);
}

void frmShowConfiguration::lstInputs_DblClick() {
    const std::optional<int> channel = SelectedChannel(inputs_);
    if (!channel) return;
    session().SelectedInputChannel = int16_t(*channel);
    OpenWindow(WindowId::frmInputs, this);
    UpdateConfigDisplay();
}

void frmShowConfiguration::lstAnalogs_DblClick() {
    const std::optional<int> channel = SelectedChannel(analogs_);
    if (!channel) return;
    session().SelectedAnalogChannel = int16_t(*channel);
    // The shared editor opens on whichever kind the menus chose last; a line here is an
    // analog input, so it must open as one.
    session().AnalogMode = true;
    OpenWindow(WindowId::frmAnalogs, this);
    UpdateConfigDisplay();
}

void frmShowConfiguration::lstOutputs_DblClick() {
    const std::optional<int> channel = SelectedChannel(outputs_);
    if (!channel) return;
    session().SelectedOutputChannel = int16_t(*channel);
    OpenWindow(WindowId::frmOutputs, this);
    UpdateConfigDisplay();
}

void frmShowConfiguration::cmdCancel_Click() { reject(); }

} // namespace korvel
