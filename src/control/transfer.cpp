#include "control/transfer.h"
#include "control/lentbox.h"
#include "link/linkhold.h"

#include "control/configblocks.h"
#include "control/progress.h"
#include "control/refusals.h"
#include "model/model.h"
#include "model/target.h"
#include "link/builders.h"
#include "control/channelclear.h"
#include "control/commandstates.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "platform/eventpump.h"
#include "platform/prompts.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "model/textnumber.h"

#include <cmath>
#include <functional>

namespace korvel {

namespace {

// The write waits this long (in 100 ms ticks) for each block's acknowledgement: the
// module stores a block in its non-volatile memory before it answers.
constexpr int16_t kWriteReplyTimeout = 160;

QString Padded3(double value) { return ThreeDigits(static_cast<long>(std::nearbyint(value))); }

void Label1(const QString& text) { progressView().SetLabelText(ProgressLabel::Label1, text); }

// Whether a frame given now can still reach the module. An ending program sends nothing,
// and a switch-through host that has closed never comes back; a serial port or a TCP
// connection lost meanwhile may be opened again by a resend.
bool StopCanLeave() {
    if (ProgramEnding()) return false;
    return linkState().LinkMode != LINK_SWITCH_THROUGH || LinkUsable();
}

// One whole transfer: the station it talks to, the stop commands it has sent, and the
// progress bar's running value.
class Transfer {
public:
    Transfer(const LinkHold& hold, bool writing) : hold_(hold), writing_(writing) {
        const LinkState& s = linkState();
        for (int i = 0; i < 3; ++i) station_[i] = s.StationAddress[i];
    }

    bool Remote() const { return station_[0] != 0; }
    int16_t Station() const { return station_[0]; }
    // Ended by its own cancel, or by the program's end.
    bool Cancelled() const { return hold_.CancelAsked() || ProgramEnding(); }
    const LinkHold& Hold() const { return hold_; }

    // Each step returns true to go on; the first false ends the transfer.
    bool Command(int16_t command, bool toStation) {
        return toStation ? SendCommand(hold_, command, station_[0], station_[1], station_[2]) == 0
                         : SendCommand(hold_, command, 0, 0, 0) == 0;
    }
    bool Stop(bool toStation) {
        // Counted before sending: a stop whose answer was lost may still have stopped them.
        // A stop that cannot leave stops nothing, and nothing is then left to restart or
        // to report as stopped.
        if (StopCanLeave()) (toStation ? stationStopped_ : localStopped_) = true;
        return Command(CMD_STOP_PROCESSES, toStation);
    }
    bool Request(int16_t command) { return SendRequest(hold_, command, station_[0], station_[1], station_[2]) == 0; }
    bool RequestParam(int16_t command, int16_t parameter) {
        return SendRequestParam(hold_, command, station_[0], station_[1], station_[2], parameter) == 0;
    }
    bool RequestByte(int16_t command, int16_t number) {
        return SendRequestByte(hold_, command, station_[0], station_[1], station_[2], number) == 0;
    }
    bool Block(int16_t code, int16_t group) {
        return SendConfigBlock(hold_, code, station_[0], station_[1], station_[2], group) == 0;
    }
    bool Nmea() { return SendNmeaConfig(hold_, station_[0], station_[1], station_[2]) == 0; }
    bool ChannelClear() const { return WaitChannelClear(hold_, station_[0]) == 0; }
    // One block either way: requested on a read, sent from the model on a write.
    bool Move(int16_t code, int number) {
        return writing_ ? Block(code, static_cast<int16_t>(number)) : RequestByte(code, static_cast<int16_t>(number));
    }

    // Groups 0 .. last of one kind of block, each with its label, a progress step and a
    // clear channel; prepare(g) runs just before group g goes.
    bool Groups(const char* label, int16_t code, int last, const std::function<void(int)>& prepare = {}) {
        for (int g = 0; g <= last; ++g) {
            Label1(QString::fromLatin1(label).arg(g));
            Advance();
            if (!ChannelClear()) return false;
            if (prepare) prepare(g);
            if (!Move(code, g)) return false;
        }
        return true;
    }
    // A Pellar's expansion boards 1 .. 4 whose bit (firstBit + board - 1) of the board
    // mask is set: no channel wait and no progress step of their own.
    bool Boards(const char* label, int16_t code, int firstBit, const std::function<void(int)>& prepare = {}) {
        if (!target().PellarDevice) return true;
        for (int b = 1; b <= 4; ++b) {
            if (!((target().ExpansionBoardMask >> (firstBit + b - 1)) & 1)) continue;
            Label1(QString::fromLatin1(label).arg(b));
            if (prepare) prepare(b);
            if (!Move(code, b)) return false;
        }
        return true;
    }

    void StartProgress() {
        step_ = ProgressStep(target().ChildCount);
        progress_ = 0;
        ShowProgressPercent(progress_);
    }
    void Advance(int by) {
        progress_ = static_cast<int16_t>(progress_ + by);
        ShowProgressPercent(progress_);
    }
    void Advance() { Advance(step_); }
    void SetProgress(int16_t value) {
        progress_ = value;
        ShowProgressPercent(progress_);
    }

