#include "platform/key_table.h"

#include <array>
#include <cstddef>

namespace klx {
namespace {

struct KeyPair {
  uint8_t virtualKey;
  uint8_t code;
};

// The listed keys other than the runs of digits, letters, F-keys and
// numeric-pad digits, which the table builder fills in a loop.
constexpr KeyPair kNamedKeys[] = {
    {0x6B, 36}, {0xDE, 37}, {0x08, 38}, {0xDC, 39}, {0x14, 40}, {0xBC, 41}, {0x2E, 42},
    {0x6F, 43}, {0xBE, 44}, {0x28, 45}, {0x23, 46}, {0x0D, 47}, {0xBB, 48}, {0x1B, 49},
    {0xC0, 62}, {0x24, 63}, {0x2D, 64}, {0xDB, 65}, {0xA2, 66}, {0x25, 67}, {0xA4, 68},
    {0xA0, 69}, {0xBD, 70}, {0x6A, 71}, {0x22, 72}, {0x90, 73}, {0x6E, 84}, {0x6D, 85},
    {0x13, 86}, {0x21, 87}, {0x2C, 88}, {0xDD, 89}, {0xA3, 90}, {0x27, 91}, {0xA5, 92},
    {0xA1, 93}, {0x91, 94}, {0xBA, 95}, {0xBF, 96}, {0x20, 97}, {0x09, 98}, {0x26, 99},
};

constexpr std::array<uint8_t, 256> BuildKeyTable() {
  std::array<uint8_t, 256> table{};
  for (auto& code : table) code = static_cast<uint8_t>(kKeyUnknown);
  for (int i = 0; i < 10; ++i) table[0x30 + i] = static_cast<uint8_t>(i);       // 0-9
  for (int i = 0; i < 26; ++i) table[0x41 + i] = static_cast<uint8_t>(10 + i);  // A-Z
  for (int i = 0; i < 12; ++i) table[0x70 + i] = static_cast<uint8_t>(50 + i);  // F1-F12
  for (int i = 0; i < 10; ++i) table[0x60 + i] = static_cast<uint8_t>(74 + i);  // pad 0-9
  for (const KeyPair& pair : kNamedKeys) table[pair.virtualKey] = pair.code;
  return table;
}

constexpr std::array<uint8_t, 256> kKeyTable = BuildKeyTable();

}  // namespace

int32_t TranslateVirtualKey(int32_t virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return kKeyUnknown;
  return kKeyTable[static_cast<std::size_t>(virtualKey)];
}

}  // namespace klx
