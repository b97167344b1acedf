#include "app/laterwindows.h"

#include <QHash>

namespace korvel {

namespace {
QHash<QString, WindowOpener>& registry() {
    static QHash<QString, WindowOpener> r;
    return r;
}
} // namespace

void RegisterWindow(const QString& name, WindowOpener open) { registry().insert(name, std::move(open)); }
void UnregisterWindow(const QString& name) { registry().remove(name); }
bool WindowAvailable(const QString& name) { return registry().contains(name); }

bool OpenWindow(const QString& name, QWidget* owner) {
    const auto it = registry().constFind(name);
    if (it == registry().constEnd()) return false;
    // A copy: the opener may run a modal loop during which the registry changes.
    const WindowOpener open = *it;
    open(owner);
    return true;
}

} // namespace korvel
