// The shared progress window long transfers show while they run, and the view that lets
// the core drive it through ProgressView.
#pragma once

#include "control/progress.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace korvel {

class frmProgress : public QDialog {
    Q_OBJECT
public:
    // Modeless; owned (and destroyed with) owner. Starts with the design texts.
    explicit frmProgress(QWidget* owner);

    QProgressBar* ProgressBar1() const { return bar_; }
    QLabel* lblpercent() const { return percent_; }
    QLabel* Label(ProgressLabel label) const { return labels_[static_cast<int>(label)]; }
    QPushButton* cmdCancel() const { return cancel_; }

    // Escape and the title-bar close ask the transfer to stop, like Cancel; the
    // transfer closes the window itself once it has wound down.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* bar_ = nullptr;
    QLabel* percent_ = nullptr;
    QLabel* labels_[5] = {};
    QPushButton* cancel_ = nullptr;
};

// ProgressView over a real frmProgress, created on the first Show and deleted on Unload.
// While no window is loaded, setters are ignored and getters report the design values.
class ProgressWindowView : public ProgressView {
public:
    explicit ProgressWindowView(QWidget* owner);
    ~ProgressWindowView() override;
    ProgressWindowView(const ProgressWindowView&) = delete;
    ProgressWindowView& operator=(const ProgressWindowView&) = delete;

    void Load() override;
    void Show() override;
    void Unload() override;
    bool Loaded() const override { return !window_.isNull(); }
    bool Visible() const override;
    void SetCaption(const QString& text) override;
    QString Caption() const override;
    void SetLabelText(ProgressLabel label, const QString& text) override;
    QString LabelText(ProgressLabel label) const override;
    void SetMaximum(int maximum) override;
    int Maximum() const override;
    void SetBar(int value, const QString& percentText) override;
    int BarValue() const override;
    QString PercentText() const override;

    frmProgress* Window() const { return window_.data(); }

private:
    QPointer<QWidget> owner_;
    QPointer<frmProgress> window_;
};

} // namespace korvel
