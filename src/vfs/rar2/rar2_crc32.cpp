#include "vfs/rar2/rar2_crc32.h"

#include <array>

namespace klx::rar2 {

namespace {

// Eight tables for slicing-by-8: table[k][b] is the CRC of byte b followed by
// k zero bytes.
using SlicingTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr SlicingTables MakeTables() {
  SlicingTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    tables[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i)
    for (int k = 1; k < 8; ++k) tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
  return tables;
}

constexpr SlicingTables kTables = MakeTables();

}  // namespace

uint32_t Crc32TableEntry(uint8_t value) { return kTables[0][value]; }

uint32_t Crc32(const uint8_t* bytes, size_t count, uint32_t crc) {
  crc = ~crc;
  while (count >= 8) {
    uint32_t low = crc ^ (uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                          uint32_t{bytes[3]} << 24);
    crc = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
          kTables[4][low >> 24] ^ kTables[3][bytes[4]] ^ kTables[2][bytes[5]] ^ kTables[1][bytes[6]] ^
          kTables[0][bytes[7]];
    bytes += 8;
    count -= 8;
  }
  while (count-- > 0) crc = (crc >> 8) ^ kTables[0][(crc ^ *bytes++) & 0xFF];
  return ~crc;
}

}  // namespace klx::rar2
