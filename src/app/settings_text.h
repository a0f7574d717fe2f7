#pragma once
// The text format of the settings and string resources: lines of
// key " = " value, with ";" starting a comment that runs to the end of the
// line. Lines are split at the first " = " exactly (space, equals sign,
// space); a line without it gives an empty key and value.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace klx {

struct SettingsLine {
  std::string_view line;   // the whole line, comment excluded
  std::string_view key;
  std::string_view value;  // to the end of the line, trailing spaces kept
};

// Calls `visit` for every line in order; stops early (returning false) when
// `visit` returns false.
bool ForEachSettingsLine(std::string_view text, const std::function<bool(const SettingsLine&)>& visit);

// The value as the resources' "%d" reads it: optional blanks and sign, then
// decimal digits up to the first other character. False (and *out unchanged)
// without digits or when the number does not fit in 32 bits.
bool ParseSettingsInteger(std::string_view value, int32_t* out);

}  // namespace klx
