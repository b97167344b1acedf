// The configuration overview: every enabled contact input, every enabled analog input
// and every output of the station as one fixed-pitch line each, under column headings.
// A line opens the editor of its channel; the window itself changes nothing.
#pragma once

#include <QDialog>
#include <QList>

#include <optional>

class QLabel;
class QListWidget;
class QPushButton;

namespace korvel {

class frmShowConfiguration : public QDialog {
    Q_OBJECT
public:
    explicit frmShowConfiguration(QWidget* owner);

    // Shows the single instance modal over owner until it is closed.
    static void Run(QWidget* owner);
    // The instance while one is open, else null.
    static frmShowConfiguration* Instance();

    // Builds the three lists again from the configuration in memory.
    void UpdateConfigDisplay();

    QListWidget* lstInputs() const { return inputs_; }
    QListWidget* lstAnalogs() const { return analogs_; }
    QListWidget* lstOutputs() const { return outputs_; }
    // The list titles and the column headings, left to right, list by list.
    QLabel* txtHeader(int i) const { return headers_.value(i); }
    int txtHeaderCount() const { return int(headers_.size()); }
    QPushButton* cmdCancel() const { return cancel_; }

    // The handlers, as the controls run them: each opens the editor of the selected line's
    // channel and shows what it left.
    void lstInputs_DblClick();
    void lstAnalogs_DblClick();
    void lstOutputs_DblClick();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    // The first two characters of list's selected line as a number; none without one.
    static std::optional<int> SelectedChannel(const QListWidget* list);

    QListWidget* inputs_ = nullptr;
    QListWidget* analogs_ = nullptr;
    QListWidget* outputs_ = nullptr;
    QList<QLabel*> headers_;
    QPushButton* cancel_ = nullptr;
};

} // namespace korvel
