// Common ground for window tests: a link fixture against the simulated module, with the
// data folder and the window settings in a temporary folder, the program's windows
// registered, stand-ins for windows not built, the main window on demand, and helpers
// to act on a modal dialog once it is up. A dialog left open by a failing step is
// closed after a while, so the test fails instead of hanging the run.
#pragma once

#include "app/frmMain.h"
#include "app/windowregistry.h"
#include "support/dialoghelpers.h"
#include "support/simfixture.h"

#include <QApplication>
#include <QList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

namespace korvel::test {

class AppFixture : public SimLinkFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window and runs its load handler; shown on request.
    frmMain& Open(bool show = false);
    // A menu item or toolbar button as the user uses it: it must be enabled.
    void Trigger(MenuItem item);
    void Press(ToolButton button);
    QString Panel(int n) const;
    // A value stored under the window's settings, "Settings/" + key.
    QString Registry(const char* key) const;

    // A loaded configuration of factory defaults, as a dialog finds it after an off-line
    // start: a Korvel with child modules, or a Pellar with the expansion boards of mask.
    void LoadKorvel(int children);
    void LoadPellar(int boardMask);

    // Registers a stand-in for a window: each opening is recorded in `opened` and its
    // owner in `owners` (the main window unless ownerIsMainWindow is cleared), and runs
    // onOpen.
    void Fake(WindowId id, std::function<void()> onOpen = {});

    // Runs act on the modal dialog of type Dialog once the event loop shows it; counts
    // in `modalDialogs` each time it found one.
    template <typename Dialog>
    void WhenModal(std::function<void(Dialog&)> act) {
        QTimer::singleShot(0, [this, act] {
            auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!d) return;
            ++modalDialogs;
            act(*d);
        });
    }

    // Like WhenModal, for a dialog that comes up later, after other windows and waits:
    // looks again on every pass of the event loop until one is up, then acts once.
    template <typename Dialog>
    void WhenShown(std::function<void(Dialog&)> act) {
        auto* poll = new QTimer(window.get() ? static_cast<QObject*>(window.get()) : qApp);
        QObject::connect(poll, &QTimer::timeout, [this, poll, act] {
            auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!d) return;
            poll->stop();
            poll->deleteLater();
            ++modalDialogs;
            act(*d);
        });
        poll->start(1);
    }

    // Answers the next connect dialog with the simulated module's TCP address.
    void ConnectToSimWhenAsked();
    // The toolbar's Read and Write against the simulated module over TCP; the write
    // answers Yes to overwriting the module's configuration. Panel 2 tells the outcome.
    void ReadFromSim();
    void WriteToSim();
    // The simulated module as an editor's round trip starts: a Korvel with children on
    // TCP, nothing in memory to lose, a short reply time-out, and a stand-in for the
    // system dialog that follows a read.
    void ServeKorvel(int children);
    // The whole road of an edit: the main window shown and a read from the module
    // (true when "Configuration Downloaded"), then the write back (true when
    // "Configuration Uploaded").
    bool ReadConfiguration();
    bool WriteConfiguration();
    // Every block the simulated module holds equals expected, byte for byte.
    void ExpectSimBlocks(const QHash<sim::BlockKey, QByteArray>& expected) const;
    // A test of many steps, each bounded on its own, gives the guard against a dialog left
    // open its full time again at each step.
    void RearmHangGuard();

    QTemporaryDir dir;
    std::unique_ptr<frmMain> window;
    QList<WindowId> opened;
    QList<QWidget*> owners;
    bool ownerIsMainWindow = true;
    int modalDialogs = 0;
    // Every box takes the activation from the windows while it is up.
    BoxesTakeActivation boxes{prompts};

private:
    QTimer hangGuard_;
};

} // namespace korvel::test
