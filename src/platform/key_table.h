#pragma once
// Engine key codes: 0-99 in alphabetical order of the key names, 100 for
// any other key. Keys arrive as Windows virtual-key codes (the event pump
// translates the host's keys to those first) and map through a 256-entry
// table.

#include <cstdint>

namespace klx {

inline constexpr int32_t kKeyUnknown = 100;

// A few engine codes the program and its tests name.
inline constexpr int32_t kKeyA = 10;
inline constexpr int32_t kKeyQ = 26;
inline constexpr int32_t kKeyEscape = 49;
inline constexpr int32_t kKeyF1 = 50;
inline constexpr int32_t kKeySpace = 97;

// The engine code of a virtual key; kKeyUnknown outside 0-255 or for a key
// the table does not list (the generic Shift, Control and Alt among them).
int32_t TranslateVirtualKey(int32_t virtualKey);

}  // namespace klx
