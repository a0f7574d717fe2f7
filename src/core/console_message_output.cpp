#include "core/console_message_output.h"

#include <string>

namespace klx {

void ConsoleMessageOutput::Write(int level, const String& text) {
  if (level < minimumLevel_) return;
  static const char* const kPrefixes[] = {"INFO. ", "WARNING. ", "ERROR. ", "CRITICAL ERROR. "};
  const char* prefix = level >= 0 && level <= 3 ? kPrefixes[level] : "UNKNOWN. ";
  const std::string utf8 = Cp1251ToUtf8(std::string_view(text.CStr(), text.Length()));
  std::fprintf(stream_, "%s%s\n", prefix, utf8.c_str());
}

}  // namespace klx
