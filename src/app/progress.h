// The shared progress window as transfers and timers drive it: a view interface the
// window implements (a memory-only view stands in without widgets), the percentage
// rule and the cancel request.
#pragma once

#include <QString>
#include <cstdint>

namespace korvel {

enum class ProgressLabel { Label1, lblKen, Label2, lblInner, lblTimer };

class ProgressView {
public:
    virtual ~ProgressView() = default;
    // Loads the window without showing it (UserCancel := False on load), so that texts
    // set before it comes up are kept.
    virtual void Load() = 0;
    // Loads the window if needed and shows it modeless.
    virtual void Show() = 0;
    // Closes and releases the window; a later Show starts from the design texts.
    virtual void Unload() = 0;
    virtual bool Loaded() const = 0;
    virtual bool Visible() const = 0;
    virtual void SetCaption(const QString& text) = 0;
    virtual QString Caption() const = 0;
    virtual void SetLabelText(ProgressLabel label, const QString& text) = 0;
    virtual QString LabelText(ProgressLabel label) const = 0;
    virtual void SetMaximum(int maximum) = 0;
    virtual int Maximum() const = 0;
    // The bar's value and the percentage text beside it.
    virtual void SetBar(int value, const QString& percentText) = 0;
    virtual int BarValue() const = 0;
    virtual QString PercentText() const = 0;
};

// The texts the window carries when it loads.
QString ProgressDesignText(ProgressLabel label);
inline constexpr const char* kCancelNotice =
    "Cancelling transmission process. Please wait while current transmission completes. "
    "This may take a few moments.";

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
// The Cancel button: asks the running transfer to stop and says so in the window.
void ProgressCancelClicked();

} // namespace korvel
