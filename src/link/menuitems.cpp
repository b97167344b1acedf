#include "link/menuitems.h"

namespace korvel {

const char* MenuItemName(MenuItem item) {
    static const char* const names[] = {
#define KORVEL_NAME(name) #name,
        KORVEL_MENU_ITEMS(KORVEL_NAME)
#undef KORVEL_NAME
    };
    return names[Index(item)];
}

const char* ToolButtonKey(ToolButton button) {
    static const char* const keys[] = {
#define KORVEL_NAME(name) #name,
        KORVEL_TOOL_BUTTONS(KORVEL_NAME)
#undef KORVEL_NAME
    };
    return keys[Index(button)];
}

} // namespace korvel
