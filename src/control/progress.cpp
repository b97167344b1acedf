#include "control/progress.h"
#include "link/linkhold.h"

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
    if (!loaded_) Reset();
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

void ProgressCancelClicked() {
    CancelJobOnTheWire();
    progressView().SetLabelText(ProgressLabel::lblInner, QString::fromLatin1(kCancelNotice));
}

} // namespace korvel
