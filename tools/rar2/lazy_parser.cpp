#include "lazy_parser.h"

#include <algorithm>

namespace klx::rar2tool {

LazyParser::LazyParser(const Settings& settings)
    : settings_(settings), finder_(MatchFinder::Structure::kChain, settings.chainDepth, settings.niceLength) {}

void LazyParser::Reset(const uint8_t* data, size_t size) {
  data_ = data;
  indexed_ = 0;
  finder_.Reset(data, size);
}

void LazyParser::IndexUpTo(size_t pos) {
  for (; indexed_ < pos; ++indexed_) finder_.Skip(indexed_);
}

LazyParser::Choice LazyParser::Best(size_t pos, size_t end, const MatchHistory& history,
                                     const SymbolPrices& prices) {
  IndexUpTo(pos);
  const int count = finder_.FindMatches(pos, end, matches_);
  indexed_ = pos + 1;

  Choice best;
  auto consider = [&](uint32_t length, uint32_t distance) {
    const uint32_t price = MatchPrice(length, distance, history, prices);
    if (price == kUnencodable) return;
    const size_t from = pos - rangeBegin_;
    const int32_t gain = int32_t(literalPrice_[from + length] - literalPrice_[from]) - int32_t(price);
    if (gain > best.gain || (gain == best.gain && length > best.length)) best = {length, distance, gain};
  };

  const uint32_t maxLength = uint32_t(std::min<size_t>(kMaxMatchLength, end - pos));
  for (int back = 0; back < 4; ++back) {
    const uint32_t distance = history.Recent(back);
    if (distance == 0 || distance > pos) continue;
    const uint32_t length = finder_.MatchLength(pos, distance, maxLength);
    if (length < 2) continue;
    consider(length, distance);
    // The last match again, as it was, is the cheapest symbol of all.
    if (back == 0 && history.lastLength < length) consider(history.lastLength, distance);
  }
  for (int i = 0; i < count; ++i) consider(matches_[i].length, matches_[i].distance);
  return best;
}

void LazyParser::Parse(size_t begin, size_t end, const SymbolPrices& prices, MatchHistory* history,
                       std::vector<CodedSymbol>* out) {
  rangeBegin_ = begin;
  literalPrice_.resize(end - begin + 1);
  literalPrice_[0] = 0;
  for (size_t i = begin; i < end; ++i) literalPrice_[i - begin + 1] = literalPrice_[i - begin] + prices.main[data_[i]];

  size_t pos = begin;
  bool haveCurrent = false;
  Choice current;
  while (pos < end) {
    if (!haveCurrent) current = Best(pos, end, *history, prices);
    haveCurrent = false;
    if (current.length == 0) {
      out->push_back(CodeLiteral(data_[pos]));
      ++pos;
      continue;
    }
    if (settings_.lazy && current.length < settings_.niceLength && pos + 1 < end) {
      const Choice next = Best(pos + 1, end, *history, prices);
      const int32_t literal = prices.main[data_[pos]];
      if (next.length > 0 && next.gain - literal > current.gain) {
        out->push_back(CodeLiteral(data_[pos]));
        ++pos;
        current = next;
        haveCurrent = true;
        continue;
      }
    }
    CodedSymbol symbol;
    ChooseMatchCoding(current.length, current.distance, *history, prices, &symbol);
    history->Push(current.length, current.distance);
    out->push_back(symbol);
    pos += current.length;
  }
  IndexUpTo(end);
}

}  // namespace klx::rar2tool
