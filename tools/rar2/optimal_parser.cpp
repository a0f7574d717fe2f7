#include "optimal_parser.h"

#include <algorithm>

#include "block_tables.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2tool {

namespace {

using namespace klx::rar2;

// Positions searched before the cheapest path is fixed even if paths still
// cross the boundary.
constexpr uint32_t kWindow = 4096;
constexpr uint32_t kInfinite = 0xFFFFFFFF;

}  // namespace

OptimalParser::OptimalParser(const Settings& settings)
    : settings_(settings), finder_(MatchFinder::Structure::kTree, settings.treeDepth, settings.niceLength) {
  nodes_.resize(kWindow + kMaxMatchLength + 1);
}

void OptimalParser::Reset(const uint8_t* data, size_t size) {
  data_ = data;
  indexed_ = 0;
  finder_.Reset(data, size);
}

void OptimalParser::FindAllMatches(size_t begin, size_t end) {
  for (; indexed_ < begin; ++indexed_) finder_.Skip(indexed_);
  rangeBegin_ = begin;
  matches_.clear();
  matchStart_.resize(end - begin + 1);
  Match found[MatchFinder::kMaxMatches];
  for (size_t p = begin; p < end; ++p) {
    matchStart_[p - begin] = uint32_t(matches_.size());
    const int count = finder_.FindMatches(p, end, found);
    matches_.insert(matches_.end(), found, found + count);
  }
  matchStart_[end - begin] = uint32_t(matches_.size());
  indexed_ = end;
}

void OptimalParser::BuildPriceTables(const SymbolPrices& prices) {
  for (int i = 0; i < 256; ++i) tables_.literal[i] = prices.main[i];
  tables_.repeatLast = prices.main[kSymbolRepeatLast];
  for (int i = 0; i < 4; ++i) tables_.recent[i] = prices.main[kSymbolOldDistance + i];
  for (int i = 0; i < 8; ++i) tables_.shortDistance[i] = prices.main[kSymbolShortDistance + i] + kShortDistanceBits[i];
  for (uint32_t v = 0; v < 256; ++v) {
    const int slot = LengthSlot(v);
    tables_.longLength[v] = prices.main[kSymbolMatch + slot] + kLengthBits[slot];
    tables_.recentLength[v] = prices.length[slot] + kLengthBits[slot];
  }
  for (int i = 0; i < kDistanceSymbols; ++i) tables_.distance[i] = prices.distance[i] + kDistanceBits[i];
}

void OptimalParser::Parse(size_t begin, size_t end, const SymbolPrices& prices, MatchHistory* history,
                          std::vector<CodedSymbol>* out) {
  FindAllMatches(begin, end);
  SymbolPrices current = prices;
  for (int pass = 1; pass < settings_.passes; ++pass) {
    MatchHistory trialHistory = *history;
    trial_.clear();
    ParseRange(begin, end, current, &trialHistory, &trial_);
    Histogram histogram;
    for (const CodedSymbol& symbol : trial_) histogram.Add(symbol);
    uint8_t lengths[kLzTableSize];
    BuildBlockLengths(histogram, lengths);
    current = SymbolPrices::FromLengths(lengths);
  }
  ParseRange(begin, end, current, history, out);
}

void OptimalParser::ParseRange(size_t begin, size_t end, const SymbolPrices& prices, MatchHistory* history,
                               std::vector<CodedSymbol>* out) {
  BuildPriceTables(prices);
  for (size_t pos = begin; pos < end;) pos = ParseWindow(pos, end, prices, history, out);
}

