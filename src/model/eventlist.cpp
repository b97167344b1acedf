#include "model/eventlist.h"

#include "model/textnumber.h"

#include <QDir>
#include <QFile>
#include <QLocale>

namespace korvel {

static EventMonitorState g_monitor;
static std::function<void(const QString&)> g_listener;

static QFile& logFile() {
    static QFile f;
    return f;
}

EventMonitorState& eventMonitor() { return g_monitor; }

void ResetEventMonitorState() {
    if (logFile().isOpen()) logFile().close();
    g_monitor = EventMonitorState{};
    g_listener = nullptr;
}

void AddEventLine(const QString& line) {
    g_monitor.lstEvents.append(line);
    if (g_listener) g_listener(line);
}

void SetEventLineListener(std::function<void(const QString&)> listener) {
    g_listener = std::move(listener);
}

QString EventLogStamp(const QDateTime& when) {
    const auto date = [&when](const QLocale& l) { return l.toString(when.date(), QLocale::ShortFormat); };
    return SingleByteLocaleText(QLocale(), date) + QLatin1Char(' ') +
           when.time().toString(QStringLiteral("HH:mm:ss"));
}

namespace {

// The log is a single-byte text file with CR LF line ends.
bool writeLogLine(const QString& line) {
    const QByteArray bytes = line.toLatin1() + "\r\n";
    QFile& f = logFile();
    return f.write(bytes) == bytes.size() && f.flush();
}

// Closes the log after a failure and says what failed.
QString abandonLog(const QString& what) {
    if (logFile().isOpen()) logFile().close();
    g_monitor.EventLogOn = false;
    return what + QStringLiteral(" the event log file ") + QDir::toNativeSeparators(g_monitor.LogFileName) +
           QStringLiteral(". Event logging is off.");
}

} // namespace

QString OpenEventLog(const QString& dataFolder, const QDateTime& now) {
    if (g_monitor.EventLogOn) return QString();
    // The log goes with the program's other data files unless told otherwise.
    QString folder = g_monitor.LogFolder.isEmpty() ? dataFolder : g_monitor.LogFolder;
    if (folder.isEmpty()) folder = QDir::currentPath();
    const QString path = QDir(folder).filePath(now.toString(QStringLiteral("yyyyMMddHHmmss")) + QStringLiteral(".log"));
    // Switching the log off and on within one second gives the same name again; the
    // log just closed continues in that file instead of being wiped.
    const bool sameAsLast = path == g_monitor.LogFileName && QFile::exists(path);
    QFile& f = logFile();
    if (f.isOpen()) f.close();
    f.setFileName(path);
    g_monitor.LogFileName = path;
    if (!f.open(QIODevice::WriteOnly | (sameAsLast ? QIODevice::Append : QIODevice::Truncate)))
        return abandonLog(QStringLiteral("Could not create"));
    if (!writeLogLine(EventLogStamp(now) + QStringLiteral(" - Log started")))
        return abandonLog(QStringLiteral("Could not write to"));
    g_monitor.EventLogOn = true;
    return QString();
}

QString CloseEventLog(const QDateTime& now) {
    if (!g_monitor.EventLogOn) return QString();
    if (!logFile().isOpen() || !writeLogLine(EventLogStamp(now) + QStringLiteral(" - Log stopped")))
        return abandonLog(QStringLiteral("Could not write to"));
    logFile().close();
    g_monitor.EventLogOn = false;
    return QString();
}

QString WriteEventLog(const QString& line) {
    if (!g_monitor.EventLogOn) return QString();
    if (!logFile().isOpen() || !writeLogLine(line)) return abandonLog(QStringLiteral("Could not write to"));
    return QString();
}

} // namespace korvel
