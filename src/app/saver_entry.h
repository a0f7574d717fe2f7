#pragma once
// The program's entry: opens the log, runs the saver through its three
// phases and writes the closing lines.

#include <string>

namespace klx {

class SaverApplication;

// The log file: <data folder>/VELMORA Studio/KLXLog.txt, or empty when the
// user has no data folder. (A run that starts while another one writes
// there takes "KLXLog 2.txt", and so on.)
std::string GetSaverLogPath();

// Initialize, then Run when that succeeded, then Shutdown in any case, each
// outcome logged. Returns whether Initialize succeeded.
bool RunSaverPhases(SaverApplication& saver);

// Runs the saver for a command line (program name first); the process's
// exit code: 0 after a normal run, 1 when an exception escaped, an option's
// value was wrong, or a hosted run could not start (a host's window that
// does not exist, say). Other failed starts end normally, as a host that
// started the saver expects.
int RunSaverProcess(const std::string& commandLine);

}  // namespace klx
