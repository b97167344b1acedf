#include "editors/station/systemrules.h"
#include "platform/prompts.h"
#include "model/systemvalues.h"
#include "model/tempcodes.h"
#include "model/textnumber.h"
#include "link/linkstate.h"

namespace korvel {

namespace {

int32_t Whole(double v) { return RoundToLong(v); }

} // namespace

SystemSettings TakeSystemSettings(const StationConfig& c) {
    const double* v = c.SystemConfig;
    SystemSettings s;
    s.MyAddress = v[MY_ADDRESS];
    s.ModuleMode = v[MODULE_MODE];
    s.StartUpDelay = v[START_UP_DELAY];
    s.StartUpOptions = v[START_UP_OPTIONS];
    s.FFSK_Ccb3 = v[FFSK_CCB3];
    s.SleepTime = v[SLEEP_TIME];
    s.SleepReturn = v[SLEEP_RETURN];
    s.SampleTime = v[SAMPLE_TIME];
    s.Radio1Fleet = c.FleetSyncConfig.FleetNumber[0];
    s.Radio1Id = c.FleetSyncConfig.IDNumber[0];
    return s;
}

void PutSystemSettings(const SystemSettings& s, StationConfig& c) {
    double* v = c.SystemConfig;
    v[MY_ADDRESS] = s.MyAddress;
    v[MODULE_MODE] = s.ModuleMode;
    v[START_UP_DELAY] = s.StartUpDelay;
    v[START_UP_OPTIONS] = s.StartUpOptions;
    v[FFSK_CCB3] = s.FFSK_Ccb3;
    v[SLEEP_TIME] = s.SleepTime;
    v[SLEEP_RETURN] = s.SleepReturn;
    v[SAMPLE_TIME] = s.SampleTime;
    c.FleetSyncConfig.FleetNumber[0] = s.Radio1Fleet;
    c.FleetSyncConfig.IDNumber[0] = s.Radio1Id;
}

bool RepairFfskCcb3(SystemSettings& s) {
    const int period = Whole(s.FFSK_Ccb3) & 63;
    if (period != 0 && period <= 60) return false;
    s.FFSK_Ccb3 = 1;
    return true;
}

ModeControls ModeRule(int mode) {
    switch (mode) {
    case MODE_SLAVE_NOMAPPING: return {true, false, true};
    case MODE_SLAVE_INPUTMAPPING: return {true, false, false};
    case MODE_MASTER: return {true, true, false};
    case MODE_GATEWAY: return {false, true, false};
    default: return {};
    }
}

QString StationAddressError(int mode, long address) {
    switch (mode) {
    case MODE_SLAVE_NOMAPPING:
    case MODE_SLAVE_INPUTMAPPING:
        if (address < 1 || address > 254)
            return QStringLiteral("Error, Slave mode: Address must be between 1 and 254, please renter");
        break;
    case MODE_MASTER:
        if (address < 0 || address > 255)
            return QStringLiteral("Error, Master mode: Address must be between 0 and 255, please renter");
        break;
    case MODE_GATEWAY:
        if (address != 0) return QStringLiteral("Error, Gateway mode: Address must be 0, please renter");
        break;
    default: break;
    }
    return {};
}

int ComposeModuleMode(int previous, int mode, int path) {
    // With no mode chosen (the stored one had no entry in the list) the stored mode stays.
    const int modeBits = mode >= 0 ? mode : (previous & 15);
    const int pathBits = path >= 0 ? 16 * (path + 1) : 0;
    return modeBits + pathBits;
}

SystemOkOutcome ApplySystemOk(SystemSettings& staged, const SystemForm& form, bool port2FleetSync) {
    SystemOkOutcome out;
    SystemSettings s = staged;
    s.MyAddress = form.address;
    s.ModuleMode = ComposeModuleMode(Whole(staged.ModuleMode), form.mode, form.path);
    s.StartUpDelay = form.startUpDelay;
    s.SleepTime = form.cycle + 64 * form.periodUnit;
    s.SleepReturn = form.sleepReturn;
    s.FFSK_Ccb3 = form.cycleUpDown + (form.periodUnit == 1 ? 64 : form.periodUnit == 2 ? 128 : 0);
    int options = Whole(staged.StartUpOptions) & ~(START_POWER_UP_STATUS | START_COS_WAKEUP | START_POWER_SAVE);
    if (form.powerUpStatus) options |= START_POWER_UP_STATUS;
    if (form.powerSave) options |= START_POWER_SAVE;
    if (form.cosWakeUp) options |= START_COS_WAKEUP;
    s.StartUpOptions = options;

    const int mode = Whole(s.ModuleMode) & 15;
    if (port2FleetSync && (mode == MODE_SLAVE_INPUTMAPPING || mode == MODE_GATEWAY)) {
        out.messages << QStringLiteral("Port 2 protocol is currently set to FLEETSYNC.") + kLineBreak +
                            QStringLiteral("Module mode must be set to either SLAVE-NOMAPPING or MASTER.") + kLineBreak +
                            QStringLiteral("Module mode will be defaulted to SLAVE-NOMAPPING.");
        out.stop = SystemOkOutcome::FleetSyncMode;
        return out;
    }
    if ((s.Radio1Fleet == 0 || s.Radio1Id == 0) && mode != MODE_SLAVE_NOMAPPING) {
        out.messages << QStringLiteral("FLEETSYNC Radio 1 Properties contains broadcast address's,") + kLineBreak +
                            QStringLiteral("and Module mode is set to other than SLAVE-NOMAPPING.") + kLineBreak +
                            QStringLiteral("FLEETSYNC Radio 1 Properties will be defaulted to Fleet 100 and ID 1000.");
        s.Radio1Fleet = staged.Radio1Fleet = 100;
        s.Radio1Id = staged.Radio1Id = 1000;
    }
    if ((Whole(s.StartUpOptions) & START_POWER_SAVE) && Whole(s.SleepTime) > Whole(s.SampleTime)) {
        out.messages << QStringLiteral("Sleep time is greater than the value set in the logger sample time.") +
                            kLineBreak +
                            QStringLiteral("Logger sample time has been increased to the same value as sleep time.");
        staged.SampleTime = s.SleepTime;
        out.stop = SystemOkOutcome::SampleTimeRaised;
        return out;
    }
    out.settings = s;
    return out;
}

QString HintPanelText(int mode, int kind, bool pellar, bool port2FleetSync) {
    if (pellar) {
        switch (kind) {
        case 0: return QStringLiteral("Set all channel parameters before enabling the input.");
        case 1:
            return QStringLiteral("Analog inputs require the proper configuration of hardware jumpers to match "
                                  "the 0-5.00V, 0-25.0V and USER ranges as selected.");
        default: return {};
        }
    }
    switch (mode) {
    case MODE_SLAVE_NOMAPPING:
        return QStringLiteral("Module Mode: SLAVE NOMAPPING. Destination station and output mapping is not "
                              "available in this mode. SLAVE NOMAPPING mode is used when the receipient of "
                              "SLAVE messages is a master station and Vistrel monitoring software.");
    case MODE_SLAVE_INPUTMAPPING:
        return QStringLiteral("Module Mode: SLAVE INPUTMAPPING. All event messages will be sent to a master "
                              "station with an address of zero. Set the masters destination output that any "
                              "change of status is to go to. Use this this mode when configuring Korvel to "
                              "Korvel communication.");
    case MODE_MASTER:
        if (port2FleetSync)
            return QStringLiteral("FleetSync Mode: The STATION Address entered (1-255) will be added to the base "
                                  "ID address specified in the Master/Base Radio Fleet/ID field to form the final "
                                  "radio ID. The output entered will be the output that receives a status change "
                                  "at the destination Korvel.");
        return QStringLiteral("Module Mode: MASTER, Enter up to four destination station address's (1-255) and "
                              "sub module outputs that this module will send a change of status to.  Leave the "
                              "unused maps as 0.");
    case MODE_GATEWAY:
        return QStringLiteral("Module Mode = GATEWAY, no is mapping available in this mode. Use this mode when "
                              "setting up a master station with Vistrel monitoring software.");
    default: return {};
    }
}

QString StationCaption(const QString& head, int destinationStation, long myAddress) {
    if (destinationStation != 0) return head + ThreeDigits(destinationStation);
    return head + QStringLiteral("Local(") + ThreeDigits(myAddress) + QLatin1Char(')');
}

QString StationCaption(const QString& head) {
    return StationCaption(head, linkState().StationAddress[0], SystemValue(config(), MY_ADDRESS));
}

QString UnexpectedValueMessage() {
    return QStringLiteral("An unexpected value was returned from the device.\r\n"
                          "Ensure the settings are correct and then upload the data to the device.\r\n");
}

QString PathChangeQuestion() {
    return QStringLiteral("Warning: selecting the wrong primary transmission path will make the device\r\n"
                          "unable to send status events.\r\n\r\n"
                          "Are you sure you want to change the primary transmission path?");
}

QString PowerSaveRefusedMessage() {
    return QStringLiteral("Power save mode is not supported when Port protocol is set to Fleetsync.") + kLineBreak +
           QStringLiteral("Power save mode has been disabled");
}

} // namespace korvel
