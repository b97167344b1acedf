#include "control/configfiles.h"
#include "control/session.h"
#include "model/configcheck.h"
#include "model/configfile.h"
#include "model/datafile.h"
#include "model/model.h"
#include "model/taskfile.h"
#include "model/target.h"
#include "link/linkhost.h"
#include "platform/prompts.h"

#include <QFile>
#include <memory>

namespace korvel {

const QString CONFIG_FILE_FILTER = QStringLiteral("Korvel Configuration Files (*.ZPF)|*.ZPF");
const QString TASK_FILE_FILTER = QStringLiteral("Korvel Task Files (*.JTF)|*.JTF");

void ShowFileError(const QString& description) {
    MsgBox(QStringLiteral("File error: ") + description + QStringLiteral(", please select another filename"),
           vbOKOnly, QString());
}

bool SaveFileText(const QString& fileName, const QByteArray& text) {
    const QString error = WriteFileText(fileName, text);
    if (error.isEmpty()) return true;
    ShowFileError(error);
    return false;
}

int16_t CheckConfiguration() {
    const QString problem = ConfigurationProblem();
    if (problem.isEmpty()) return 0;
    MsgBox(problem, vbOKOnly + vbCritical, QStringLiteral("Configuration Check"));
    return 1;
}

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

int16_t SaveTaskFileAs(int periodMinutes, const StationOutputs& outputs) {
    // The dialog itself asks before an existing file is replaced.
    const QString fileName = prompts().GetSaveFileName(QStringLiteral("Save As"), TASK_FILE_FILTER, QString());
    if (fileName.isEmpty()) return vbCancel;

    return SaveFileText(fileName, TaskFileText(periodMinutes, outputs)) ? vbYes : vbCancel;
}

TaskFileOpened OpenTaskFile() {
    TaskFileOpened opened;
    const QString fileName = prompts().GetOpenFileName(QStringLiteral("Open"), TASK_FILE_FILTER, QString());
    if (fileName.isEmpty()) return opened;
    opened.outcome = TaskFileOpened::Outcome::Refused;

    const TaskFileRead read = ReadTaskFile(fileName);
    if (!read.fileError.isEmpty()) {
        ShowFileError(read.fileError);
        return opened;
    }
    const TaskFileContent& c = read.content;
    if (c.header != ConfigFileStatus::Ok) {
        if (c.pastEnd) {
            MsgBox(QStringLiteral("Attempt to read past end-of-file marker:\n\r"
                                  "possible database file corruption, or previous version file"),
                   vbOKOnly, QString());
        } else if (const QString message = FileHeaderMessage(c.header); !message.isEmpty()) {
            MsgBox(message, vbOKOnly, QString());
        }
        return opened;
    }
    if (!c.outOfRange.isEmpty()) {
        MsgBox(c.outOfRange, vbOKOnly + vbExclamation, QString());
        return opened;
    }
    if (c.tooManyStations)
        MsgBox(QStringLiteral("The file contains more stations then the task manager can allocate.\n\r"
                              "The rest of the entries will be ignored."),
               vbOKOnly + vbQuestion, QString());
    if (c.taken == 0) MsgBox(QStringLiteral("valid task not found"), vbOKOnly, QString());

    opened.outcome = TaskFileOpened::Outcome::Read;
    opened.minutes = c.minutes;
    opened.outputs = c.outputs;
    return opened;
}

} // namespace korvel
