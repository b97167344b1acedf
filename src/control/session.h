// The state of the program's session that the main window, the connection procedures
// and the file commands share: where the program keeps its files, whether a
// configuration is loaded and how it came, and the channels the editors open on.
#pragma once

#include <QString>
#include <cstdint>

namespace korvel {

struct SessionState {
    // Folder of the settings file, the trace file, wave files and the monitors' logs.
    QString DataFolder;
    bool ConfigLoaded = false;
    int16_t Online = 0;
    bool OffLineEdit = false;
    bool ClockAbsent = false;
    // Offers the communications trace from the status bar.
    bool DebugMode = false;
    // The words the program was started with, joined by blanks: a switch-through host
    // passes its port and a route number.
    QString CommandLine;
    int16_t SelectedInputChannel = 1;
    int16_t SelectedOutputChannel = 1;
    int16_t SelectedAnalogChannel = 1;
    // What the shared editors edit when they open: analog (true) or temperature inputs,
    // and serial port 1 or 2.
    bool AnalogMode = true;
    int16_t SerialPortSelector = 1;
};

SessionState& session();
void ResetSessionState();
// The data folder, or the working folder while none has been chosen.
QString DataFolderPath();

} // namespace korvel
