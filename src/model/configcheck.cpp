#include "model/configcheck.h"
#include "model/model.h"
#include "model/systemvalues.h"
#include "model/target.h"
#include "model/tempcodes.h"
#include "platform/prompts.h"

#include <QString>

namespace korvel {

namespace {

// The first error found ends the check.
QString Fail(const QString& text) { return text; }

QString OffModuleText(const char* kind) {
    return QStringLiteral("At least one %1 local output configuration refers to an off module output.")
               .arg(QLatin1String(kind)) +
           kLineBreak + QStringLiteral("Please correct at least the following error:") + kLineBreak + kLineBreak;
}

// The first slot of groups 0 .. ChildCount whose output lies off its module, or false.
template <typename OutputOf>
bool FirstOffModule(OutputOf outputOf, int* group, int* slot, int* output) {
    const int last = target().ChildCount;
    for (int g = 0; g <= last && g < GROUPS; ++g) {
        for (int s = 0; s < SLOTS; ++s) {
            const int out = outputOf(g, s);
            if (IsOffModuleOutput(int16_t(g), int16_t(out))) {
                *group = g;
                *slot = s;
                *output = out;
                return true;
            }
        }
    }
    return false;
}

} // namespace

int16_t IsOffModuleOutput(int16_t group, int16_t output) {
    if (output == 0 || group < 0 || group > 7) return 0;
    if (group == 0) return output > 8 ? 1 : 0;
    return output < 8 * group + 1 || output > 8 * group + 8 ? 1 : 0;
}

QString ConfigurationProblem() {
    const int p1 = PortProtocol(config(), SPORT1_CCB2);
    if (p1 == PortProtocol(config(), SPORT2_CCB2) && p1 != PORT_BINMP) {
        return Fail(QStringLiteral("The configuration contains errors that will cause Korvel to malfunction.") +
                    kLineBreak +
                    QStringLiteral("Both serial ports have been configured to use the same protocol (other than "
                                   "BINMP)") +
                    kLineBreak +
                    QStringLiteral("which, if written, will prevent the module from being controlled by the OMRU "
                                   "utility.") +
                    kLineBreak + QStringLiteral("At least one serial port must be configured to include the BINMP "
                                            "protocol."));
    }

    const StationConfig& c = config();
    int g = 0, s = 0, out = 0;
    auto channelLine = [&](const char* kind) {
        return QStringLiteral("Module: %1, %2: %3 is set to output: %4")
            .arg(g + 1)
            .arg(QLatin1String(kind))
            .arg(s + 1)
            .arg(out);
    };
    if (FirstOffModule([&](int gr, int sl) { return c.ContactInputTable[gr].LocalOutput[sl]; }, &g, &s, &out))
        return Fail(OffModuleText("contact input") + channelLine("Contact Input"));
    if (FirstOffModule([&](int gr, int sl) { return c.AnalogConfigTable[gr].LowLocalOutput[sl]; }, &g, &s, &out))
        return Fail(OffModuleText("analog input") + channelLine("Analog input(low set point)"));
    if (FirstOffModule([&](int gr, int sl) { return c.AnalogConfigTable[gr].HighLocalOutput[sl]; }, &g, &s, &out))
        return Fail(OffModuleText("analog input") + channelLine("Analog input(high set point)"));

    // Temperature inputs belong to the main module, group 0.
    for (int t = 0; t < SLOTS; ++t) {
        const int low = c.TempConfigTable[t].LowLocalOutput;
        if (IsOffModuleOutput(0, int16_t(low)))
            return Fail(OffModuleText("temperature input") +
                        QStringLiteral("Temperature input(low set point): %1 is set to output: %2").arg(t + 1).arg(low));
    }
    for (int t = 0; t < SLOTS; ++t) {
        const int high = c.TempConfigTable[t].HighLocalOutput;
        if (IsOffModuleOutput(0, int16_t(high)))
            return Fail(OffModuleText("temperature input(high set point)") +
                        QStringLiteral("Temperature input(high set point): %1 is set to output: %2")
                            .arg(t + 1)
                            .arg(high));
    }
    return QString();
}

} // namespace korvel
