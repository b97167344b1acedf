// The windows and commands that menu items open, registered by the units that build
// them. A menu item whose window is not registered stays disabled, so the menus never
// offer a command that cannot run.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace korvel {

// Opens the window (modal or modeless, as the window decides) with owner as its owner.
using WindowOpener = std::function<void(QWidget* owner)>;

void RegisterWindow(const QString& name, WindowOpener open);
void UnregisterWindow(const QString& name);
bool WindowAvailable(const QString& name);
// Opens a registered window; false when none is registered under name.
bool OpenWindow(const QString& name, QWidget* owner);

} // namespace korvel
