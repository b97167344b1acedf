#include "control/configfiles.h"
#include "control/session.h"
#include "model/configcheck.h"
#include "model/configfile.h"
#include "model/datafile.h"
#include "model/model.h"
#include "model/target.h"
#include "link/linkhost.h"
#include "platform/prompts.h"

#include <QFile>
#include <memory>

namespace korvel {

const QString CONFIG_FILE_FILTER = QStringLiteral("Korvel Configuration Files (*.ZPF)|*.ZPF");

int16_t SaveConfigurationFile() {
    if (CheckConfiguration() != 0) return vbCancel;
    const QString fileName = prompts().GetSaveFileName(QStringLiteral("Save As"), CONFIG_FILE_FILTER, QString());
    if (fileName.isEmpty()) return vbCancel;

    return SaveFileText(fileName, ConfigurationFileText()) ? vbYes : vbCancel;
}

int16_t OpenConfigurationFile() {
    const QString fileName = prompts().GetOpenFileName(QStringLiteral("Open"), CONFIG_FILE_FILTER, QString());
    if (fileName.isEmpty()) return 0;

    // The file is read into a scratch copy prepared with the factory defaults; the
    // configuration in memory is replaced only once the whole file has been read, so
    // a rejected or corrupt file costs nothing that was loaded or edited.
    auto scratch = std::make_unique<StationConfig>(config());
    SetDefaultConfiguration(*scratch);

    QFile in(fileName);
    int children = 0;
    ConfigFileStatus status = ConfigFileStatus::Corrupt;
    if (in.open(QIODevice::ReadOnly)) {
        const QByteArray text = in.readAll();
        if (in.error() == QFileDevice::NoError) status = ParseConfigurationFile(text, *scratch, &children);
        in.close();
    }

    if (status == ConfigFileStatus::Ok) {
        config() = *scratch;
        target().ChildCount = uint8_t(children);
        session().ConfigLoaded = false;
        linkHost().SetPanelText(4, QStringLiteral("File loaded: ") + fileName);
        return 1;
    }
    const QString message = FileHeaderMessage(status);
    if (!message.isEmpty()) {
        MsgBox(message, vbOKOnly, QString());
    } else {
        linkHost().SetPanelText(4, QStringLiteral("File Error, File is corrupt"));
    }
    return 0;
}

int16_t ConfirmTerminateConnection() {
    const int answer = MsgBox(QStringLiteral("Save any changes to disk file before exiting?"),
                              vbYesNoCancel + vbQuestion, QStringLiteral("Terminate Connection"));
    if (answer == vbYes) return SaveConfigurationFile();
    return int16_t(answer == vbNo ? vbNo : vbCancel);
}

} // namespace korvel
