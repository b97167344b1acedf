#include "control/progress.h"
#include "link/linkstate.h"

#include <cmath>

namespace korvel {

MemoryProgressView::MemoryProgressView() { Reset(); }

void MemoryProgressView::Reset() {
    caption_.clear();
    for (int i = 0; i < 5; ++i) labels_[i] = ProgressDesignText(static_cast<ProgressLabel>(i));
    maximum_ = 100;
    value_ = 0;
    percent_.clear();
}

void MemoryProgressView::Load() {
    if (!loaded_) {
        Reset();
        ClearCancel();
    }
    loaded_ = true;
}

void MemoryProgressView::Show() {
    Load();
    visible_ = true;
}

void MemoryProgressView::Unload() {
    loaded_ = false;
    visible_ = false;
    Reset();
}

void MemoryProgressView::SetLabelText(ProgressLabel label, const QString& text) {
    labels_[static_cast<int>(label)] = text;
}

QString MemoryProgressView::LabelText(ProgressLabel label) const {
    return labels_[static_cast<int>(label)];
}

void MemoryProgressView::SetBar(int value, const QString& percentText) {
    value_ = value;
    percent_ = percentText;
}

namespace {
ProgressView* installedView = nullptr;
MemoryProgressView& fallbackView() {
    static MemoryProgressView v;
    return v;
}
} // namespace

ProgressView& progressView() { return installedView ? *installedView : fallbackView(); }
void SetProgressView(ProgressView* v) { installedView = v; }

void ShowProgressPercent(int16_t& value) {
    ProgressView& view = progressView();
    const int maximum = view.Maximum();
    if (value > maximum) value = static_cast<int16_t>(maximum);
    // A long reply countdown can ask for less than nothing; the bar cannot show it.
    const int shown = value < 0 ? 0 : value;
    int percent = 0;
    if (maximum > 0) percent = static_cast<int>(std::floor(100.0 / maximum * shown));
    view.SetBar(shown, QString::number(percent) + QLatin1Char('%'));
}

void RequestCancel() { linkState().UserCancel = true; }
void ClearCancel() { linkState().UserCancel = false; }
bool CancelRequested() { return linkState().UserCancel; }

namespace {
int holdDepth = 0;
bool cancelNoted = false;
} // namespace

void ProgressCancelClicked() {
    if (holdDepth > 0)
        cancelNoted = true;
    else
        linkState().UserCancel = true;
    progressView().SetLabelText(ProgressLabel::lblInner, QString::fromLatin1(kCancelNotice));
}

HeldCancel::HeldCancel() {
    LinkState& s = linkState();
    // A cancel meant for one transaction only ends with that one; any other is kept.
    if (holdDepth++ == 0 && s.UserCancel && !s.CancelEndsWithTransaction) {
        cancelNoted = true;
        s.UserCancel = false;
    }
}

HeldCancel::~HeldCancel() {
    if (--holdDepth > 0 || !cancelNoted) return;
    cancelNoted = false;
    linkState().UserCancel = true;
}

} // namespace korvel
