// Which of the main window's commands are offered: the states of every menu item and
// toolbar button, kept so that a command that fails can put them back, and the groups
// of commands that go together. The window shows them through its LinkHost.
#pragma once

#include "link/linkhost.h"

#include <array>

namespace korvel {

// Every menu item's and toolbar button's state, taken so that a command that fails
// can put them back as they were.
struct CommandStates {
    std::array<bool, kMenuItemCount> enabled{}, visible{};
    std::array<bool, kToolButtonCount> buttons{};
};
CommandStates SaveCommandStates(const LinkHost& host);
void RestoreCommandStates(LinkHost& host, const CommandStates& states);

// The commands that reach the local module's flash, the firmware load and the board
// information page, offered together.
void SetFlashCommandsEnabled(LinkHost& host, bool on);

} // namespace korvel
