// Windows that exist once: created on first use, released when they close.
#pragma once

#include <QPointer>
#include <QWidget>

namespace korvel {

// Shows the one instance of Dialog modal over owner, creating it first. A second
// request while it is up brings it to the front instead of stacking another. The
// instance is released when it closes, or with its owner should that go first, and
// instance is empty again either way.
template <typename Dialog>
void RunSingleInstance(QPointer<Dialog>& instance, QWidget* owner) {
    if (instance) {
        instance->raise();
        instance->activateWindow();
        return;
    }
    instance = new Dialog(owner);
    instance->exec();
    delete instance.data();
}

} // namespace korvel
