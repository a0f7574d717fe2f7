#pragma once
// Greedy and lazy parsing: at each position the match that saves the most
// bits against literals, optionally put off by one byte when the next
// position offers a better one.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lz_encoder.h"
#include "match_finder.h"

namespace klx::rar2tool {

class LazyParser : public LzEncoder {
 public:
  struct Settings {
    int chainDepth;
    uint32_t niceLength;
    bool lazy;  // try the next position before taking a match
  };

  explicit LazyParser(const Settings& settings);

  void Reset(const uint8_t* data, size_t size) override;
  void Parse(size_t begin, size_t end, const SymbolPrices& prices, MatchHistory* history,
             std::vector<CodedSymbol>* out) override;

 private:
  struct Choice {
    uint32_t length = 0;
    uint32_t distance = 0;
    int32_t gain = 0;  // bits saved against literals
  };

  // The best-paying match at `pos` (indexes it). A zero length means none.
  Choice Best(size_t pos, size_t end, const MatchHistory& history, const SymbolPrices& prices);
  void IndexUpTo(size_t pos);

  Settings settings_;
  MatchFinder finder_;
  const uint8_t* data_ = nullptr;
  size_t indexed_ = 0;                  // positions below are indexed
  std::vector<uint32_t> literalPrice_;  // running sums over the range
  size_t rangeBegin_ = 0;
  Match matches_[MatchFinder::kMaxMatches];
};

}  // namespace klx::rar2tool
