#pragma once
#include "host/host_options.h"
#include "host/host_wiring.h"

namespace livrexa::host {

// Runs the server without a window until SIGINT or SIGTERM; the caller holds the single-instance
// lock. Returns the process's exit code: 0 after a signal, 2 when the database is not found, 1 when
// the listener cannot start.
int RunHeadless(const THostOptions& options, THostWiring wiring);

}  // namespace livrexa::host
