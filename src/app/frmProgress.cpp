#include "app/frmProgress.h"
#include "control/progress.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace korvel {

namespace {
constexpr int kDesignMaximum = 100;
const char* const kLabelNames[5] = {"Label1", "lblKen", "Label2", "lblInner", "lblTimer"};
} // namespace

frmProgress::frmProgress(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmProgress"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* layout = new QVBoxLayout(this);
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(ProgressDesignText(static_cast<ProgressLabel>(i)), this);
        label->setObjectName(QString::fromLatin1(kLabelNames[i]));
        labels_[i] = label;
        layout->addWidget(label);
    }
    // The cancel notice is long; it must wrap rather than stretch the window.
    Label(ProgressLabel::lblInner)->setWordWrap(true);

    auto* barRow = new QHBoxLayout;
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("ProgressBar1"));
    bar_->setAccessibleName(tr("Transfer progress"));
    bar_->setRange(0, kDesignMaximum);
    bar_->setValue(0);
    bar_->setTextVisible(false);  // lblpercent carries the text
    percent_ = new QLabel(this);
    percent_->setObjectName(QStringLiteral("lblpercent"));
    percent_->setMinimumWidth(percent_->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
    percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    barRow->addWidget(bar_, 1);
    barRow->addWidget(percent_);
    layout->addLayout(barRow);

    auto* buttonRow = new QHBoxLayout;
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cmdCancel"));
    buttonRow->addStretch(1);
    buttonRow->addWidget(cancel_);
    layout->addLayout(buttonRow);
    connect(cancel_, &QPushButton::clicked, this, [] { ProgressCancelClicked(); });

    setMinimumWidth(360);
    cancel_->setFocus();
}

void frmProgress::reject() { ProgressCancelClicked(); }

void frmProgress::closeEvent(QCloseEvent* event) {
    // Vanishing here would leave the transfer writing to a window that is gone.
    event->ignore();
    ProgressCancelClicked();
}

ProgressWindowView::ProgressWindowView(QWidget* owner) : owner_(owner) {}

ProgressWindowView::~ProgressWindowView() { delete window_.data(); }

void ProgressWindowView::Load() {
    if (!window_) window_ = new frmProgress(owner_.data());
}

bool ProgressWindowView::Visible() const { return window_ && window_->isVisible(); }

void ProgressWindowView::Show() {
    Load();
    window_->show();
    window_->raise();
}

void ProgressWindowView::Unload() {
    // Deleted outright (no close event, which would count as a cancel): the window
    // never unloads itself, so none of its own handlers is on the stack here.
    delete window_.data();
}

void ProgressWindowView::SetCaption(const QString& text) {
    if (window_) window_->setWindowTitle(text);
}

QString ProgressWindowView::Caption() const { return window_ ? window_->windowTitle() : QString(); }

void ProgressWindowView::SetLabelText(ProgressLabel label, const QString& text) {
    if (!window_) return;
    window_->Label(label)->setText(text);
    // A longer text (the cancel notice wraps to several lines) grows the window rather
    // than being cut off.
    QLayout* layout = window_->layout();
    layout->activate();
    const int needed = layout->hasHeightForWidth() ? layout->totalHeightForWidth(window_->width())
                                                   : layout->totalSizeHint().height();
    if (needed > window_->height()) window_->resize(window_->width(), needed);
}

QString ProgressWindowView::LabelText(ProgressLabel label) const {
    return window_ ? window_->Label(label)->text() : ProgressDesignText(label);
}

void ProgressWindowView::SetMaximum(int maximum) {
    // The bar always starts at 0, whatever maximum a caller computes.
    if (window_) window_->ProgressBar1()->setRange(0, std::max(0, maximum));
}

int ProgressWindowView::Maximum() const {
    return window_ ? window_->ProgressBar1()->maximum() : kDesignMaximum;
}

void ProgressWindowView::SetBar(int value, const QString& percentText) {
    if (!window_) return;
    window_->ProgressBar1()->setValue(value);
    window_->lblpercent()->setText(percentText);
}

int ProgressWindowView::BarValue() const { return window_ ? window_->ProgressBar1()->value() : 0; }

QString ProgressWindowView::PercentText() const {
    return window_ ? window_->lblpercent()->text() : QString();
}

} // namespace korvel
