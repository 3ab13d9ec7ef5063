#pragma once
#include "host/host_options.h"
#include "host/host_wiring.h"

namespace livrexa::host {

// Runs the server with its window until the window closes (which ends the process with status 0).
// The caller holds the single-instance lock.
int RunWindow(int argc, char** argv, const THostOptions& options, THostWiring wiring);

}  // namespace livrexa::host
