#pragma once
#include "host/host_options.h"
#include "host/host_wiring.h"

namespace livrexa::host {

// Runs the server without a window until SIGINT or SIGTERM. Returns the process's exit code:
// 0 after a signal, or when another instance already runs (silently); 2 when the database is not
// found; 1 when the listener cannot start.
int RunHeadless(const THostOptions& options, THostWiring wiring);

}  // namespace livrexa::host
