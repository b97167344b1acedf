// The progress window as the core sees it: the view interface that the window implements
// and a memory-only view replaces, with the texts the window carries when it loads.
#pragma once

#include <QString>

namespace korvel {

enum class ProgressLabel { Label1, lblKen, Label2, lblInner, lblTimer };

class ProgressView {
public:
    virtual ~ProgressView() = default;
    // Loads the window without showing it, so that texts set before it comes up are
    // kept.
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

} // namespace korvel
