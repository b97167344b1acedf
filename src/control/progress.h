// The shared progress window as transfers and timers drive it: the memory-only view
// that stands in without widgets, the installed view, the percentage rule and the
// Cancel button.
#pragma once

#include "platform/progressview.h"

#include <cstdint>

namespace korvel {

// Keeps everything in memory; what the core and its tests use when no window exists.
class MemoryProgressView : public ProgressView {
public:
    MemoryProgressView();
    void Load() override;
    void Show() override;
    void Unload() override;
    bool Loaded() const override { return loaded_; }
    bool Visible() const override { return visible_; }
    void SetCaption(const QString& text) override { caption_ = text; }
    QString Caption() const override { return caption_; }
    void SetLabelText(ProgressLabel label, const QString& text) override;
    QString LabelText(ProgressLabel label) const override;
    void SetMaximum(int maximum) override { maximum_ = maximum; }
    int Maximum() const override { return maximum_; }
    void SetBar(int value, const QString& percentText) override;
    int BarValue() const override { return value_; }
    QString PercentText() const override { return percent_; }

private:
    void Reset();
    bool loaded_ = false;
    bool visible_ = false;
    QString caption_;
    QString labels_[5];
    int maximum_ = 100;
    int value_ = 0;
    QString percent_;
};

ProgressView& progressView();
// Installs v (not owned); nullptr restores the memory-only view.
void SetProgressView(ProgressView* v);

// Shows value on the bar. A value above the bar's maximum is lowered to it and the
// lowered value written back; a value below 0 shows an empty bar.
void ShowProgressPercent(int16_t& value);
// The Cancel button: asks the job on the wire (the one whose progress the window shows)
// to stop, and says so in the window. A borrower's request is never cancelled by it.
void ProgressCancelClicked();

} // namespace korvel
