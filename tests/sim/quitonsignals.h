// Lets a command-line sim program leave through its event loop on Ctrl-C or a
// script's signal, so that its destructors clean up (pty links, started programs).
#pragma once

class QCoreApplication;

namespace korvel::sim {

// SIGINT, SIGTERM and SIGHUP quit `app`'s event loop.
void QuitOnSignals(QCoreApplication& app);

}  // namespace korvel::sim
