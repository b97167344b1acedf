#include "model/taskfile.h"
#include "model/configfile.h"
#include "model/itemreader.h"
#include "model/textnumber.h"

#include <QFile>
#include <cmath>
#include <cstdint>

namespace korvel {

namespace {

const QByteArray kEol = "\r\n";
const QByteArray kSectionStart = "[task_poller]";
const QByteArray kSectionEnd = "[end_task_poller]";

// The task dialog can list no more stations than the module's task block carries.
constexpr int MAX_FILE_STATIONS = TASK_BLOCK_ENTRIES;

// A number of a key line: blanks, sign, digits and one point, rounded half to even.
// Empty when the text does not begin with one.
std::optional<double> LineNumber(const QByteArray& text) {
    const auto v = LeadingNumber(QString::fromLatin1(text), {.sign = true, .decimalPoint = true});
    if (!v) return std::nullopt;
    return std::nearbyint(*v);
}

// The first value the task cannot hold, described for the user; empty when all fit.
QString OutOfRange(const TaskFileContent& c) {
    const QString notLoaded = QStringLiteral(" The task was not loaded.");
    if (c.minutes && (*c.minutes < 0 || *c.minutes > TASK_MAX_MINUTES))
        return QStringLiteral("The poll period in this file is %1 minutes; it must be 0 to %2.")
                   .arg(*c.minutes)
                   .arg(TASK_MAX_MINUTES) +
               notLoaded;
    for (int i = 0; i < TASK_STATIONS; ++i) {
        const int out = c.outputs[size_t(i)];
        if (out < 0 || out > TASK_MAX_OUTPUT)
            return QStringLiteral("Station %1 has output %2 in this file; outputs are 0 to %3.")
                       .arg(ThreeDigits(i + 1))
                       .arg(out)
                       .arg(TASK_MAX_OUTPUT) +
                   notLoaded;
    }
    return QString();
}

// Reads the section's key lines after "[task_poller]" into c. Reading ends at the end
// line, at the end of the text, at a line it cannot take (what was taken before stays)
// or at the first station beyond those the task can hold.
void ReadTaskSection(ItemReader& r, TaskFileContent& c) {
    QByteArray last = kSectionStart;
    while (last != kSectionEnd) {
        const auto item = r.Next();
        if (!item) return;  // cut short: keep what was taken
        last = *item;
        const qsizetype eq = last.indexOf('=');
        if (eq < 0) continue;
        // A key that is no number names the period, as key 0 does.
        const double key = LineNumber(last.left(eq)).value_or(0.0);
        const auto value = LineNumber(last.mid(eq + 1));
        if (!value || key < 0 || key > TASK_STATIONS || *value < INT16_MIN || *value > INT16_MAX) return;
        const auto v = int16_t(*value);
        if (key == 0) {
            c.minutes = v;
            continue;
        }
        if (c.taken == MAX_FILE_STATIONS) {
            c.tooManyStations = true;
            return;
        }
        c.outputs[size_t(key) - 1] = v;
        ++c.taken;
    }
}

} // namespace

QByteArray TaskFileText(int periodMinutes, const StationOutputs& outputs) {
    QByteArray out = DataFileHeader();
    out += kSectionStart + kEol;
    out += "0=" + ThreeDigits(periodMinutes).toLatin1() + kEol;
    for (int i = 0; i < TASK_STATIONS; ++i) {
        if (outputs[size_t(i)] == 0) continue;
        out += ThreeDigits(i + 1).toLatin1() + '=' + TwoDigits(outputs[size_t(i)]).toLatin1() + kEol;
    }
    out += kSectionEnd + kEol;
    return out;
}

TaskFileContent ParseTaskFile(const QByteArray& text) {
    TaskFileContent c;
    ItemReader r(text);
    // The header check cannot tell a cut text from a bad number; a look ahead can.
    ItemReader probe = r;
    const bool headerCut = !probe.Next() || !probe.Next();
    c.header = CheckDataFileHeader(r);
    if (c.header != ConfigFileStatus::Ok) {
        c.pastEnd = c.header == ConfigFileStatus::Corrupt && headerCut;
        return c;
    }
    // Anything before the section is not the task's; a text without one is an empty task.
    while (const auto item = r.Next()) {
        if (*item == kSectionStart) {
            ReadTaskSection(r, c);
            break;
        }
    }
    c.outOfRange = OutOfRange(c);
    return c;
}

TaskFileRead ReadTaskFile(const QString& fileName) {
    TaskFileRead read;
    QFile in(fileName);
    if (!in.open(QIODevice::ReadOnly)) {
        read.fileError = in.errorString();
        return read;
    }
    const QByteArray text = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        read.fileError = in.errorString();
        return read;
    }
    in.close();
    read.content = ParseTaskFile(text);
    return read;
}

} // namespace korvel
