#pragma once
// Canonical Huffman decoder of the compressed stream. Codes are assigned by
// increasing length and, within a length, by increasing symbol; lengths run
// from 1 to 15, 0 marks an unused symbol. Damaged tables (over-subscribed or
// incomplete) still decode deterministically: a code that maps past the
// assigned symbols yields the first symbol of the sorted order.

#include <cstdint>

#include "vfs/rar2/rar2_bit_reader.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2 {

class HuffmanDecoder {
 public:
  static constexpr int kMaxSymbols = kMainSymbols;  // the largest alphabet
  static constexpr int kQuickBits = 10;

  // Builds the decoder for `count` symbols (at most kMaxSymbols) from their
  // code lengths (values above 15 are taken modulo 16).
  void Build(const uint8_t* lengths, int count);
  int Decode(BitReader& reader) const {
    const uint32_t bits = reader.Peek16() & 0xFFFE;
    const QuickEntry& quick = quick_[bits >> (16 - kQuickBits)];
    if (quick.length != 0) {
      reader.Skip(quick.length);
      return quick.symbol;
    }
    return DecodeLong(reader, bits);
  }

 private:
  struct QuickEntry {
    uint16_t symbol;
    uint8_t length;  // 0: longer than kQuickBits
  };

  // The symbol and code length the limits give for a 16-bit window value.
  int Lookup(uint32_t bits, uint32_t* length) const;
  int DecodeLong(BitReader& reader, uint32_t bits) const;

  uint32_t limit_[kMaxCodeLength + 1] = {};     // left-aligned code limit per length
  uint32_t firstIndex_[kMaxCodeLength + 1] = {};  // sorted index of each length's first code
  uint16_t sorted_[kMaxSymbols] = {};
  int count_ = 0;
  QuickEntry quick_[1 << kQuickBits] = {};
};

}  // namespace klx::rar2
