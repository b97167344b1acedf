// The data logger's module operations: reading its logs into files, reading and clearing
// its timers, and starting and stopping it. Each talks to the station the link
// addresses now and waits for the module as the link does.
#pragma once

#include "model/loggerdata.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace korvel {

enum class LoggerStep { Done, Failed, Cancelled };

// The most records of each log a read takes: the whole blocks its table holds. A module
// that reports more has the rest left unread.
inline constexpr int SAMPLE_BLOCK_RECORDS = 40;
inline constexpr int MINMAX_BLOCK_RECORDS = 10;
inline constexpr int SAMPLE_READ_MOST = SAMPLE_LOG_SIZE / SAMPLE_BLOCK_RECORDS * SAMPLE_BLOCK_RECORDS;
inline constexpr int MINMAX_READ_MOST = MINMAX_LOG_SIZE / MINMAX_BLOCK_RECORDS * MINMAX_BLOCK_RECORDS;

struct LogReadOutcome {
    enum Result { Empty, Done, Failed, Cancelled } result = Failed;
    // The records the module said it holds, and those that came.
    int sampleExpected = 0, sampleReceived = 0;
    int minMaxExpected = 0, minMaxReceived = 0;
    // The files written, empty when none was.
    QString sampleFile, minMaxFile;
    // Each file that could not be written, and why.
    QStringList fileErrors;
    // The text of the module's refusal that ended the read, said in its report.
    QString refusal;
};

// Reads the record counts and the start time, then the sample and the min/max log
// block by block, each into its table (cleared first) and then into its file in folder,
// named and headed by now(). sampleTime (the SampleTime value) rebuilds the sample times.
// The progress window shows the blocks and its Cancel stops the read. A block that ends
// the log early stops that log's read; its file holds the records that came. A log
// counted beyond its *_READ_MOST is read that far and its file holds those records.
LogReadOutcome ReadLoggerLogs(const QString& folder, uint8_t sampleTime, const std::function<QDateTime()>& now);

enum class ReportTo {
    LoggerWindow,  // the window that started the read shows it: a clean read needs no word
    MainWindow,    // the logger window was closed meanwhile: every read is reported
};
// What the user is told after a read; empty when the read went as it should and the
// logger window is there to show its outcome.
QString LogReadReport(const LogReadOutcome& outcome, ReportTo to = ReportTo::LoggerWindow);
// The icon of that report: information for a read that went as it should or found the
// logs empty, else a warning.
int LogReadReportIcon(const LogReadOutcome& outcome);

inline constexpr char kLogsEmptyMessage[] = "Sample and min/max logs are empty";

// Reads the nine timers and the setting bytes.
LoggerStep ReadLoggerTimers();
// Sets timer k (0 .. 8) to 0 in the module. The timers are read again just before the
// write, so the other eight go back with the values they have reached meanwhile.
LoggerStep ClearLoggerTimer(int k);

// status shows each step in the window's status line.
using LoggerStatus = std::function<void(const QString&)>;
// Waits for a clear channel and stops the logger; LoggerRunning is cleared on success.
LoggerStep StopLogger(const LoggerStatus& status);
// Waits for a clear channel, writes the system configuration block (which carries the
// logger settings and makes the module reformat its logger memory) and starts the
// logger; LoggerRunning is set on success.
LoggerStep StartLogger(const LoggerStatus& status);

} // namespace korvel
