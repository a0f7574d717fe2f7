#include "app/settings_text.h"

namespace klx {

bool ForEachSettingsLine(std::string_view text, const std::function<bool(const SettingsLine&)>& visit) {
  size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    if (c == '\r' || c == '\n') {
      ++at;
      continue;
    }
    if (c == ';') {
      // A comment runs to the end of its line.
      while (at < text.size() && text[at] != '\r' && text[at] != '\n') ++at;
      continue;
    }
    size_t end = at;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n' && text[end] != ';') ++end;
    SettingsLine line;
    line.line = text.substr(at, end - at);
    const size_t split = line.line.find(" = ");
    if (split != std::string_view::npos) {
      line.key = line.line.substr(0, split);
      line.value = line.line.substr(split + 3);
    }
    if (!visit(line)) return false;
    at = end;
  }
  return true;
}

bool ParseSettingsInteger(std::string_view value, int32_t* out) {
  size_t at = 0;
  while (at < value.size() && (value[at] == ' ' || value[at] == '\t' || value[at] == '\v' || value[at] == '\f'))
    ++at;
  bool negative = false;
  if (at < value.size() && (value[at] == '+' || value[at] == '-')) negative = value[at++] == '-';
  int64_t number = 0;
  size_t digits = 0;
  for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at, ++digits) {
    number = number * 10 + (value[at] - '0');
    if (number > int64_t{1} << 31) return false;  // beyond any 32-bit value
  }
  if (digits == 0) return false;
  if (negative) number = -number;
  if (number < INT32_MIN || number > INT32_MAX) return false;
  *out = static_cast<int32_t>(number);
  return true;
}

}  // namespace klx
