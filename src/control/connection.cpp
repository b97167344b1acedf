#include "control/connection.h"
#include "control/lentbox.h"
#include "link/linkhold.h"

#include "control/connectchoice.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "control/targetcheck.h"
#include "model/fleetid.h"
#include "model/model.h"
#include "model/target.h"
#include "model/textnumber.h"
#include "control/transfer.h"
#include "control/commandstates.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "link/transport.h"
#include "platform/eventpump.h"
#include "platform/prompts.h"
#include "platform/serialport.h"

#include <cmath>
#include <memory>
#include <optional>

namespace korvel {

// The menu items by their own names; every one of them starts with "mnu".
using enum MenuItem;

namespace {

class NoConnectionUi : public ConnectionUi {
public:
    bool ShowConnectDialog() override { return false; }
    int ChooseOfflineDevice() override { return 0; }
};

ConnectionUi* g_ui = nullptr;

long MyAddress() { return static_cast<long>(std::nearbyint(config().SystemConfig[0])); }

void Enable(std::initializer_list<MenuItem> items, bool on) {
    for (MenuItem item : items) linkHost().SetMenuEnabled(item, on);
}
void EnableButtons(std::initializer_list<ToolButton> buttons, bool on) {
    for (ToolButton button : buttons) linkHost().SetToolbarButtonEnabled(button, on);
}

// What a read changes besides the link: put back when it does not complete.
struct KeptState {
    StationConfig config;
    TargetState target;
    SessionState session;
    CommandStates commands;
};

// The status bar after a transfer that did not complete: what happened, and no reply
// countdown or retry count left running on.
void ShowTransferEnded(const QString& text) {
    LinkHost& host = linkHost();
    host.SetTimerEnabled(LinkTimer::CommIn, false);
    host.SetPanelText(2, text);
    host.SetPanelText(3, QString());
    if (host.PanelText(4).endsWith(QStringLiteral("mS"))) host.SetPanelText(4, QString());
    host.RefreshStatusBar();
}

// The module check and the read proper, as one step that succeeds or fails.
TransferResult ReadWholeConfiguration(const LinkHold& hold) {
    LinkHost& host = linkHost();
    if (OpenLinkPort() != 0) return TRANSFER_FAILED;
    EnableButtons({ToolButton::Write, ToolButton::Read}, false);
    if (settings().PortProtocol != LOCALPORT_FLEETSYNC &&
        ModuleModeCheck(hold, [] { connectionUi().RunFlashLoad(); }) != 0)
        return hold.CancelAsked() ? TRANSFER_CANCELLED : TRANSFER_FAILED;
    const TransferResult result = ReadConfiguration(hold);
    if (result != TRANSFER_OK) return result;
    host.SetPanelText(2, QStringLiteral("Configuration Downloaded"));
    host.SetPanelText(3, QString());
    host.SetPanelText(4, QString());
    Enable({mnuFileSave, mnuFilePrint, mnuConfiguration, mnuConfigSystem, mnuConfigPorts,
            mnuConfigContactInputs, mnuConfigAnalogInputs, mnuConfigTemp, mnuConfigOutputs,
            mnuViewStatus, mnuSystem, mnuEvents},
           true);
    EnableButtons({ToolButton::Save, ToolButton::Print, ToolButton::Write, ToolButton::Read, ToolButton::Config}, true);
    session().Online = 1;
    host.SetPanelText(1, StationText());
    host.SetTimerEnabled(LinkTimer::CommIn, false);
    return TRANSFER_OK;
}

} // namespace

ConnectionUi& connectionUi() {
    static NoConnectionUi none;
    return g_ui ? *g_ui : none;
}

void SetConnectionUi(ConnectionUi* ui) { g_ui = ui; }

bool LinkStillUp() {
    const LinkState& s = linkState();
    return s.LinkMode == LINK_SWITCH_THROUGH || TcpLinkUp() || CommPort().IsOpen();
}

QString StationText() {
    return QStringLiteral("Station: ") + ThreeDigits(MyAddress());
}

bool AskFleetSyncTarget() {
    const QString prompt = QStringLiteral("Enter the mobiles unique ID in the format FFF:IIII") + kLineBreak +
                           kLineBreak +
                           QStringLiteral("This is the address of the radio connected to the target Korvel site.") +
                           kLineBreak;
    for (;;) {
        const auto answer =
            prompts().InputBox(prompt, QStringLiteral("Kenwood FleetSync Mobile Fleet/ID"), QString());
        linkState().FleetSyncTarget = answer.value_or(QString());
        if (linkState().FleetSyncTarget.isEmpty()) return false;
        const FleetIdEntry entry = ParseFleetId(linkState().FleetSyncTarget);
        if (entry.accepted()) {
            // The radio frame carries three fleet digits and four ID digits: an ID typed
            // with a leading zero ("100:01000") is the radio 100:1000.
            linkState().FleetSyncTarget = QStringLiteral("%1:%2").arg(entry.fleet).arg(entry.id);
            return true;
        }
        MsgBox(entry.message, vbOKOnly, QString());
    }
}

void ConnectAndRun(int16_t operation) {
    // The questions (the radio's Fleet/ID, the connect dialog) come before the link is
    // taken, and the System dialog after the transfer has let it go: a person may leave
    // any of them open for minutes while events are acknowledged.
    if (ProgramEnding()) return;
    LinkState& s = linkState();
    switch (settings().PortProtocol) {
    case LOCALPORT_FLEETSYNC:
        if (!AskFleetSyncTarget()) return;
        SetConnectionReplyTimeout(settings().PacketTimeout);
        s.StationAddress[0] = 0;
        break;
    case LOCALPORT_MODULE:
        if (s.LinkMode == LINK_SWITCH_THROUGH) {
            SetConnectionReplyTimeout(settings().PacketTimeout);
            s.StationAddress[0] = s.StationAddress[1] = s.StationAddress[2] = 0;
            SelectFirstChannels();
            UseSerialLink();
        } else if (!connectionUi().ShowConnectDialog()) {
            return;
        }
        break;
    default:
        // No station to choose: the link goes on as it was last set.
        break;
    }

    int16_t result;
    if (operation == CONNECT_READ) {
        result = DownloadConfiguration(ReadStart::FactoryDefaults);
    } else {
        result = UploadConfiguration();
    }
    if (result != 0) return;

    LinkHost& host = linkHost();
    session().Online = 1;
    host.SetPanelText(1, StationText());
    Enable({mnuConfiguration, mnuConfigSystem, mnuConfigContactInputs, mnuConfigAnalogInputs,
            mnuConfigTemp, mnuConfigOutputs, mnuViewStatus, mnuSystemResetNVR, mnuConfigPorts},
           true);
    EnableButtons({ToolButton::Save, ToolButton::Read}, true);
    host.SetMenuVisible(mnuPorts10Base, false);
    const bool pellar = target().PellarDevice;
    Enable({mnuTasks, mnuLogger, mnuSystemRestart}, !pellar);
    host.SetMenuVisible(mnuPortsFFSK, !pellar);
    Enable({mnuDateTime}, !pellar);
    if (operation == CONNECT_READ) connectionUi().ShowSystemDialog();
}

int16_t DownloadConfiguration(ReadStart start) {
    // The blocks arrive one by one into the model. Until the last has come, what was in
    // memory is kept aside and put back if the read does not complete, so a broken read
    // never leaves a half-new configuration to be saved or written.
    const auto before = std::make_unique<KeptState>();
    before->config = config();
    before->target = target();
    before->session = session();
    before->commands = SaveCommandStates(linkHost());
    const bool hadConfiguration = before->commands.enabled[Index(mnuFileSave)];

    if (start == ReadStart::FactoryDefaults) SetDefaultConfiguration();
    TransferResult result = TRANSFER_FAILED;
    bool gaveUp = false;
    {
        const LinkHold hold;
        result = ReadWholeConfiguration(hold);
        gaveUp = hold.GaveUp();
    }
    if (result == TRANSFER_OK) return 0;

    config() = before->config;
    target() = before->target;
    session() = before->session;
    RestoreCommandStates(linkHost(), before->commands);
    // A module given up on has taken its link off line: nothing that talks to the station
    // itself comes back until a read chooses a link again, or it would go out of whatever
    // port is left.
    if (gaveUp) Enable({mnuViewStatus, mnuSystemResetNVR, mnuSystemRestart, mnuDateTime}, false);
    EnableButtons({ToolButton::Read}, true);
    const QString unchanged = QStringLiteral(", configuration in memory unchanged");
    ShowTransferEnded((result == TRANSFER_CANCELLED ? QStringLiteral("Read cancelled") : QStringLiteral("Read failed")) +
                      (hadConfiguration ? unchanged : QString()));
    if (hadConfiguration && result == TRANSFER_FAILED)
        MsgBox(QStringLiteral("The configuration could not be read from the module.") + kLineBreak +
                   QStringLiteral("The configuration in memory is unchanged."),
               vbOKOnly + vbExclamation, QString());
    return 1;
}

int16_t UploadConfiguration() {
    LinkState& s = linkState();
    LinkHost& host = linkHost();
    // A module reached over TCP needs no serial port.
    if (OpenLinkPort() != 0) return 1;
    const LinkHold hold;
    if (session().OffLineEdit) {
        if (settings().PortProtocol != LOCALPORT_FLEETSYNC &&
            ModuleModeCheck(hold, [] { connectionUi().RunFlashLoad(); }) != 0) {
            EnableButtons({ToolButton::Read}, true);
            return 1;
        }
        session().Online = 1;
    }
    if (s.StationAddress[0] != 0 && s.StationAddress[0] != MyAddress()) {
        const QString text = QStringLiteral("Warning - the network address specified ( ") +
                             QString::number(s.StationAddress[0]) + QStringLiteral(") is different") +
                             kLineBreak + QStringLiteral("to the one contained in the system configuration (") +
                             QString::number(MyAddress()) + QStringLiteral(") being uploaded") + kLineBreak +
                             QStringLiteral("Continue? ");
        if (MsgBoxLent(hold, text, vbYesNo + vbExclamation, QStringLiteral("OMRU")) == vbNo) return 1;
    }
    host.SetPanelText(1, StationText());
    // A failed write leaves the configuration in memory as it was: so are the commands
    // that save, print or write it again.
    const CommandStates before = SaveCommandStates(host);
    EnableButtons({ToolButton::Write, ToolButton::Read}, false);
    const TransferResult result = WriteConfiguration(hold);
    if (result == TRANSFER_OK) {
        host.SetPanelText(2, QStringLiteral("Configuration Uploaded"));
        host.SetPanelText(3, QString());
    } else {
        RestoreCommandStates(host, before);
        ShowTransferEnded(result == TRANSFER_CANCELLED ? QStringLiteral("Write cancelled")
                                                       : QStringLiteral("Write failed"));
    }
    EnableButtons({ToolButton::Write, ToolButton::Read}, true);
    return result == TRANSFER_OK ? 0 : 1;
}

void EnterOffLineEditMode() {
    TargetState& t = target();
    LinkHost& host = linkHost();
    t.PellarDevice = connectionUi().ChooseOfflineDevice() != 0;
    t.ChildCount = 0;
    t.ExpansionBoardMask = 0;
    host.SetPanelText(2, QStringLiteral("Off Line Edit Mode"));
    host.SetPanelText(4, QString());
    SetDefaultConfiguration();
    Enable({mnuConfiguration, mnuConfigSystem, mnuConfigContactInputs, mnuConfigAnalogInputs,
            mnuConfigTemp, mnuConfigOutputs},
           true);
    Enable({mnuViewStatus, mnuSystemResetNVR, mnuSystemRestart, mnuDateTime}, false);
    if (t.PellarDevice) config().SystemConfig[1] = 16;
    Enable({mnuTasks, mnuLogger, mnuConfigPorts}, !t.PellarDevice);
    EnableButtons({ToolButton::Save, ToolButton::Print, ToolButton::Write, ToolButton::Config}, true);
    Enable({mnuFileSave, mnuFilePrint}, true);
    session().OffLineEdit = true;
    session().ClockAbsent = true;
}

} // namespace korvel
