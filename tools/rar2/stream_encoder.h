#pragma once
// The RAR 2.0 compressed stream of one entry or of a run of solid entries.
// Parses the data in chunks, splits the coded symbols into blocks where new
// tables pay for themselves, and writes each block as symbol 269 (except
// at the very start of the stream), its table set and its symbols.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bit_writer.h"
#include "block_tables.h"
#include "lz_encoder.h"
#include "match_history.h"
#include "symbol_coder.h"

namespace klx::rar2tool {

class StreamEncoder {
 public:
  // method 1..5.
  explicit StreamEncoder(int method);

  // Starts a new stream over `size` bytes of `data`. Entries are then coded
  // in order from ranges of this buffer; a later entry may refer back into
  // earlier ones (solid).
  void Reset(const uint8_t* data, size_t size);

  // True once an entry has been coded: the next entry continues this stream
  // and opens with a table switch instead of bare tables.
  bool Continues() const { return started_; }

  // Codes data[begin, end) as one entry's packed bytes. The entry ends with
  // 32 bits of codes of a symbol other than 269 and zero bits to a byte
  // boundary, so that a decoder reading on past the last symbol finds no
  // table switch and does not run out of input.
  std::vector<uint8_t> EncodeEntry(size_t begin, size_t end);

 private:
  void FlushBlocks(bool all, BitWriter* writer);
  void WriteBlock(size_t first, size_t last, const Histogram& histogram, BitWriter* writer);

  std::unique_ptr<LzEncoder> parser_;
  bool started_ = false;
  MatchHistory history_;
  SymbolPrices prices_;
  uint8_t lengths_[rar2::kLzTableSize] = {};
  uint16_t codes_[rar2::kLzTableSize] = {};
  std::vector<CodedSymbol> pending_;  // parsed, not yet written
};

}  // namespace klx::rar2tool
