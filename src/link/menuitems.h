// The main window's menu items and toolbar buttons as the core names them. The link and
// control layers enable, disable, show and hide them only through these names, so a
// misspelt item does not compile; the window maps each to its control.
#pragma once

#include <cstddef>

namespace korvel {

// Every item of the menu tree, in the tree's order; separators included.
#define KORVEL_MENU_ITEMS(X) \
    X(mnuFile) \
    X(mnuFileOpen) \
    X(mnuFileSave) \
    X(mnuFilePrint) \
    X(mnuFile2) \
    X(mnuFileExit) \
    X(mnuPref) \
    X(mnuPrefLocal) \
    X(mnuPrefModem) \
    X(mnuDisplay) \
    X(mnuView) \
    X(mnuViewStatus) \
    X(mnuSystem) \
    X(mnuDateTime) \
    X(mnuSystemResetNVR) \
    X(mnuSystemRestart) \
    X(mnuSystemFlash) \
    X(mnuViewManuf) \
    X(mnuConfiguration) \
    X(mnuConfigSystem) \
    X(mnuConfigPorts) \
    X(mnuPortsSerial1) \
    X(mnuPortsSerial2) \
    X(mnuPortsFFSK) \
    X(mnuPorts10Base) \
    X(mnuConfig1) \
    X(mnuConfigContactInputs) \
    X(mnuConfigAnalogInputs) \
    X(mnuConfigTemp) \
    X(mnuConfigOutputs) \
    X(mnuConfig2) \
    X(mnuTasks) \
    X(mnuLogger) \
    X(mnuEvents) \
    X(mnuEventSerial1) \
    X(mnuEventSerial2) \
    X(mnuEventFFSK) \
    X(mnuEventFSM) \
    X(mnuHelp) \
    X(mnuHelpAbout) \

enum class MenuItem {
#define KORVEL_ENUMERATOR(name) name,
    KORVEL_MENU_ITEMS(KORVEL_ENUMERATOR)
#undef KORVEL_ENUMERATOR
};

#define KORVEL_TOOL_BUTTONS(X) X(Open) X(Save) X(Print) X(OffLine) X(Write) X(Read) X(Config)

enum class ToolButton {
#define KORVEL_ENUMERATOR(name) name,
    KORVEL_TOOL_BUTTONS(KORVEL_ENUMERATOR)
#undef KORVEL_ENUMERATOR
};

#define KORVEL_COUNT(name) +1
inline constexpr std::size_t kMenuItemCount = 0 KORVEL_MENU_ITEMS(KORVEL_COUNT);
inline constexpr std::size_t kToolButtonCount = 0 KORVEL_TOOL_BUTTONS(KORVEL_COUNT);
#undef KORVEL_COUNT

// The control's object name ("mnuFileSave") and the button's key ("Save").
const char* MenuItemName(MenuItem item);
const char* ToolButtonKey(ToolButton button);

constexpr std::size_t Index(MenuItem item) { return static_cast<std::size_t>(item); }
constexpr std::size_t Index(ToolButton button) { return static_cast<std::size_t>(button); }

} // namespace korvel
