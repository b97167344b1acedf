// The program's start: the data folder, the settings file, the main window and the
// splash, before the event loop takes over.
#pragma once

#include <QString>

namespace korvel {

class frmMain;

// The data folder the program prefers: the per-user data folder of this program.
QString PreferredDataFolder();
// Runs the start-up steps and returns the shown main window (owned by the caller).
frmMain* StartProgram(const QString& preferredDataFolder);

} // namespace korvel
