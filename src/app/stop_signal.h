#pragma once
// SIGTERM and SIGINT ask the saver to stop, whatever it is doing: a screen
// blanker ends its hacks with SIGTERM when the user comes back, and a
// terminal's Ctrl+C sends SIGINT. The handler only raises a flag; the
// loading, caching, frame, preview and dialog loops read it and end, so the
// normal shutdown runs and the log closes as usual.

namespace klx {

// Installs the handlers (once; again after ClearStopRequest is harmless).
void InstallStopSignals();
// True once either signal has come.
bool StopRequested();
// For tests: forgets a request.
void ClearStopRequest();

}  // namespace klx
