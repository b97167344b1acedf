#include "control/loggerread.h"
#include "link/linkhold.h"

#include "link/builders.h"
#include "control/channelclear.h"
#include "link/linkstate.h"
#include "model/loggerdata.h"
#include "model/loggerfiles.h"
#include "control/configblocks.h"
#include "platform/prompts.h"
#include "control/progress.h"
#include "control/refusals.h"
#include "control/settingwrites.h"

#include <QLocale>
#include <algorithm>

namespace korvel {

namespace {

LoggerStep StepResult(int16_t sent) {
    if (sent == SEND_OK) return LoggerStep::Done;
    return sent == SEND_CANCELLED ? LoggerStep::Cancelled : LoggerStep::Failed;
}

// Clears the block expectation however the read ends, so a later reply that nobody
// asked for is not measured against it.
struct BlockRequestGuard {
    ~BlockRequestGuard() { loggerData().BlockRequest = LoggerBlockRequest{}; }
};

struct LogPass {
    LoggerLog log;
    int command;
    int blockRecords;
    int readMost;  // whole blocks that fit the table
    const char* label;
    const char* extension;
};

// Reads one log block by block; the records that came, or a failed step.
LoggerStep ReadLog(const LinkHold& hold, const LogPass& pass, int count, int& received) {
    received = 0;
    ProgressView& view = progressView();
    view.SetLabelText(ProgressLabel::Label1, QString::fromLatin1(pass.label));
    // A block brings all it has from its start, so the table takes whole blocks only; a
    // larger count is read that far.
    const bool beyondTable = count > pass.readMost;
    const int readable = std::min(count, pass.readMost);
    // One block past the full ones: it brings the rest, or confirms there is none. A
    // log beyond the table has no rest that could be kept.
    const int blocks = readable / pass.blockRecords + (beyondTable ? 0 : 1);
    view.SetMaximum(blocks);
    const int16_t* a = linkState().StationAddress;
    LoggerBlockRequest& request = loggerData().BlockRequest;
    for (int i = 0; i < blocks; ++i) {
        // A cancel pressed while nothing was on the line ends the read before the next block.
        if (hold.CancelSeen()) return LoggerStep::Cancelled;
        const int start = pass.blockRecords * i;
        const int wanted = std::clamp(readable - start, 0, pass.blockRecords);
        request = LoggerBlockRequest{pass.log, start, wanted, 0};
        const LoggerStep step = StepResult(SendRequestWord(hold, static_cast<int16_t>(pass.command), a[0], a[1], a[2], start));
        if (step != LoggerStep::Done) return step;
        received += request.Received;
        int16_t shown = static_cast<int16_t>(i);
        ShowProgressPercent(shown);
        // The module has no more than it sent: what follows would only be stale table rows.
        if (request.Received < wanted) break;
    }
    return LoggerStep::Done;
}

void WriteFile(const QString& path, const QByteArray& text, QString& written, QStringList& errors) {
    const QString problem = WriteLogFile(path, text);
    if (problem.isEmpty())
        written = path;
    else
        errors << path + QStringLiteral(": ") + problem;
}

// Reads one log and writes the records that came into a new file in folder; count is
// set to them, so the file never reaches past what this read brought.
LoggerStep ReadLogIntoFile(const LinkHold& hold, const LogPass& pass, const QString& folder, const std::function<QDateTime()>& now,
                           const std::function<QByteArray(const QDateTime&)>& text, int expected, int& received,
                           uint16_t& count, QString& file, QStringList& errors) {
    if (expected == 0) return LoggerStep::Done;
    const LoggerStep step = ReadLog(hold, pass, expected, received);
    if (step != LoggerStep::Done || received == 0) return step;
    count = static_cast<uint16_t>(received);
    const QDateTime at = now();
    WriteFile(NewLogFilePath(folder, at, QString::fromLatin1(pass.extension)), text(at), file, errors);
    return step;
}

LogReadOutcome::Result ReadResult(LoggerStep step) {
    return step == LoggerStep::Cancelled ? LogReadOutcome::Cancelled : LogReadOutcome::Failed;
}

LogReadOutcome ReadLogs(const LinkHold& hold, const QString& folder, uint8_t sampleTime,
                        const std::function<QDateTime()>& now) {
    LogReadOutcome out;
    LoggerData& lg = loggerData();
    if (WaitChannelClear(hold) != 0) return out;
    for (int16_t command : {CMD_SAMPLE_COUNT, CMD_MINMAX_COUNT, CMD_LOGGER_START_TIME}) {
        const LoggerStep step = StepResult(RequestFromStation(hold, command));
        if (step != LoggerStep::Done) {
            out.result = ReadResult(step);
            return out;
        }
    }
    out.sampleExpected = lg.SampleLogCount;
    out.minMaxExpected = lg.MinMaxLogCount;
    if (out.sampleExpected == 0 && out.minMaxExpected == 0) {
        out.result = LogReadOutcome::Empty;
        return out;
    }

    BlockRequestGuard guard;
    ProgressView& view = progressView();
    view.Show();
    view.SetLabelText(ProgressLabel::Label1, QStringLiteral("Please wait, stopping system processes..."));
    // Rows left from an earlier read must never reach a file as if the module sent them.
    lg.SampleLog.fill(SampleRecord{});
    lg.MinMaxLog.fill(MinMaxRecord{});
    const QLocale locale;

    const auto sampleText = [&](const QDateTime& at) { return SampleLogText(lg, sampleTime, at, locale); };
    const auto minMaxText = [&](const QDateTime& at) { return MinMaxLogText(lg, at, locale); };
    LoggerStep step = ReadLogIntoFile(
        hold,         {LoggerLog::Sample, CMD_SAMPLE_BLOCK, SAMPLE_BLOCK_RECORDS, SAMPLE_READ_MOST, "Reading sample data ...",
         kSampleLogExtension},
        folder, now, sampleText, out.sampleExpected, out.sampleReceived, lg.SampleLogCount, out.sampleFile,
        out.fileErrors);
    if (step == LoggerStep::Done)
        step = ReadLogIntoFile(
            hold,             {LoggerLog::MinMax, CMD_MINMAX_BLOCK, MINMAX_BLOCK_RECORDS, MINMAX_READ_MOST, "Reading min/max data ...",
             kMinMaxLogExtension},
            folder, now, minMaxText, out.minMaxExpected, out.minMaxReceived, lg.MinMaxLogCount, out.minMaxFile,
            out.fileErrors);
    view.Unload();
    out.result = step == LoggerStep::Done ? LogReadOutcome::Done : ReadResult(step);
    return out;
}

} // namespace

LogReadOutcome ReadLoggerLogs(const QString& folder, uint8_t sampleTime, const std::function<QDateTime()>& now) {
    const LinkHold hold;
    // A refusal is said in the read's report, after the progress window has gone.
    RefusalScope refusals;
    LogReadOutcome out = ReadLogs(hold, folder, sampleTime, now);
    out.refusal = refusals.Take();
    return out;
}

namespace {

// What came of one log against what the module reported.
void SayShortLog(QStringList& lines, const char* kind, int received, int expected, int readMost) {
    if (received >= expected) return;
    if (expected > readMost && received == readMost)
        lines << QStringLiteral("The module reported %1 %2 records, more than the %3 this program can hold: the "
                                "first %3 were read.")
                     .arg(expected)
                     .arg(QLatin1String(kind))
                     .arg(readMost);
    else
        lines << QStringLiteral("The module sent %1 of the %2 %3 records it reported.")
                     .arg(received)
                     .arg(expected)
                     .arg(QLatin1String(kind));
}

} // namespace

QString LogReadReport(const LogReadOutcome& o, ReportTo to) {
    QStringList lines;
    // Shown over the main window, the report first says what it is about.
    if (to == ReportTo::MainWindow)
        lines << QStringLiteral("The data logger window was closed while its log was read; the read went on.");
    QStringList fileErrors;
    for (const QString& e : o.fileErrors) fileErrors << QStringLiteral("A log file could not be written: ") + e;
    switch (o.result) {
    case LogReadOutcome::Empty: lines << QString::fromLatin1(kLogsEmptyMessage); break;
    case LogReadOutcome::Cancelled:
    case LogReadOutcome::Failed:
        if (!o.refusal.isEmpty()) lines << o.refusal;
        lines << (o.result == LogReadOutcome::Cancelled ? QStringLiteral("Reading the data log was cancelled.")
                                                        : QStringLiteral("Reading the data log failed."));
        // Only whole logs are written, and the sample log comes first: say whether it came.
        lines << (o.sampleFile.isEmpty() ? QStringLiteral("No log file was written.")
                                         : QStringLiteral("Only the sample log was written: ") + o.sampleFile);
        lines << fileErrors;
        break;
    case LogReadOutcome::Done: {
        const qsizetype before = lines.size();
        SayShortLog(lines, "sample", o.sampleReceived, o.sampleExpected, SAMPLE_READ_MOST);
        SayShortLog(lines, "min/max", o.minMaxReceived, o.minMaxExpected, MINMAX_READ_MOST);
        lines << fileErrors;
        // A read that went as it should needs no word in its own window; otherwise say
        // where the files are.
        if (lines.size() == before) {
            if (to == ReportTo::LoggerWindow) break;
            lines << QStringLiteral("The data log was read.");
        }
        if (!o.sampleFile.isEmpty()) lines << QStringLiteral("Sample log: ") + o.sampleFile;
        if (!o.minMaxFile.isEmpty()) lines << QStringLiteral("Min/max log: ") + o.minMaxFile;
        break;
    }
    }
    return lines.join(QStringLiteral("\r\n"));
}

int LogReadReportIcon(const LogReadOutcome& o) {
    const bool clean = o.result == LogReadOutcome::Empty ||
                       (o.result == LogReadOutcome::Done && o.fileErrors.isEmpty() &&
                        o.sampleReceived >= o.sampleExpected && o.minMaxReceived >= o.minMaxExpected);
    return clean ? vbInformation : vbExclamation;
}

namespace {

LoggerStep readTimers(const LinkHold& hold) { return StepResult(RequestFromStation(hold, CMD_LOGGER_TIMERS)); }

} // namespace

LoggerStep ReadLoggerTimers() {
    const LinkHold hold;
    return readTimers(hold);
}

LoggerStep ClearLoggerTimer(int k) {
    if (k < 0 || k > 8) return LoggerStep::Failed;
    const LinkHold hold;
    // The logger keeps counting while the window shows what it read: writing those
    // values back would set the other timers back.
    const LoggerStep read = readTimers(hold);
    if (read != LoggerStep::Done) return read;
    loggerData().LoggerTimers[k] = 0;
    const int16_t* a = linkState().StationAddress;
    return StepResult(SendLoggerTimers(hold, a[0], a[1], a[2]));
}

LoggerStep StopLogger(const LoggerStatus& status) {
    const LinkHold hold;
    status(QStringLiteral("Please wait, stopping system processes..."));
    if (WaitChannelClear(hold) != 0) return LoggerStep::Failed;
    status(QStringLiteral("Please wait, stopping logger..."));
    const LoggerStep step = StepResult(SendToStation(hold, CMD_LOGGER_STOP));
    if (step == LoggerStep::Done) loggerData().LoggerRunning = false;
    return step;
}

LoggerStep StartLogger(const LoggerStatus& status) {
    const LinkHold hold;
    status(QStringLiteral("Please wait, stopping system processes..."));
    if (WaitChannelClear(hold) != 0) return LoggerStep::Failed;
    status(QStringLiteral("Please wait, uploading logger configuration..."));
    const int16_t* a = linkState().StationAddress;
    LoggerStep step = StepResult(SendConfigBlock(hold, CMD_CFG_SYSTEM, a[0], a[1], a[2], 0));
    if (step != LoggerStep::Done) return step;
    status(QStringLiteral("Please wait, starting logger..."));
    step = StepResult(SendToStation(hold, CMD_LOGGER_START));
    if (step == LoggerStep::Done) loggerData().LoggerRunning = true;
    return step;
}

} // namespace korvel
