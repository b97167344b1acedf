// The live status of one group of eight channels of the local module: contact inputs,
// outputs, analog or temperature inputs, polled one request at a time, refreshed by
// itself or on demand; a click on an output's meter switches the output.
#pragma once

#include "monitor/statusrules.h"

#include <QDialog>
#include <QLabel>
#include <array>
#include <functional>

class QPushButton;
class QSpinBox;
class QLineEdit;
class QTimer;

namespace korvel {

// A meter: its caption is the reading and its colour the state. An output's meter acts
// on a click, or on Space or Enter when it has the focus.
class MeterLabel : public QLabel {
public:
    explicit MeterLabel(QWidget* parent);
    std::function<void()> clicked;
    std::function<void()> doubleClicked;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class frmStatus : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMeters = 8;

    explicit frmStatus(QWidget* owner);

    // Shows the single instance modal over owner until it is closed; the opening
    // request runs once the window is up.
    static void Run(QWidget* owner);

    MeterLabel* lblMeter(int i) const { return meters_[size_t(i)]; }
    QLabel* lblRange(int i) const { return ranges_[size_t(i)]; }
    QLabel* MeterCaption(int i) const { return captions_[size_t(i)]; }
    QSpinBox* updGroup() const { return group_; }
    QLineEdit* txtGroup() const;
    QLabel* LabelGroup() const { return groupLabel_; }
    QPushButton* cmdViewInputs() const { return viewButtons_[0]; }
    QPushButton* cmdViewOutputs() const { return viewButtons_[1]; }
    QPushButton* cmdViewAnalogs() const { return viewButtons_[2]; }
    QPushButton* cmdViewTemperatures() const { return viewButtons_[3]; }
    QPushButton* cmdRefresh() const { return refresh_; }
    QPushButton* cmdAutoRefresh() const { return autoRefresh_; }
    QPushButton* cmdCancel() const { return cancel_; }
    QTimer* tmrPacketSend() const { return packetSend_; }
    QTimer* tmrRefresh() const { return refreshTimer_; }

    StatusView View() const { return view_; }
    bool Busy() const { return busy_; }
    StatusRequest PendingRequest() const { return pendingRequest_; }
    bool OutputChangePending() const { return outputChangePending_; }
    // True once the window has begun to close: nothing more is sent.
    bool Closing() const { return closing_; }

    // The handlers, as the window, its timers and its controls run them.
    void Form_Activate();
    void cmdCancel_Click();
    void cmdRefresh_Click();
    void cmdAutoRefresh_Click();
    void cmdViewInputs_Click() { SelectView(StatusView::ContactInputs); }
    void cmdViewOutputs_Click() { SelectView(StatusView::Outputs); }
    void cmdViewAnalogs_Click() { SelectView(StatusView::Analogs); }
    void cmdViewTemperatures_Click() { SelectView(StatusView::Temperatures); }
    void updGroup_Change();
    void lblMeter_Click(int i);
    void lblMeter_DblClick(int i);
    void tmrPacketSend_Timer();
    void tmrRefresh_Timer();

    // Every way of closing (Exit, Escape, the close box) comes here.
    void reject() override;

private:
    void build();
    void SelectView(StatusView view);
    void SelectViewRequest();
    void SetupGroupControl();
    void ShowChannelCaptions(int group);
    void DisableControls();
    void EnableControls();
    // Colours the view button of view green and the other three button face.
    void MarkView(StatusView view);
    void ShowContactInputs();
    void ShowOutputs();
    void ShowAnalogInputs(int group);
    void ShowTemperatures();
    void ShowBits(bool outputs);
    void SetMeter(int i, const QString& text, const QColor* colour);
    // One status reading or the pending output change; false when the link failed.
    bool ReadStatus(StatusRequest request);
    bool ChangeOutput();
    // Runs a link call with the window marked as having its request on the line.
    int16_t OnLine(const std::function<int16_t()>& send);

    std::array<MeterLabel*, kMeters> meters_{};
    std::array<QLabel*, kMeters> ranges_{};
    std::array<QLabel*, kMeters> captions_{};
    std::array<QPushButton*, 4> viewButtons_{};
    QSpinBox* group_ = nullptr;
    QLabel* groupLabel_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* autoRefresh_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer* packetSend_ = nullptr;
    QTimer* refreshTimer_ = nullptr;

    StatusView view_ = StatusView::ContactInputs;
    bool busy_ = false;
    StatusRequest pendingRequest_ = StatusRequest::None;
    int outputIndex_ = 0;
    bool outputChangePending_ = false;
    int refreshCountdown_ = 0;

    bool activated_ = false;
    bool closing_ = false;
    // True while a request of this window is on the line (its call is on the stack).
    bool onLine_ = false;
    bool inTick_ = false;
};

} // namespace korvel
