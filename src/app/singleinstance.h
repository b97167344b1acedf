// Windows that exist once: created on first use, released when they close.
#pragma once

#include "platform/qtprompts.h"

#include <QPointer>
#include <QWidget>
#include <type_traits>

namespace korvel {

// Shows the one instance of Dialog modal, made by create() first. A second request
// while it is up brings it to the front instead of stacking another. The instance is
// released when it closes, or with its owner should that go first, and instance is
// empty again either way.
template <typename Dialog, typename Create>
    requires std::is_invocable_r_v<Dialog*, Create>
void RunSingleInstance(QPointer<Dialog>& instance, Create create) {
    if (instance) {
        instance->raise();
        instance->activateWindow();
        return;
    }
    instance = create();
    ExecModal(*instance);
    delete instance.data();
}

// The same for a window made from its owner alone.
template <typename Dialog>
void RunSingleInstance(QPointer<Dialog>& instance, QWidget* owner) {
    RunSingleInstance(instance, [owner] { return new Dialog(owner); });
}

} // namespace korvel
