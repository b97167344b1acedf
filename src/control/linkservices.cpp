#include "control/linkservices.h"

#include "model/target.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "model/eventlist.h"
#include "control/channelclear.h"
#include "control/localsettings.h"
#include "control/progress.h"
#include "control/rxdispatch.h"

#include <QDateTime>

namespace korvel {

namespace {
// Set while a BGProcess tick sends the owed acknowledgements.
bool bgProcessRunning = false;
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

void ProgramLinkClient::FrameReceived() { ProcessRxPacket(); }

void ProgramLinkClient::RadioProgress(ProgressLabel label, const QString& text) {
    ProgressView& view = progressView();
    if (!view.Loaded()) {
        // Loading the window must not forget a cancel the user already asked for.
        const bool cancel = linkState().UserCancel;
        view.Load();
        linkState().UserCancel = cancel;
    }
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
        view.SetLabelText(ProgressLabel::Label1, s.ChannelClearWait
                                                     ? QStringLiteral("Waiting for communication clear ...")
                                                     : QStringLiteral("Please wait ..."));
    }
}

void ProgramLinkClient::BackgroundTick() {
    bool& running = bgProcessRunning;
    auto& s = linkState();
    auto& ack = eventAck();
    linkHost().SetTimerEnabled(LinkTimer::BGProcess, false);
    // A tick that fires while an earlier one waits for the channel leaves the queue to
    // that one, which keeps sending until nothing is owed.
    if (running) return;
    running = true;
    while (!ack.OwedAcks.isEmpty()) {
        // An acknowledgement cannot go out inside another transaction, nor while a TCP
        // connection is still being opened: try again later.
        if (s.TxState != TX_IDLE || s.TcpConnecting) break;
        const int16_t source = ack.OwedAcks.takeFirst();
        const int16_t saved = s.StationAddress[0];
        s.StationAddress[0] = source;
        // A wait the user abandons drops this acknowledgement; the module repeats its
        // event and a new one is owed then.
        const bool clear = WaitChannelClear() == 0;
        if (clear) SendAck(source);
        s.StationAddress[0] = saved;
    }
    ack.AckPending = !ack.OwedAcks.isEmpty();
    running = false;
    if (ack.AckPending) linkHost().SetTimerEnabled(LinkTimer::BGProcess, true);
}

void InstallProgramLinkClient() {
    static ProgramLinkClient client;
    bgProcessRunning = false;
    SetLinkClient(&client);
}

} // namespace korvel
