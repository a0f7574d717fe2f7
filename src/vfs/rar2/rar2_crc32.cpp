#include "vfs/rar2/rar2_crc32.h"

#include <array>

namespace klx::rar2 {

namespace {

// Sixteen tables for slicing-by-16: table[k][b] is the CRC of byte b
// followed by k zero bytes.
constexpr int kSlices = 16;
using SlicingTables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr SlicingTables MakeTables() {
  SlicingTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    tables[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i)
    for (int k = 1; k < kSlices; ++k) tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
  return tables;
}

constexpr SlicingTables kTables = MakeTables();

uint32_t Load32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

uint32_t Crc32TableEntry(uint8_t value) { return kTables[0][value]; }

uint32_t Crc32(const uint8_t* bytes, size_t count, uint32_t crc) {
  crc = ~crc;
  while (count >= 16) {
    const uint32_t low = crc ^ Load32(bytes);
    crc = kTables[15][low & 0xFF] ^ kTables[14][(low >> 8) & 0xFF] ^ kTables[13][(low >> 16) & 0xFF] ^
          kTables[12][low >> 24];
    for (int i = 4; i < 16; ++i) crc ^= kTables[15 - i][bytes[i]];
    bytes += 16;
    count -= 16;
  }
  while (count-- > 0) crc = (crc >> 8) ^ kTables[0][(crc ^ *bytes++) & 0xFF];
  return ~crc;
}

}  // namespace klx::rar2