size_t OptimalParser::ParseWindow(size_t pos, size_t end, const SymbolPrices& prices, MatchHistory* history,
                                  std::vector<CodedSymbol>* out) {
  const uint32_t limit = uint32_t(std::min<size_t>(kWindow, end - pos));
  nodes_[0].cost = 0;
  nodes_[0].history = *history;
  uint32_t reach = 0;  // farthest node any edge arrives at; later ones are not set up
  // Sets up the nodes an edge from node j of up to `length` bytes may reach.
  auto extend = [&](uint32_t j, uint32_t length) {
    for (; reach < j + length; ++reach) nodes_[reach + 1].cost = kInfinite;
  };
  auto relax = [&](uint32_t j, uint32_t target, uint32_t cost, uint32_t length, uint32_t distance) {
    Node& t = nodes_[target];
    if (cost < t.cost) {
      t.cost = cost;
      t.from = j;
      t.length = length;
      t.distance = distance;
    }
  };

  uint32_t last = 0;  // the node the window ends at
  for (uint32_t j = 0;; ++j) {
    if (j > 0 && (j == reach || j >= limit)) {
      last = j;
      break;
    }
    Node& node = nodes_[j];
    if (j > 0) {
      node.history = nodes_[node.from].history;
      if (node.length > 0) node.history.Push(node.length, node.distance);
    }
    const MatchHistory& h = node.history;
    const size_t p = pos + j;
    const uint32_t maxLength = uint32_t(std::min<size_t>(kMaxMatchLength, end - p));
    const uint32_t cost = node.cost;

    extend(j, 1);
    relax(j, j + 1, cost + tables_.literal[data_[p]], 0, 0);

    const Match* matches = matches_.data() + matchStart_[p - rangeBegin_];
    const int count = int(matchStart_[p - rangeBegin_ + 1] - matchStart_[p - rangeBegin_]);
    uint32_t longest = count > 0 ? matches[count - 1].length : 0;
    uint32_t longestDistance = count > 0 ? matches[count - 1].distance : 0;

    // Recent distances.
    for (int back = 0; back < 4; ++back) {
      const uint32_t distance = h.Recent(back);
      if (distance == 0 || distance > p) continue;
      bool seen = false;
      for (int earlier = 0; earlier < back; ++earlier) seen |= h.Recent(earlier) == distance;
      if (seen) continue;
      const uint32_t length = finder_.MatchLength(p, distance, maxLength);
      if (length < 2) continue;
      extend(j, length);
      if (length > longest) {
        longest = length;
        longestDistance = distance;
      }
      const uint32_t bonus = OldDistanceBonus(distance);
      // The cheapest ring slot holding this distance.
      uint32_t slotPrice = tables_.recent[back];
      for (int later = back + 1; later < 4; ++later)
        if (h.Recent(later) == distance) slotPrice = std::min(slotPrice, tables_.recent[later]);
      for (uint32_t l = 2 + bonus; l <= length; ++l)
        relax(j, j + l, cost + slotPrice + tables_.recentLength[l - 2 - bonus], l, distance);
      if (back == 0 && h.lastLength >= 2 && h.lastLength <= length)
        relax(j, j + h.lastLength, cost + tables_.repeatLast, h.lastLength, distance);
    }

    // New distances: every length up to each match's, at the nearest
    // distance that reaches it.
    uint32_t shortest = 2;
    for (int k = 0; k < count; ++k) {
      const uint32_t distance = matches[k].distance;
      const uint32_t length = matches[k].length;
      extend(j, length);
      if (shortest == 2 && distance <= 256)
        relax(j, j + 2, cost + tables_.shortDistance[ShortDistanceSlot(distance - 1)], 2, distance);
      const uint32_t bonus = LongMatchBonus(distance);
      const uint32_t base = cost + tables_.distance[DistanceSlot(distance - 1)];
      for (uint32_t l = std::max(shortest, 3 + bonus); l <= length; ++l)
        relax(j, j + l, base + tables_.longLength[l - 3 - bonus], l, distance);
      shortest = length + 1;
    }

    // A long match is taken without looking further.
    if (longest >= settings_.niceLength) {
      const uint32_t price = MatchPrice(longest, longestDistance, h, prices);
      if (price != kUnencodable) {
        Node& target = nodes_[j + longest];
        target = {cost + price, j, longest, longestDistance, {}};
        last = j + longest;
        break;
      }
    }
  }

  // Walk back along the cheapest path, then code it forwards.
  path_.clear();
  for (uint32_t n = last; n > 0; n = nodes_[n].from) path_.push_back(n);
  size_t p = pos;
  for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
    const Node& step = nodes_[*it];
    if (step.length == 0) {
      out->push_back(CodeLiteral(data_[p]));
      ++p;
    } else {
      CodedSymbol symbol;
      ChooseMatchCoding(step.length, step.distance, *history, prices, &symbol);
      history->Push(step.length, step.distance);
      out->push_back(symbol);
      p += step.length;
    }
  }
  return pos + last;
}

}  // namespace klx::rar2tool
