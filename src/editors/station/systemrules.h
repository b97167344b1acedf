// The station-wide values the system dialog edits, and the rules that tie them
// together: module mode and address, power save with a FleetSync port, the sleep period
// against the logger's sample time, and the help text of the channel dialogs' maps.
#pragma once

#include "model/model.h"
#include "model/systemvalues.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace korvel {

// What the system dialog edits, taken from the configuration when it opens and put
// back in one step on OK; rules applied meanwhile change only this copy.
struct SystemSettings {
    double MyAddress = 0, ModuleMode = 0, StartUpDelay = 0, StartUpOptions = 0, FFSK_Ccb3 = 0,
           SleepTime = 0, SleepReturn = 0, SampleTime = 0;
    int32_t Radio1Fleet = 0, Radio1Id = 0;
};
SystemSettings TakeSystemSettings(const StationConfig& c);
void PutSystemSettings(const SystemSettings& s, StationConfig& c);


// A sleep period of 0 or above 60 (in FFSK_Ccb3's bits 0-5) becomes 1 second; true when
// it did.
bool RepairFfskCcb3(SystemSettings& s);

// What a newly chosen module mode does to the address box and the power-up status box.
struct ModeControls {
    bool addressEnabled = true;
    bool addressToZero = false;  // the box then shows "000"
    bool powerUpStatusEnabled = true;
};
ModeControls ModeRule(int mode);

// The refusal of an address for a module mode (-1: none chosen), or an empty text.
QString StationAddressError(int mode, long address);

// The values of the dialog's controls that OK stores; -1 is a list without a selection.
struct SystemForm {
    long address = 0;
    int mode = -1;
    int path = -1;
    long startUpDelay = 0;
    bool powerUpStatus = false;
    long cycle = 0;           // the sleep period box
    long cycleUpDown = 0;     // its up-down, which keeps the FFSK port's sleep period
    int periodUnit = 0;       // 0 seconds, 1 minutes, 2 hours
    long sleepReturn = 0;
    bool powerSave = false;
    bool cosWakeUp = false;
};

// What OK does after the address check: the settings to store, the messages to show in
// order, and whether it stops with the dialog open.
struct SystemOkOutcome {
    enum Stop { None, FleetSyncMode, SampleTimeRaised } stop = None;
    QStringList messages;
    SystemSettings settings;  // to store when stop is None
};
// Composes the form into staged. A FleetSync port 2 refuses the two modes that cannot
// work with it; broadcast radio addresses get defaults; a sleep period longer than the
// logger's sample time raises the sample time and stops so the user sees it. Changes a
// rule makes stay in staged, so the next OK does not repeat them.
SystemOkOutcome ApplySystemOk(SystemSettings& staged, const SystemForm& form, bool port2FleetSync);

// Module mode (bits 0-3) and primary path (bits 4-7) of the list positions.
int ComposeModuleMode(int previous, int mode, int path);

// The help text beside a channel dialog's destination maps; kind 0 contact inputs,
// 1 analog inputs, 2 temperature inputs.
QString HintPanelText(int mode, int kind, bool pellar, bool port2FleetSync);

QString UnexpectedValueMessage();

// A station dialog's title: head (ending in ", Station: ") and the destination station
// "000", or "Local(" the module's own address ")" for the local module.
QString StationCaption(const QString& head, int destinationStation, long myAddress);
// The same for the station the link addresses now and the configuration's own address.
QString StationCaption(const QString& head);
QString PathChangeQuestion();
QString PowerSaveRefusedMessage();

} // namespace korvel
