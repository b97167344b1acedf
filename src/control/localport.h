// The rules of the local port dialog: what it shows when it opens, what its OK stores
// (settings, the running reply time-out, the protocol's menu items, the settings file,
// the serial port), and the serial ports a Linux machine offers, with the device kept
// between runs.
#pragma once

#include <QList>
#include <QString>
#include <cstdint>

namespace korvel {

// Milliseconds as whole ticks of 100 ms, a half going to the even tick: 1650 and 1550
// both give 16, 1500 gives 15.
int16_t MsToTicks(int ms);

// What the dialog edits, in the units it shows: a scratch copy of the settings, so
// that Cancel only has to drop it.
struct LocalPortValues {
    // The serial device as the port box shows it; empty stands for the device of the
    // settings file's port number.
    QString Device;
    int RetryCount = 0;
    int PacketTimeoutMs = 0;
    int InterByteTimeoutMs = 0;
    int16_t PortProtocol = 0;  // the stored value, not the list index
};

// The values of settings() as the dialog opens on them. A settings file without a
// device of its own shows the device of its port number (1 = /dev/ttyS0).
LocalPortValues LoadLocalPortValues();

// The protocol list offers the module and the FleetSync radio only; the one-stop-bit
// module protocol, which only the settings file can choose, shows as the module.
int ProtocolListIndex(int16_t protocol);
// The protocol stored for a list index: the module item keeps the one-stop-bit variant
// of a settings file that had it, since that item is what the dialog showed for it.
int16_t ProtocolFromListIndex(int index, int16_t loaded);

// Shows or hides the protocol's own menu items: the local FleetSync event monitor in
// place of flash loading for a radio, flash loading back (unless a switch-through link
// keeps it off) for a module.
void ShowProtocolMenus(int16_t protocol);

enum class LocalPortStore {
    Stored,
    SettingsNotWritten,  // stored in memory, but the settings file could not be written (the user is told)
};
// The dialog's OK: stores the values, sets the running reply time-out (three times the
// setting while a remote station is selected, as the connect dialog does), shows the
// protocol's menus, keeps the device for the next run, writes the settings file and
// closes an open serial port so that the next operation opens it with the new values.
LocalPortStore StoreLocalPortValues(const LocalPortValues& values);

// A serial device of the machine, as the port box lists it.
struct SerialPortEntry {
    QString Device;       // "/dev/ttyUSB0"
    QString Description;  // what the system calls it, possibly empty
};
// Whether device is one of the ports offered: /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*.
bool IsOfferedSerialDevice(const QString& device);
// The offered ports among present: built-in ports first, then USB adapters, then modem
// class devices, each by number; each device once.
QList<SerialPortEntry> OfferedSerialPorts(const QList<SerialPortEntry>& present);
// The serial ports the system reports present now.
QList<SerialPortEntry> PresentSerialPorts();

// The settings file's port number for a chosen device: n + 1 for /dev/ttySn (n 0 to 15),
// otherwise current, as the file has no way to name other devices.
int16_t CommPortNumberFor(const QString& device, int16_t current);

// The device chosen in the dialog, kept beside the window position; empty when none.
QString SavedCommPortDevice();
// An empty device forgets the saved one.
void SaveCommPortDevice(const QString& device);
// Start-up: the saved device becomes settings().CommPortDevice.
void RestoreCommPortDevice();

} // namespace korvel
