// The channels of each kind a station has, and where a move of a channel dialog's
// up-down lands: on the next fitted channel in the direction of the move, wrapping past
// either end.
#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace korvel {

enum class ChannelKind { ContactInput, AnalogInput, TemperatureInput, Output };

// The highest channel number (1-based) the dialog of a kind offers: eight per group up
// to the last child module (Korvel) or the last fitted expansion board of that kind
// (Pellar); the eight temperature inputs; the outputs of the main module and its
// children.
int ChannelMaximum(ChannelKind kind);
// Whether channel index (0-based) of a kind is fitted; channels without a presence flag
// (temperature inputs, outputs) always are.
bool ChannelFitted(ChannelKind kind, int index);

// The channel index (0-based) shown after the up-down moved from the shown channel to
// value (1-based, 1..maximum). A jump from 1 to the maximum is a step down past the
// first channel and a jump from the maximum to 1 a step up past the last; channels that
// fitted refuses are passed over in the direction of the step. When no channel is fitted
// the shown one stays.
int StepChannel(int shown, int value, int maximum, const std::function<bool(int)>& fitted);

// A channel's local output is kept as the station's output number (0 for none); its
// dialog lists the eight outputs of the channel's own module, 1 to 8. The list item of
// a stored number, empty when it is no output of that module.
std::optional<int> LocalOutputItem(int group, int stored);
// The stored number of a list item (0 none, 1 to 8).
int StoredLocalOutput(int group, int item);

// Whether the data logger logs the channels of slot: bit slot of the system value
// element (one element per kind of channel).
bool SlotLogged(int element, int slot);

// The one message a channel load gives for values its controls cannot show; number is
// the channel as the dialog shows it (1-based).
QString ChannelUnexpectedValueMessage(int number);

} // namespace korvel
