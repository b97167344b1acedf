#include "control/commandstates.h"

namespace korvel {

CommandStates SaveCommandStates(const LinkHost& host) {
    CommandStates states;
    for (std::size_t i = 0; i < kMenuItemCount; ++i) {
        states.enabled[i] = host.MenuEnabled(MenuItem(i));
        states.visible[i] = host.MenuVisible(MenuItem(i));
    }
    for (std::size_t i = 0; i < kToolButtonCount; ++i) states.buttons[i] = host.ToolbarButtonEnabled(ToolButton(i));
    return states;
}

void RestoreCommandStates(LinkHost& host, const CommandStates& states) {
    for (std::size_t i = 0; i < kMenuItemCount; ++i) {
        host.SetMenuEnabled(MenuItem(i), states.enabled[i]);
        host.SetMenuVisible(MenuItem(i), states.visible[i]);
    }
    for (std::size_t i = 0; i < kToolButtonCount; ++i) host.SetToolbarButtonEnabled(ToolButton(i), states.buttons[i]);
}

void SetFlashCommandsEnabled(LinkHost& host, bool on) {
    host.SetMenuEnabled(MenuItem::mnuSystemFlash, on);
    host.SetMenuEnabled(MenuItem::mnuViewManuf, on);
}

} // namespace korvel
