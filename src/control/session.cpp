#include "control/session.h"

#include <QDir>

namespace korvel {

static SessionState g_session;

SessionState& session() { return g_session; }
void ResetSessionState() { g_session = SessionState{}; }

QString DataFolderPath() { return g_session.DataFolder.isEmpty() ? QDir::currentPath() : g_session.DataFolder; }

} // namespace korvel
