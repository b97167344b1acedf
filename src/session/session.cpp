#include "session/session.h"

namespace korvel {

static SessionState g_session;

SessionState& session() { return g_session; }
void ResetSessionState() { g_session = SessionState{}; }

} // namespace korvel
