#pragma once
// Turns literals and matches into the symbols of the RAR 2.0 compressed
// stream. A match has up to four ways to be coded (repeat of the last match,
// one of the four recent distances, a short two-byte match, a full length
// and distance); the coder picks the cheapest under the given bit prices and
// keeps the match history in step with the decoder.

#include <cstdint>

#include "match_history.h"
#include "vfs/rar2/rar2_format.h"

namespace klx::rar2tool {

inline constexpr uint32_t kMaxMatchLength = 257;
// Farther than this the coder never reaches back.
inline constexpr uint32_t kMaxDistance = 0xFFFFF - 512;
inline constexpr uint8_t kNoSlot = 0xFF;

// One coded item: a main symbol, then for 257..260 a length-table symbol
// with its extra bits, for 261..268 the extra distance bits, for 270..297
// the extra length bits, a distance-table symbol and its extra bits.
struct CodedSymbol {
  uint16_t main;
  uint8_t lengthSlot;
  uint8_t distanceSlot;
  uint16_t lengthExtra;    // also the extra bits of 261..268
  uint16_t distanceExtra;  // at most 16 bits
};

// Code lengths (bits) of the three tables the stream uses at one time.
struct SymbolPrices {
  uint8_t main[rar2::kMainSymbols];
  uint8_t distance[rar2::kDistanceSymbols];
  uint8_t length[rar2::kLengthSymbols];

  // Flat guesses for a stream with no statistics yet.
  static SymbolPrices Default();
  // Prices from the code lengths of a table set; unused symbols get a high
  // price so that the parse avoids them only mildly.
  static SymbolPrices FromLengths(const uint8_t* lengths);
};

inline constexpr uint32_t kUnencodable = 0xFFFFFFFF;

// Slots of a value in the length (0..255), distance (0..0xFFFFF) and short
// distance (0..255) tables.
int LengthSlot(uint32_t value);
int DistanceSlot(uint32_t value);
int ShortDistanceSlot(uint32_t value);

inline CodedSymbol CodeLiteral(uint8_t byte) { return {byte, kNoSlot, kNoSlot, 0, 0}; }

// The cheapest coding of a match, its price in bits (kUnencodable when no
// form can carry it, e.g. a 3-byte match far away). Does not touch history.
uint32_t ChooseMatchCoding(uint32_t length, uint32_t distance, const MatchHistory& history,
                           const SymbolPrices& prices, CodedSymbol* symbol);

// Price only; same choice as ChooseMatchCoding.
inline uint32_t MatchPrice(uint32_t length, uint32_t distance, const MatchHistory& history,
                           const SymbolPrices& prices) {
  CodedSymbol unused;
  return ChooseMatchCoding(length, distance, history, prices, &unused);
}

// Number of extra bits that follow the main symbol, the length-table symbol
// and the distance-table symbol of a coded item.
int MainExtraBits(const CodedSymbol& symbol);
inline int LengthExtraBits(int slot) { return rar2::kLengthBits[slot]; }
inline int DistanceExtraBits(int slot) { return rar2::kDistanceBits[slot]; }

}  // namespace klx::rar2tool
