#include "model/datafile.h"

#include <QSaveFile>

namespace korvel {

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

QString WriteFileText(const QString& fileName, const QByteArray& text) {
    // The new text goes to a temporary file beside the old one and replaces it only
    // once completely written, so a failed save never costs the previous file.
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly)) return out.errorString();
    // The text is flushed before the commit so a full disk is seen here, not lost.
    if (out.write(text) != text.size() || !out.flush() || !out.commit()) {
        const QString why = out.errorString();
        out.cancelWriting();
        return why;
    }
    return QString();
}

} // namespace korvel
