// A dynamic module for the module manager's tests. It counts the calls of
// its entry points; the tests read the counts through GetCallCounts.

namespace {
int g_initializeCalls = 0;
int g_shutdownCalls = 0;
}  // namespace

extern "C" {

#ifndef KLX_TEST_MODULE_WITHOUT_INITIALIZE
__attribute__((visibility("default"))) int Initialize() {
  ++g_initializeCalls;
  return 0;
}
#endif

__attribute__((visibility("default"))) int Shutdown() {
  ++g_shutdownCalls;
  return 0;
}

__attribute__((visibility("default"))) void GetCallCounts(int* initialize, int* shutdown) {
  *initialize = g_initializeCalls;
  *shutdown = g_shutdownCalls;
}
}
