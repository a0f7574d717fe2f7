#include "block_tables.h"

#include "huffman_encoder.h"
#include "table_writer.h"

namespace klx::rar2tool {

namespace {

using namespace klx::rar2;

void BuildTable(const uint32_t* frequencies, int count, uint8_t* lengths, int reserved = -1) {
  uint32_t adjusted[kMainSymbols];
  int used = 0;
  for (int i = 0; i < count; ++i) {
    adjusted[i] = frequencies[i];
    used += adjusted[i] > 0;
  }
  if (reserved >= 0 && adjusted[reserved] == 0) {
    adjusted[reserved] = 1;
    ++used;
  }
  for (int i = 0; used < 2; ++i) {
    if (adjusted[i] == 0) {
      adjusted[i] = 1;
      ++used;
    }
  }
  BuildCodeLengths(adjusted, count, kMaxCodeLength, lengths);
}

uint64_t SymbolBits(const uint32_t* frequencies, const uint8_t* lengths, int count) {
  uint64_t bits = 0;
  for (int i = 0; i < count; ++i) bits += uint64_t{frequencies[i]} * lengths[i];
  return bits;
}

}  // namespace

void Histogram::Merge(const Histogram& other) {
  for (int i = 0; i < kMainSymbols; ++i) main[i] += other.main[i];
  for (int i = 0; i < kDistanceSymbols; ++i) distance[i] += other.distance[i];
  for (int i = 0; i < kLengthSymbols; ++i) length[i] += other.length[i];
}

void BuildBlockLengths(const Histogram& histogram, uint8_t* lengths) {
  BuildTable(histogram.main, kMainSymbols, lengths, kSymbolNewTable);
  BuildTable(histogram.distance, kDistanceSymbols, lengths + kMainSymbols);
  BuildTable(histogram.length, kLengthSymbols, lengths + kMainSymbols + kDistanceSymbols);
}

uint64_t BlockBits(const Histogram& histogram) {
  uint8_t lengths[kLzTableSize];
  BuildBlockLengths(histogram, lengths);
  return TableBits(lengths) + SymbolBits(histogram.main, lengths, kMainSymbols) +
         SymbolBits(histogram.distance, lengths + kMainSymbols, kDistanceSymbols) +
         SymbolBits(histogram.length, lengths + kMainSymbols + kDistanceSymbols, kLengthSymbols);
}

}  // namespace klx::rar2tool
