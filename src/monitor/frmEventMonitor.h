// The event monitor: the events the module reports and, while it is open, the link's
// traffic, one line each; a switch for the event log file and, for the local FleetSync
// radio, one that lists every radio message unfiltered. Modeless, one instance.
#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace korvel {

class frmEventMonitor : public QDialog {
    Q_OBJECT
public:
    ~frmEventMonitor() override;

    // Opens the monitor for the port the event menu chose (EventPort), modeless and
    // owned by owner; when it is open already it is brought to the front as it is.
    static void Run(QWidget* owner);
    // The open monitor, or nullptr.
    static frmEventMonitor* Instance();

    QListWidget* lstEvents() const { return events_; }
    QPushButton* cmdFileLog() const { return fileLog_; }
    QPushButton* cmdShowAll() const { return showAll_; }
    QLabel* lblShowAll() const { return showAllLabel_; }
    QPushButton* cmdCancel() const { return cancel_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape is Exit.
    void reject() override;

private:
    // Shows the monitor as OpenEventMonitor set it up, with the lines collected so far.
    explicit frmEventMonitor(QWidget* owner);

    void cmdFileLog_Click();
    void cmdShowAll_Click();
    void cmdCancel_Click();
    void AddLine(const QString& line);
    void ShowSwitches();
    void Unload(bool reopenPort);

    QListWidget* events_ = nullptr;
    QPushButton* fileLog_ = nullptr;
    QPushButton* showAll_ = nullptr;
    QLabel* showAllLabel_ = nullptr;
    QPushButton* cancel_ = nullptr;
    // The buttons' own look, for a switch that is off.
    bool unloaded_ = false;
};

} // namespace korvel
