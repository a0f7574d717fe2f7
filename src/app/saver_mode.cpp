#include "app/saver_mode.h"

#include <algorithm>

namespace klx {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The first decimal number at or after `at`, or 0 without one; a number too
// large for a window id is no window.
uint64_t ReadHandle(std::string_view text, size_t at) {
  while (at < text.size() && !IsDigit(text[at])) ++at;
  uint64_t value = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    value = value * 10 + static_cast<uint64_t>(text[at] - '0');
    if (value > 0x7FFFFFFFFFFFFFFFull / 10) return 0;
  }
  return value;
}

}  // namespace

std::string_view ProgramName(std::string_view commandLine) {
  size_t end = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    const size_t close = commandLine.find('"', 1);
    end = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    end = std::min(commandLine.find(' '), commandLine.size());
  }
  return commandLine.substr(0, end);
}

SaverCommand ParseSaverCommandLine(std::string_view commandLine) {
  const size_t dash = commandLine.find_first_of("/-", ProgramName(commandLine).size());
  SaverCommand command;
  if (dash == std::string_view::npos) return command;  // Configure
  const char letter = dash + 1 < commandLine.size() ? Lower(commandLine[dash + 1]) : '\0';
  switch (letter) {
    case 'a':
      command.mode = kSaverModePassword;
      break;
    case 'c':
      command.mode = kSaverModeConfigure;
      break;
    case 'p':
      command.mode = kSaverModePreview;
      break;
    case 't':
      command.mode = kSaverModeTest;
      return command;
    default:
      command.mode = kSaverModeSaver;
      return command;
  }
  command.parentWindow = ReadHandle(commandLine, dash + 2);
  return command;
}

std::string JoinCommandLine(int argc, const char* const* argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) line += ' ';
    const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
    // The program name is quoted when it holds a blank, so that it is
    // skipped whole.
    if (i == 0 && argument.find(' ') != std::string_view::npos) {
      line += '"';
      line += argument;
      line += '"';
    } else {
      line += argument;
    }
  }
  return line;
}

}  // namespace klx
