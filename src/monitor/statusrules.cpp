#include "monitor/statusrules.h"
#include "link/linkhold.h"
#include "platform/prompts.h"

#include "model/analogcodes.h"
#include "model/model.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "control/localsettings.h"

namespace korvel {

namespace {

const int16_t* address() { return linkState().StationAddress; }

// How a live reading of a conversion is written before its sensor or offset is applied:
// the pattern of the number in the range's own unit.
const char16_t* readingPattern(int conversionCode) {
    switch (conversionCode) {
    case CONVERSION_0_2V56:
    case CONVERSION_0_5V: return u"##0.00";
    case CONVERSION_0_25V:
    case CONVERSION_USER_X2:
    case CONVERSION_USER_X4: return u"##00.00";
    case CONVERSION_4_20MA:
    case CONVERSION_USER_X10: return u"##00.0";
    case CONVERSION_USER_X20: return u"##000.0";
    default: return nullptr;
    }
}

} // namespace

StatusRequest ViewRequest(StatusView view) {
    switch (view) {
    case StatusView::ContactInputs: return StatusRequest::ContactInputs;
    case StatusView::Outputs: return StatusRequest::Outputs;
    case StatusView::Analogs: return StatusRequest::Analog;
    case StatusView::Temperatures: return StatusRequest::Temperature;
    }
    return StatusRequest::None;
}

std::optional<int> StatusCommand(StatusRequest request) {
    switch (request) {
    case StatusRequest::Analog: return CMD_ANALOG_STATUS;
    case StatusRequest::Temperature: return CMD_TEMP_STATUS;
    case StatusRequest::ContactInputs: return CMD_INPUT_STATUS;
    case StatusRequest::Outputs: return CMD_OUTPUT_STATUS;
    default: return std::nullopt;
    }
}

QString StatusCaption(StatusView view) {
    switch (view) {
    case StatusView::ContactInputs: return QStringLiteral("Current Status - Contact Inputs");
    case StatusView::Outputs: return QStringLiteral("Current Status - Outputs");
    case StatusView::Analogs: return QStringLiteral("Current Status - Analog Inputs");
    case StatusView::Temperatures: return QStringLiteral("Current Status - Temperature Inputs");
    }
    return QString();
}

bool SlowRefresh() { return settings().PortProtocol == LOCALPORT_FLEETSYNC; }

QString AutoRefreshToolTip(bool slow) {
    return slow ? QStringLiteral("Updates meters every 20 seconds") : QStringLiteral("Updates meters every 1 second");
}

namespace {

// The first bit of a view's expansion boards in ExpansionBoardMask, or none when a view
// has no boards to choose.
std::optional<int> BoardBits(StatusView view) {
    switch (view) {
    case StatusView::Analogs: return ANALOG_BOARD_BITS;
    case StatusView::ContactInputs: return CONTACT_BOARD_BITS;
    default: return std::nullopt;
    }
}

bool BoardFitted(int mask, int firstBit, int board) { return mask & (1 << (board - 1 + firstBit)); }

} // namespace

int GroupSelectorMaximum(StatusView view) {
    const TargetState& t = target();
    if (!t.PellarDevice) return t.ChildCount;
    const std::optional<int> bits = BoardBits(view);
    if (!bits) return 0;
    int fitted = 0;
    for (int board = 1; board <= 4; ++board) fitted += BoardFitted(t.ExpansionBoardMask, *bits, board);
    return fitted;
}

bool GroupSelectorShown(StatusView view) { return target().PellarDevice && GroupSelectorMaximum(view) > 0; }

int GetSelectedGroup(StatusView view, int selectorValue) {
    const TargetState& t = target();
    if (!t.PellarDevice) return selectorValue;
    const std::optional<int> bits = BoardBits(view);
    if (selectorValue < 1 || !bits) return 0;
    int found = 0, last = 0;
    for (int board = 1; board <= 4; ++board) {
        if (!BoardFitted(t.ExpansionBoardMask, *bits, board)) continue;
        last = board;
        if (++found == selectorValue) return board;
    }
    return last;
}

bool StatusMonitorAllowed() { return address()[0] == 0; }

QString RemoteStationRefusalText() {
    return QStringLiteral("The OMRU Configuration program cannot perform status monitoring to remote stations "
                          "as this will interfere with") +
           kLineBreak +
           QStringLiteral("the operation of the remote(s). Either connect physically to the remote station or "
                          "use the Korvel Explorer") +
           kLineBreak + QStringLiteral("to perform status monitoring on an active system.");
}

uint8_t OutputSwitchData(int group, int slot, bool on) {
    return static_cast<uint8_t>((on ? 0x80 : 0) | ((group * SLOTS + slot) & 0x7F));
}

QString TemperatureMeterText(int16_t tenthsC, bool degreesF) {
    if (tenthsC == TEMP_READING_ABSENT) return kNoReading;
    if (degreesF) return FormatNumberPattern(double(tenthsC) * 9.0 / 5.0 / 10.0 + 32.0, u"#0.0") + QLatin1Char('F');
    return FormatNumberPattern(double(tenthsC) / 10.0, u"#0.0") + QLatin1Char('C');
}

AnalogMeterText AnalogMeter(const AnalogGroupRecord& group, int slot, const QString& previousCaption) {
    const int range = group.Flags[slot] & 7;
    const int modifier = group.Modifier[slot];
    const int code = ConversionCode(range, modifier);
    const char16_t* pattern = readingPattern(code);
    AnalogMeterText meter;
    QString reading = previousCaption;
    if (pattern) {
        const std::optional<ConversionScale> scale = ConversionScaleFor(code);
        reading = FormatNumberPattern(ConvertFromTarget(group.LiveValue[slot], code) / scale->factor, pattern);
        if (range == RANGE_0_5V) {
            // The sensor on a 0 to 5 V input names what the meter shows.
            const QString sensor = SensorMonitorName(modifier);
            meter.range = sensor.isEmpty() ? RangeName(code) : sensor;
        } else {
            meter.range = RangeName(code);
        }
    }
    meter.caption = GetAdjustedValueFromVolts(reading, modifier, range, group.Offset[slot]);
    return meter;
}

int16_t SendStatusOpeningRequest() {
    const LinkHold hold;
    return SendRequestParam(hold, CMD_MODULE_INFO, address()[0], address()[1], address()[2], MODULE_INFO_FULL);
}

int16_t SendStatusRequest(StatusRequest request, int group) {
    const std::optional<int> command = StatusCommand(request);
    if (!command) return SEND_REFUSED;
    // The window's poll: a duty of the program's own, which asks nobody while another
    // question is up and ends at once with the program.
    const LinkHold hold(LinkHold::MayLend, LinkHold::Background);
    return SendRequestByte(hold, int16_t(*command), address()[0], address()[1], address()[2], int16_t(group));
}

int16_t SendSetLogicalOutput(int data) {
    const LinkHold hold;
    QByteArray frame = TxFrame(8, address()[0], address()[1], address()[2], PKT_SET, CMD_OUTPUT_STATUS);
    uint8_t* t = FrameBytes(frame);
    t[FRAME_DATA] = static_cast<uint8_t>(data);
    return SendTxFrame(hold, frame, TX_WAIT_ACK, true);
}

} // namespace korvel
