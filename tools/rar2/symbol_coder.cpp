#include "symbol_coder.h"

#include <bit>

namespace klx::rar2tool {

namespace {

using namespace klx::rar2;

// Slot lookup for the length table and the short distance table, both of
// which cover 0..255.
struct SmallSlotTables {
  uint8_t length[256];
  uint8_t shortDistance[256];
  constexpr SmallSlotTables() : length{}, shortDistance{} {
    for (int slot = 0; slot < kLengthSymbols; ++slot)
      for (uint32_t v = kLengthBase.value[slot]; v < kLengthBase.value[slot] + (1u << kLengthBits[slot]) && v < 256; ++v)
        length[v] = uint8_t(slot);
    for (int slot = 0; slot < 8; ++slot)
      for (uint32_t v = kShortDistanceBase[slot]; v < kShortDistanceBase[slot] + (1u << kShortDistanceBits[slot]); ++v)
        shortDistance[v] = uint8_t(slot);
  }
};
constexpr SmallSlotTables kSlots;

// Price of a symbol that the current tables do not hold.
constexpr uint8_t kMissingMainPrice = 14;
constexpr uint8_t kMissingDistancePrice = 10;
constexpr uint8_t kMissingLengthPrice = 8;

}  // namespace

int LengthSlot(uint32_t value) { return kSlots.length[value]; }

int ShortDistanceSlot(uint32_t value) { return kSlots.shortDistance[value]; }

int DistanceSlot(uint32_t value) {
  if (value < 4) return int(value);
  if (value < 0x20000) {
    // Two slots per power of two: the lower and the upper half.
    const int top = std::bit_width(value) - 1;
    return 2 * top + int((value >> (top - 1)) & 1);
  }
  return 34 + int((value - 0x20000) >> 16);
}

SymbolPrices SymbolPrices::Default() {
  SymbolPrices prices{};
  for (int i = 0; i < kMainSymbols; ++i) prices.main[i] = 9;
  for (int i = 0; i < 256; ++i) prices.main[i] = 8;
  prices.main[kSymbolRepeatLast] = 6;
  for (int i = 0; i < 4; ++i) prices.main[kSymbolOldDistance + i] = uint8_t(6 + i);
  for (int i = 0; i < kLengthSymbols; ++i) prices.main[kSymbolMatch + i] = uint8_t(6 + i / 4);
  for (int i = 0; i < kDistanceSymbols; ++i) prices.distance[i] = 6;
  for (int i = 0; i < kLengthSymbols; ++i) prices.length[i] = uint8_t(3 + i / 4);
  return prices;
}

SymbolPrices SymbolPrices::FromLengths(const uint8_t* lengths) {
  SymbolPrices prices{};
  for (int i = 0; i < kMainSymbols; ++i) prices.main[i] = lengths[i] ? lengths[i] : kMissingMainPrice;
  lengths += kMainSymbols;
  for (int i = 0; i < kDistanceSymbols; ++i) prices.distance[i] = lengths[i] ? lengths[i] : kMissingDistancePrice;
  lengths += kDistanceSymbols;
  for (int i = 0; i < kLengthSymbols; ++i) prices.length[i] = lengths[i] ? lengths[i] : kMissingLengthPrice;
  return prices;
}

uint32_t ChooseMatchCoding(uint32_t length, uint32_t distance, const MatchHistory& history,
                           const SymbolPrices& prices, CodedSymbol* symbol) {
  if (length < 2 || length > kMaxMatchLength || distance == 0) return kUnencodable;
  uint32_t best = kUnencodable;

  if (length == history.lastLength && distance == history.lastDistance) {
    best = prices.main[kSymbolRepeatLast];
    *symbol = {uint16_t(kSymbolRepeatLast), kNoSlot, kNoSlot, 0, 0};
  }

  const uint32_t oldBonus = OldDistanceBonus(distance);
  if (length >= 2 + oldBonus) {
    const uint32_t value = length - 2 - oldBonus;
    const int slot = LengthSlot(value);
    const uint32_t lengthPrice = prices.length[slot] + kLengthBits[slot];
    for (int back = 0; back < 4; ++back) {
      if (history.Recent(back) != distance) continue;
      const uint32_t price = prices.main[kSymbolOldDistance + back] + lengthPrice;
      if (price < best) {
        best = price;
        *symbol = {uint16_t(kSymbolOldDistance + back), uint8_t(slot), kNoSlot,
                   uint16_t(value - kLengthBase.value[slot]), 0};
      }
    }
  }

  if (length == 2 && distance <= 256) {
    const uint32_t value = distance - 1;
    const int slot = ShortDistanceSlot(value);
    const uint32_t price = prices.main[kSymbolShortDistance + slot] + kShortDistanceBits[slot];
    if (price < best) {
      best = price;
      *symbol = {uint16_t(kSymbolShortDistance + slot), kNoSlot, kNoSlot,
                 uint16_t(value - kShortDistanceBase[slot]), 0};
    }
  }

  const uint32_t longBonus = LongMatchBonus(distance);
  if (length >= 3 + longBonus && distance <= kMaxDistance) {
    const uint32_t value = length - 3 - longBonus;
    const int slot = LengthSlot(value);
    const uint32_t distanceValue = distance - 1;
    const int distanceSlot = DistanceSlot(distanceValue);
    const uint32_t price = prices.main[kSymbolMatch + slot] + kLengthBits[slot] +
                           prices.distance[distanceSlot] + kDistanceBits[distanceSlot];
    if (price < best) {
      best = price;
      *symbol = {uint16_t(kSymbolMatch + slot), uint8_t(slot), uint8_t(distanceSlot),
                 uint16_t(value - kLengthBase.value[slot]),
                 uint16_t(distanceValue - kDistanceBase.value[distanceSlot])};
    }
  }
  return best;
}

int MainExtraBits(const CodedSymbol& symbol) {
  if (symbol.main >= kSymbolMatch) return kLengthBits[symbol.main - kSymbolMatch];
  if (symbol.main >= kSymbolShortDistance && symbol.main < kSymbolNewTable)
    return kShortDistanceBits[symbol.main - kSymbolShortDistance];
  return 0;
}

}  // namespace klx::rar2tool
