// The local settings file KESTA.DAT in the data folder, and the choice of that folder.
#pragma once

#include <QSettings>
#include <QString>

namespace korvel {

// The data folder: preferred when it exists (or can be created), else programFolder.
QString ChooseDataFolder(const QString& preferred, const QString& programFolder);
// DataFolder followed by the settings file's name.
QString SettingsFilePath();
// Loads the eight values into settings(). A missing or unreadable file, or one longer
// than a settings file can be (16 KiB), sets all eight to their defaults and rewrites
// it; returns false in that case.
bool ReadSettingsFile();
// Writes the eight values of settings(), replacing the file; false when it cannot, or
// when the path leads to something other than a plain file (which is left alone).
bool WriteSettingsFile();
// The per-user settings kept under the program's title, beside the settings file: the
// window position and the serial device chosen.
QSettings UserRegistry();
// WriteSettingsFile; when it fails the user is told the file could not be saved.
bool SaveSettingsFile();

} // namespace korvel
