#pragma once
// SIGINT and SIGTERM stop the server in both modes. The embedded database engine installs
// handlers of its own for them when it loads, which would otherwise swallow them in the window's
// mode; so the process blocks them in every thread and one thread waits for them instead.

#include <functional>

namespace livrexa::host {

// Blocks SIGINT and SIGTERM in the calling thread and so in every thread started after it. Call
// it first in main, before any thread exists.
void BlockStopSignals();

// Starts a detached thread that waits for SIGINT or SIGTERM and then calls onStop (once, on
// that thread).
void OnStopSignal(std::function<void()> onStop);

}  // namespace livrexa::host
