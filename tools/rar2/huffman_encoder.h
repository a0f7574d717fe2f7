#pragma once
// Huffman codes as the RAR 2.0 decoder builds them: lengths of at most 15
// bits, canonical codes handed out by increasing length and, within one
// length, by increasing symbol number, starting from all zeros.

#include <cstdint>

namespace klx::rar2tool {

// Optimal code lengths for `count` symbols whose lengths may not exceed
// `maxLength` (package-merge). Symbols of frequency 0 get length 0; a single
// used symbol gets length 1. With two or more used symbols the code is
// complete (Kraft sum exactly 1). Needs count <= 2^maxLength.
void BuildCodeLengths(const uint32_t* frequencies, int count, int maxLength, uint8_t* lengths);

// The canonical code of every symbol with a nonzero length; codes[i] holds
// lengths[i] significant bits.
void BuildCanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes);

}  // namespace klx::rar2tool
