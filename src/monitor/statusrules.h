// The status monitor's window-free side: which request each view polls, the group
// selector of a Pellar's expansion boards, the texts of the analog and temperature
// meters, and the output switch sent to the module.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace korvel {

struct AnalogGroupRecord;

// What the monitor shows, in the order of its view buttons.
enum class StatusView : int16_t { ContactInputs = 0, Outputs = 1, Analogs = 2, Temperatures = 3 };

// The request the next poll makes.
enum class StatusRequest : int16_t {
    None = 0,
    Analog = 1,
    Temperature = 2,
    ContactInputs = 3,
    Outputs = 4,
    ChangeOutput = 5,
};

// The status request that reads a view.
StatusRequest ViewRequest(StatusView view);
// The command code of a status request (none for None and ChangeOutput).
std::optional<int> StatusCommand(StatusRequest request);
// The window title once a view's reading is shown: "Current Status - Outputs".
QString StatusCaption(StatusView view);

// The monitor refreshes every second, or on every 20th second when the PC's own port
// runs a FleetSync radio, whose air time is precious.
constexpr int FLEETSYNC_REFRESH_TICKS = 20;
bool SlowRefresh();
QString AutoRefreshToolTip(bool slow);

// The group selector of a view: its largest value (0 when there is nothing to choose)
// and whether it is shown. A Korvel keeps it hidden, so the monitor shows the main
// module; a Pellar offers its fitted analog boards in the analog view and its fitted
// contact input boards in the contact input view, one position each after the main
// board's, so no position stands for an empty slot or for a board twice.
int GroupSelectorMaximum(StatusView view);
bool GroupSelectorShown(StatusView view);
// The group a selector value stands for. On a Pellar the value counts the view's
// fitted boards from the first: the value-th fitted board (the last one when the value
// goes beyond them), so a board behind an empty slot is still reached and no empty slot
// is asked for.
int GetSelectedGroup(StatusView view, int selectorValue);

// The monitor reads only the local module: polling a remote station over the radio
// would disturb the site it is part of.
bool StatusMonitorAllowed();
QString RemoteStationRefusalText();

// The output switch's data byte: bit 7 the new state, bits 0 to 6 the output counted
// from 0 across groups.
uint8_t OutputSwitchData(int group, int slot, bool on);

// Meter texts.
inline const QString kMeterOn = QStringLiteral("ON");
inline const QString kMeterOff = QStringLiteral("OFF");
inline const QString kNoReading = QStringLiteral("---");

// A temperature meter's caption for a reading in tenths of a degree Celsius (or the
// absent marker), in Celsius or Fahrenheit.
QString TemperatureMeterText(int16_t tenthsC, bool degreesF);

// An analog meter: its caption and its range text. A range code the monitor does not
// know keeps the meter's previous caption (which rarely reads as a value) and leaves
// the range text as it was (no range).
struct AnalogMeterText {
    QString caption;
    std::optional<QString> range;
};
AnalogMeterText AnalogMeter(const AnalogGroupRecord& group, int slot, const QString& previousCaption);

// The status requests, to the station in StationAddress.
// The module-information request that opens the monitor.
int16_t SendStatusOpeningRequest();
int16_t SendStatusRequest(StatusRequest request, int group);
// The output switch with its data byte; the module acknowledges it.
int16_t SendSetLogicalOutput(int data);

} // namespace korvel