    // The normal end: restarts are part of the sequence itself.
    bool Restart(bool toStation) {
        Label1(toStation ? QStringLiteral("Restarting remote processes ...")
                         : QStringLiteral("Restarting local processes ..."));
        if (!Command(CMD_RESTART_PROCESSES, toStation)) return false;
        (toStation ? stationStopped_ : localStopped_) = false;
        return true;
    }

    // A transfer that ends early must not leave the site with its processes stopped:
    // restart what was stopped, station first, and say so when that is not possible.
    void RestartAfterFailure() {
        // A local target's "station" is the local module itself.
        const bool station = stationStopped_ && Remote();
        const bool local = localStopped_ || (stationStopped_ && !Remote());
        if (!station && !local) return;
        // The job's cancel ended the transfer; it must not cancel the clean-up too.
        const WholeStep cleanUp(hold_);
        QStringList left;
        const bool usable = LinkUsable();
        if (station && !(usable && ChannelClear() && Restart(true))) left << QStringLiteral("station %1").arg(Station());
        if (local && !(usable && Restart(false))) left.prepend(QStringLiteral("the local module"));
        stationStopped_ = localStopped_ = false;
        if (left.isEmpty()) return;
        MsgBoxLent(hold_, AfterRefusal(QStringLiteral("The transfer did not complete, and the processes of ") +
                            left.join(QStringLiteral(" and ")) +
                            QStringLiteral(" that were stopped for it could not be restarted.") + kLineBreak +
                            QStringLiteral("They stay stopped until they are restarted (System > Restart) or the "
                                           "configuration is written again.")),
               vbOKOnly + vbExclamation, QString());
    }

private:
    const LinkHold& hold_;
    bool writing_;
    int16_t station_[3] = {};
    bool localStopped_ = false;
    bool stationStopped_ = false;
    int16_t step_ = 0;
    int16_t progress_ = 0;
};

bool ReadSequence(Transfer& t) {
    const TargetState& tg = target();
    ProgressView& view = progressView();
    if (t.Remote()) {
        // The window is loaded by its first text but only shown once the stops are done.
        view.Load();
        Label1(QStringLiteral("Stopping local processes..."));
        if (!t.Stop(false) || !t.ChannelClear()) return false;
        Label1(QStringLiteral("Stopping remote processes ..."));
        if (!t.Stop(true)) return false;
    }
    view.Show();
    Label1(QStringLiteral("Reading configuration, Station: ") + QString::number(t.Station()));
    linkHost().SetPanelText(2, QString());
    view.SetMaximum(100);

    if (!t.ChannelClear()) return false;
    if (!t.RequestParam(CMD_MODULE_INFO, MODULE_INFO_FULL)) return false;
    t.StartProgress();

    if (!tg.PellarDevice) {
        for (int n = 1; n <= tg.ChildCount; ++n)
            if (!t.ChannelClear() || !t.RequestByte(CMD_CHILD_INFO, static_cast<int16_t>(n))) return false;
    }
    t.Advance();
    if (!t.ChannelClear() || !t.Request(CMD_DATE_TIME) || !t.ChannelClear()) return false;
    t.Advance();

    Label1(QStringLiteral("System block"));
    if (!t.RequestByte(CMD_CFG_SYSTEM, 0)) return false;
    t.Advance();

    // A Pellar has contact inputs and outputs on its main board only; its expansion
    // boards follow.
    const int lastGroup = tg.PellarDevice ? 0 : tg.ChildCount;
    if (!t.Groups("Contact input blocks (%1)", CMD_CFG_INPUTS, lastGroup) ||
        !t.Boards("Contact input blocks (%1)", CMD_CFG_INPUTS, 4) ||
        !t.Groups("Analog input blocks (%1)", CMD_CFG_ANALOGS, tg.ChildCount) ||
        !t.Boards("Analog input blocks (%1)", CMD_CFG_ANALOGS, 0) ||
        !t.Groups("Output blocks (%1)", CMD_CFG_OUTPUTS, lastGroup))
        return false;

    Label1(QStringLiteral("Temperature input block"));
    t.Advance();
    if (!t.ChannelClear() || !t.RequestByte(CMD_CFG_TEMPS, 0)) return false;

    for (int i = 0; i <= 4; ++i) {
        Label1(QStringLiteral("Protocols ...") + QString::number(i));
        t.Advance();
        if (!t.ChannelClear() || !t.RequestByte(CMD_CFG_FLEETSYNC, static_cast<int16_t>(i))) return false;
    }
    if (!t.ChannelClear() || !t.RequestByte(CMD_CFG_NMEA, 5) || !t.ChannelClear()) return false;

    // The local module is restarted even after a local read, which stopped nothing.
    if ((t.Remote() && !t.Restart(true)) || !t.Restart(false)) return false;
    t.SetProgress(100);
    return true;
}

void ClearLocalOutputDelays(int group) {
    for (uint8_t& d : config().ContactInputTable[group].LocalOutputDelay) d = 0;
}

bool WriteSequence(Transfer& t) {
    const TargetState& tg = target();
    ProgressView& view = progressView();
    view.Show();
    view.SetCaption(t.Remote() ? QStringLiteral("Writing configuration, Station: ") + Padded3(t.Station())
                               : QStringLiteral("Writing configuration, Station: Local (") +
                                     Padded3(config().SystemConfig[0]) + QLatin1Char(')'));
    view.SetLabelText(ProgressLabel::Label2, QStringLiteral("Writing data to Korvel"));

    // Both stops go out whatever the target, so a local module is told twice.
    Label1(QStringLiteral("Stopping local processes ..."));
    if (!t.Stop(false)) return false;
    Label1(QStringLiteral("Stopping remote processes ..."));
    if (!t.ChannelClear() || !t.Stop(true)) return false;

    // The module stores each block before it answers.
    t.Hold().SetReplyTimeout(kWriteReplyTimeout);
    linkHost().SetPanelText(2, QString());
    view.SetMaximum(100);

    t.StartProgress();
    if (!t.ChannelClear()) return false;
    t.SetProgress(ProgressStep(tg.ChildCount));
    if (!t.ChannelClear()) return false;

    Label1(QStringLiteral("System block"));
    if (!t.Block(CMD_CFG_SYSTEM, 0)) return false;

    // A Pellar has no delayed local outputs; a value left from a Korvel would be refused.
    const auto clearDelays = [&tg](int group) {
        if (tg.PellarDevice) ClearLocalOutputDelays(group);
    };
    if (!t.Groups("Contact Input blocks (%1)", CMD_CFG_INPUTS, tg.ChildCount, clearDelays) ||
        !t.Boards("Contact Input blocks (%1)", CMD_CFG_INPUTS, 4, clearDelays) ||
        !t.Groups("Output blocks (%1)", CMD_CFG_OUTPUTS, tg.ChildCount) ||
        !t.Groups("Analog input blocks (%1)", CMD_CFG_ANALOGS, tg.ChildCount) ||
        !t.Boards("Analog input blocks (%1)", CMD_CFG_ANALOGS, 0))
        return false;

    Label1(QStringLiteral("Temperature input block"));
    t.Advance();
    if (!t.ChannelClear() || !t.Block(CMD_CFG_TEMPS, 0)) return false;

    for (int i = 0; i <= 4; ++i) {
        t.Advance(8);
        Label1(QStringLiteral("Protocols ...") + QString::number(i));
        if (!t.ChannelClear() || !t.Block(CMD_CFG_FLEETSYNC, static_cast<int16_t>(i))) return false;
    }
    if (!t.ChannelClear() || !t.Nmea() || !t.ChannelClear()) return false;

    // Like the stops, both restarts go out whatever the target.
    if (!t.Restart(true) || !t.Restart(false)) return false;
    t.SetProgress(100);
    return true;
}

TransferResult Outcome(const Transfer& t, bool ok) {
    if (ok) return TRANSFER_OK;
    return t.Cancelled() ? TRANSFER_CANCELLED : TRANSFER_FAILED;
}

} // namespace

int16_t ProgressStep(int childCount) {
    if (childCount <= 0) return static_cast<int16_t>(std::nearbyint(100.0 / 15.0));
    // nearbyint rounds halves to the even neighbour.
    return static_cast<int16_t>(std::nearbyint(100.0 / ((childCount + 1) * 3 + 3)) - 1);
}

TransferResult ReadConfiguration(const LinkHold& hold) {
    const LinkState& s = linkState();
    LinkHost& host = linkHost();
    const bool local = s.StationAddress[0] == 0;
    SetFlashCommandsEnabled(host, local && s.LinkMode != LINK_SWITCH_THROUGH);
    host.SetMenuEnabled(MenuItem::mnuPortsFFSK, false);
    // A refusal is said once the stopped processes are restarted, with what could not be.
    const RefusalScope refusals;

    Transfer t(hold, false);
    const bool ok = ReadSequence(t);
    // Taken before the clean-up, which clears the cancel request for its own commands.
    const TransferResult result = Outcome(t, ok);
    if (!ok) t.RestartAfterFailure();
    if (ok && (target().TargetOptions & 2)) host.SetMenuEnabled(MenuItem::mnuPortsFFSK, true);
    progressView().Unload();
    return result;
}

TransferResult WriteConfiguration(const LinkHold& hold) {
    const RefusalScope refusals;
    Transfer t(hold, true);
    const bool ok = WriteSequence(t);
    const TransferResult result = Outcome(t, ok);
    // The restarts are answered at once, within the connection's own time-out.
    hold.SetReplyTimeout(0);
    if (!ok) t.RestartAfterFailure();
    progressView().Unload();
    return result;
}

} // namespace korvel
