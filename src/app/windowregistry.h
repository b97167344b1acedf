// The windows and commands that menu items and toolbar buttons open, under one name
// each. Every folder that builds windows registers them at start-up through
// RegisterProgramWindows; an item whose window is not registered stays disabled, so the
// menus never offer a command that cannot run.
#pragma once

#include <functional>

class QWidget;

namespace korvel {

enum class WindowId {
    PrintConfigurationReport,
    frmShowConfiguration,
    frmLocalComSetUp,
    frmOMRUPref,
    frmAbout,
    frmStatus,
    frmDateTime,
    RunFlashLoader,
    ShowManufacturingPage,
    frmSystem,
    frmSport,
    frmFFSK,
    frmInputs,
    frmAnalogs,
    frmOutputs,
    frmTaskManager,
    frmLogger,
    frmEventMonitor,
    frmSysDiag,
    frmLevel,
};

// Opens the window (modal or modeless, as the window decides) with owner as its owner.
using WindowOpener = std::function<void(QWidget* owner)>;

void RegisterWindow(WindowId id, WindowOpener open);
void UnregisterWindow(WindowId id);
bool WindowAvailable(WindowId id);
// Opens a registered window; false when none is registered under id.
bool OpenWindow(WindowId id, QWidget* owner);

// Registers the windows of every folder that builds them. Called once by start-up and
// by the window tests; calling it again replaces the registrations with the same ones.
void RegisterProgramWindows();
// Forgets every registration, for tests.
void UnregisterAllWindows();

} // namespace korvel
