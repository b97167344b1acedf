#include "control/lentbox.h"

#include "link/linkhold.h"
#include "platform/prompts.h"

namespace korvel {

int MsgBoxLent(const LinkHold& hold, const QString& text, int style, const QString& title) {
    const LinkLend lend(hold);
    return MsgBox(text, style, title);
}

} // namespace korvel
