#include "editors/channels/steprules.h"

#include "model/model.h"
#include "model/target.h"
#include "model/tempcodes.h"

#include <algorithm>

namespace korvel {

namespace {

int ChildGroups() { return std::clamp<int>(target().ChildCount, 0, MAX_CHILD_MODULES); }

} // namespace

int ChannelMaximum(ChannelKind kind) {
    const bool pellar = target().PellarDevice;
    const int mask = target().ExpansionBoardMask;
    switch (kind) {
    // Boards are numbered as the groups they fill, so a gap in the fitted boards still
    // leaves the last one reachable.
    case ChannelKind::ContactInput: return SLOTS * (pellar ? LastBoard(mask, CONTACT_BOARD_BITS) : ChildGroups()) + SLOTS;
    case ChannelKind::AnalogInput: return SLOTS * (pellar ? LastBoard(mask, ANALOG_BOARD_BITS) : ChildGroups()) + SLOTS;
    case ChannelKind::TemperatureInput: return SLOTS;
    case ChannelKind::Output: return SLOTS * (ChildGroups() + 1);
    }
    return SLOTS;
}

bool ChannelFitted(ChannelKind kind, int index) {
    if (index < 0 || index >= GROUPS * SLOTS) return false;
    const int g = GetChannelGroup(index), s = GetChannelSlot(index);
    switch (kind) {
    case ChannelKind::ContactInput: return config().ContactInputTable[g].Present[s];
    case ChannelKind::AnalogInput: return config().AnalogConfigTable[g].Present[s];
    case ChannelKind::TemperatureInput:
    case ChannelKind::Output: return true;
    }
    return true;
}

int StepChannel(int shown, int value, int maximum, const std::function<bool(int)>& fitted) {
    if (maximum < 1) return shown;
    auto wrap = [maximum](int c) { return c + 1 > maximum ? 0 : c + 1 < 1 ? maximum - 1 : c; };
    int direction = (value - 1) - shown;
    if (direction > 1) direction = -1;       // from the first channel round to the last
    else if (direction < -1) direction = 1;  // from the last channel round to the first
    else if (direction == 0) direction = 1;
    int channel = wrap(value - 1);
    for (int tried = 1; !fitted(channel); ++tried) {
        if (tried >= maximum) return shown;
        channel = wrap(channel + direction);
    }
    return channel;
}

std::optional<int> LocalOutputItem(int group, int stored) {
    if (stored == 0) return 0;
    const int item = stored - SLOTS * group;
    if (item < 1 || item > SLOTS) return std::nullopt;
    return item;
}

int StoredLocalOutput(int group, int item) { return item <= 0 ? 0 : SLOTS * group + item; }

bool SlotLogged(int element, int slot) { return (RoundToLong(config().SystemConfig[element]) >> slot) & 1; }

QString ChannelUnexpectedValueMessage(int number) {
    return QStringLiteral("An unexpected value was returned from the device for channel ") +
           QString::number(number) +
           QStringLiteral(".\r\nEnsure the settings are correct and then upload the data to the device.\r\n");
}

} // namespace korvel
