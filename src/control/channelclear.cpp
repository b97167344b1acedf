#include "control/channelclear.h"
#include "control/lentbox.h"

#include "link/linkhold.h"
#include "model/target.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "platform/prompts.h"

#include <QString>

namespace korvel {

namespace {

// Busy polls allowed before the user is first asked; Yes does not refill it, so a
// channel that stays busy is asked about after every further poll.
constexpr int16_t kPollBudget = 100;

constexpr int16_t kClear = 0;
constexpr int16_t kAborted = 255;

QString channelTimeoutText() {
    // Each line ends in LF then CR, the last one in nothing.
    return QStringLiteral("OMRU has timed out waiting for the target to return that the radio "
                          "channel is clear. ") +
           kLineBreak +
           QStringLiteral("This possibly indicates that either excessive traffic is present on "
                          "the channel or that") +
           kLineBreak +
           QStringLiteral("the radio COS/Gate is jammed or is providing false information. You "
                          "may continue to test for") +
           kLineBreak +
           QStringLiteral("channel clear by clicking on YES, or to abort this operation, click on "
                          "NO. If you abort this") +
           kLineBreak +
           QStringLiteral("operation you must clear the source of the problem manually by either "
                          "re-powering the radio or") +
           kLineBreak + QStringLiteral("the target. Continue?");
}

} // namespace

ChannelWait PollChannelClear(const LinkHold& hold, const std::function<bool()>& stopAsked) {
    target().ChannelState = 255;
    int16_t budget = kPollBudget;
    for (;;) {
        // Tested before each poll, so a clear reply ends the wait even when it came
        // with the poll that ran the budget out.
        if (target().ChannelState == 0) return ChannelWait::Clear;
        // The radio channel belongs to the local module: it is asked, whatever
        // station the caller is about to talk to.
        if (SendRequest(hold, CMD_CHANNEL_CLEAR, 0, 0, 0) != SEND_OK) return ChannelWait::Failed;
        if (stopAsked && stopAsked()) return ChannelWait::Abandoned;
        if (budget == 0) {
            // A borrower, or a duty of the program's own while another question is up,
            // asks nobody: it gives up its own work, and what it owed stays owed.
            if (!hold.MayAsk()) return ChannelWait::Abandoned;
            const int answer = MsgBoxLent(hold, channelTimeoutText(), vbYesNo + vbCritical,
                                      QStringLiteral("OMRU - Channel clear timeout"));
            // Only a Yes keeps polling; a box closed any other way gives up.
            if (answer != vbYes) return ChannelWait::Abandoned;
        } else {
            --budget;
        }
    }
}

int16_t& channelClearWait() {
    static int16_t waiting = 0;
    return waiting;
}

int16_t WaitChannelClear(const LinkHold& hold) { return WaitChannelClear(hold, linkState().StationAddress[0]); }

int16_t WaitChannelClear(const LinkHold& hold, int16_t station) {
    LinkState& s = linkState();
    channelClearWait() = 1;
    if (station == 0) {
        channelClearWait() = 0;
        return kClear;
    }
    linkHost().SetTimerEnabled(LinkTimer::MsgTimer, true);
    s.ProgressActive = 1;

    const int16_t result = PollChannelClear(hold) == ChannelWait::Clear ? kClear : kAborted;

    channelClearWait() = 0;
    linkHost().SetTimerEnabled(LinkTimer::MsgTimer, false);
    s.ProgressActive = 0;
    return result;
}

} // namespace korvel
