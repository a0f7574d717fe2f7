#pragma once
// Optimal parsing: a shortest-path search over the coming positions where
// every literal and every match the finder reports (at each of its lengths)
// is an edge priced in bits. Each position remembers the match history of
// its cheapest path, so recent-distance forms are priced as the decoder
// will see them. The matches of a whole range are found once; the range is
// then parsed in several passes, each priced with the statistics of the one
// before.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lz_encoder.h"
#include "match_finder.h"

namespace klx::rar2tool {

class OptimalParser : public LzEncoder {
 public:
  struct Settings {
    int treeDepth;  // tree nodes visited per position at most
    // A match this long is taken as it stands, ending the search there.
    uint32_t niceLength;
    int passes;
  };

  explicit OptimalParser(const Settings& settings);

  void Reset(const uint8_t* data, size_t size) override;
  void Parse(size_t begin, size_t end, const SymbolPrices& prices, MatchHistory* history,
             std::vector<CodedSymbol>* out) override;

 private:
  struct Node {
    uint32_t cost;
    uint32_t from;      // node the cheapest path arrives from
    uint32_t length;    // 0: a literal
    uint32_t distance;
    MatchHistory history;  // after the arriving step; filled when the node is expanded
  };

  // Bit prices unpacked for quick lookup.
  struct PriceTables {
    uint32_t literal[256];
    uint32_t repeatLast;
    uint32_t recent[4];
    uint32_t shortDistance[8];
    uint32_t longLength[256];    // main symbol and extra bits, by length - 3 - bonus
    uint32_t recentLength[256];  // length symbol and extra bits, by length - 2 - bonus
    uint32_t distance[48];       // distance symbol and extra bits, by slot
  };

  void FindAllMatches(size_t begin, size_t end);
  void BuildPriceTables(const SymbolPrices& prices);
  // One pass over the range with the given prices.
  void ParseRange(size_t begin, size_t end, const SymbolPrices& prices, MatchHistory* history,
                  std::vector<CodedSymbol>* out);
  // Parses from `pos` until the paths meet or the search window is full;
  // returns the end of the coded stretch.
  size_t ParseWindow(size_t pos, size_t end, const SymbolPrices& prices, MatchHistory* history,
                     std::vector<CodedSymbol>* out);

  Settings settings_;
  MatchFinder finder_;
  const uint8_t* data_ = nullptr;
  size_t indexed_ = 0;
  size_t rangeBegin_ = 0;
  std::vector<Match> matches_;         // of every position in the range
  std::vector<uint32_t> matchStart_;  // per position: its first entry in matches_
  PriceTables tables_;
  std::vector<Node> nodes_;
  std::vector<uint32_t> path_;
  std::vector<CodedSymbol> trial_;
};

}  // namespace klx::rar2tool
