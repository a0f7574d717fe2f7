#include "app/stop_signal.h"

#include <csignal>

namespace klx {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) { g_stopRequested = 1; }

}  // namespace

void InstallStopSignals() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait for window events returns at once.
  action.sa_flags = 0;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool StopRequested() { return g_stopRequested != 0; }

void ClearStopRequest() { g_stopRequested = 0; }

}  // namespace klx
