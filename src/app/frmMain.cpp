#include "app/frmMain.h"
#include "platform/prompts.h"

#include <QStatusBar>

namespace korvel {

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(AppTitle());
    resize(800, 560);
    statusBar()->showMessage(QStringLiteral("DISCONNECTED"));
    SetLinkHost(&host_);
}

frmMain::~frmMain() { SetLinkHost(nullptr); }

} // namespace korvel
