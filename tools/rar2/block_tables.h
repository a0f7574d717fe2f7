#pragma once
// Symbol statistics of a block and the table set built from them.

#include <cstdint>

#include "symbol_coder.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2tool {

struct Histogram {
  uint32_t main[rar2::kMainSymbols] = {};
  uint32_t distance[rar2::kDistanceSymbols] = {};
  uint32_t length[rar2::kLengthSymbols] = {};

  void Add(const CodedSymbol& symbol) {
    ++main[symbol.main];
    if (symbol.distanceSlot != kNoSlot) {
      ++distance[symbol.distanceSlot];
    } else if (symbol.lengthSlot != kNoSlot) {
      ++length[symbol.lengthSlot];
    }
  }
  void Merge(const Histogram& other);
};

// The 374 code lengths (main, distance, length) for a block. The main table
// always codes symbol 269 so that another table set can follow, and every
// table holds at least two codes, which keeps each code complete.
void BuildBlockLengths(const Histogram& histogram, uint8_t* lengths);

// Bits of the table set plus the Huffman codes of the block's symbols (extra
// bits left out: they do not depend on the tables).
uint64_t BlockBits(const Histogram& histogram);

}  // namespace klx::rar2tool
