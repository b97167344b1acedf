#include "model/datafile.h"

#include "platform/prompts.h"

#include <QSaveFile>

namespace korvel {

void ShowFileError(const QString& description) {
    MsgBox(QStringLiteral("File error: ") + description + QStringLiteral(", please select another filename"),
           vbOKOnly, QString());
}

QString FileHeaderMessage(ConfigFileStatus status) {
    switch (status) {
    case ConfigFileStatus::BadProduct:
        return QStringLiteral("File header is invalid for this product, please select another file");
    case ConfigFileStatus::ShortVersion:
        return QStringLiteral("This file is either invalid or from a previous version for this product, please "
                              "select another file");
    case ConfigFileStatus::OldVersion:
        return QStringLiteral("The version configuration is invalid for this product, please select another file");
    case ConfigFileStatus::BadChildLine:
        return QStringLiteral("File header configuration is invalid for this product, please select another file");
    default: return QString();
    }
}

bool SaveFileText(const QString& fileName, const QByteArray& text) {
    // The new text goes to a temporary file beside the old one and replaces it only
    // once completely written, so a failed save never costs the previous file.
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly)) {
        ShowFileError(out.errorString());
        return false;
    }
    // The text is flushed before the commit so a full disk is seen here, not lost.
    if (out.write(text) != text.size() || !out.flush() || !out.commit()) {
        const QString why = out.errorString();
        out.cancelWriting();
        ShowFileError(why);
        return false;
    }
    return true;
}

} // namespace korvel
