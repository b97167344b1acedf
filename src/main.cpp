#include "app/frmMain.h"
#include "control/session.h"
#include "app/startup.h"
#include "platform/qtprompts.h"

#include <QApplication>
#include <QStringList>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel Configuration Utility"));
    // "--debug" offers the communications trace from the status bar.
    QStringList words = QApplication::arguments().mid(1);
    korvel::session().DebugMode = words.removeAll(QStringLiteral("--debug")) > 0;
    korvel::session().CommandLine = words.join(QLatin1Char(' '));
    korvel::QtPrompts prompts;
    korvel::SetPrompts(&prompts);
    std::unique_ptr<korvel::frmMain> window(korvel::StartProgram(korvel::PreferredDataFolder()));
    prompts.SetOwner(window.get());
    const int rc = app.exec();
    korvel::SetPrompts(nullptr);
    return rc;
}
