#pragma once
// The saver's mode and parent window from its command line: the switches
// /s, /t, /c [handle], /p handle and /a handle (or with '-', any case,
// "/p:1234" and "-p1234" too). A handle is an X11 window id in decimal.

#include <cstdint>
#include <string>
#include <string_view>

namespace klx {

enum SaverMode : int32_t {
  kSaverModePreview = 0,
  kSaverModeSaver = 1,
  kSaverModeTest = 2,
  kSaverModeConfigure = 3,
  kSaverModePassword = 4,
};

struct SaverCommand {
  SaverMode mode = kSaverModeConfigure;
  uint64_t parentWindow = 0;  // 0 when none
};

// The program name at the start of a command line: quoted when it holds a
// blank (quotes kept), else up to the first blank.
std::string_view ProgramName(std::string_view commandLine);

// Parses a whole command line, program name first (quoted or up to the
// first blank). No switch at all means Configure; a switch letter other
// than a, c, p or t (or none) means Saver.
SaverCommand ParseSaverCommandLine(std::string_view commandLine);

// The command line as one text from the process arguments.
std::string JoinCommandLine(int argc, const char* const* argv);

}  // namespace klx
