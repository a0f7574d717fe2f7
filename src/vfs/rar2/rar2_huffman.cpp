#include "vfs/rar2/rar2_huffman.h"

namespace klx::rar2 {

void HuffmanDecoder::Build(const uint8_t* lengths, int count) {
  if (count > kMaxSymbols) count = kMaxSymbols;
  if (count < 0) count = 0;
  count_ = count;

  uint32_t lengthCount[kMaxCodeLength + 1] = {};
  for (int i = 0; i < count; ++i) ++lengthCount[lengths[i] & 0x0F];

  limit_[0] = 0;
  firstIndex_[0] = 0;
  uint32_t upper = 0;
  for (int length = 1; length <= kMaxCodeLength; ++length) {
    upper += lengthCount[length];
    limit_[length] = upper << (16 - length);
    upper *= 2;
    firstIndex_[length] = firstIndex_[length - 1] + (length == 1 ? 0 : lengthCount[length - 1]);
  }

  // Symbols in canonical order; slots no symbol fills stay 0.
  for (int i = 0; i < kMaxSymbols; ++i) sorted_[i] = 0;
  uint32_t next[kMaxCodeLength + 1];
  for (int length = 0; length <= kMaxCodeLength; ++length) next[length] = firstIndex_[length];
  for (int symbol = 0; symbol < count; ++symbol) {
    const int length = lengths[symbol] & 0x0F;
    if (length != 0) sorted_[next[length]++] = static_cast<uint16_t>(symbol);
  }

  // Every limit of a length up to kQuickBits is a multiple of
  // 2^(16 - kQuickBits), so the top kQuickBits bits decide those codes.
  for (uint32_t prefix = 0; prefix < (1u << kQuickBits); ++prefix) {
    uint32_t length = 0;
    const int symbol = Lookup(prefix << (16 - kQuickBits), &length);
    if (length <= kQuickBits) {
      quick_[prefix] = {static_cast<uint16_t>(symbol), static_cast<uint8_t>(length)};
    } else {
      quick_[prefix] = {0, 0};
    }
  }
}

int HuffmanDecoder::Lookup(uint32_t bits, uint32_t* length) const {
  uint32_t found = kMaxCodeLength;
  for (uint32_t i = 1; i < kMaxCodeLength; ++i) {
    if (bits < limit_[i]) {
      found = i;
      break;
    }
  }
  *length = found;
  const uint32_t index = firstIndex_[found] + ((bits - limit_[found - 1]) >> (16 - found));
  return index < static_cast<uint32_t>(count_) ? sorted_[index] : sorted_[0];
}

int HuffmanDecoder::DecodeLong(BitReader& reader, uint32_t bits) const {
  uint32_t length = 0;
  const int symbol = Lookup(bits, &length);
  reader.Skip(length);
  return symbol;
}

}  // namespace klx::rar2
