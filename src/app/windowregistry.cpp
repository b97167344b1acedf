#include "app/windowregistry.h"
#include "app/frmAbout.h"
#include "app/frmLocalComSetUp.h"
#include "app/frmOMRUPref.h"
#include "app/printreport.h"
#include "editors/channels/frmAnalogs.h"
#include "editors/channels/frmInputs.h"
#include "editors/channels/frmOutputs.h"
#include "editors/channels/frmShowConfiguration.h"
#include "editors/station/frmFFSK.h"
#include "editors/station/frmLevel.h"
#include "editors/station/frmSport.h"
#include "editors/station/frmSysDiag.h"
#include "editors/station/frmSystem.h"
#include "control/boardpage.h"
#include "control/flashloader.h"
#include "monitor/frmEventMonitor.h"
#include "monitor/frmDateTime.h"
#include "monitor/frmStatus.h"
#include "monitor/frmLogger.h"
#include "monitor/frmTaskManager.h"

#include <map>

namespace korvel {

namespace {
std::map<WindowId, WindowOpener>& registry() {
    static std::map<WindowId, WindowOpener> r;
    return r;
}

// The main window's own small dialogs, all modal.
void RegisterMainWindowDialogs() {
    RegisterWindow(WindowId::frmLocalComSetUp, &frmLocalComSetUp::Run);
    RegisterWindow(WindowId::frmOMRUPref, &frmOMRUPref::Run);
    RegisterWindow(WindowId::frmAbout, &frmAbout::Run);
}
// The station and port editors.
void RegisterStationEditors() {
    RegisterWindow(WindowId::frmSystem, &frmSystem::Run);
    RegisterWindow(WindowId::frmSysDiag, &frmSysDiag::Run);
    RegisterWindow(WindowId::frmSport, &frmSport::Run);
    RegisterWindow(WindowId::frmFFSK, &frmFFSK::Run);
    RegisterWindow(WindowId::frmLevel, &frmLevel::Run);
}
// The channel editors.
void RegisterChannelEditors() {
    RegisterWindow(WindowId::frmInputs, &frmInputs::Run);
    RegisterWindow(WindowId::frmAnalogs, &frmAnalogs::Run);
    RegisterWindow(WindowId::frmOutputs, &frmOutputs::Run);
    RegisterWindow(WindowId::frmShowConfiguration, &frmShowConfiguration::Run);
}
// The monitoring and maintenance windows that talk to the module directly.
void RegisterMonitorWindows() {
    RegisterWindow(WindowId::frmEventMonitor, &frmEventMonitor::Run);
    RegisterWindow(WindowId::frmDateTime, &frmDateTime::Run);
    RegisterWindow(WindowId::frmStatus, &frmStatus::Run);
    RegisterWindow(WindowId::frmTaskManager, &frmTaskManager::Run);
    RegisterWindow(WindowId::frmLogger, &frmLogger::Run);
}

// The firmware load and the board information page: commands whose only windows are
// the shared progress window and message boxes.
void RegisterFlashCommands() {
    RegisterWindow(WindowId::RunFlashLoader, [](QWidget*) { RunFlashLoader(); });
    RegisterWindow(WindowId::ShowManufacturingPage, [](QWidget*) { ShowManufacturingPage(); });
}

// The printed reports: commands with no window of their own besides the print dialog.
void RegisterReports() {
    RegisterWindow(WindowId::PrintConfigurationReport, [](QWidget*) { PrintConfigurationReport(); });
}
} // namespace

void RegisterWindow(WindowId id, WindowOpener open) { registry()[id] = std::move(open); }
void UnregisterWindow(WindowId id) { registry().erase(id); }
bool WindowAvailable(WindowId id) { return registry().count(id) != 0; }
void UnregisterAllWindows() { registry().clear(); }

bool OpenWindow(WindowId id, QWidget* owner) {
    const auto it = registry().find(id);
    if (it == registry().end()) return false;
    // A copy: the opener may run a modal loop during which the registry changes.
    const WindowOpener open = it->second;
    open(owner);
    return true;
}

void RegisterProgramWindows() {
    // Each folder's windows are added here as they are built, one call per folder
    // (its own Register...Windows function), so that linking the program is enough to
    // offer them and nothing depends on static initialisers of a static library.
    RegisterMainWindowDialogs();
    RegisterStationEditors();
    RegisterChannelEditors();
    RegisterReports();
    RegisterMonitorWindows();
    RegisterFlashCommands();
}

} // namespace korvel
