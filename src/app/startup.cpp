#include "app/startup.h"
#include "control/linkservices.h"
#include "app/frmMain.h"
#include "app/frmSplash.h"
#include "app/windowregistry.h"
#include "control/localport.h"
#include "control/session.h"
#include "control/settingsfile.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace korvel {

QString PreferredDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

frmMain* StartProgram(const QString& preferredDataFolder) {
    // The link runs by the program's settings and hands it every frame from the start.
    InstallProgramLinkClient();
    session().DataFolder = ChooseDataFolder(preferredDataFolder, QCoreApplication::applicationDirPath());
    // Before the window: its items are usable only for the windows that exist.
    RegisterProgramWindows();
    auto* window = new frmMain();
    ReadSettingsFile();
    // The serial device chosen in the local port dialog, which the settings file has no
    // line for.
    RestoreCommPortDevice();
    window->Load();
    window->show();
    frmSplash::ShowSplash(window);
    session().SelectedInputChannel = 1;
    session().SelectedOutputChannel = 1;
    session().SelectedAnalogChannel = 1;
    return window;
}

} // namespace korvel
