#include "host/stop_signals.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

namespace livrexa::host {
namespace {

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

void BlockStopSignals() {
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void OnStopSignal(std::function<void()> onStop) {
  std::thread([onStop = std::move(onStop)] {
    const sigset_t signals = StopSignals();
    int received = 0;
    while (sigwait(&signals, &received) != 0) {
    }
    onStop();
  }).detach();
}

}  // namespace livrexa::host
