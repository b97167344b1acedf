// Connection control: choosing the station, reading or writing its whole configuration
// with the target check, off-line editing, and what each leaves usable in the window.
#pragma once

#include <QString>
#include <cstdint>

namespace korvel {

// The windows connection control opens; the main window implements it and tests script it.
class ConnectionUi {
public:
    virtual ~ConnectionUi() = default;
    // The connect dialog, modal: true when a choice completed, the link now set to the
    // station chosen (a TCP connection made); false when there is nothing to do.
    virtual bool ShowConnectDialog() = 0;
    // The device kind for an off-line edit: 0 Korvel, 1 Pellar.
    virtual int ChooseOfflineDevice() = 0;
    // The system dialog that follows a read.
    virtual void ShowSystemDialog() {}
    // The firmware load command, offered for a boot loader or old firmware.
    virtual void RunFlashLoad() {}
};

ConnectionUi& connectionUi();
// Installs ui (not owned); nullptr restores one that chooses nothing.
void SetConnectionUi(ConnectionUi* ui);

enum ConnectOperation : int16_t { CONNECT_READ = 0, CONNECT_WRITE = 1 };

// Chooses the station, then reads (CONNECT_READ) or writes (CONNECT_WRITE) its whole
// configuration and opens the window's configuration commands.
void ConnectAndRun(int16_t operation);
enum class ReadStart {
    AsItIs,           // the blocks read replace what the model holds
    FactoryDefaults,  // the model starts from the factory defaults
};
// 0 on success, 1 on failure or refusal. A read that does not complete leaves the
// configuration, the target, the session state and the commands as they were, and
// says so.
int16_t DownloadConfiguration(ReadStart start = ReadStart::AsItIs);
int16_t UploadConfiguration();
// An empty configuration of the chosen device kind, edited without a module.
void EnterOffLineEditMode();

// False once the link has given up on the module and gone off line: the serial port
// closed after the user stopped the retries, the TCP link or the switch-through host
// gone. A command the module refused leaves it up, so a clean-up command still gets there.
bool LinkStillUp();

// "Station: " and MyAddress with at least three digits, as status panel 1 shows it.
QString StationText();
// The radio prompt of the radio protocol: false when the user cancelled.
bool AskFleetSyncTarget();

} // namespace korvel
