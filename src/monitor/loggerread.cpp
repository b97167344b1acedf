#include "monitor/loggerread.h"

#include "config/blocks.h"
#include "link/builders.h"
#include "link/channelclear.h"
#include "link/linkstate.h"
#include "monitor/loggerdata.h"
#include "monitor/loggerfiles.h"
#include "session/progress.h"

#include <QLocale>
#include <algorithm>

namespace korvel {

namespace {

constexpr int SAMPLE_BLOCK_RECORDS = 40;
constexpr int MINMAX_BLOCK_RECORDS = 10;

LoggerStep StepResult(int16_t sent) {
    if (sent == SEND_OK) return LoggerStep::Done;
    return linkState().UserCancel ? LoggerStep::Cancelled : LoggerStep::Failed;
}

// Clears the block expectation however the read ends, so a later reply that nobody
// asked for is not measured against it.
struct BlockRequestGuard {
    ~BlockRequestGuard() { loggerData().BlockRequest = LoggerBlockRequest{}; }
};

struct LogPass {
    int command;
    int blockRecords;
    int tableSize;
    const char* label;
    const char* extension;
};

// Reads one log block by block; the records that came, or a failed step.
LoggerStep ReadLog(const LogPass& pass, int count, int& received) {
    received = 0;
    ProgressView& view = progressView();
    view.SetLabelText(ProgressLabel::Label1, QString::fromLatin1(pass.label));
    // The tables hold no more than this; a larger count cannot be read whole.
    const int readable = std::min(count, pass.tableSize);
    // One block past the full ones: it brings the rest, or confirms there is none.
    const int blocks = readable / pass.blockRecords + 1;
    view.SetMaximum(blocks);
    const int16_t* a = linkState().StationAddress;
    LoggerBlockRequest& request = loggerData().BlockRequest;
    for (int i = 0; i < blocks; ++i) {
        // A cancel pressed while nothing was on the line would be cleared by the next
        // request.
        if (linkState().UserCancel) return LoggerStep::Cancelled;
        const int start = pass.blockRecords * i;
        const int wanted = std::clamp(readable - start, 0, pass.blockRecords);
        request = LoggerBlockRequest{pass.command, start, wanted, 0};
        const LoggerStep step = StepResult(SendRequestWord(static_cast<int16_t>(pass.command), a[0], a[1], a[2], start));
        if (step != LoggerStep::Done) return step;
        received += request.Received;
        int16_t shown = static_cast<int16_t>(i);
        ShowProgressPercent(shown);
        // The module has no more than it sent: what follows would only be stale table rows.
        if (request.Received < wanted) break;
    }
    return LoggerStep::Done;
}

void WriteFile(const QString& path, const QByteArray& text, QString& written, QString& error) {
    const QString problem = WriteLogFile(path, text);
    if (problem.isEmpty()) {
        written = path;
    } else if (error.isEmpty()) {
        error = path + QStringLiteral(": ") + problem;
    }
}

// Reads one log and writes the records that came into a new file in folder; count is
// set to them, so the file never reaches past what this read brought.
LoggerStep ReadLogIntoFile(const LogPass& pass, const QString& folder, const std::function<QDateTime()>& now,
                           const std::function<QByteArray(const QDateTime&)>& text, int expected, int& received,
                           uint16_t& count, QString& file, QString& error) {
    if (expected == 0) return LoggerStep::Done;
    const LoggerStep step = ReadLog(pass, expected, received);
    if (step != LoggerStep::Done || received == 0) return step;
    count = static_cast<uint16_t>(received);
    const QDateTime at = now();
    WriteFile(NewLogFilePath(folder, at, QString::fromLatin1(pass.extension)), text(at), file, error);
    return step;
}

LogReadOutcome::Result ReadResult(LoggerStep step) {
    return step == LoggerStep::Cancelled ? LogReadOutcome::Cancelled : LogReadOutcome::Failed;
}

} // namespace

LogReadOutcome ReadLoggerLogs(const QString& folder, uint8_t sampleTime, const std::function<QDateTime()>& now) {
    LogReadOutcome out;
    LoggerData& lg = loggerData();
    if (WaitChannelClear() != 0) return out;
    for (int16_t command : {CMD_SAMPLE_COUNT, CMD_MINMAX_COUNT, CMD_LOGGER_START_TIME}) {
        const LoggerStep step = StepResult(RequestFromStation(command));
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
        {CMD_SAMPLE_BLOCK, SAMPLE_BLOCK_RECORDS, SAMPLE_LOG_SIZE, "Reading sample data ...", kSampleLogExtension},
        folder, now, sampleText, out.sampleExpected, out.sampleReceived, lg.SampleLogCount, out.sampleFile,
        out.fileError);
    if (step == LoggerStep::Done)
        step = ReadLogIntoFile(
            {CMD_MINMAX_BLOCK, MINMAX_BLOCK_RECORDS, MINMAX_LOG_SIZE, "Reading min/max data ...", kMinMaxLogExtension},
            folder, now, minMaxText, out.minMaxExpected, out.minMaxReceived, lg.MinMaxLogCount, out.minMaxFile,
            out.fileError);
    view.Unload();
    out.result = step == LoggerStep::Done ? LogReadOutcome::Done : ReadResult(step);
    return out;
}

QString LogReadReport(const LogReadOutcome& o) {
    const QString fileError = QStringLiteral("A log file could not be written: ") + o.fileError;
    QStringList lines;
    switch (o.result) {
    case LogReadOutcome::Empty: return QString::fromLatin1(kLogsEmptyMessage);
    case LogReadOutcome::Cancelled:
    case LogReadOutcome::Failed:
        lines << (o.result == LogReadOutcome::Cancelled ? QStringLiteral("Reading the data log was cancelled.")
                                                        : QStringLiteral("Reading the data log failed."));
        // Only whole logs are written, and the sample log comes first: say whether it came.
        lines << (o.sampleFile.isEmpty() ? QStringLiteral("No log file was written.")
                                         : QStringLiteral("Only the sample log was written: ") + o.sampleFile);
        if (!o.fileError.isEmpty()) lines << fileError;
        break;
    case LogReadOutcome::Done:
        if (o.sampleReceived < o.sampleExpected)
            lines << QStringLiteral("The module sent %1 of the %2 sample records it reported.")
                         .arg(o.sampleReceived)
                         .arg(o.sampleExpected);
        if (o.minMaxReceived < o.minMaxExpected)
            lines << QStringLiteral("The module sent %1 of the %2 min/max records it reported.")
                         .arg(o.minMaxReceived)
                         .arg(o.minMaxExpected);
        if (!o.fileError.isEmpty()) lines << fileError;
        // A read that went as it should needs no word; otherwise say where the files are.
        if (lines.isEmpty()) break;
        if (!o.sampleFile.isEmpty()) lines << QStringLiteral("Sample log: ") + o.sampleFile;
        if (!o.minMaxFile.isEmpty()) lines << QStringLiteral("Min/max log: ") + o.minMaxFile;
        break;
    }
    return lines.join(QStringLiteral("\r\n"));
}

LoggerStep ReadLoggerTimers() { return StepResult(RequestFromStation(CMD_LOGGER_TIMERS)); }

LoggerStep ClearLoggerTimer(int k) {
    if (k < 0 || k > 8) return LoggerStep::Failed;
    // The logger keeps counting while the window shows what it read: writing those
    // values back would set the other timers back.
    const LoggerStep read = ReadLoggerTimers();
    if (read != LoggerStep::Done) return read;
    loggerData().LoggerTimers[k] = 0;
    const int16_t* a = linkState().StationAddress;
    return StepResult(SendLoggerTimers(a[0], a[1], a[2]));
}

LoggerStep StopLogger(const LoggerStatus& status) {
    status(QStringLiteral("Please wait, stopping system processes..."));
    if (WaitChannelClear() != 0) return LoggerStep::Failed;
    status(QStringLiteral("Please wait, stopping logger..."));
    const LoggerStep step = StepResult(SendToStation(CMD_LOGGER_STOP));
    if (step == LoggerStep::Done) loggerData().LoggerRunning = false;
    return step;
}

LoggerStep StartLogger(const LoggerStatus& status) {
    status(QStringLiteral("Please wait, stopping system processes..."));
    if (WaitChannelClear() != 0) return LoggerStep::Failed;
    status(QStringLiteral("Please wait, uploading logger configuration..."));
    const int16_t* a = linkState().StationAddress;
    LoggerStep step = StepResult(SendConfigBlock(CMD_CFG_SYSTEM, a[0], a[1], a[2], 0));
    if (step != LoggerStep::Done) return step;
    status(QStringLiteral("Please wait, starting logger..."));
    step = StepResult(SendToStation(CMD_LOGGER_START));
    if (step == LoggerStep::Done) loggerData().LoggerRunning = true;
    return step;
}

} // namespace korvel
