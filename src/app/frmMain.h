// The program's main window. For now a bare window that hosts the link layer: the
// menus, toolbar, station list and timers come with their own work.
#pragma once

#include "link/basiclinkhost.h"

#include <QLabel>
#include <QMainWindow>

namespace korvel {

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

private:
    BasicLinkHost host_;
};

} // namespace korvel
