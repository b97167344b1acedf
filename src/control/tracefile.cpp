#include "control/tracefile.h"
#include "control/session.h"
#include "model/version.h"
#include "link/linkstate.h"
#include "link/trace.h"
#include "platform/prompts.h"

#include <QLocale>

namespace korvel {

QString TraceFilePath() { return session().DataFolder + QStringLiteral("/TOVE_TRACE.TXT"); }

QString TraceDateTimeText(const QDateTime& when) {
    // A fixed locale: the trace is read by whoever supports the program, and its
    // layout must not change with the machine it was taken on.
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QTime t = when.time();
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    return english.toString(when.date(), QStringLiteral("dddd, MMMM dd, yyyy,")) +
           QStringLiteral(" %1:%2:%3 %4")
               .arg(hour12, 2, 10, QLatin1Char('0'))
               .arg(t.minute(), 2, 10, QLatin1Char('0'))
               .arg(t.second(), 2, 10, QLatin1Char('0'))
               .arg(t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

bool OpenTrace(const QDateTime& now) {
    if (!TraceOpenFile(TraceFilePath())) return false;
    const QByteArray version = QByteArray::number(ProgramVersionMajor) + '.' +
                               QByteArray::number(ProgramVersionMinor) + '.' +
                               QByteArray::number(ProgramVersionRevision);
    TraceWriteRaw("TOVE Trace - Version " + version + "\r\n");
    TraceWriteRaw(TraceDateTimeText(now).toLatin1() + "\r\n");
    return true;
}

void CloseTrace(const QDateTime& now) {
    if (!TraceFileOpen()) return;
    TraceWriteRaw("Trace stopped at " + TraceDateTimeText(now).toLatin1() + "\r\n");
    TraceCloseFile();
}

void TraceStatusBarClick() {
    if (!session().DebugMode) return;
    const QString title = QStringLiteral("Debug");
    if (linkState().TraceOn) {
        if (MsgBox(QStringLiteral("Close communications trace ?"), vbYesNo + vbQuestion, title) == vbNo)
            return;
        CloseTrace();
        linkState().TraceOn = false;
        return;
    }
    if (MsgBox(QStringLiteral("Enable communications trace ?"), vbYesNo + vbQuestion, title) == vbNo)
        return;
    if (!OpenTrace()) {
        MsgBox(QStringLiteral("The communications trace file could not be created:\n\r") +
                   TraceFilePath(),
               vbOKOnly + vbExclamation, title);
        return;
    }
    linkState().TraceOn = true;
}

} // namespace korvel
