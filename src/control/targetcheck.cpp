#include "control/targetcheck.h"
#include "control/lentbox.h"

#include "link/linkhold.h"
#include "model/target.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "platform/prompts.h"

#include <QString>

namespace korvel {

namespace {

constexpr int kProductKorvel = 3;
constexpr int kFamilyBootLoader = 0x0;
constexpr int kFamilyOurs = 0x2;
constexpr uint8_t kFirstSupportedVersion = 0x30;  // 3.0
constexpr int kRadioPortOption = 0x2;
constexpr int kModeMaster = 2;
constexpr int kModeGateway = 3;

struct FamilyTexts {
    QString family;
    QString application;
};

FamilyTexts FamilyTextsOf(int family) {
    switch (family) {
    case 0x1: return {QStringLiteral("Gantrel family"), QStringLiteral("Ulvane")};
    case 0x3: return {QStringLiteral("Sonavox"), QStringLiteral("Chorell")};
    case 0x4: return {QStringLiteral("KV5-Lume"), QStringLiteral("KV5Lume")};
    case 0x5: return {QStringLiteral("Harnel"), QStringLiteral("Pradlin")};
    case 0x6: return {QStringLiteral("Tessik"), QStringLiteral("Ulvane")};
    default: return {QStringLiteral("Unknown Product"), QString()};
    }
}

// Asks a Yes/No question offering new firmware; on Yes the flash load runs as a job of
// its own, once the job that asked has ended and let the link go.
void OfferFirmwareLoad(const LinkHold& hold, const QString& text, const QString& title,
                       const std::function<void()>& runFlashLoad) {
    if (MsgBoxLent(hold, text, vbYesNo + vbCritical, title) == vbYes && runFlashLoad)
        WhenLinkFree(runFlashLoad, nullptr, LinkTurn::WholeJob);
}

} // namespace

QString ProductName(int code) {
    switch (code) {
    case 1: return QStringLiteral("Nelk Series I");
    case 2: return QStringLiteral("Nelk Series II");
    case 4: return QStringLiteral("Sonavox");
    default: return QStringLiteral("Unknown Product");
    }
}

int16_t ModuleModeCheck(const LinkHold& hold, const std::function<void()>& runFlashLoad) {
    TargetState& t = target();
    // A Pellar flag left from an earlier connection must not make this module a Pellar:
    // only the device-type reply below may set it again.
    t.PellarDevice = false;

    if (SendRequestParam(hold, CMD_MODULE_INFO, 0, 0, 0, MODULE_INFO_FULL) != 0) return 1;

    const int productLine = t.TargetIdentity & 0x0F;
    if (productLine != kProductKorvel) {
        MsgBoxLent(hold, QStringLiteral("This application is incorrect for the target found. The target "
                              "identified as: ") +
                   ProductName(productLine) + kLineBreak +
                   QStringLiteral("and is not compatible with this application. Please run the "
                                  "correct application."),
               vbOKOnly + vbCritical, QStringLiteral("Flash Loader"));
        return 1;
    }

    const int family = (t.TargetIdentity >> 4) & 0x0F;
    if (family == kFamilyBootLoader) {
        OfferFirmwareLoad(hold, QStringLiteral("The target is running an application loader (bootstrap) "
                                         "and appears to have no application present.") +
                              kLineBreak +
                              QStringLiteral("Do you want to load an application (new firmware) "
                                             "into this module?"),
                          QStringLiteral("OMRU - ModuleModeCheck - Bootcode returned"), runFlashLoad);
        return 1;
    }
    if (family != kFamilyOurs) {
        const FamilyTexts texts = FamilyTextsOf(family);
        MsgBoxLent(hold, QStringLiteral("This application (OMRU) is incorrect for the target found. The "
                              "target firmware (") +
                   texts.family + QStringLiteral(")") + kLineBreak +
                   QStringLiteral("is not compatible with this application. Please run the correct "
                                  "application (") +
                   texts.application + QStringLiteral(")."),
               vbOKOnly + vbCritical, QStringLiteral("Flash Loader"));
        return 1;
    }

    // A module that does not report its version is taken as it is.
    const uint8_t version = t.TargetFirmwareVersion;
    if (version != 0) {
        const int major = version >> 4;
        const int minor = version & 0x0F;
        if (version < kFirstSupportedVersion) {
            OfferFirmwareLoad(
                hold, QStringLiteral("The firmware version detected in the target (V%1.%2), is of an "
                               "earlier version than this")
                        .arg(major)
                        .arg(minor) +
                    kLineBreak +
                    QStringLiteral("OMRU supports. This version of OMRU supports firmware "
                                   "revisions 3.0 and above.") +
                    kLineBreak + QStringLiteral("Do you want to upgrade the firmware in this module?"),
                QStringLiteral("OMRU - PreviousVersionError"), runFlashLoad);
            return 1;
        }
        // Minor version 15 marks firmware that may run on a Pellar: its device-type
        // reply tells which it is.
        if (minor == 15 && SendRequest(hold, CMD_DEVICE_TYPE, 0, 0, 0) != 0) return 1;
    }

    // A remote station is reached over the radio port, which only a master or gateway
    // with that port fitted offers.
    const bool canReachRemote = (t.TargetModuleMode == kModeMaster || t.TargetModuleMode == kModeGateway) &&
                                (t.TargetOptions & kRadioPortOption) != 0;
    if (canReachRemote || linkState().StationAddress[0] <= 0) return 0;

    MsgBoxLent(hold, QStringLiteral("The remote target cannot be reached because the present module mode "
                          "is set to one of the slave modes,") +
               kLineBreak +
               QStringLiteral("and therefore does not support this operation. The module mode must "
                              "be set to either Master or Gateway") +
               kLineBreak + QStringLiteral(" to access a remote target"),
           vbOKOnly + vbCritical, QStringLiteral("OMRU - ModuleModeCheck"));
    return 1;
}

} // namespace korvel
