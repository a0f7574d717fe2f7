#pragma once
// The LZ77 parse: chooses literals and matches over a range of the buffer
// and codes them at once, so that the recent-distance ring follows the
// decoder's. Choices are priced with the code lengths of the tables in use.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "match_history.h"
#include "symbol_coder.h"

namespace klx::rar2tool {

class LzEncoder {
 public:
  virtual ~LzEncoder() = default;

  // Starts over on a buffer of `size` bytes; positions before the first
  // parsed range are history the decoder already holds.
  virtual void Reset(const uint8_t* data, size_t size) = 0;

  // Parses data[begin, end), continuing from the last parsed range (or the
  // start of the buffer): positions in between are indexed, not coded.
  // Appends the coded symbols and moves `history` along.
  virtual void Parse(size_t begin, size_t end, const SymbolPrices& prices, MatchHistory* history,
                     std::vector<CodedSymbol>* out) = 0;
};

// The parser for methods 1 (fastest) .. 5 (best): greedy, lazy or optimal,
// with deeper searches as the method rises.
std::unique_ptr<LzEncoder> MakeLzEncoder(int method);

}  // namespace klx::rar2tool
