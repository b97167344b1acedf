#include "control/linkservices.h"
#include "control/lentbox.h"
#include "control/commandstates.h"

#include "link/linkhold.h"
#include "platform/eventpump.h"

#include "model/target.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/switchthrough.h"
#include "link/transaction.h"
#include "link/transport.h"
#include "platform/prompts.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "model/eventlist.h"
#include "control/channelclear.h"
#include "control/localsettings.h"
#include "control/eventdisplay.h"
#include "control/progress.h"
#include "control/rxdispatch.h"

#include <QDateTime>
#include <QDeadlineTimer>

namespace korvel {

namespace {
// Set while a BGProcess tick sends the owed acknowledgements.
bool bgProcessRunning = false;
// After a channel wait given up without asking while another question was up: not
// run again before this, as long as a question is still up (each run polls a hundred
// times over).
QDeadlineTimer g_quietRetry;
constexpr int kQuietRetryMs = 5000;
} // namespace

LinkSettings ProgramLinkClient::Settings() const {
    const LocalSettings& ls = settings();
    LinkSettings l;
    l.Port = ls.CommPortDevice.isEmpty() ? QString::number(ls.CommPortNumber) : ls.CommPortDevice;
    l.Radio = ls.PortProtocol == LOCALPORT_FLEETSYNC;
    l.OneStopBit = ls.PortProtocol == LOCALPORT_MODULE_8N1;
    l.RetryCount = ls.RetryCount;
    l.InterByteTimeout = ls.InterByteTimeout;
    l.DebugDisplay = ls.LinkDebugDisplay != 0;
    return l;
}

void ProgramLinkClient::FrameReceived(const QByteArray& RxBuffer) {
    // The frame is this call's own: one handled while it waits in a box it opened (a
    // message box runs the event loop) cannot change it. Holding the later frame back
    // until the box closes instead would starve whatever waits for an answer inside that
    // box, such as the acknowledging tick's channel poll.
    ProcessRxPacket(RxBuffer);
}

void ProgramLinkClient::RadioProgress(ProgressLabel label, const QString& text) {
    ProgressView& view = progressView();
    view.Load();
    view.SetLabelText(label, text);
}

void ProgramLinkClient::ReplyProgress(int16_t& value) { ShowProgressPercent(value); }

bool ProgramLinkClient::TrafficShown() const { return eventMonitor().EventMonitorOpen; }

bool ProgramLinkClient::AllTrafficShown() const { return eventMonitor().EventShowAll; }

void ProgramLinkClient::TrafficLine(const QString& text) {
    // Like every line the monitor shows, traffic goes to its log as well.
    const QString line = EventLogStamp(QDateTime::currentDateTime()) + text;
    AddEventLine(line);
    PrintEventLog(line);
}

void ProgramLinkClient::CommunicationLost() { target().PellarDevice = false; }

bool ProgramLinkClient::GoOnWithoutAnswer(const LinkHold& hold) {
    // The link is lent while the question is up: events are acknowledged and polls go
    // on meanwhile, as borrowers that never end the link.
    return MsgBoxLent(hold,
                      QStringLiteral("No Communication from module") + QStringLiteral("\r\n") +
                          QStringLiteral("Check cable and COM port, Continue?"),
                      vbYesNo + vbQuestion, QStringLiteral("Communication Timer")) == vbYes;
}

void ProgramLinkClient::NoAnswerGivenUp() {
    ReportLinkOffLine(QStringLiteral("Communication Timeout"));
    SerialPortIo& port = CommPort();
    // An open event monitor keeps listening on the port.
    if (!TrafficShown() && port.IsOpen()) port.Close();
    port.ClearInput();
    port.ClearOutput();
    // Off line: nothing that needs the station's configuration or the station itself is
    // offered until the user reads again.
    using enum MenuItem;
    LinkHost& host = linkHost();
    for (MenuItem m : {mnuFileSave, mnuFilePrint, mnuConfiguration, mnuConfigSystem, mnuConfigPorts,
                       mnuConfigContactInputs, mnuConfigAnalogInputs, mnuConfigTemp, mnuConfigOutputs,
                       mnuViewStatus, mnuSystemResetNVR, mnuSystemRestart, mnuDateTime})
        host.SetMenuEnabled(m, false);
    for (ToolButton b : {ToolButton::Save, ToolButton::Print, ToolButton::Write, ToolButton::Config})
        host.SetToolbarButtonEnabled(b, false);
    host.SetToolbarButtonEnabled(ToolButton::Read, true);
    host.SetPanelText(3, QString());
    host.SetTimerEnabled(LinkTimer::CommIn, false);
    if (TcpLinkUp()) CloseTcpLink();
}

void ProgramLinkClient::PortOpenFailed(const QString& text) {
    MsgBox(text, vbOKOnly + vbCritical, QStringLiteral("Port Open Error"));
}

void ProgramLinkClient::ConnectFailed(const QString& text) { MsgBox(text, vbOKOnly, QString()); }

void ProgramLinkClient::LinkError(const QString& text) { MsgBox(text, vbOKOnly + vbInformation, QString()); }

void ProgramLinkClient::SwitchThroughStarted() {
    // The flash commands need the local module on this program's own link; the host
    // holds it now.
    SetFlashCommandsEnabled(linkHost(), false);
}

void ProgramLinkClient::SwitchThroughFailed(const QString& text) {
    // Said first, as any link error is; the end after it closes the program.
    LinkError(text);
    switchThrough().EndLink();
}

int ProgramLinkClient::AnswerHostQuestion(const QString& prompt, int style, const QString& title) {
    return MsgBox(prompt, style, title);
}

void ProgramLinkClient::MessageTick() {
    const auto& s = linkState();
    if (s.ProgressActive != 1) {
        linkHost().SetTimerEnabled(LinkTimer::MsgTimer, false);
        linkHost().SetPanelText(4, QString());
        return;
    }
    ProgressView& view = progressView();
    if (!view.LabelText(ProgressLabel::Label1).isEmpty()) {
        view.SetLabelText(ProgressLabel::Label1, QString());
    } else {
        view.SetLabelText(ProgressLabel::Label1, channelClearWait()
                                                     ? QStringLiteral("Waiting for communication clear ...")
                                                     : QStringLiteral("Please wait ..."));
    }
}

void ProgramLinkClient::BackgroundTick() {
    bool& running = bgProcessRunning;
    auto& ack = eventAck();
    linkHost().SetTimerEnabled(LinkTimer::BGProcess, false);
    // A tick that fires while an earlier one waits for the channel leaves the queue to
    // that one, which keeps sending until nothing is owed.
    if (running) return;
    if (MessageBoxesUp() > 0 && !g_quietRetry.hasExpired()) {
        linkHost().SetTimerEnabled(LinkTimer::BGProcess, true);
        return;
    }
    // The link belongs to a job this tick interrupts (a transfer, a poll, a TCP connect
    // under way): the acknowledgements go out on a later tick.
    if (LinkBusy()) {
        ack.AckPending = !ack.OwedAcks.isEmpty();
        if (ack.AckPending) linkHost().SetTimerEnabled(LinkTimer::BGProcess, true);
        return;
    }
    // A link taken off line (the user gave up on the module, the host or socket went)
    // carries no acknowledgement, nor is opened again for one: the module repeats an event
    // it was not answered for, once it is reached again.
    if (!LinkUsable()) {
        ack.OwedAcks.clear();
        ack.AckPending = false;
        return;
    }
    running = true;
    bool tryAgain = true;
    {
        const LinkHold hold(LinkHold::MayLend, LinkHold::Background);
        while (hold.Granted() && !ack.OwedAcks.isEmpty() && !ProgramEnding()) {
            // Each acknowledgement keeps its own station, passed along rather than put
            // where every job would see it for the length of the channel wait.
            const int16_t source = ack.OwedAcks.first();
            const bool sent = WaitChannelClear(hold, source) == 0 && SendAck(hold, source) == SEND_OK;
            if (!sent && !hold.MayAsk()) {
                // Given up without asking (on a lent link, or while another question is
                // up): a module that does not answer leaves it owed, for when it answers
                // again; on a link that has gone, for when an event wakes the tick.
                tryAgain = LinkUsable();
                if (MessageBoxesUp() > 0) g_quietRetry = QDeadlineTimer(kQuietRetryMs);
                break;
            }
            // Sent, or a wait the user abandoned: the module repeats an event it was not
            // answered for, and a new acknowledgement is owed then.
            ack.OwedAcks.removeOne(source);
            if (!sent && !LinkUsable()) {
                tryAgain = false;
                break;
            }
        }
    }
    ack.AckPending = !ack.OwedAcks.isEmpty();
    running = false;
    if (ack.AckPending && tryAgain && !ProgramEnding()) linkHost().SetTimerEnabled(LinkTimer::BGProcess, true);
}

void InstallProgramLinkClient() {
    static ProgramLinkClient client;
    bgProcessRunning = false;
    g_quietRetry = QDeadlineTimer();
    SetLinkClient(&client);
}

} // namespace korvel
