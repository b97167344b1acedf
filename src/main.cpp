#include "app/frmMain.h"
#include "platform/qtprompts.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel Configuration Utility"));
    korvel::frmMain window;
    korvel::QtPrompts prompts(&window);
    korvel::SetPrompts(&prompts);
    window.show();
    const int rc = app.exec();
    korvel::SetPrompts(nullptr);
    return rc;
}
