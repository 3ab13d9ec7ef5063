#pragma once
// The server's own pieces for the host: the HTTP listener with the handler module TDM, the
// administrator check on a TDM of its own, and what the backup needs from the database gateway.

#include "host/host_options.h"
#include "host/host_wiring.h"

namespace livrexa::host {

// Points the embedded Firebird engine at the home's ".firebird" folder (unless
// LIVREXA_FIREBIRD_DIR chooses one) and activates it: call while the process has one thread.
THostWiring ServerWiring(const THostOptions& options);

}  // namespace livrexa::host
