#include "control/settingsfile.h"
#include "platform/prompts.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "model/itemreader.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <limits>
#include <optional>

namespace korvel {

QString ChooseDataFolder(const QString& preferred, const QString& programFolder) {
    if (!preferred.isEmpty() && (QFileInfo(preferred).isDir() || QDir().mkpath(preferred)))
        return preferred;
    return programFolder;
}

QString SettingsFilePath() { return session().DataFolder + QStringLiteral("/KESTA.DAT"); }

namespace {

// A real settings file is a few hundred bytes. Reading stops beyond this, so a file that
// is huge, or a link to an endless device, counts as unreadable instead of filling
// memory before the window can appear.
constexpr qint64 MAX_SETTINGS_FILE_BYTES = 16 * 1024;

std::optional<int16_t> ParseInt16(const QByteArray& item) {
    bool ok = false;
    // toInt accepts surrounding white space and a sign; only digits after an optional
    // sign are a number here.
    qsizetype i = (item.startsWith('-') || item.startsWith('+')) ? 1 : 0;
    if (i >= item.size()) return std::nullopt;
    for (; i < item.size(); ++i)
        if (item[i] < '0' || item[i] > '9') return std::nullopt;
    const long long v = item.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int16_t>::min() || v > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int16_t>(v);
}

std::optional<bool> ParseBool(const QByteArray& item) {
    if (item == "#TRUE#") return true;
    if (item == "#FALSE#") return false;
    return std::nullopt;
}

void CopyFileValues(const LocalSettings& from, LocalSettings& to) {
    to.CommPortNumber = from.CommPortNumber;
    to.RetryCount = from.RetryCount;
    to.PacketTimeout = from.PacketTimeout;
    to.LinkDebugDisplay = from.LinkDebugDisplay;
    to.InterByteTimeout = from.InterByteTimeout;
    to.SpareSetting = from.SpareSetting;
    to.DegreesF = from.DegreesF;
    to.PortProtocol = from.PortProtocol;
}

bool ParseSettings(const QByteArray& text, LocalSettings& out) {
    ItemReader r(text);
    int16_t* const ints[] = {&out.CommPortNumber, &out.RetryCount, &out.PacketTimeout,
                             &out.LinkDebugDisplay, &out.InterByteTimeout, &out.SpareSetting};
    for (int16_t* field : ints) {
        const auto item = r.Next();
        if (!item) return false;
        const auto v = ParseInt16(*item);
        if (!v) return false;
        *field = *v;
    }
    const auto flag = r.Next();
    if (!flag) return false;
    const auto b = ParseBool(*flag);
    if (!b) return false;
    out.DegreesF = *b;
    const auto proto = r.Next();
    if (!proto) return false;
    const auto p = ParseInt16(*proto);
    if (!p) return false;
    out.PortProtocol = *p;
    // A countdown loaded with zero or less never expires, so a wait on it would hang.
    return out.PacketTimeout >= 1 && out.InterByteTimeout >= 1;
}

QByteArray IntLine(int v) { return QByteArray::number(v) + "\r\n"; }

} // namespace

bool ReadSettingsFile() {
    QFile f(SettingsFilePath());
    LocalSettings read;
    if (f.open(QIODevice::ReadOnly)) {
        // One byte past the limit tells a file at the limit from a longer one.
        const QByteArray text = f.read(MAX_SETTINGS_FILE_BYTES + 1);
        const bool ok = f.error() == QFileDevice::NoError && text.size() <= MAX_SETTINGS_FILE_BYTES &&
                        ParseSettings(text, read);
        f.close();
        if (ok) {
            CopyFileValues(read, settings());
            return true;
        }
    }
    // Nothing of a bad file is kept: every value goes back to its default and the file
    // is replaced at once, so the next start finds a good one.
    CopyFileValues(LocalSettings{}, settings());
    WriteSettingsFile();
    return false;
}

bool WriteSettingsFile() {
    const LocalSettings& s = settings();
    QByteArray text;
    text += IntLine(s.CommPortNumber);
    text += IntLine(s.RetryCount);
    text += IntLine(s.PacketTimeout);
    text += IntLine(s.LinkDebugDisplay);
    text += IntLine(s.InterByteTimeout);
    text += IntLine(s.SpareSetting);
    text += s.DegreesF ? "#TRUE#\r\n" : "#FALSE#\r\n";
    text += IntLine(s.PortProtocol);
    // A settings path that leads through links to something other than a plain file (a
    // device, a pipe) is left alone: the replacement would be renamed over that target.
    const QString path = SettingsFilePath();
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) return false;
    // Written beside the old file and renamed over it, so a failed write leaves the
    // previous settings in place.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    if (f.write(text) != text.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

QSettings UserRegistry() { return QSettings(AppTitle(), QString()); }

bool SaveSettingsFile() {
    if (WriteSettingsFile()) return true;
    MsgBox(QStringLiteral("The program settings could not be saved to ") + SettingsFilePath() + QStringLiteral("."),
           vbOKOnly + vbExclamation, QString());
    return false;
}

} // namespace korvel
