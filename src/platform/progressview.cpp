#include "platform/progressview.h"

namespace korvel {

QString ProgressDesignText(ProgressLabel label) {
    switch (label) {
    case ProgressLabel::Label1:
    case ProgressLabel::lblKen: return QStringLiteral("Please wait ...");
    case ProgressLabel::Label2: return QStringLiteral("Reading data from Korvel/Pellar");
    case ProgressLabel::lblInner:
    case ProgressLabel::lblTimer: break;
    }
    return QString();
}

} // namespace korvel
