#pragma once
// The table set that opens a block: two mode bits (no audio, lengths not
// kept), the 19 lengths of the bit-length code in four bits each, then the
// 374 code lengths of the main, distance and length tables, run-length coded
// with the bit-length code.

#include <cstdint>

#include "bit_writer.h"

namespace klx::rar2tool {

void WriteTables(const uint8_t* lengths, BitWriter* writer);

// Bits WriteTables would write for these lengths.
uint32_t TableBits(const uint8_t* lengths);

}  // namespace klx::rar2tool
